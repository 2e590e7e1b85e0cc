#!/usr/bin/env bash
# Installs what the build, the tests and `make run` need from the distribution's packages;
# `setup.sh release` also what the release check needs. Quick when everything is there: it only
# asks dpkg.
set -euo pipefail

packages=(
    make cmake g++ googletest libgtest-dev clang-format
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 fonts-wine fonts-dejavu-core fonts-wqy-microhei xvfb xauth x11-utils imagemagick
    python3 zip
)
[[ "${1:-}" == release ]] && packages+=(git lintian)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
# clang brings libFuzzer for the fuzz run, but its runtime libraries (libFuzzer, the sanitizers)
# come in a package of their own, libclang-rt-N-dev, that must match clang's major version. Both
# are optional: they are only taken if the archive has them.
optional=()
command -v clang++ >/dev/null 2>&1 || optional+=(clang)
clang_runtime() {
    local major
    major=$(clang++ -dumpversion 2>/dev/null | cut -d. -f1)
    [[ -n "$major" ]] || return 0
    local status
    status=$(dpkg-query -W -f='${Status}' "libclang-rt-$major-dev" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] && return 0
    # Before version 14 the runtimes came with clang itself.
    apt-cache show "libclang-rt-$major-dev" >/dev/null 2>&1 && echo "libclang-rt-$major-dev"
    return 0
}
[[ ${#optional[@]} -eq 0 ]] && optional+=($(clang_runtime))

[[ ${#missing[@]} -eq 0 && ${#optional[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null 2>&1; then
        # Without the optional packages the build only leaves the fuzz run out.
        [[ ${#missing[@]} -eq 0 ]] && exit 0
        echo "setup: run as root to install: ${missing[*]}" >&2
        exit 1
    fi
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
    # A clang installed just now names the runtime package that matches it.
    runtime=$(clang_runtime)
    if [[ -n "$runtime" ]]; then
        $sudo apt-get install -y -qq --no-install-recommends "$runtime" >/dev/null || true
    fi
fi
