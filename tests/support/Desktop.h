#pragma once

// Scaffolding for the tests on the private desktop (tests/desktop/testbed): other programs run
// or started, windows looked up, the program's debug log read. Every wait runs the event loop,
// so our own X connections and clipboard go on answering meanwhile.
#include "platform/DebugLog.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <xcb/xcb.h>

namespace quillstow::test {

// Everything said to the notification service on the session bus from now on.
class NotificationWatch : public Program
{
public:
    NotificationWatch()
        : Program(QStringLiteral("dbus-monitor"),
                  {QStringLiteral("--session"),
                   QStringLiteral("interface='org.freedesktop.Notifications',member='Notify'")})
    {
        QTest::qWait(300); // let it subscribe
    }
};

inline QString xdotool(const QStringList& args)
{
    return runTool(QStringLiteral("xdotool"), args);
}
inline QString xdotool(const char* line)
{
    return xdotool(words(line));
}

// Copies `bytes` with xclip, offered as `target` (xclip's own choice, UTF8_STRING, when empty).
// xclip's background process stays as the owner until the next copy.
inline bool xclipCopy(const QByteArray& bytes, const QString& target = {},
                      const char* selection = "clipboard")
{
    QStringList args = {QStringLiteral("-selection"), QLatin1String(selection),
                        QStringLiteral("-i")};
    if (!target.isEmpty())
        args << QStringLiteral("-t") << target;
    return run(QStringLiteral("xclip"), args, bytes).status == 0;
}

// The window in front, by the window manager's account, or 0.
inline quint64 activeWindow()
{
    return xdotool("getactivewindow").toULongLong();
}

// Waits until the window in front is titled `title` and returns it, or 0 when none comes.
inline quint64 waitForActiveWindow(const QString& title, int timeoutMs = 15000)
{
    quint64 id = 0;
    const bool found = QTest::qWaitFor(
        [&] {
            id = activeWindow();
            return id != 0 &&
                   xdotool({QStringLiteral("getwindowname"), QString::number(id)}) == title;
        },
        timeoutMs);
    return found ? id : 0;
}

// Brings the window titled `title` to the front.
inline bool activateWindow(const QString& title)
{
    const QString id =
        xdotool({QStringLiteral("search"), QStringLiteral("--name"), u'^' + title + u'$'})
            .section(u'\n', 0, 0);
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
    return !id.isEmpty() &&
           QTest::qWaitFor([&] { return activeWindow() == id.toULongLong(); }, 5000);
}

// A window's place on the screen, as the X server reports it.
inline QRect windowFrame(quint64 id)
{
    const QString info =
        runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(id)});
    const auto field = [&](const char* name) {
        return QRegularExpression(QLatin1String(name) + QStringLiteral(":\\s+(-?\\d+)"))
            .match(info)
            .captured(1)
            .toInt();
    };
    return {field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
            field("Height")};
}

// Another client's hold on the keyboard, for as long as this lives: on one combination, as
// another program's hot key, or on the whole keyboard, as the hot key's own grab while pressed.
class KeyboardHold
{
public:
    KeyboardHold(uint16_t modifiers, xcb_keycode_t key)
    {
        EXPECT_EQ(
            xcb_request_check(c_, xcb_grab_key_checked(c_, 0, root(), modifiers, key,
                                                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
            nullptr);
    }
    KeyboardHold()
    {
        xcb_grab_keyboard_reply_t* reply =
            xcb_grab_keyboard_reply(c_,
                                    xcb_grab_keyboard(c_, 0, root(), XCB_CURRENT_TIME,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                    nullptr);
        EXPECT_TRUE(reply && reply->status == XCB_GRAB_STATUS_SUCCESS);
        std::free(reply);
    }
    ~KeyboardHold() { xcb_disconnect(c_); }
    KeyboardHold(const KeyboardHold&) = delete;
    KeyboardHold& operator=(const KeyboardHold&) = delete;

private:
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root; }
    xcb_connection_t* c_ = xcb_connect(nullptr, nullptr);
};

// The lines the debug log gained since this was made. The test desktop gives this process and
// the programs it starts a log of their own (QUILLSTOW_DEBUG_LOG).
class LogTail
{
public:
    QStringList lines() const
    {
        return QString::fromUtf8(readFile(debuglog::path()).mid(start_))
            .split(u'\n', Qt::SkipEmptyParts);
    }

private:
    qint64 start_ = QFileInfo(debuglog::path()).size();
};

} // namespace quillstow::test
