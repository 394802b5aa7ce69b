# SPDX-License-Identifier: GPL-3.0-or-later
"""The application mirroring to a real WebDAV server (Debian's Apache with mod_dav and
basic authentication, on loopback), set up and watched through the settings window as a
person would: the window's texts and buttons are read and pressed through the desktop's
accessibility bus, the password goes to the desktop's secret store."""

import time
from pathlib import Path

import harness
import railapp
from harness import Desktop
from rclone_webdav import RcloneWebDav
from webdav import WebDavServer

USER = "ana"
PASSWORD = "pan-con-tomate"
SETTINGS = "Ajustes"
SIGNED_OUT = "Este Mac no ha iniciado sesión en iCloud."
OFFLINE = "Sin conexión. Se reintentará solo."
NO_ROOM = "No queda espacio en tu iCloud."
CARELESS = ("Este servidor WebDAV no respeta las escrituras condicionales: un ordenador podría "
            "borrar sin aviso lo que escribió otro. No se sincroniza con él.")
SOME_FAILED = "iCloud devolvió un error al sincronizar."
# Neither the tour nor the welcome notes come in the middle of a test.
SETTLED = "[General]\nhasSeenTour=true\nhasSeededWelcomeNotes=true\n"


def settings_file(desktop: Desktop) -> Path:
    return desktop.home / "config" / "Orlette" / "Orlette.conf"


def open_settings(desktop: Desktop, binary: Path) -> None:
    railapp.settle_first_launch(desktop)
    desktop.launch(binary, "--settings")
    desktop.wait_for_accessible("Sincronizar ahora", role="push button", window=SETTINGS,
                                timeout=30)


def fill(desktop: Desktop, field: str, text: str, role: str = "text") -> None:
    desktop.press_accessible(field, role=role, window=SETTINGS)
    desktop.key("ctrl+a", "BackSpace")
    desktop.type_text(text)


def save_password(desktop: Desktop, password: str) -> None:
    fill(desktop, "Contraseña:", password, role="password text")
    desktop.press_accessible("Guardar destino", role="push button", window=SETTINGS)


def wait_for_status(desktop: Desktop, label: str, message: str = None,
                    timeout: float = 60) -> None:
    """Waits until the iCloud row says `label` (and, when given, the message below it)."""
    desktop.wait_for_accessible(label, role="label", window=SETTINGS, timeout=timeout)
    if message:
        desktop.wait_for_accessible(message, role="label", window=SETTINGS, timeout=timeout)


def server_has(server: WebDavServer, text: str) -> bool:
    return any(text in path.read_text(errors="replace") for path in server.records())


def new_note(desktop: Desktop, binary: Path, text: str) -> None:
    before = len(railapp.notes(desktop))
    desktop.launch(binary, "--new-note")
    desktop.wait_for(lambda: len(railapp.notes(desktop)) == before + 1, "the new note")
    time.sleep(0.8)
    desktop.type_text(text)
    desktop.wait_for(lambda: any(text in n["plainText"] for n in railapp.notes(desktop)),
                     f"{text!r} saved on this computer", timeout=15)


def test_a_wrong_password_is_refused_and_the_right_one_is_kept_in_the_secret_store(args):
    with Desktop(args.artifacts, "webdav-password", session=True) as desktop, \
            WebDavServer(desktop.artifacts / "apache", USER, PASSWORD) as server:
        open_settings(desktop, args.binary)

        # The target typed into the form, with a password that is not the one.
        desktop.press_accessible(role="combo box", name="Ninguno", window=SETTINGS)
        desktop.press_accessible("Un servidor WebDAV", role="list item")
        fill(desktop, "Dirección:", server.url)
        fill(desktop, "Usuario:", USER)
        save_password(desktop, "pan-sin-tomate")
        wait_for_status(desktop, "Detenida", SIGNED_OUT)
        desktop.screenshot("wrong-password")
        assert not server.records(), "nothing is written without the right password"

        # The details for a bug report name the refusal, never the password.
        desktop.press_accessible("Copiar detalles", role="push button", window=SETTINGS)
        details = desktop.wait_for(lambda: desktop.run(
            ["xclip", "-o", "-selection", "clipboard"], check=False).stdout,
            "the details on the clipboard")
        assert "401" in details and server.url.split("//")[1] in details, details
        assert "pan-sin-tomate" not in details and PASSWORD not in details

        # The right password: the mirroring starts by itself.
        save_password(desktop, PASSWORD)
        wait_for_status(desktop, "Al día")
        assert not desktop.find_accessible(SIGNED_OUT), "the old message is gone"
        new_note(desktop, args.binary, "tostadas con aceite")
        desktop.wait_for(lambda: server_has(server, "tostadas con aceite"),
                         "the note on the server", timeout=30)

        # The password lives in the secret store only.
        settings = settings_file(desktop).read_text()
        assert server.url in settings and f"syncWebDavUser={USER}" in settings
        assert PASSWORD not in settings and "pan-sin-tomate" not in settings
        log = "".join(path.read_text(errors="replace") for path in desktop.artifacts.glob("*.log"))
        assert PASSWORD not in log, "the password never reaches a log"


