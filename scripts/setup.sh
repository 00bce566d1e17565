#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Plovex needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libxcb1-dev qt6-translations-l10n
  zlib1g-dev liblzma-dev libjpeg62-turbo-dev libgif-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev ffmpeg
  qt6-multimedia-dev pulseaudio pulseaudio-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wqy-microhei fonts-dejavu-core
  xvfb xauth xdotool imagemagick libjpeg-turbo-progs
  libglib2.0-bin gsettings-desktop-schemas xdg-utils desktop-file-utils
  clang libclang-rt-14-dev llvm
  python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
