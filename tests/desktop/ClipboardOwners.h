#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

// Other programs that own the clipboard, for the desktop tests. Everything here waits with the
// event loop running, so our own clipboard connection goes on working meanwhile.
namespace quillstow::test {

// Copies `bytes` with xclip, offered as `target` (xclip's own choice, UTF8_STRING, when empty).
// xclip's background process stays as the owner until the next copy.
inline bool xclipCopy(const QByteArray& bytes, const QString& target = {})
{
    QStringList args = {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                        QStringLiteral("-i")};
    if (!target.isEmpty())
        args << QStringLiteral("-t") << target;
    QProcess xclip;
    xclip.setStandardOutputFile(QProcess::nullDevice());
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(QStringLiteral("xclip"), args);
    xclip.write(bytes);
    xclip.closeWriteChannel();
    return QTest::qWaitFor([&xclip] { return xclip.state() == QProcess::NotRunning; }, 10000) &&
           xclip.exitStatus() == QProcess::NormalExit && xclip.exitCode() == 0;
}

// The tests' own clipboard owner (tests/desktop/ClipboardOwner.cpp), ended when this goes.
class OwnerProcess
{
public:
    explicit OwnerProcess(const QStringList& args)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(QUILLSTOW_CLIPBOARD_OWNER), args);
    }
    ~OwnerProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000))
                process_.kill();
            process_.waitForFinished(3000);
        }
    }
    OwnerProcess(const OwnerProcess&) = delete;
    OwnerProcess& operator=(const OwnerProcess&) = delete;

    // True once it owns the clipboard.
    bool waitUntilReady()
    {
        return QTest::qWaitFor([this] { return output().startsWith(QLatin1String("ready\n")); },
                               10000);
    }
    // Everything it printed so far: "ready", then "served NAME" or "refused NAME" per request.
    QString output()
    {
        output_ += QString::fromUtf8(process_.readAllStandardOutput());
        return output_;
    }
    bool end()
    {
        process_.terminate();
        return QTest::qWaitFor([this] { return process_.state() == QProcess::NotRunning; }, 5000);
    }

private:
    QProcess process_;
    QString output_;
};

// Text of about `bytes` UTF-8 bytes, with characters of one to four bytes, so that chunks of
// any size split some of them.
inline QString largeText(qsizetype bytes)
{
    const QString line = QStringLiteral("line %1: gr\u00FC\u00DFe \u20AC \U0001F600 and ascii\n");
    QString text;
    qsizetype size = 0;
    for (int n = 0; size < bytes; ++n) {
        const QString next = line.arg(n);
        text += next;
        size += next.toUtf8().size();
    }
    return text;
}

} // namespace quillstow::test
