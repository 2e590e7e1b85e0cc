#!/usr/bin/env bash
# Packs the release into build/dist:
#   corvane-VERSION-win64.zip   corvane.exe, the Linux launcher, the README with its screenshot and
#                               the licence
#   corvane_VERSION_all.deb     the same for Debian and Ubuntu, with a menu entry and icons
#   SHA256SUMS                  the checksums of both, for `sha256sum -c SHA256SUMS`
# The same commit gives the same bytes wherever and whenever it is packed: every file time is the
# last commit's, owners are root, names are sorted and modes are set here, not by the umask.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/windows}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
dist="$root/build/dist"
exe="$build/bin/corvane.exe"

# A source tree without its history (git archive) has the commit's time on every file.
if [[ -z "${SOURCE_DATE_EPOCH:-}" ]]; then
    if [[ "$(git -C "$root" rev-parse --show-toplevel 2>/dev/null)" == "$root" ]]; then
        SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
    else
        SOURCE_DATE_EPOCH=$(stat -c %Y "$root/CMakeLists.txt")
    fi
fi
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022

# Every file and folder under $1 gets the commit's time.
stamp() {
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

mkdir -p "$dist"

# The zip.
name="corvane-$version-win64"
stage="$dist/$name"
rm -rf "$stage" && mkdir -p "$stage/docs"
install -m 0644 "$exe" "$root/README.md" "$root/LICENSE" "$stage/"
install -m 0755 "$root/scripts/corvane" "$stage/"
install -m 0644 "$root/docs/main-window.png" "$root"/docs/*.md "$stage/docs/" # the README's
stamp "$stage"
(cd "$dist" && rm -f "$name.zip" && find "$name" | sort | zip -q -X -@ "$name.zip")

# The Debian package.
deb="corvane_${version}_all.deb"
pkg="$dist/deb"
doc="$pkg/usr/share/doc/corvane"
rm -rf "$pkg"
install -D -m 0644 "$exe" "$pkg/usr/lib/corvane/corvane.exe"
install -D -m 0755 "$root/scripts/corvane" "$pkg/usr/bin/corvane"
install -D -m 0644 "$root/packaging/corvane.desktop" "$pkg/usr/share/applications/corvane.desktop"
for size in 16 32 48; do
    install -D -m 0644 "$root/resources/icons/corvane-$size.png" \
        "$pkg/usr/share/icons/hicolor/${size}x$size/apps/corvane.png"
done
install -D -m 0644 "$root/README.md" "$root/packaging/copyright" -t "$doc"
install -D -m 0644 "$root/packaging/lintian-overrides" "$pkg/usr/share/lintian/overrides/corvane"
install -D -m 0644 "$root/docs/main-window.png" "$root"/docs/*.md -t "$doc/docs"
mkdir -p "$pkg/usr/share/man/man1"
gzip -9n <"$root/packaging/changelog" >"$doc/changelog.gz"
gzip -9n <"$root/packaging/corvane.1" >"$pkg/usr/share/man/man1/corvane.1.gz"
chmod 0644 "$doc/changelog.gz" "$pkg/usr/share/man/man1/corvane.1.gz"
# Installed-Size in KiB, counted from the file sizes so that no file system's blocks enter it.
kib=$(find "$pkg" -type f -printf '%s\n' | awk '{ k += int(($1 + 1023) / 1024) } END { print k }')
mkdir -p "$pkg/DEBIAN"
sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$kib/" "$root/packaging/control" \
    >"$pkg/DEBIAN/control"
(cd "$pkg" && find usr -type f | sort | xargs md5sum >DEBIAN/md5sums)
install -m 0755 "$root/packaging/postinst" "$root/packaging/postrm" "$pkg/DEBIAN/"
install -m 0644 "$root/packaging/triggers" "$pkg/DEBIAN/"
chmod 0644 "$pkg/DEBIAN/control" "$pkg/DEBIAN/md5sums"
stamp "$pkg"
dpkg-deb --root-owner-group -Zxz --build "$pkg" "$dist/$deb" >/dev/null

(cd "$dist" && sha256sum "$name.zip" "$deb" >SHA256SUMS)
echo "$dist/$name.zip"
echo "$dist/$deb"
echo "$dist/SHA256SUMS"
