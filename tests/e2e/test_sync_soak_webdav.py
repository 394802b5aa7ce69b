# SPDX-License-Identifier: GPL-3.0-or-later
"""The randomized soak of the mirroring (soak.py) on a real WebDAV server, Debian's Apache
with mod_dav: three computers mirror to one collection, each given its password once in
its settings window as a person does, and the server is stopped and started again.

    ORLETTE_SOAK_SECONDS  how long the random part runs (90 by default)
    ORLETTE_SOAK_SEED     the seed of the random choices (printed; random by default)
"""

from contextlib import ExitStack

import harness
import soak
from harness import Desktop
from webdav import WebDavServer

USER = "ana"
PASSWORD = "pan-con-tomate"
SETTINGS = "Ajustes"


class WebDavTarget:
    def __init__(self, server: WebDavServer):
        self.server = server

    def prepare(self, desktop: Desktop) -> None:
        settings = desktop.home / "config" / "Orlette" / "Orlette.conf"
        settings.parent.mkdir(parents=True, exist_ok=True)
        settings.write_text("[General]\nhasSeenTour=true\nhasSeededWelcomeNotes=true\n"
                            f"syncTargetKind=webdav\nsyncWebDavURL={self.server.url}\n"
                            f"syncWebDavUser={USER}\n")

    def set_up(self, computer: soak.Computer) -> None:
        """The password, typed into the settings window and kept in the desktop's secret
        store; then the window is closed once the mirroring is up to date."""
        desktop = computer.desktop
        soak.handover(desktop, computer.binary, "--settings")
        desktop.press_accessible("Contraseña:", role="password text", window=SETTINGS,
                                 timeout=30)
        desktop.key("ctrl+a", "BackSpace")
        desktop.type_text(PASSWORD)
        desktop.press_accessible("Guardar destino", role="push button", window=SETTINGS)
        desktop.wait_for_accessible("Al día", role="label", window=SETTINGS, timeout=60)
        soak.close_window(desktop, computer.rails.app.pid, SETTINGS)

    def take_away(self) -> None:
        self.server.stop()

    def bring_back(self) -> None:
        self.server.start()


def test_random_edits_kills_and_server_outages_lose_no_saved_edit(args):
    with ExitStack() as stack:
        server = stack.enter_context(WebDavServer(args.artifacts / "soak-webdav-apache", USER,
                                                  PASSWORD))
        soak.run(args, "webdav", 3, 90, WebDavTarget(server), stack)


if __name__ == "__main__":
    harness.main(globals())
