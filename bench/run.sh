#!/usr/bin/env bash
# Runs every benchmark and prints one table. Figures only: nothing here fails on time.
#   bench/run.sh NATIVE_BUILD WINDOWS_BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native=$(cd "$1" && pwd)
windows=$(cd "$2" && pwd)
state="$windows/wine-bench"
tmp=$(mktemp -d)
trap '"$root/scripts/wine-session.sh" stop "$state" >/dev/null 2>&1; rm -rf "$tmp"' EXIT

rows=()
row() { rows+=("$(printf '| %-50s | %15s | %-17s |' "$1" "$2" "$3")"); }

exe="$windows/bin/corvane.exe"
size=$(stat -c %s "$exe")
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort -f | tr '\n' ' ')
row "corvane.exe size (stripped)" "$size B" "at most 65536 B"
row "imported DLLs" "$(echo "$imports" | wc -w)" "Windows' own only"

"$root/scripts/wine-session.sh" start "$state" >/dev/null
eval "$("$root/scripts/wine-session.sh" env "$state")"

win() { winepath -w "$windows/bin/$1"; }
# Corvane and its three yardsticks take turns, 15 starts each.
wine "$windows/bin/startup_timer.exe" 15 "$(win corvane.exe)" "Corvane [v1.1]" \
    "$(win corvane_template.exe)" "Corvane Template" \
    "$(win empty_dialog.exe)" "Empty Dialog" \
    "$(win empty_dialog_common_controls.exe)" "Empty Dialog With Common Controls" \
    >"$tmp/startup" 2>&1 || cat "$tmp/startup"
"$native/bin/corvane_bench" "$tmp" >"$tmp/native"
wine "$windows/bin/corvane_bench.exe" "$(winepath -w "$tmp")" >"$tmp/wine" 2>&1

value() { awk -v k="$2" '$1 == k {print $2 " " $3}' "$1" | tr -d '\r'; }
row "start-up to visible window, Corvane (median)" "$(value "$tmp/startup" startup_program_ms)" ""
row "start-up, Corvane's template, idle procedure" "$(value "$tmp/startup" startup_yardstick_1_ms)" ""
row "start-up ratio against its own template" "$(value "$tmp/startup" startup_ratio_1)" "at most 1.05 x"
row "start-up, empty dialog" "$(value "$tmp/startup" startup_yardstick_2_ms)" ""
row "start-up ratio against that" "$(value "$tmp/startup" startup_ratio_2)" ""
row "start-up, empty dialog + common controls" "$(value "$tmp/startup" startup_yardstick_3_ms)" ""
row "start-up ratio against that" "$(value "$tmp/startup" startup_ratio_3)" ""
for where in wine native; do
    target=""
    [[ $where == wine ]] && target="at most 1.2 x"
    row "write 1024 binds ($where, median of 101)" "$(value "$tmp/$where" write_1024_binds_ms)" ""
    row "bare safe write, same bytes ($where)" "$(value "$tmp/$where" bare_safe_write_ms)" ""
    row "write ratio against it ($where)" "$(value "$tmp/$where" safe_write_ratio)" "$target"
    row "  1. the bytes made in memory ($where)" "$(value "$tmp/$where" step_format_in_memory_ms)" ""
    row "  2. the look at the target ($where)" "$(value "$tmp/$where" step_inspect_target_ms)" ""
    row "  3. the temp file, its security compared ($where)" \
        "$(value "$tmp/$where" step_temp_file_ms)" ""
    row "  4. the bytes handed to it ($where)" "$(value "$tmp/$where" step_hand_over_ms)" ""
    row "  5. the commit ($where)" "$(value "$tmp/$where" step_commit_ms)" ""
    row "  6. the replace ($where)" "$(value "$tmp/$where" step_replace_ms)" ""
    row "plain print loop, same lines ($where)" "$(value "$tmp/$where" plain_print_loop_ms)" ""
    row "write ratio against that ($where)" "$(value "$tmp/$where" write_ratio)" ""
done
row "bytes written" "$(value "$tmp/native" written_bytes)" ""
row "add bind (native)" "$(value "$tmp/native" add_per_second)" ""
row "delete bind (native)" "$(value "$tmp/native" delete_per_second)" ""
row "fill 1024, delete half, compact (native)" \
    "$(value "$tmp/native" fill_delete_half_compact_per_second)" ""

echo "Corvane benchmarks, $(date -u +%Y-%m-%d), $(nproc) cores, $(uname -m), $(wine --version)"
printf '| %-50s | %15s | %-17s |\n' "figure" "value" "target"
printf '|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..52})" "$(printf -- '-%.0s' {1..17})" \
    "$(printf -- '-%.0s' {1..19})"
printf '%s\n' "${rows[@]}"
echo "Imports: $imports"
