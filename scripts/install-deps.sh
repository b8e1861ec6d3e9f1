#!/bin/sh
# Installs the Debian packages that building, running and testing Gantrel need, if any is missing.
set -eu

packages="cmake g++ make pkg-config qt6-base-dev libzip-dev fonts-liberation2 fonts-comic-neue
xvfb xdotool x11-utils imagemagick desktop-file-utils appstream groff-base dpkg-dev file
clang libclang-rt-14-dev clang-format openbox"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    sudo=""
else
    sudo="sudo"
fi
echo "Installing:$missing"
$sudo apt-get update
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
