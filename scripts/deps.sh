#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing; further
# packages may be named as arguments.
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev
          xvfb xauth fonts-dejavu-core qt6-translations-l10n
          desktop-file-utils appstream dpkg-dev
          qt6-svg-dev openbox lintian poppler-utils
          libmodbus-dev libmosquitto-dev mosquitto mosquitto-clients mbpoll
          qt6-httpserver-dev qt6-websockets-dev chromium prometheus python3-websocket openssl
          libqt6sql6-sqlite libsqlite3-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools bsdutils
          clang-format "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get install -y --no-install-recommends "${missing[@]}" ||
        { $sudo apt-get update && $sudo apt-get install -y --no-install-recommends "${missing[@]}"; }
fi
