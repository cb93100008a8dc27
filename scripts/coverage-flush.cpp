// Linked into the program in the coverage build only: writes the counters when the program is
// ended with SIGTERM, as the desktop tests and the test bed end it.
#include <csignal>
#include <unistd.h>

extern "C" void __gcov_dump();

namespace {

extern "C" void dumpAndExit(int signal)
{
    __gcov_dump();
    _exit(128 + signal);
}

const bool installed = [] {
    std::signal(SIGTERM, dumpAndExit);
    return true;
}();

} // namespace
