/* Loaded with LD_PRELOAD into the compositor so that it runs as root on the test machine: the
 * compositor refuses to start unless taking root back with setuid(0)/setgid(0) fails, which is
 * never true for root itself. This makes exactly those two calls fail with EPERM.
 *
 * The library takes itself out of LD_PRELOAD as soon as it is loaded: the compositor's children
 * (Xwayland and its keymap compiler, the bar, programs it launches) must run unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static const char* const library_name = "drop-root";

__attribute__((constructor)) static void leave_the_environment(void)
{
    const char* preload = getenv("LD_PRELOAD");
    if (!preload)
        return;
    /* Keep every other entry (separated by ':' or ' '). */
    char* copy = strdup(preload);
    char* kept = calloc(strlen(preload) + 1, 1);
    if (!copy || !kept) {
        unsetenv("LD_PRELOAD");
    } else {
        char* save = NULL;
        for (char* entry = strtok_r(copy, ": ", &save); entry;
             entry = strtok_r(NULL, ": ", &save)) {
            if (strstr(entry, library_name))
                continue;
            if (*kept)
                strcat(kept, ":");
            strcat(kept, entry);
        }
        if (*kept)
            setenv("LD_PRELOAD", kept, 1);
        else
            unsetenv("LD_PRELOAD");
    }
    free(copy);
    free(kept);
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
