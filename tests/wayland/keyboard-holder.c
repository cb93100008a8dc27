/* keyboard-holder FIFO
 *
 * Puts one virtual keyboard on the compositor's seat and keeps it there until it is ended, so
 * that windows keep the keyboard focus between key presses (a seat without a keyboard drops the
 * focus whenever a short-lived key injector leaves). It reads commands, one a line, from FIFO:
 *   key CHORD      press and release a chord such as "super+shift+v", "ctrl+v", "Return"
 * Once ready, and after each command once its keys have reached the compositor, it adds a line
 * to the file FIFO.done: "ok", or "failed" for an unknown key, so that a caller can wait for it.
 *
 * The keymap is a full one compiled by xkbcommon: toolkits ignore shortcuts sent with a partial
 * keymap. The modifier state is sent after every key, as clients take it from there. */
#define _GNU_SOURCE
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

/* Listeners take the protocol's whole argument list. */
#pragma GCC diagnostic ignored "-Wunused-parameter"

#define EVDEV_OFFSET 8 /* xkb keycodes are evdev codes plus 8 */

static struct wl_seat* seat;
static struct zwp_virtual_keyboard_manager_v1* manager;
static struct zwp_virtual_keyboard_v1* keyboard;
static struct xkb_keymap* keymap;
static struct xkb_state* state;

static void on_global(void* data, struct wl_registry* registry, uint32_t name,
                      const char* interface, uint32_t version)
{
    if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
}

static void on_global_remove(void* data, struct wl_registry* registry, uint32_t name) {}

static void send_key(xkb_keycode_t code, int pressed)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    zwp_virtual_keyboard_v1_key(
        keyboard, (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000), code - EVDEV_OFFSET,
        pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(state, code, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_modifiers(
        keyboard, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
}

/* The key whose first level on the first layout gives the key named NAME; 0 if none does. */
static xkb_keycode_t key_named(const char* name)
{
    static const char* const aliases[][2] = {
        {"super", "Super_L"}, {"shift", "Shift_L"}, {"ctrl", "Control_L"}};
    for (size_t i = 0; i < sizeof aliases / sizeof aliases[0]; ++i)
        if (strcasecmp(name, aliases[i][0]) == 0)
            name = aliases[i][1];
    const xkb_keysym_t sym = xkb_keysym_from_name(name, XKB_KEYSYM_CASE_INSENSITIVE);
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
         sym != XKB_KEY_NoSymbol && code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t* syms;
        if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms) > 0 && syms[0] == sym)
            return code;
    }
    return 0;
}

static int press_chord(char* chord)
{
    xkb_keycode_t codes[8];
    int count = 0;
    char* save = NULL;
    for (char* name = strtok_r(chord, "+", &save); name; name = strtok_r(NULL, "+", &save)) {
        if (count == 8 || !(codes[count++] = key_named(name))) {
            fprintf(stderr, "keyboard-holder: unknown key '%s'\n", name);
            return 0;
        }
    }
    for (int i = 0; i < count; ++i)
        send_key(codes[i], 1);
    for (int i = count - 1; i >= 0; --i)
        send_key(codes[i], 0);
    return 1;
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
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "keyboard-holder: no Wayland display\n");
        return 1;
    }
    static const struct wl_registry_listener registry_listener = {on_global, on_global_remove};
    wl_registry_add_listener(wl_display_get_registry(display), &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!seat || !manager) {
        fprintf(stderr, "keyboard-holder: the compositor offers no virtual keyboard\n");
        return 1;
    }
    keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
    if (!upload_keymap() || wl_display_roundtrip(display) < 0) {
        fprintf(stderr, "keyboard-holder: the keymap was not compiled or not taken\n");
        return 1;
    }
    /* Opened for writing too, so the FIFO never reports end of file between writers. The
     * compositor sends this client next to nothing, so its events wait for the next roundtrip. */
    char line[4096], done_path[4096];
    snprintf(done_path, sizeof done_path, "%s.done", argv[1]);
    FILE* fifo = fopen(argv[1], "r+");
    FILE* done = fopen(done_path, "a");
    if (!fifo || !done) {
        perror("keyboard-holder: FIFO");
        return 1;
    }
    for (int ok = 1;;) {
        if (wl_display_roundtrip(display) < 0)
            return 1;
        fprintf(done, ok ? "ok\n" : "failed\n");
        fflush(done);
        if (!fgets(line, sizeof line, fifo))
            return 1;
        line[strcspn(line, "\n")] = '\0';
        ok = strncmp(line, "key ", 4) == 0 && press_chord(line + 4);
    }
}
