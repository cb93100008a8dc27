/* Loaded with LD_PRELOAD into the compositor so that it runs as root on the test machine: the
 * compositor refuses to start unless taking root back with setuid(0)/setgid(0) fails, which is
 * never true for root itself. This makes exactly those two calls fail with EPERM.
 *
 * The library puts back the LD_PRELOAD the bed was started with (DROP_ROOT_PRELOAD) as soon as it
 * is loaded: the compositor's children (Xwayland and its keymap compiler, the bar, programs it
 * launches) must run unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

__attribute__((constructor)) static void leave_the_environment(void)
{
    const char* preload = getenv("DROP_ROOT_PRELOAD");
    if (preload && *preload)
        setenv("LD_PRELOAD", preload, 1);
    else
        unsetenv("LD_PRELOAD");
}

int setuid(uid_t uid)
{
    if (uid == 0) {
        errno = EPERM;
        return -1;
    }
    int (*real)(uid_t) = (int (*)(uid_t))dlsym(RTLD_NEXT, "setuid");
    return real ? real(uid) : -1;
}

int setgid(gid_t gid)
{
    if (gid == 0) {
        errno = EPERM;
        return -1;
    }
    int (*real)(gid_t) = (int (*)(gid_t))dlsym(RTLD_NEXT, "setgid");
    return real ? real(gid) : -1;
}
