#!/bin/bash
# The part of install-run.sh that runs inside the fresh system, as its root: install, start as a
# player, purge. Each step says what it saw; the first failure ends the run.
set -uo pipefail
deb=$1
fail() { echo "install-run: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive

apt-get update -qq >/dev/null 2>&1 || fail "apt-get update failed"
useradd -m -s /bin/bash player && useradd -m -s /bin/bash player2 || fail "useradd failed"
# Through the install, two other accounts write into every folder they reach where the ready
# prefix is made, and where its maker's Wine keeps its server.
plant='seen=0 passes=0
while [[ ! -e /tmp/installed ]]; do
    n=0
    while IFS= read -r dir; do
        n=$((n + 1)) && : >"$dir/planted-by-$1"
    done < <(find /var/lib/corvane /tmp/.wine-* -xdev -type d 2>/dev/null)
    ((n > seen)) && seen=$n
    passes=$((passes + 1)) && sleep 0.05
done 2>/dev/null
echo "$1: $passes passes, up to $seen folders"'
planters=()
for account in nobody player; do
    runuser -u "$account" -- bash -c "$plant" plant "$account" >>/tmp/planters.log &
    planters+=($!)
done
# As the README tells players: recommends included.
apt-get install -y -qq "$deb" >/tmp/install.log 2>&1 || { tail -20 /tmp/install.log; fail "apt-get install $deb failed"; }
echo "install-run: apt-get install ./${deb##*/} brought $(grep -c '^Setting up' /tmp/install.log) packages"
[[ $(command -v corvane) == /usr/bin/corvane ]] || fail "corvane is not /usr/bin/corvane"
touch /tmp/installed # Wine's own postinst writes its zlib1.dll; nothing may from here on
wait "${planters[@]}"
planted() { ! find / -xdev -name 'planted-by-*' | grep . || fail "files planted by other accounts"; }
planted
echo "install-run: other accounts wrote where they could through the install ($(paste -sd, /tmp/planters.log)): nothing planted"
ready=$(readlink -e /var/lib/corvane/prefix) || fail "no ready prefix"
others=$(find "$ready" ! -user root | wc -l) writable=$(find "$ready" ! -type l -perm /022 | wc -l)
echo "install-run: ready prefix $ready: $(du -sm "$ready" | cut -f1) MB; not root's: $others, writable" \
    "by others: $writable; made by $(sed -n 3p "$ready/.corvane-ready"), whose folder is" \
    "$(find /var/lib/corvane -mindepth 1 -maxdepth 1 -type d -printf '%m %u:%g\n' | sort -u | paste -sd,)"
((others == 0 && writable == 0)) || fail "the ready prefix is not root's alone and read-only"
# Only to watch the window; a desktop has these already.
apt-get install -y -qq --no-install-recommends xvfb xauth x11-utils x11-apps xdotool >/dev/null 2>&1 ||
    fail "could not install the virtual display"

cat >/tmp/as-player.sh <<'EOF'
set -uo pipefail
Xvfb :42 -screen 0 1024x768x24 -nolisten tcp >/tmp/xvfb-$USER.log 2>&1 &
trap "kill $!; wait $!" EXIT # the next player takes the display
export DISPLAY=:42
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
prefix=$HOME/.local/share/corvane/wine
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }
best() { printf '%s\n' "$@" | sort -n | head -1; }
links() { find "$prefix" -lname '*/x86_64-windows/*' | wc -l; }
# Sets w to the window named $1 (within 120 s); updating, if Wine's "being updated" window showed.
window_named() {
    local tree i
    for i in $(seq 1 6000); do
        tree=$(xwininfo -root -tree 2>/dev/null) && [[ $tree == *'"Wine": ('* ]] && updating=yes
        w=$(awk -v n="\"$1\"" 'index($0, n) {print $1; exit}' <<<"$tree") && [[ -n "$w" ]] && return
        sleep 0.02
    done
    return 1
}
# The launcher first: it would take a Corvane killed for a failed start.
end_corvane() { kill "$pid"; WINEPREFIX=$prefix wineserver -k 2>/dev/null; wait "$pid"; }

