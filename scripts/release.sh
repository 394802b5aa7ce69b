#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes a release for Orlette's own updater: builds the program with the public key of the
# signing key and the feed address built in, packs it as Orlette-<version>.tar.gz (one
# folder holding `orlette`), signs the archive with Ed25519 and writes the appcast that
# announces it. Everything goes to $ORLETTE_RELEASE_DIR (default build-release/out).
#
#   ORLETTE_SIGNING_KEY   base64 Ed25519 secret key (scripts/sign-update.py keygen); required
#   ORLETTE_FEED_URL      where the appcast will be served
#                         (default https://orlette.org/actualizaciones/appcast.xml)
#   ORLETTE_DOWNLOAD_URL  the folder the archive will be served from (default: the feed's)
#   ORLETTE_RELEASE_PROGRAM  an already built program to pack instead of building one
#   ORLETTE_RELEASE_NOTES    address of the release notes (optional)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORLETTE_RELEASE_BUILD_DIR:-$root/build-release}
out=${ORLETTE_RELEASE_DIR:-$build/out}
feed=${ORLETTE_FEED_URL:-https://orlette.org/actualizaciones/appcast.xml}
downloads=${ORLETTE_DOWNLOAD_URL:-${feed%/*}}
sign() { python3 "$root/scripts/sign-update.py" "$@"; }

[ -n "${ORLETTE_SIGNING_KEY:-}" ] || { echo "release.sh: set ORLETTE_SIGNING_KEY" >&2; exit 1; }
public_key=$(sign public)

program=${ORLETTE_RELEASE_PROGRAM:-}
if [ -z "$program" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DORLETTE_BUILD_TESTS=OFF -DORLETTE_BUILD_BENCH=OFF \
        -DORLETTE_UPDATE_PUBLIC_KEY="$public_key" -DORLETTE_UPDATE_FEED_URL="$feed" >/dev/null
    cmake --build "$build" -j"${ORLETTE_JOBS:-2}" --target orlette
    program=$build/orlette
fi

# The version is the one the program answers with, so the feed can never promise another.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version | sed -n 's/^Orlette //p')
[ -n "$version" ] || { echo "release.sh: $program did not tell its version" >&2; exit 1; }

mkdir -p "$out"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/orlette-$version"
install -m 0755 "$program" "$stage/orlette-$version/orlette"
strip --strip-unneeded "$stage/orlette-$version/orlette" 2>/dev/null || true
archive=$out/Orlette-$version.tar.gz
# Reproducible: no owner names, fixed times, sorted names.
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 -C "$stage" \
    -cf - "orlette-$version" | gzip -9n >"$archive"

signature=$(sign sign "$archive")
length=$(stat -c %s "$archive")
date=$(LC_ALL=C date -u '+%a, %d %b %Y %H:%M:%S +0000')
notes=""
[ -n "${ORLETTE_RELEASE_NOTES:-}" ] &&
    notes="      <sparkle:releaseNotesLink>${ORLETTE_RELEASE_NOTES}</sparkle:releaseNotesLink>"
cat >"$out/appcast.xml" <<XML
<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel>
    <title>Orlette</title>
    <item>
      <title>Orlette $version</title>
      <pubDate>$date</pubDate>
      <sparkle:version>$version</sparkle:version>
$notes
      <enclosure url="$downloads/Orlette-$version.tar.gz" length="$length"
                 type="application/gzip" sparkle:edSignature="$signature"/>
    </item>
  </channel>
</rss>
XML
echo "release.sh: $archive and $out/appcast.xml (public key $public_key)"
