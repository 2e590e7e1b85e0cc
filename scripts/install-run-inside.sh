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
prefix=$HOME/.local/share/corvane/wine
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
best() { printf '%s\n' "$@" | sort -n | head -1; }
links() { find "$prefix" -lname '*/x86_64-windows/*' | wc -l; }

# Starts corvane, waits for its main window (a first start makes the prefix, which takes a while)
# and ends it again, the launcher's own work included. Sets window and took.
start_corvane() {
    local begin=$EPOCHREALTIME pid
    corvane >>/tmp/corvane.log 2>&1 &
    pid=$!
    window=""
    for _ in $(seq 1 6000); do
        window=$(xwininfo -root -tree 2>/dev/null | awk '/"Corvane \[v1.1\]"/ {print $1; exit}')
        [[ -n "$window" ]] && break
        sleep 0.02
    done
    took=$(seconds "$begin" "$EPOCHREALTIME")
    if [[ -z "$window" ]]; then
        cat /tmp/corvane.log
        echo "the main window did not appear in $took s; the prefix holds $(du -sh "$prefix" | cut -f1)"
        for p in /proc/[0-9]*; do [[ -O $p ]] && echo "running: $(tr '\0' ' ' <"$p/cmdline")"; done
        return 1
    fi
    if [[ "${1:-}" == look ]]; then
        sleep 1 # let the controls paint
        xwd -silent -id "$window" >/tmp/main-window.xwd
        echo "window: $(xwininfo -id "$window" | awk -F'"' '/xwininfo:/ {print $2}')"
        echo "class: $(xprop -id "$window" WM_CLASS | sed 's/.*= //')"
    fi
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    wait "$pid" # the status of a killed Corvane says nothing
    return 0
}

# Side by side, best of three each: the first start from a home without a prefix, and a plain
# wineboot --init into an empty prefix folder.
firsts=() plains=()
for _ in 1 2 3; do
    rm -rf "$HOME/plain" && mkdir "$HOME/plain"
    begin=$EPOCHREALTIME
    WINEPREFIX=$HOME/plain WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init \
        >/dev/null 2>&1 </dev/null
    plains+=("$(seconds "$begin" "$EPOCHREALTIME")")
    WINEPREFIX=$HOME/plain wineserver -k 2>/dev/null
    rm -rf "$HOME/.local/share/corvane"
    start_corvane || exit 1
    firsts+=("$took")
done
rm -rf "$HOME/plain"
echo "first start: best $(best "${firsts[@]}") s (${firsts[*]}), plain wineboot --init: best" \
    "$(best "${plains[@]}") s (${plains[*]}), ratio $(awk -v a="$(best "${firsts[@]}")" \
    -v b="$(best "${plains[@]}")" 'BEGIN { printf "%.2f", a / b }')"
size=$(du -sm "$prefix" | cut -f1)
echo "prefix after the first start: $size MB, $(links) links into Wine's tree"
((size <= 32)) || { echo "the prefix holds more than 32 MB"; exit 1; }
fonts="$prefix/drive_c/windows/Fonts"
for font in ms_sans_serif.ttf marlett.ttf; do
    [[ -f "$fonts/$font" ]] || { echo "no $font in $fonts"; exit 1; }
done
echo "fonts: ms_sans_serif.ttf and marlett.ttf in $fonts"

# Wine's own files stay as they were through a forced update (what Wine runs after an upgrade)
# and the mending of a link whose file has gone.
wine=$(dirname "$(dirname "$(readlink "$prefix/drive_c/windows/system32/kernel32.dll")")")
[[ -d "$wine/x86_64-windows" ]] || { echo "kernel32.dll is no link into Wine's tree"; exit 1; }
sums() { (cd "$wine" && find . -type f -exec md5sum {} + | sort | md5sum); }
before=$(sums)
echo 1 >"$prefix/.update-timestamp"
start_corvane look || { echo "after a forced update"; exit 1; }
echo "forced update: the window in $took s, $(links) links"
ln -sf /nonexistent/x86_64-windows/kernel32.dll "$prefix/drive_c/windows/system32/kernel32.dll"
start_corvane || { echo "after kernel32.dll's link lost its file"; exit 1; }
[[ -z "$(find "$prefix" -xtype l -print -quit)" ]] || { echo "a link still has no file"; exit 1; }
echo "a link whose file had gone: mended, the window in $took s"
[[ "$(sums)" == "$before" ]] || { echo "Wine's own files in $wine changed"; exit 1; }
echo "Wine's files in $wine: unchanged"
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
