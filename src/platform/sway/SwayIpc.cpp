#include "platform/sway/SwayIpc.h"

#include "platform/DebugLog.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillstow::platform::sway {

namespace {

constexpr QByteArrayView magic = "i3-ipc";
constexpr qsizetype headerSize = 14; // magic, length, type
// A layout tree of hundreds of windows is well under a megabyte.
constexpr qsizetype maxReply = 64 * 1024 * 1024;

// Closes the socket on every way out of a call.
class Socket
{
public:
    Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~Socket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Waits for `events` on `fd` until the deadline; false when it passed first.
bool waitFor(int fd, short events, const QElapsedTimer& clock)
{
    for (;;) {
        const qint64 left = SwayIpc::timeoutMs - clock.elapsed();
        if (left <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

quint32 readWord(const char* at)
{
    quint32 value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

} // namespace

QByteArray frame(SwayIpc::Message type, const QByteArray& payload)
{
    QByteArray out;
    out.reserve(headerSize + payload.size());
    out.append(magic.data(), magic.size());
    const auto length = static_cast<quint32>(payload.size());
    const auto kind = static_cast<quint32>(type);
    out.append(reinterpret_cast<const char*>(&length), sizeof length);
    out.append(reinterpret_cast<const char*>(&kind), sizeof kind);
    out.append(payload);
    return out;
}

SwayIpc::SwayIpc(QString socketPath) : socketPath_(std::move(socketPath)) {}

void SwayIpc::fail(const QString& why)
{
    debuglog::write(QStringLiteral("sway: ") + why);
    if (!warned_)
        qWarning().noquote().nospace()
            << "sway's IPC failed (" << why << "): the picker is placed by the compositor instead.";
    warned_ = true;
}

std::optional<QJsonDocument> SwayIpc::request(Message type, const QByteArray& payload)
{
    QElapsedTimer clock;
    clock.start();
    Socket socket;
    const QByteArray path = socketPath_.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket.fd() < 0 || path.isEmpty() ||
        static_cast<size_t>(path.size()) >= sizeof address.sun_path) {
        fail(QStringLiteral("no usable socket path"));
        return std::nullopt;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    if (::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        (errno != EINPROGRESS || !waitFor(socket.fd(), POLLOUT, clock))) {
        fail(QStringLiteral("cannot connect: ") + QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }

    const QByteArray out = frame(type, payload);
    qsizetype sent = 0;
    while (sent < out.size()) {
        const ssize_t n = ::send(socket.fd(), out.constData() + sent,
                                 static_cast<size_t>(out.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
        } else if ((n < 0 && errno != EAGAIN && errno != EINTR) ||
                   !waitFor(socket.fd(), POLLOUT, clock)) {
            fail(QStringLiteral("the request could not be sent"));
            return std::nullopt;
        }
    }

    QByteArray in;
    qsizetype wanted = headerSize;
    char buffer[65536];
    while (in.size() < wanted) {
        const ssize_t n = ::recv(socket.fd(), buffer, sizeof buffer, 0);
        if (n > 0) {
            in.append(buffer, n);
        } else if (n == 0) {
            fail(QStringLiteral("sway closed the connection"));
            return std::nullopt;
        } else if (errno != EAGAIN && errno != EINTR) {
            fail(QStringLiteral("reading failed: ") + QString::fromLocal8Bit(std::strerror(errno)));
            return std::nullopt;
        } else if (!waitFor(socket.fd(), POLLIN, clock)) {
            fail(QStringLiteral("no reply within %1 ms").arg(timeoutMs));
            return std::nullopt;
        }
        if (wanted == headerSize && in.size() >= headerSize) {
            if (!in.startsWith(magic)) {
                fail(QStringLiteral("the reply is not sway's"));
                return std::nullopt;
            }
            wanted = headerSize + readWord(in.constData() + magic.size());
            if (wanted > maxReply) {
                fail(QStringLiteral("the reply is too large"));
                return std::nullopt;
            }
        }
    }
    QJsonParseError error{};
    QJsonDocument reply = QJsonDocument::fromJson(in.mid(headerSize, wanted - headerSize), &error);
    if (error.error != QJsonParseError::NoError) {
        fail(QStringLiteral("the reply is not JSON: ") + error.errorString());
        return std::nullopt;
    }
    return reply;
}

bool SwayIpc::runCommand(const QString& command)
{
    const auto reply = request(Message::RunCommand, command.toUtf8());
    if (!reply)
        return false;
    const QJsonArray results = reply->array();
    for (const QJsonValue& result : results) {
        if (!result.toObject().value(QLatin1String("success")).toBool()) {
            debuglog::write(QStringLiteral("sway: command failed: ") + command +
                            QStringLiteral(": ") +
                            result.toObject().value(QLatin1String("error")).toString());
            return false;
        }
    }
    return !results.isEmpty();
}

} // namespace quillstow::platform::sway
