#!/usr/bin/env bash
# Installs the Debian package on a minimal Debian as a player would, starts Corvane as an ordinary
# user on a virtual display, and purges it again:
#   sudo scripts/install-run.sh [DEB]     DEB defaults to build/dist/corvane_*_all.deb (make dist)
#   INSTALL_SUITE=NAME   the Debian release: trixie (default) or bookworm
#   INSTALL_BASE=DIR     an untouched minimal system to copy (made with debootstrap when missing)
#   INSTALL_KEEP=1       keep the system afterwards, for a look inside
# Passes when `apt-get install ./DEB` brings everything Corvane needs and makes the ready prefix;
# a player's first start copies it (no "being updated" window, at most 1.5 x a later start) into a
# prefix of at most 32 MB, the player's alone, with MS Sans Serif and Marlett; the main window
# appears (grouped as corvane.exe, as the menu entry expects) again after a forced prefix update,
# after a link of the prefix lost its file and after Wine's files changed; the save dialog opens
# in ~/.q3a/q3ut4, else in the home with its dot folders listed; a start that fails says so in a
# window; Wine's own files stay unchanged; other accounts that write where they can through the
# install plant nothing in the ready prefix or a player's, and no file is left of nobody's or of
# the maker's; a start killed while it copies leaves no copy behind for long; `dpkg -i` again with
# a plain file or a full file system at /var/lib/corvane, or with a Wine that hangs, ends well and
# touches nothing outside; and `apt-get purge corvane` leaves none of the package's files. Prints the first start's time against a later start and a plain `wineboot
# --init`, best of three each.
set -uo pipefail
[[ $(id -u) -eq 0 ]] || { echo "install-run: needs root (chroot, mounts)" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
deb=${1:-$(ls "$here"/../build/dist/corvane_*_all.deb 2>/dev/null | head -1)}
[[ -f "$deb" ]] || { echo "install-run: no package; run make dist first" >&2; exit 2; }
suite=${INSTALL_SUITE:-trixie}
base=${INSTALL_BASE:-/var/tmp/fresh-debian-$suite}
shot=$(cd "$(dirname "$deb")" && pwd)/install-run-$suite.png

if [[ ! -x "$base/bin/sh" ]]; then
    command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap >/dev/null 2>&1
    mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
    echo "install-run: making a minimal Debian ($suite) in $base (once)"
    debootstrap --variant=minbase "$suite" "$base" ${mirror:+"$mirror"} >/dev/null 2>&1 ||
        { echo "install-run: debootstrap failed" >&2; rm -rf "$base"; exit 2; }
fi

root=$(mktemp -d /var/tmp/corvane-install.XXXXXX)
cleanup() {
    # Wine's server and the display may outlive the run inside the chroot.
    for p in /proc/[0-9]*; do
        [[ "$(readlink "$p/root" 2>/dev/null)" == "$root" ]] && kill -9 "${p#/proc/}" 2>/dev/null
    done
    for m in var/lib/corvane dev/shm dev/pts dev sys proc; do umount -l "$root/$m" 2>/dev/null; done
    if [[ "${INSTALL_KEEP:-0}" == 1 ]]; then echo "install-run: system kept in $root"; else rm -rf "$root"; fi
}
trap cleanup EXIT
cp -a "$base/." "$root/" && cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc" && mount --rbind /sys "$root/sys" && mount --rbind /dev "$root/dev"
cp "$deb" "$root/tmp/"
cp "$here/install-run-inside.sh" "$root/tmp/"

start=$(date +%s)
chroot "$root" /bin/bash /tmp/install-run-inside.sh "/tmp/${deb##*/}"
rc=$?
secs=$(($(date +%s) - start))
[[ -f "$root/tmp/main-window.xwd" ]] && convert "xwd:$root/tmp/main-window.xwd" "$shot" 2>/dev/null &&
    echo "install-run: screenshot of the main window: $shot"
if [[ $rc -eq 0 ]]; then
    echo "install-run passed on a fresh Debian $suite in $secs s"
else
    echo "install-run FAILED on a fresh Debian $suite (exit $rc, $secs s)"
fi
exit $rc
