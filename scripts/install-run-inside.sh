#!/bin/bash
# The part of install-run.sh that runs inside the fresh system, as its root: install, start as a
# player, purge. Each step says what it saw; the first failure ends the run.
set -uo pipefail
deb=$1
fail() { echo "install-run: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive

apt-get update -qq >/dev/null 2>&1 || fail "apt-get update failed"
# As the README tells players: recommends included.
apt-get install -y -qq "$deb" >/tmp/install.log 2>&1 || { tail -20 /tmp/install.log; fail "apt-get install $deb failed"; }
echo "install-run: apt-get install ./${deb##*/} brought $(grep -c '^Setting up' /tmp/install.log) packages"
[[ $(command -v corvane) == /usr/bin/corvane ]] || fail "corvane is not /usr/bin/corvane"
# Only to watch the window; a desktop has these already.
apt-get install -y -qq --no-install-recommends xvfb xauth x11-utils x11-apps >/dev/null 2>&1 ||
    fail "could not install the virtual display"

useradd -m -s /bin/bash player || fail "useradd failed"
cat >/tmp/as-player.sh <<'EOF'
set -uo pipefail
Xvfb :42 -screen 0 1024x768x24 -nolisten tcp >/tmp/xvfb.log 2>&1 &
export DISPLAY=:42
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
corvane >/tmp/corvane.log 2>&1 &
window=""
# The first start makes the user's Wine prefix, which takes a while.
for _ in $(seq 1 1200); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Corvane \[v1.1\]"/ {print $1; exit}')
    [[ -n "$window" ]] && break
    sleep 0.1
done
[[ -n "$window" ]] || { cat /tmp/corvane.log; echo "the main window did not appear"; exit 1; }
sleep 1 # let the controls paint
xwd -silent -id "$window" >/tmp/main-window.xwd
echo "window: $(xwininfo -id "$window" | awk -F'"' '/xwininfo:/ {print $2}')"
echo "class: $(xprop -id "$window" WM_CLASS | sed 's/.*= //')"
fonts="$HOME/.local/share/corvane/wine/drive_c/windows/Fonts"
for font in ms_sans_serif.ttf marlett.ttf; do
    [[ -f "$fonts/$font" ]] || { echo "no $font in $fonts"; exit 1; }
done
echo "fonts: ms_sans_serif.ttf and marlett.ttf in $fonts"
wineserver -k 2>/dev/null
kill %1 2>/dev/null
exit 0
EOF
out=$(su - player -c 'bash /tmp/as-player.sh' 2>&1) || { echo "$out"; fail "starting corvane as player failed"; }
sed 's/^/install-run: /' <<<"$out"
grep -q '^class: "corvane.exe", ' <<<"$out" ||
    fail "the window's class does not match the menu entry's StartupWMClass=corvane.exe"

dpkg -L corvane >/tmp/files || fail "dpkg -L corvane failed"
apt-get purge -y -qq corvane >/dev/null 2>&1 || fail "apt-get purge corvane failed"
left=""
while read -r path; do
    # Folders that other packages share (/usr/bin, ...) stay; the package's own must go.
    if [[ -e "$path" && (! -d "$path" || "$path" == *corvane*) ]]; then left+=" $path"; fi
done </tmp/files
[[ -z "$left" ]] || fail "apt-get purge corvane left:$left"
dpkg -s corvane >/dev/null 2>&1 && fail "dpkg still knows corvane after the purge"
echo "install-run: apt-get purge corvane left none of its $(wc -l </tmp/files) paths"