# Starts corvane, waits for its main window (a first start, $1 copied or made: from a home without
# a prefix) and ends it again, the launcher's own work included. Sets window and took.
start_corvane() {
    local begin=$EPOCHREALTIME updating=""
    [[ ${1:-look} != look ]] && rm -rf "$HOME/.local/share/corvane"
    corvane >>/tmp/corvane-$USER.log 2>&1 &
    pid=$!
    window_named 'Corvane [v1.1]'
    window=$w took=$(seconds "$begin" "$EPOCHREALTIME")
    if [[ -z "$window" ]]; then
        cat /tmp/corvane-$USER.log
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
    end_corvane
    # The ready prefix copied without Wine's "being updated" window, or not copied, not fitting.
    [[ ${1:-} != copied || (-f $prefix/.corvane-ready && -z $updating) ]] &&
        [[ ${1:-} != made || ! -f $prefix/.corvane-ready ]] || { echo "not $1 as expected"; return 1; }
}

# The prefix is this player's alone: its profile folder, and every folder and name in its registry.
own_prefix() {
    local names=$(grep -ohi '\\\\users\\\\[^\\"]*\|^"USERNAME"="[^"]*"' "$prefix"/*.reg | sort | uniq -c)
    echo "profile folders:" $(ls "$prefix/drive_c/users") "; the registry's (grep -ohi, counted):" $names
    [[ "$(ls "$prefix/drive_c/users" | tr '\n' ' ')" == "Public $USER " ]] &&
        ! grep -v -e "\\\\\\\\users\\\\\\\\$USER\$" -e '\\\\users\\\\Public$' -e "=\"$USER\"\$" <<<"$names" ||
        { echo "the profile folder or the registry names another account"; return 1; }
}

# Writes a new config through the buttons (the templates' centres: with MS Sans Serif 8 at 96 dpi
# a dialog unit is 1.5 x 1.625 pixels) and the save dialog, typing a name only: it goes to $1.
save_probe() {
    corvane >>/tmp/corvane-$USER.log 2>&1 &
    pid=$!
    # Write Config File, then Write New Config; each window is given a second to take input.
    window_named 'Corvane [v1.1]' && sleep 1 && xdotool mousemove --window "$w" 616 76 click 1 &&
        window_named 'Config File Write Options' && sleep 1 &&
        xdotool mousemove --window "$w" 60 115 click 1 &&
        window_named 'Save As' && sleep 1 && xdotool type probe && xdotool key Return ||
        echo "a window on the way to the save dialog did not show"
    for _ in $(seq 1 100); do
        saved=$(find "$HOME" -path "$HOME/.local" -prune -o -name probe.cfg -print) && [[ -n $saved ]] && break
        sleep 0.1
    done
    end_corvane
    [[ $saved == "$1" ]] && echo "the save dialog of a first Write New Config opened in ${1%/*}" ||
        { echo "the save dialog wrote probe.cfg to '$saved', not $1"; return 1; }
}

# Starts corvane with the environment $2...: it must end with status 1 and a window saying $1.
told() {
    local text="" p
    env "${@:2}" corvane >>/tmp/corvane-$USER.log 2>&1 &
    pid=$! && window_named Corvane
    for p in /proc/[0-9]*; do # xmessage is given the text
        [[ -O $p && $(<"$p/comm") == xmessage ]] && text=$(tr '\0\n' '  ' <"$p/cmdline") && kill "${p#/proc/}"
    done 2>/dev/null
    wait "$pid"
    [[ $? == 1 && $text == *"$1"* ]] && echo "told in a window, exit status 1: ${text#*-center }" ||
        { echo "no window said '$1': $text"; return 1; }
}

case $1 in
home) # no game folder: the home, its dot folders listed (dir leaves out what Wine marks hidden)
    start_corvane copied && own_prefix && save_probe "$HOME/probe.cfg" &&
        listed=$(WINEPREFIX=$prefix wine cmd /c dir /b "Z:${HOME//\//\\}" 2>/dev/null | tr -d '\r') &&
        { grep -qx '\.local' <<<"$listed" && echo "the home as Wine lists it:" $listed ||
            ! echo "no .local:" $listed; }
    exit ;;
killed) # a start killed while it copies the ready prefix, by a signal and for good; then a start
    for signal in TERM KILL; do
        rm -rf "$HOME/.local/share/corvane"
        corvane >>/tmp/corvane-$USER.log 2>&1 &
        pid=$!
        until copy=$(compgen -G "$prefix.corvane-copy-*") || ! kill -0 "$pid" 2>/dev/null; do :; done
        kill -"$signal" "$pid"
        wait "$pid" 2>/dev/null
        left=$(compgen -G "$prefix.corvane-copy-*")
        [[ -n $copy && ! -f $prefix/system.reg ]] || { echo "SIG$signal came after the copy"; exit 1; }
        [[ $signal == KILL || -z $left ]] || { echo "SIG$signal left $left"; exit 1; }
        start_corvane "" || exit 1
        [[ -f $prefix/.corvane-ready && -z $(compgen -G "$prefix.corvane-copy-*") ]] ||
            { echo "the start after SIG$signal did not copy the ready prefix alone"; exit 1; }
        left=${left:+a copy, ${left##*/}}
        echo "killed by SIG$signal while copying, it left ${left:-nothing}; the next start copied it in $took s"
    done
    exit ;;
