// The `quillstow` command. A compositor binding runs `quillstow --toggle` at every press of its
// key, so that road must be quick: this small program asks the running Quillstow over the
// session bus and exits, without loading Qt's GUI, ICU, the accessibility and X libraries that
// the dynamic loader would otherwise spend most of the time on. Anything else (the first start,
// --quit, --help, a request nobody answered) is handed to the full program by exec, in the same
// process, with the same arguments.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dbus/dbus.h>
#include <string>
#include <unistd.h>

namespace {

// A running instance answers within a few milliseconds; one that has just started may not be
// on the bus yet, which the full program waits for.
constexpr int replyTimeoutMs = 1000;
// Bounds the connection to the bus as well, whose library calls have no time limit of their own.
constexpr unsigned int wholeRequestSeconds = 3;

extern "C" void busTooSlow(int)
{
    static const char message[] = "quillstow: the session bus did not answer in time.\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(1);
}

// True when the running instance answered `method`.
bool askRunning(const char* method)
{
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr)
        return false;
    std::signal(SIGALRM, busTooSlow);
    ::alarm(wholeRequestSeconds);
    DBusError error;
    dbus_error_init(&error);
    // A private connection: libdbus would otherwise end the process when the bus goes away.
    DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    bool answered = false;
    if (bus != nullptr) {
        dbus_connection_set_exit_on_disconnect(bus, FALSE);
        DBusMessage* call = dbus_message_new_method_call("org.quillstow.Quillstow", "/Quillstow",
                                                         "org.quillstow.Quillstow", method);
        if (call != nullptr) {
            dbus_message_set_auto_start(call, FALSE);
            DBusMessage* reply =
                dbus_connection_send_with_reply_and_block(bus, call, replyTimeoutMs, &error);
            answered = reply != nullptr;
            if (reply != nullptr)
                dbus_message_unref(reply);
            dbus_message_unref(call);
        }
        dbus_connection_close(bus);
        dbus_connection_unref(bus);
    }
    dbus_error_free(&error);
    ::alarm(0);
    std::signal(SIGALRM, SIG_DFL);
    return answered;
}

std::string selfPath()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--toggle") == 0 && askRunning("TogglePicker"))
        return 0;
    if (argc == 2 && std::strcmp(argv[1], "--show") == 0 && askRunning("ShowPicker"))
        return 0;

    // The full program beside this one in a build folder, else where it is installed.
    const std::string self = selfPath();
    const std::string folder = self.empty() ? std::string(".") : self.substr(0, self.rfind('/'));
    const std::string candidates[] = {
        folder + "/quillstow-app",
        folder + "/" QUILLSTOW_APP_FROM_BIN,
    };
    // The program tells the user this command, not its own path, for key bindings.
    if (!self.empty())
        ::setenv("QUILLSTOW_COMMAND", self.c_str(), 1);
    for (const std::string& program : candidates) {
        if (::access(program.c_str(), X_OK) == 0) {
            ::execv(program.c_str(), argv);
            std::fprintf(stderr, "quillstow: cannot start %s: %s\n", program.c_str(),
                         std::strerror(errno));
            return 127;
        }
    }
    std::fprintf(stderr, "quillstow: the program %s is missing; reinstall Quillstow.\n",
                 candidates[1].c_str());
    return 127;
}
