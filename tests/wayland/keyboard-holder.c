/* keyboard-holder FIFO
 *
 * Puts one virtual keyboard on the compositor's seat and keeps it there until it is ended, so
 * that windows keep the keyboard focus between key presses (a seat without a keyboard drops the
 * focus whenever a short-lived key injector leaves). It reads commands, one a line, from FIFO:
 *   key CHORD      press and release a chord such as "super+shift+v", "ctrl+v", "Return"
 *   type TEXT      type TEXT (characters of the US layout)
 * After each command it writes to FIFO.done how many commands it has carried out and whether the
 * last one worked ("3 ok", "4 failed": an unknown key or a character the layout lacks), so that
 * a caller can wait for its keys to have reached the compositor.
 *
 * The keymap is a full one compiled by xkbcommon: toolkits ignore shortcuts sent with a partial
 * keymap. The modifier state is sent after every key, as clients take it from there. */
#define _GNU_SOURCE
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#define EVDEV_OFFSET 8 /* xkb keycodes are evdev codes plus 8 */

static struct wl_seat* seat;
static struct zwp_virtual_keyboard_manager_v1* manager;
static struct zwp_virtual_keyboard_v1* keyboard;
static struct xkb_keymap* keymap;
static struct xkb_state* state;
static struct wl_display* display;

