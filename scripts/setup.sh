#!/bin/bash
# Installs, as root on Debian 12, everything the build, the tests and the
# sample run need. Quick when all is already there.
set -euo pipefail

packages=(
    wine wine32:i386 wine64 fonts-wine
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    cmake make googletest
    xvfb xauth x11-utils x11-apps xdotool imagemagick
    fonts-ipafont-gothic locales
    python3
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# locale-gen keeps the locale across later regenerations of the archive,
# a bare localedef does not.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
