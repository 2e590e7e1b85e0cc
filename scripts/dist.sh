#!/usr/bin/env bash
# Packs the release: corvane.exe, the Linux launcher, the README with its screenshot and the
# licence.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/windows}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name="corvane-$version-win64"
stage="$root/build/dist/$name"
rm -rf "$stage" && mkdir -p "$stage"
cp "$build/bin/corvane.exe" "$root/README.md" "$root/LICENSE" "$root/scripts/corvane" "$stage/"
mkdir -p "$stage/docs" && cp "$root/docs/main-window.png" "$stage/docs/"  # the README shows it
(cd "$root/build/dist" && rm -f "$name.zip" && zip -qr "$name.zip" "$name")
echo "$root/build/dist/$name.zip"