later | made | copied) start_corvane "${1#later}" && echo "the window in $took s"; exit ;;
starts) ;;
*) told "$@"; exit ;;
esac
mkdir -p "$HOME/.q3a/q3ut4" # this player has the game's config folder
# Side by side, best of three each: the first start from a home without a prefix, a later start,
# and a plain wineboot --init into an empty prefix folder.
firsts=() laters=() plains=()
for _ in 1 2 3; do
    rm -rf "$HOME/plain" && mkdir "$HOME/plain"
    begin=$EPOCHREALTIME
    WINEPREFIX=$HOME/plain WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init \
        >/dev/null 2>&1 </dev/null
    plains+=("$(seconds "$begin" "$EPOCHREALTIME")")
    WINEPREFIX=$HOME/plain wineserver -k 2>/dev/null
    start_corvane copied || exit 1
    firsts+=("$took")
    start_corvane || exit 1
    laters+=("$took")
done
rm -rf "$HOME/plain"
ratio=$(awk -v a="$(best "${firsts[@]}")" -v b="$(best "${laters[@]}")" 'BEGIN { printf "%.2f", a / b }')
echo "first start: best $(best "${firsts[@]}") s (${firsts[*]}), later start: best" \
    "$(best "${laters[@]}") s (${laters[*]}), plain wineboot --init: best $(best "${plains[@]}")" \
    "s (${plains[*]}); first/later $ratio; no \"being updated\" window"
awk -v r="$ratio" 'BEGIN { exit !(r <= 1.5) }' ||
    { echo "the first start took over 1.5 x a later one"; exit 1; }
size=$(du -sm "$prefix" | cut -f1)
echo "prefix after the first start: $size MB, $(links) links into Wine's tree"
((size <= 32)) || { echo "the prefix holds more than 32 MB"; exit 1; }
fonts="$prefix/drive_c/windows/Fonts"
for font in ms_sans_serif.ttf marlett.ttf; do
    [[ -f "$fonts/$font" ]] || { echo "no $font in $fonts"; exit 1; }
done
echo "fonts: ms_sans_serif.ttf and marlett.ttf in $fonts"
own_prefix && save_probe "$HOME/.q3a/q3ut4/probe.cfg" || exit 1

# Wine's own files stay as they were through a forced update (what Wine runs after an
# upgrade) and the mending of a link whose file has gone.
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
EOF
# Runs as-player.sh as the player $1 with the arguments $2...; sets out.
as() {
    out=$(su - "$1" -c "bash /tmp/as-player.sh $(printf '%q ' "${@:2}")" 2>&1) ||
        { echo "$out"; fail "$*: failed"; }
    sed "s/^/install-run: $1, $2: /" <<<"$out"
}
as player starts
grep -q '^class: "corvane.exe", ' <<<"$out" ||
    fail "the window's class does not match the menu entry's StartupWMClass=corvane.exe"
as player2 home
planted
owned=$(find / -xdev \( -user nobody -o -user _corvane \) -printf '%u %p\n') && [[ -z $owned ]] || fail "$owned"
echo "install-run: after the install and first starts, files of nobody's or _corvane's: none"
root=~root/.local/share/corvane/wine
corvane --prepare-prefix >/dev/null 2>&1 && [[ -f $root/drive_c/windows/system32/kernel32.dll &&
    -z "$(find "$root" -lname '*/x86_64-windows/*')" ]] || fail "root's prefix has links into Wine's tree"
