#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <optional>

namespace quillstow::platform::sway {

// A client of sway's IPC socket. Each call opens the socket, sends one request and reads the
// reply within a fixed time, so a sway that hangs or has gone costs the GUI thread at most that
// long. The first failure is logged; later ones only go to the debug log.
class SwayIpc
{
public:
    enum class Message : quint32
    {
        RunCommand = 0,
        GetTree = 4,
    };

    static constexpr int timeoutMs = 200;

    explicit SwayIpc(QString socketPath);

    // The reply's JSON, or nothing when sway could not be reached or did not answer in time.
    std::optional<QJsonDocument> request(Message type, const QByteArray& payload = {});
    // Runs sway commands; true when sway ran every one of them.
    bool runCommand(const QString& command);
    std::optional<QJsonDocument> tree() { return request(Message::GetTree); }

private:
    void fail(const QString& why);

    QString socketPath_;
    bool warned_ = false;
};

// A request framed as sway expects it: the magic "i3-ipc", the payload's length and the
// message type (both 32-bit, in the machine's byte order), then the payload.
QByteArray frame(SwayIpc::Message type, const QByteArray& payload);

} // namespace quillstow::platform::sway
