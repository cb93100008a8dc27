/* wayland_clipboard_owner silent|secret: owns the clipboard through wlr-data-control with a text
 * it never sends, for what wl-copy cannot offer: the pipe of a read stays open and empty. Prints
 * "ready" once the selection is set and "send <type>" whenever the text is asked for. A secret
 * has the password manager's flavour beside it. */
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <stdio.h>
#include <string.h>
#include <wayland-client.h>

/* Listeners take the protocol's whole argument list. */
#pragma GCC diagnostic ignored "-Wunused-parameter"

static struct wl_seat* seat;
static struct zwlr_data_control_manager_v1* manager;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version)
{
    if (!seat && strcmp(interface, wl_seat_interface.name) == 0)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1);
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {}

static void send(void* data, struct zwlr_data_control_source_v1* source, const char* type, int fd)
{
    /* fd is left open, unwritten */
    printf("send %s\n", type);
    fflush(stdout);
}

static void cancel(void* data, struct zwlr_data_control_source_v1* source) {}

int main(int argc, char** argv)
{
    struct wl_display* display = wl_display_connect(NULL);
    if (!display)
        return 1;
    static const struct wl_registry_listener registry_listener = {global, global_remove};
    wl_registry_add_listener(wl_display_get_registry(display), &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!seat || !manager)
        return 1;
    struct zwlr_data_control_device_v1* device =
        zwlr_data_control_manager_v1_get_data_device(manager, seat);
    struct zwlr_data_control_source_v1* source =
        zwlr_data_control_manager_v1_create_data_source(manager);
    static const struct zwlr_data_control_source_v1_listener source_listener = {send, cancel};
    zwlr_data_control_source_v1_add_listener(source, &source_listener, NULL);
    zwlr_data_control_source_v1_offer(source, "text/plain;charset=utf-8");
    if (argc > 1 && strcmp(argv[1], "secret") == 0)
        zwlr_data_control_source_v1_offer(source, "x-kde-passwordManagerHint");
    zwlr_data_control_device_v1_set_selection(device, source);
    wl_display_roundtrip(display);
    printf("ready\n");
    fflush(stdout);
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
}
