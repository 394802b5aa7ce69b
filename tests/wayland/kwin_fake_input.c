// SPDX-License-Identifier: GPL-3.0-or-later
// Drives KWin's pointer and keyboard at the compositor, as a real device would, through
// its fake-input protocol (KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 lets a test client bind
// it). Reads one command a line on stdin and answers "ok" once the compositor has
// handled it (a display round trip), so a test never races its own input:
//   move X Y            absolute pointer motion, in global compositor coordinates
//   step DX DY          relative pointer motion, as a mouse makes it
//   button CODE 0|1     an evdev button code (272 is the left button), released / pressed
//   key CODE 0|1        an evdev key code, released / pressed
//   axis 0|1 VALUE      vertical (0) or horizontal (1) scroll
#include "fake-input-client-protocol.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>

static struct org_kde_kwin_fake_input *fakeInput;

static void onGlobal(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                     uint32_t version)
{
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        fakeInput = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4);
}

static void onGlobalRemove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

int main(void)
{
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "kwin_fake_input: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, NULL);
    wl_display_roundtrip(display);
    if (!fakeInput) {
        fprintf(stderr, "kwin_fake_input: the compositor offers no org_kde_kwin_fake_input v4\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput, "Orlette tests", "end-to-end input");
    wl_display_roundtrip(display);
    printf("ready\n");
    fflush(stdout);

    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        double x = 0, y = 0;
        unsigned code = 0, state = 0;
        if (sscanf(line, "move %lf %lf", &x, &y) == 2) {
            org_kde_kwin_fake_input_pointer_motion_absolute(fakeInput, wl_fixed_from_double(x),
                                                            wl_fixed_from_double(y));
        } else if (sscanf(line, "step %lf %lf", &x, &y) == 2) {
            org_kde_kwin_fake_input_pointer_motion(fakeInput, wl_fixed_from_double(x),
                                                   wl_fixed_from_double(y));
        } else if (sscanf(line, "button %u %u", &code, &state) == 2) {
            org_kde_kwin_fake_input_button(fakeInput, code, state);
        } else if (sscanf(line, "key %u %u", &code, &state) == 2) {
            org_kde_kwin_fake_input_keyboard_key(fakeInput, code, state);
        } else if (sscanf(line, "axis %u %lf", &code, &x) == 2) {
            org_kde_kwin_fake_input_axis(fakeInput, code, wl_fixed_from_double(x));
        } else {
            printf("error: %s", line);
            fflush(stdout);
            continue;
        }
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "kwin_fake_input: the compositor went away\n");
            return 1;
        }
        printf("ok\n");
        fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
