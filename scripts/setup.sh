#!/usr/bin/env bash
# Installs what the build, the tests and `make run` need from the distribution's packages.
# Quick when everything is there: it only asks dpkg.
set -euo pipefail

packages=(
    make cmake g++ googletest libgtest-dev clang-format
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 fonts-wine xvfb xauth x11-utils imagemagick python3 zip
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
# clang brings libFuzzer for the fuzz run; it is optional, so only take it if the archive has it.
if ! command -v clang++ >/dev/null 2>&1; then
    optional=(clang)
else
    optional=()
fi

[[ ${#missing[@]} -eq 0 && ${#optional[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null 2>&1 || { echo "setup: run as root to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
echo "setup: installing ${missing[*]} ${optional[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
if [[ ${#missing[@]} -gt 0 ]]; then
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [[ ${#optional[@]} -gt 0 ]]; then
    $sudo apt-get install -y -qq --no-install-recommends "${optional[@]}" >/dev/null || true
fi
