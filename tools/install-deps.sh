#!/usr/bin/env bash
# Installs every package the build, the tests and the desk need on Debian 12.
# Does nothing when they are all present already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6network6 libqt6test6
  libsqlcipher-dev sqlcipher libicu-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # llvm-14: the sanitizers' symbolizer; without it no stack names a
  # function and tools/asan/lsan.supp matches nothing.
  clang libclang-rt-14-dev llvm-14 clang-format
  libx11-dev fonts-wqy-zenhei xvfb xdotool x11-apps openbox smbclient iproute2 util-linux mount
  qt6-translations-l10n netcat-openbsd stress-ng
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
