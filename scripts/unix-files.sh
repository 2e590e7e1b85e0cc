#!/usr/bin/env bash
# Files that Wine's programs cannot make, made afresh in DIR for every test run:
#   dangling/dangling.cfg   a symbolic link into a folder that does not exist, alone in its folder
#                           (what a game folder on a drive that is not mounted leaves)
#   private/600.cfg, 640.cfg  configs that others may not read
#   links/keep.cfg          a symbolic link to keep.cfg on the small disk, as dotfile managers make
#   links/new.cfg           a symbolic link to new.cfg on the small disk, which does not exist
#   case/keep.cfg           a symbolic link to KEEP.cfg beside it
#   unix-files.sh DIR SMALL_DISK
set -euo pipefail
dir=${1:?folder}
disk=${2:?small disk folder}
rm -rf "$dir"
mkdir -p "$dir/dangling" "$dir/private" "$dir/links" "$dir/case"
ln -s "$dir/dangling/missing/dangling.cfg" "$dir/dangling/dangling.cfg"
for mode in 600 640; do
    printf 'seta name "player"\r\n' >"$dir/private/$mode.cfg"
    chmod "$mode" "$dir/private/$mode.cfg"
done
ln -s "$disk/keep.cfg" "$dir/links/keep.cfg"
ln -s "$disk/new.cfg" "$dir/links/new.cfg"
printf 'seta name "player"\r\n' >"$dir/case/KEEP.cfg"
ln -s KEEP.cfg "$dir/case/keep.cfg"
