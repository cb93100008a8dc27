#pragma once

// Helpers for the paste tests on the private desktop: real target programs and our own window
// standing in for the picker.
#include "platform/x11/X11WindowSystem.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <memory>

namespace quillstow::test {

// Runs a short helper program (xdotool, setxkbmap, ...) to its end and returns its output.
inline QString runTool(const QString& program, const QStringList& args, int timeoutMs = 10000)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(timeoutMs);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

inline std::shared_ptr<platform::X11WindowSystem> qtWindowSystem()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return std::make_shared<platform::X11WindowSystem>(x11->connection(), x11->display());
}

inline xcb_connection_t* qtConnection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// The first window of a program of this WM_CLASS, waiting for it to be mapped.
inline quint64 waitForWindowOfClass(const QString& wmClass)
{
    const QString id =
        runTool(QStringLiteral("timeout"),
                {QStringLiteral("10"), QStringLiteral("xdotool"), QStringLiteral("search"),
                 QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--class"), wmClass})
            .section(u'\n', 0, 0);
    return id.toULongLong();
}

// Waits until `id` is the active window, as the window manager says.
inline bool waitUntilActive(platform::WindowSystem& windows, quint64 id, int timeoutMs = 5000)
{
    return QTest::qWaitFor(
        [&] {
            const auto active = windows.activeWindow();
            return active && active->id == id;
        },
        timeoutMs);
}

// Our own window in front, as the picker is when the user chooses an entry.
class StandInPicker
{
public:
    explicit StandInPicker(platform::X11WindowSystem& windows) : windows_(windows)
    {
        widget_.setWindowTitle(QStringLiteral("stand-in picker"));
        widget_.resize(200, 100);
    }
    bool takeFocus()
    {
        widget_.show();
        if (!QTest::qWaitForWindowExposed(&widget_))
            return false;
        const quint64 id = widget_.winId();
        windows_.activate(platform::WindowRef{id, {}, {}, 0});
        return waitUntilActive(windows_, id);
    }
    void close() { widget_.hide(); }

private:
    platform::X11WindowSystem& windows_;
    QWidget widget_;
};

// A program started for a test and ended, by its process id, when the test ends.
class TargetProgram
{
public:
    TargetProgram(const QString& program, const QStringList& args)
    {
        process_.start(program, args);
        process_.waitForStarted(10000);
    }
    ~TargetProgram()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished(3000);
            }
        }
    }
    TargetProgram(const TargetProgram&) = delete;
    TargetProgram& operator=(const TargetProgram&) = delete;

    qint64 pid() const { return process_.processId(); }
    // Waits, running the event loop (the target may be reading our clipboard), for the end.
    bool waitForExit(int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
    }
    QString output() { return QString::fromUtf8(process_.readAllStandardOutput()); }

private:
    QProcess process_;
};

} // namespace quillstow::test