static void on_global(void* data, struct wl_registry* registry, uint32_t name,
                      const char* interface, uint32_t version)
{
    (void)data;
    (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
}

static void on_global_remove(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {on_global, on_global_remove};

static uint32_t now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static void send_key(xkb_keycode_t code, int pressed)
{
    zwp_virtual_keyboard_v1_key(keyboard, now_ms(), code - EVDEV_OFFSET,
                                pressed ? WL_KEYBOARD_KEY_STATE_PRESSED
                                        : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(state, code, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_modifiers(
        keyboard, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
}

struct search
{
    xkb_keysym_t sym;
    xkb_keycode_t code;
    xkb_level_index_t level;
};

static void find_in_key(struct xkb_keymap* map, xkb_keycode_t code, void* data)
{
    struct search* s = data;
    if (s->code)
        return;
    xkb_level_index_t levels = xkb_keymap_num_levels_for_key(map, code, 0);
    for (xkb_level_index_t level = 0; level < levels && level < 2; ++level) {
        const xkb_keysym_t* syms;
        int n = xkb_keymap_key_get_syms_by_level(map, code, 0, level, &syms);
        for (int i = 0; i < n; ++i) {
            if (syms[i] == s->sym) {
                s->code = code;
                s->level = level;
                return;
            }
        }
    }
}

/* The key that gives SYM on the first layout, and whether Shift is needed for it. */
static int key_for(xkb_keysym_t sym, xkb_keycode_t* code, int* shifted)
{
    struct search s = {sym, 0, 0};
    xkb_keymap_key_for_each(keymap, find_in_key, &s);
    if (!s.code)
        return 0;
    *code = s.code;
    *shifted = s.level == 1;
    return 1;
}

static xkb_keysym_t sym_for_name(const char* name)
{
    static const char* const aliases[][2] = {
        {"super", "Super_L"}, {"shift", "Shift_L"}, {"ctrl", "Control_L"}, {"control", "Control_L"},
        {"alt", "Alt_L"},     {"enter", "Return"},  {"esc", "Escape"},     {"space", "space"},
    };
    for (size_t i = 0; i < sizeof aliases / sizeof aliases[0]; ++i)
        if (strcasecmp(name, aliases[i][0]) == 0)
            return xkb_keysym_from_name(aliases[i][1], XKB_KEYSYM_NO_FLAGS);
    xkb_keysym_t sym = xkb_keysym_from_name(name, XKB_KEYSYM_NO_FLAGS);
    return sym != XKB_KEY_NoSymbol ? sym : xkb_keysym_from_name(name, XKB_KEYSYM_CASE_INSENSITIVE);
}

static int press_chord(char* chord)
{
    xkb_keycode_t codes[8];
    int count = 0;
    char* save = NULL;
    for (char* name = strtok_r(chord, "+", &save); name; name = strtok_r(NULL, "+", &save)) {
        int shifted;
        xkb_keysym_t sym = sym_for_name(name);
        if (sym == XKB_KEY_NoSymbol || count == 8 || !key_for(sym, &codes[count], &shifted)) {
            fprintf(stderr, "keyboard-holder: unknown key '%s'\n", name);
            return 0;
        }
        ++count;
    }
    for (int i = 0; i < count; ++i)
        send_key(codes[i], 1);
    for (int i = count - 1; i >= 0; --i)
        send_key(codes[i], 0);
    return 1;
}

static int type_text(const char* text)
{
    xkb_keycode_t shift = 0;
    int unused;
    if (!key_for(XKB_KEY_Shift_L, &shift, &unused))
        return 0;
    for (const char* p = text; *p; ++p) {
        xkb_keycode_t code;
        int shifted;
        if (!key_for(xkb_utf32_to_keysym((unsigned char)*p), &code, &shifted)) {
            fprintf(stderr, "keyboard-holder: cannot type '%c'\n", *p);
            return 0;
        }
        if (shifted)
            send_key(shift, 1);
        send_key(code, 1);
        send_key(code, 0);
        if (shifted)
            send_key(shift, 0);
    }
    return 1;
}

static int run_command(char* line)
{
    if (strncmp(line, "key ", 4) == 0)
        return press_chord(line + 4);
    if (strncmp(line, "type ", 5) == 0)
        return type_text(line + 5);
    fprintf(stderr, "keyboard-holder: unknown command '%s'\n", line);
    return 0;
}

static void report_done(const char* done_path, unsigned long count, int ok)
{
    char tmp[4096];
    snprintf(tmp, sizeof tmp, "%s.tmp", done_path);
    FILE* f = fopen(tmp, "w");
    if (!f)
        return;
    fprintf(f, "%lu %s\n", count, ok ? "ok" : "failed");
    fclose(f);
    rename(tmp, done_path);
}

static int upload_keymap(void)
{
    struct xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
    keymap =
        context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : NULL;
    if (!keymap)
        return 0;
    state = xkb_state_new(keymap);
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    size_t size = strlen(text) + 1;
    int fd = memfd_create("keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, text, size) != (ssize_t)size)
        return 0;
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, (uint32_t)size);
    close(fd);
    free(text);
    return 1;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: keyboard-holder FIFO\n");
        return 2;
    }
    char done_path[4096];
    snprintf(done_path, sizeof done_path, "%s.done", argv[1]);

    display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "keyboard-holder: no Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!seat || !manager) {
        fprintf(stderr, "keyboard-holder: the compositor offers no virtual keyboard\n");
        return 1;
    }
    keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
    if (!upload_keymap()) {
        fprintf(stderr, "keyboard-holder: cannot compile or send the keymap\n");
        return 1;
    }
    if (wl_display_roundtrip(display) < 0) {
        fprintf(stderr, "keyboard-holder: the compositor refused the keyboard\n");
        return 1;
    }
    /* Opened for writing too, so the FIFO never reports end of file between writers. */
    int fifo = open(argv[1], O_RDWR | O_CLOEXEC);
    if (fifo < 0) {
        perror("keyboard-holder: FIFO");
        return 1;
    }
    unsigned long done = 0;
    report_done(done_path, done, 1);

    char buffer[4096];
    size_t used = 0;
    for (;;) {
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        struct pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {fifo, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            wl_display_cancel_read(display);
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            if (wl_display_read_events(display) < 0)
                return 1;
        } else {
            wl_display_cancel_read(display);
        }
        if (fds[0].revents & (POLLERR | POLLHUP))
            return 1;
        if (wl_display_dispatch_pending(display) < 0)
            return 1;
        if (!(fds[1].revents & POLLIN))
            continue;
        ssize_t n = read(fifo, buffer + used, sizeof buffer - 1 - used);
        if (n <= 0)
            continue;
        used += (size_t)n;
        char* newline;
        while ((newline = memchr(buffer, '\n', used))) {
            *newline = '\0';
            int ok = run_command(buffer);
            if (wl_display_roundtrip(display) < 0)
                return 1;
            report_done(done_path, ++done, ok);
            size_t consumed = (size_t)(newline - buffer) + 1;
            memmove(buffer, newline + 1, used - consumed);
            used -= consumed;
        }
        if (used == sizeof buffer - 1)
            used = 0; /* a line longer than the buffer: drop it */
    }
}
