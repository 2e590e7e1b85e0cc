#!/usr/bin/env bash
# A 64 KiB file system for the tests of writes on a full disk.
#   small-disk.sh mount DIR    mounts it on DIR (needs root; without, says so and mounts nothing)
#   small-disk.sh umount DIR   unmounts it and removes DIR
set -uo pipefail
cmd=${1:?mount or umount}
dir=${2:?folder}
case "$cmd" in
mount)
    mkdir -p "$dir"
    mountpoint -q "$dir" && umount "$dir"
    if [[ $(id -u) -ne 0 ]]; then
        echo "small-disk: not root, so no small file system; the full-disk test will skip"
    elif ! mount -t tmpfs -o size=64k,mode=0755 corvane-small "$dir"; then
        echo "small-disk: tmpfs could not be mounted; the full-disk test will skip"
    fi
    ;;
umount)
    mountpoint -q "$dir" && umount "$dir"
    rmdir "$dir" 2>/dev/null
    ;;
*)
    echo "usage: small-disk.sh mount|umount DIR" >&2
    exit 2
    ;;
esac
exit 0