echo "install-run: root's prefix: $(du -sm "$root" | cut -f1) MB, no links into Wine's tree"
# Starts that fail before the window say so in one.
as player "could not be made" CORVANE_WINEPREFIX=/nonexistent/wine
mv /usr/lib/corvane/corvane.exe /tmp/ && as player "corvane.exe is not"
mv /tmp/corvane.exe /usr/lib/corvane/
# Wine's files change, as an upgrade changes them: a prefix made before gets Wine's update, and
# the ready prefix is not copied until the trigger has made it again.
touch /usr/share/wine/wine.inf
as player later && as player2 made
dpkg-trigger --no-await /usr/share/wine && dpkg --triggers-only --pending >/dev/null 2>&1 &&
    [[ "$(readlink -e /var/lib/corvane/prefix)" != "$ready" ]] || fail "the trigger made no ready prefix"
echo "install-run: the trigger on Wine's files made the ready prefix again"
as player2 copied
as player2 killed
# dpkg -i of the same package again, as an upgrade runs it, where no ready prefix can be made: the
# install ends well, / keeps every entry, and a player still starts Corvane.
entries=$(ls -A /)
again() {
    local begin=$SECONDS
    dpkg -i "$deb" >/tmp/dpkg.log 2>&1 || { cat /tmp/dpkg.log; fail "dpkg -i with $1: failed"; }
    [[ "$(ls -A /)" == "$entries" ]] || fail "dpkg -i with $1: / changed: $(ls -A / | paste -sd' ')"
    [[ ! -e /var/lib/corvane/prefix ]] || fail "dpkg -i with $1: a ready prefix"
    echo "install-run: dpkg -i again with $1: ended well in $((SECONDS - begin)) s, / kept its" \
        "$(wc -l <<<"$entries") entries; it said: $(grep -m1 '^corvane:' /tmp/dpkg.log)"
}
rm -rf /var/lib/corvane && : >/var/lib/corvane && again "a plain file at /var/lib/corvane" &&
    as player2 made
rm /var/lib/corvane && mkdir /var/lib/corvane &&
    mount -t tmpfs -o size=1m,nr_inodes=16 tmpfs /var/lib/corvane || fail "no small file system"
for i in $(seq 1 16); do { : >"/var/lib/corvane/$i"; } 2>/dev/null || break; done
again "a full file system at /var/lib/corvane ($(df --output=iavail /var/lib/corvane | tail -1 | tr -d " ") inodes free)"
as player2 made
umount /var/lib/corvane
# A Wine that hangs while the ready prefix is made: the install ends after the limit, and nothing
# of the maker's runs on.
hung=$(readlink -e /usr/bin/wine-stable || readlink -e /usr/bin/wine)
mv "$hung" "$hung.real" && printf '#!/bin/sh\nexec sleep 1000\n' >"$hung" && chmod 0755 "$hung" &&
    again "a Wine that hangs ($hung)" && mv "$hung.real" "$hung"
for p in /proc/[0-9]*; do # zombies aside: the chroot has no init of its own to reap them
    [[ $(stat -c %U "$p") != _corvane || $(awk '{print $3}' "$p/stat") == Z ]] || fail "_corvane's $p runs on"
done 2>/dev/null
dpkg -i "$deb" >/dev/null 2>&1 && readlink -e /var/lib/corvane/prefix >/dev/null && planted ||
    fail "dpkg -i with all well made no ready prefix"
newer=$(find /usr/lib/x86_64-linux-gnu/wine /usr/lib/wine /usr/share/wine ! -type d -newer /tmp/installed)
echo "install-run: Wine's files newer than the install:" $newer "(touched above)"
[[ "$newer" == /usr/share/wine/wine.inf ]] || fail "files of Wine's own were written"

dpkg -L corvane >/tmp/files || fail "dpkg -L corvane failed"
apt-get purge -y -qq corvane >/dev/null 2>&1 || fail "apt-get purge corvane failed"
left=""
while read -r path; do
    # Folders that other packages share (/usr/bin, ...) stay; the package's own must go.
    if [[ -e "$path" && (! -d "$path" || "$path" == *corvane*) ]]; then left+=" $path"; fi
done < <(cat /tmp/files; echo /var/lib/corvane)
[[ -z "$left" ]] || fail "apt-get purge corvane left:$left"
dpkg -s corvane >/dev/null 2>&1 && fail "dpkg still knows corvane after the purge"
echo "install-run: apt-get purge corvane left none of its $(wc -l </tmp/files) paths, nor /var/lib/corvane"