def test_a_stopped_server_and_a_full_account_are_told_and_the_notes_go_out_later(args):
    # A small screen: the settings page scrolls to reach the password.
    with Desktop(args.artifacts, "webdav-outages", size=(1280, 720), session=True) as desktop, \
            WebDavServer(desktop.artifacts / "apache", USER, PASSWORD) as server:
        settings = settings_file(desktop)
        settings.parent.mkdir(parents=True, exist_ok=True)
        settings.write_text(SETTLED + "syncTargetKind=webdav\n"
                            f"syncWebDavURL={server.url}\nsyncWebDavUser={USER}\n")
        open_settings(desktop, args.binary)
        # No password in this desktop's secret store yet.
        wait_for_status(desktop, "Detenida", SIGNED_OUT)
        save_password(desktop, PASSWORD)
        wait_for_status(desktop, "Al día")

        # The server goes away while a note is written.
        server.stop()
        new_note(desktop, args.binary, "escrita sin red")
        wait_for_status(desktop, "Detenida", OFFLINE, timeout=30)
        desktop.screenshot("offline")
        server.start()
        desktop.wait_for(lambda: server_has(server, "escrita sin red"),
                         "the note on the server once it is back", timeout=60)
        wait_for_status(desktop, "Al día", timeout=30)
        assert not desktop.find_accessible(OFFLINE)

        # The account is full: the next note stays here, and goes out once there is room.
        server.quota_full = True
        new_note(desktop, args.binary, "sin sitio")
        wait_for_status(desktop, "Detenida", NO_ROOM, timeout=30)
        desktop.screenshot("no-room")
        assert not server_has(server, "sin sitio")
        server.quota_full = False
        new_note(desktop, args.binary, "con sitio")
        desktop.wait_for(lambda: server_has(server, "sin sitio") and server_has(server, "con sitio"),
                         "both notes on the server", timeout=60)
        wait_for_status(desktop, "Al día", timeout=30)


def test_a_note_reaches_the_other_computer_through_the_server_between_polls(args):
    with Desktop(args.artifacts, "webdav-a", session=True) as a, \
            Desktop(args.artifacts, "webdav-b", session=True) as b, \
            WebDavServer(a.artifacts / "apache", USER, PASSWORD) as server:
        for desktop in (a, b):
            settings = settings_file(desktop)
            settings.parent.mkdir(parents=True, exist_ok=True)
            settings.write_text(SETTLED + "syncTargetKind=webdav\n"
                                f"syncWebDavURL={server.url}\nsyncWebDavUser={USER}\n")
            open_settings(desktop, args.binary)
            save_password(desktop, PASSWORD)
            wait_for_status(desktop, "Al día")

        new_note(a, args.binary, "llega sola")
        written = time.monotonic()
        b.wait_for(lambda: any(n["plainText"] == "llega sola" for n in railapp.notes(b)),
                   "the note on B", timeout=15)
        # Well before the 30 s poll: B asks the server every few seconds whether its
        # folders changed.
        print(f"on B {time.monotonic() - written:.1f} s after it was saved on A")
        b.screenshot("arrived")


def test_a_server_that_ignores_conditional_writes_is_refused_and_apache_is_not(args):
    with Desktop(args.artifacts, "webdav-conditions", session=True) as desktop, \
            RcloneWebDav(desktop.artifacts / "rclone") as careless, \
            WebDavServer(desktop.artifacts / "apache", USER, PASSWORD) as apache:
        settings = settings_file(desktop)
        settings.parent.mkdir(parents=True, exist_ok=True)
        settings.write_text(SETTLED + f"syncTargetKind=webdav\nsyncWebDavURL={careless.url}\n")
        open_settings(desktop, args.binary)

        # rclone's server takes a stale If-Match and If-None-Match: * on an existing file:
        # two computers could overwrite each other unseen. Nothing goes there.
        wait_for_status(desktop, "Detenida", CARELESS, timeout=30)
        desktop.screenshot("careless-server")
        new_note(desktop, args.binary, "solo local")
        desktop.press_accessible("Sincronizar ahora", role="push button", window=SETTINGS)
        time.sleep(4)
        assert careless.entries() == [], careless.entries()
        assert desktop.find_accessible(CARELESS, role="label", window=SETTINGS)

        # Apache keeps its word: the mirroring runs, and the probe leaves nothing behind.
        fill(desktop, "Dirección:", apache.url)
        fill(desktop, "Usuario:", USER)
        save_password(desktop, PASSWORD)
        wait_for_status(desktop, "Al día")
        desktop.wait_for(lambda: server_has(apache, "solo local"), "the note on Apache",
                         timeout=30)
        assert not list(apache.files.rglob(".orlette-probe*")), "the probe is deleted"
        assert not desktop.find_accessible(CARELESS, role="label", window=SETTINGS)

        # A record far over the size limit is not read whole: the status says a note could
        # not be taken in, the other notes still go out.
        big = apache.files / "Orlette" / "notes" / "0BADF00D-0000-4000-8000-000000000000.json"
        with open(big, "wb") as out:
            out.write(b'{"format": 1, "recordName": "0BADF00D-0000-4000-8000-000000000000", "x": "')
            out.write(b"a" * (20 * 1024 * 1024))
            out.write(b'"}')
        new_note(desktop, args.binary, "tras el grande")
        wait_for_status(desktop, "Detenida", SOME_FAILED, timeout=60)
        desktop.wait_for(lambda: server_has(apache, "tras el grande"),
                         "the next note on Apache", timeout=30)
        assert not any("aaaa" in n["plainText"] for n in railapp.notes(desktop))


if __name__ == "__main__":
    harness.main(globals())
