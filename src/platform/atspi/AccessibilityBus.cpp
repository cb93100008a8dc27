#include "platform/atspi/AccessibilityBus.h"

#include "platform/x11/XcbSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <atomic>
#include <chrono>
#include <dbus/dbus.h>
#include <future>
#include <memory>
#include <thread>

namespace quillstow::platform {

namespace {

QByteArray rootWindowAddress()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return {};
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return {};
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_atom_t atom = xcb::internAtom(c, "AT_SPI_BUS");
    if (!screen || atom == XCB_ATOM_NONE)
        return {};
    const xcb::Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, screen->root, atom, XCB_ATOM_STRING, 0, 1024), nullptr));
    if (!reply || reply->format != 8)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

QByteArray sessionBusAddress(int timeoutMs, QString& problem)
{
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) {
        problem = QStringLiteral("no session bus");
        return {};
    }
    const QDBusMessage reply =
        session.call(QDBusMessage::createMethodCall(
                         QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                         QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
                     QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        problem =
            QStringLiteral("the session bus does not tell its address: ") + reply.errorMessage();
        return {};
    }
    return reply.arguments().constFirst().toString().toUtf8();
}

// Connects and says hello, as libatspi will. The timeout covers the answer only: libdbus waits
// without limit for a bus that takes the connection and never answers its handshake.
std::optional<QString> blockingHelloProblem(const QByteArray& address, int timeoutMs)
{
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_connection_open_private(address.constData(), &error);
    if (!connection) {
        const QString why = QString::fromUtf8(error.message);
        dbus_error_free(&error);
        return why;
    }
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    DBusMessage* hello = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                                      DBUS_INTERFACE_DBUS, "Hello");
    std::optional<QString> problem;
    if (!hello) {
        problem = QStringLiteral("out of memory");
    } else {
        DBusMessage* reply =
            dbus_connection_send_with_reply_and_block(connection, hello, timeoutMs, &error);
        dbus_message_unref(hello);
        if (reply) {
            dbus_message_unref(reply);
        } else {
            problem = QString::fromUtf8(error.message);
            dbus_error_free(&error);
        }
    }
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return problem;
}

// The hello on a thread of its own, waited for no longer than `timeoutMs`; a thread that never
// returns is left behind, and no other is started while it waits.
std::optional<QString> helloProblem(const QByteArray& address, int timeoutMs)
{
    static std::atomic<bool> waiting{false};
    if (waiting.exchange(true))
        return QStringLiteral("an earlier attempt still waits for an answer");
    auto answer = std::make_shared<std::promise<std::optional<QString>>>();
    std::future<std::optional<QString>> answered = answer->get_future();
    std::thread([address, timeoutMs, answer] {
        answer->set_value(blockingHelloProblem(address, timeoutMs));
        waiting = false;
    }).detach();
    // A little longer than the call's own timeout, which then reports itself.
    if (answered.wait_for(std::chrono::milliseconds(timeoutMs + 200)) != std::future_status::ready)
        return QStringLiteral("no answer within %1 ms").arg(timeoutMs);
    return answered.get();
}

} // namespace

std::optional<QString> accessibilityBusProblem(int timeoutMs)
{
    QByteArray address = qgetenv("AT_SPI_BUS_ADDRESS");
    if (address.isEmpty())
        address = rootWindowAddress();
    if (address.isEmpty()) {
        QString problem;
        address = sessionBusAddress(timeoutMs, problem);
        if (address.isEmpty())
            return problem.isEmpty() ? QStringLiteral("no address") : problem;
    }
    if (const auto problem = helloProblem(address, timeoutMs))
        return QString::fromUtf8(address) + QStringLiteral(": ") + *problem;
    return std::nullopt;
}

} // namespace quillstow::platform
