#!/bin/bash
# Installs what building, running and testing need on Debian 12, when it is missing.
set -euo pipefail

packages=(
    cmake ninja-build python3
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
    googletest
    wine wine64 xvfb xdotool x11-utils imagemagick locales python3-pytest
    cppcheck clang-tidy clang-format
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}; install them as root (apt-get install)." >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
