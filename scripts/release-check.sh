#!/usr/bin/env bash
# Packs the release of the last commit twice, from two clones in folders of different names and
# depths, with different umasks and time zones, and fails when any byte of corvane.exe, the zip or
# the Debian package differs. Then checks SHA256SUMS and runs lintian on the package.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh" release
work=$(mktemp -d /tmp/corvane-release.XXXXXX)
trap 'rm -rf "$work"' EXIT

one=$work/one
two=$work/second/clone-of-corvane
git clone -q "$root" "$one"
git clone -q "$root" "$two"
(umask 022 && TZ=UTC make -C "$one" dist >/dev/null)
(umask 077 && TZ=Pacific/Kiritimati make -C "$two" dist >/dev/null)

dist=build/dist
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$one/build/windows/CMakeCache.txt")
status=0
for file in build/windows/bin/corvane.exe "$dist/corvane-$version-win64.zip" \
    "$dist/corvane_${version}_all.deb" "$dist/SHA256SUMS"; do
    if cmp -s "$one/$file" "$two/$file"; then
        echo "release-check: same bytes  $(sha256sum "$one/$file" | cut -c1-16)  ${file##*/}"
    else
        echo "release-check: DIFFERENT   ${file##*/}" >&2
        status=1
    fi
done
(cd "$one/$dist" && sha256sum --quiet -c SHA256SUMS) || status=1
lint=$(lintian --fail-on error,warning "$one/$dist/corvane_${version}_all.deb" 2>&1) || status=1
# Its remark on running as root says nothing about the package.
grep -v 'running with root privileges' <<<"$lint" || true
[[ $status -eq 0 ]] && echo "release-check: two builds give the same bytes; SHA256SUMS and lintian pass"
exit $status
