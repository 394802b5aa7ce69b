#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Ed25519 keys and signatures for Orlette's update archives, through libsodium (the library
the application checks them with).

    sign-update.py keygen             prints a new secret key (base64, 64 bytes) and, on the
                                      second line, its public key (base64, 32 bytes)
    sign-update.py public             prints the public key of $ORLETTE_SIGNING_KEY
    sign-update.py sign FILE          prints the base64 signature of FILE made with
                                      $ORLETTE_SIGNING_KEY

The secret key is read from the environment, never from the command line, so it does not
show in the list of processes."""

import base64
import ctypes
import ctypes.util
import os
import sys
from pathlib import Path

SECRET_BYTES = 64
PUBLIC_BYTES = 32
SIGNATURE_BYTES = 64


def sodium() -> ctypes.CDLL:
    name = ctypes.util.find_library("sodium") or "libsodium.so.23"
    library = ctypes.CDLL(name)
    if library.sodium_init() < 0:
        raise SystemExit("sign-update: libsodium cannot work here")
    return library


def secret_key() -> bytes:
    text = os.environ.get("ORLETTE_SIGNING_KEY", "").strip()
    if not text:
        raise SystemExit("sign-update: set ORLETTE_SIGNING_KEY to the base64 secret key")
    try:
        key = base64.b64decode(text, validate=True)
    except ValueError:
        raise SystemExit("sign-update: ORLETTE_SIGNING_KEY is not base64")
    if len(key) != SECRET_BYTES:
        raise SystemExit(f"sign-update: the secret key must be {SECRET_BYTES} bytes")
    return key


def keygen(library: ctypes.CDLL) -> None:
    public = ctypes.create_string_buffer(PUBLIC_BYTES)
    secret = ctypes.create_string_buffer(SECRET_BYTES)
    if library.crypto_sign_keypair(public, secret) != 0:
        raise SystemExit("sign-update: no key pair")
    sys.stdout.write(base64.b64encode(secret.raw).decode() + "\n" +
                     base64.b64encode(public.raw).decode() + "\n")


def public(library: ctypes.CDLL) -> None:
    key = ctypes.create_string_buffer(secret_key(), SECRET_BYTES)
    out = ctypes.create_string_buffer(PUBLIC_BYTES)
    if library.crypto_sign_ed25519_sk_to_pk(out, key) != 0:
        raise SystemExit("sign-update: not a secret key")
    print(base64.b64encode(out.raw).decode())


def sign(library: ctypes.CDLL, path: Path) -> None:
    key = ctypes.create_string_buffer(secret_key(), SECRET_BYTES)
    data = path.read_bytes()
    signature = ctypes.create_string_buffer(SIGNATURE_BYTES)
    length = ctypes.c_ulonglong(0)
    if library.crypto_sign_detached(signature, ctypes.byref(length), data,
                                    ctypes.c_ulonglong(len(data)), key) != 0:
        raise SystemExit("sign-update: signing failed")
    print(base64.b64encode(signature.raw[:length.value]).decode())


def main(argv: list[str]) -> None:
    library = sodium()
    if argv[:1] == ["keygen"] and len(argv) == 1:
        keygen(library)
    elif argv[:1] == ["public"] and len(argv) == 1:
        public(library)
    elif argv[:1] == ["sign"] and len(argv) == 2:
        sign(library, Path(argv[1]))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
