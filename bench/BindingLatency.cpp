// Prints how long a compositor's key binding takes to bring the picker up with the keyboard focus
// in it: from starting `quillstow --toggle`, as the compositor does at the key, to the picker
// holding the focus; and how long that command takes to exit. Median and worst over the rounds.
// The focus is, on an X desktop, the picker being the active window with the X input focus; on
// sway, sway's focus event for the picker's window. Run it with the program to measure:
//   tests/desktop/testbed build/ci/bench/binding_latency build/ci/src/quillstow [rounds]
//   tests/wayland/testbed build/ci/bench/binding_latency build/ci/src/quillstow [rounds]
#include "X11Desktop.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

pid_t spawn(const char* program, const char* argument)
{
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0)
        return -1;
    return pid;
}

// sway's IPC: window events, read without blocking. A focus event for a window titled
// "Quillstow" is the picker taking the focus.
class SwayFocus
{
public:
    explicit SwayFocus(const char* socketPath)
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        send(2, R"(["window"])"); // SUBSCRIBE
    }
    ~SwayFocus()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SwayFocus(const SwayFocus&) = delete;
    SwayFocus& operator=(const SwayFocus&) = delete;

    bool connected() const { return fd_ >= 0; }

    // Reads what has arrived; true once a focus event named the picker since the last reset.
    bool pickerFocused()
    {
        pollfd ready{fd_, POLLIN, 0};
        while (::poll(&ready, 1, 0) > 0) {
            char chunk[65536];
            const ssize_t got = ::read(fd_, chunk, sizeof chunk);
            if (got <= 0)
                break;
            buffer_.append(chunk, static_cast<qsizetype>(got));
        }
        constexpr qsizetype header = 14; // "i3-ipc", length, type
        while (buffer_.size() >= header) {
            std::uint32_t length = 0;
            std::memcpy(&length, buffer_.constData() + 6, sizeof length);
            if (buffer_.size() < header + static_cast<qsizetype>(length))
                break;
            const QJsonObject event =
                QJsonDocument::fromJson(buffer_.mid(header, static_cast<qsizetype>(length)))
                    .object();
            buffer_.remove(0, header + static_cast<qsizetype>(length));
            if (event.value(QStringLiteral("change")).toString() == QStringLiteral("focus"))
                focused_ = event.value(QStringLiteral("container"))
                               .toObject()
                               .value(QStringLiteral("name"))
                               .toString() == QStringLiteral("Quillstow");
        }
        return focused_;
    }
    void reset()
    {
        pickerFocused();
        focused_ = false;
    }

private:
    void send(std::uint32_t type, const char* payload)
    {
        std::string message = "i3-ipc";
        const auto length = static_cast<std::uint32_t>(std::strlen(payload));
        message.append(reinterpret_cast<const char*>(&length), sizeof length);
        message.append(reinterpret_cast<const char*>(&type), sizeof type);
        message.append(payload);
        [[maybe_unused]] const ssize_t sent = ::write(fd_, message.data(), message.size());
    }

    int fd_ = -1;
    QByteArray buffer_;
    bool focused_ = false;
};

void report(const char* label, std::vector<double> ms, int rounds)
{
    std::sort(ms.begin(), ms.end());
    if (ms.empty()) {
        std::printf("%-48s none of %d\n", label, rounds);
        return;
    }
    std::printf("%-48s median %6.1f ms  worst %6.1f ms  (%zu/%d) :", label, ms[ms.size() / 2],
                ms.back(), ms.size(), rounds);
    for (double v : ms)
        std::printf(" %.1f", v);
    std::printf("\n");
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: binding_latency QUILLSTOW [ROUNDS]\n");
        return 2;
    }
    const char* program = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;

    std::function<bool()> pickerFocused;
    std::function<void()> reset = [] {
    };
    std::optional<SwayFocus> sway;
    std::optional<bench::Desktop> x11;
    const char* where = "X11";
    if (const char* socketPath = std::getenv("SWAYSOCK")) {
        sway.emplace(socketPath);
        if (!sway->connected()) {
            std::fprintf(stderr, "binding_latency: no sway IPC at %s\n", socketPath);
            return 1;
        }
        pickerFocused = [&] {
            return sway->pickerFocused();
        };
        reset = [&] {
            sway->reset();
        };
        where = "sway";
    } else {
        x11.emplace();
        pickerFocused = [&] {
            return x11->pickerHasFocus();
        };
    }

    const pid_t running = spawn(program, nullptr);
    std::this_thread::sleep_for(std::chrono::seconds(2));

    std::vector<double> focused;
    std::vector<double> exited;
    for (int i = 0; i < rounds; ++i) {
        reset();
        const Clock::time_point start = Clock::now();
        const pid_t command = spawn(program, "--toggle");
        std::optional<double> focusedMs;
        std::optional<double> exitedMs;
        while ((!focusedMs || !exitedMs) && msSince(start) < 5000) {
            if (!exitedMs && ::waitpid(command, nullptr, WNOHANG) == command)
                exitedMs = msSince(start);
            if (!focusedMs && pickerFocused())
                focusedMs = msSince(start);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (!exitedMs)
            ::waitpid(command, nullptr, 0);
        if (focusedMs)
            focused.push_back(*focusedMs);
        if (exitedMs)
            exited.push_back(*exitedMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // The same command closes it again.
        ::waitpid(spawn(program, "--toggle"), nullptr, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    ::waitpid(spawn(program, "--quit"), nullptr, 0);
    ::waitpid(running, nullptr, 0);

    std::printf("compositor binding on %s, %d rounds\n", where, rounds);
    report("quillstow --toggle to picker shown and focused", focused, rounds);
    report("quillstow --toggle to its exit", exited, rounds);
    return 0;
}
