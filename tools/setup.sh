#!/usr/bin/env bash
# Installs everything both builds need on Debian 12 (run as root). Idempotent:
# a second run finds the packages installed and the dependency cache filled.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
stamp=/var/lib/morvex-setup.v2

log() { printf '== %s\n' "$*"; }

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: run this as root (it installs Debian packages and fills /var/cache/morvex-deps)" >&2
  exit 1
fi

packages=(
  build-essential cmake ninja-build ccache pkg-config file python3 dpkg-dev ca-certificates
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  libz-mingw-w64-dev
  wine wine32 xvfb xauth
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libpng-dev libjpeg-dev libtiff-dev zlib1g-dev
  libopencv-imgproc-dev
  doxygen zip
  ffmpeg
  # Japanese glyphs for the settings dialogs under Wine.
  fonts-ipafont-gothic
  clang clang-format libclang-rt-14-dev
)

qemu_ok() {
  local version
  version=$(dpkg-query -W -f '${Version}' qemu-user-static 2>/dev/null) || return 1
  dpkg --compare-versions "$version" ge 1:10
}

if [ ! -f "$stamp" ] || ! dpkg -s "${packages[@]}" >/dev/null 2>&1 || ! qemu_ok; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  # Source packages of the image libraries, and qemu from backports, come
  # from the same Debian archives the machine is already configured with.
  # Where the host refuses 32-bit programs, Wine runs under qemu-i386; the
  # emulator from backports runs Wine's threads reliably and several times
  # faster than Debian 12's own.
  for kind in deb-src backports; do
    list=/etc/apt/sources.list.d/morvex-$kind.sources
    [ -f "$list" ] && continue
    entries=$(bash "$here/apt-sources.sh" "$kind")
    if [ -z "$entries" ]; then
      echo "setup: no Debian archive is configured in /etc/apt (needed for the $kind entries)" >&2
      exit 1
    fi
    printf '%s\n' "$entries" >"$list"
  done
  log "apt-get update"
  if ! apt-get update -qq && ! apt-get update -qq; then
    echo "setup: apt-get update failed: check the network and the archives in /etc/apt" >&2
    exit 1
  fi
  log "installing packages"
  apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
  apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null
  # A registration made with the previous emulator keeps that binary open.
  if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then echo -1 >/proc/sys/fs/binfmt_misc/qemu-i386 || true; fi
  touch "$stamp"
else
  log "packages already installed"
fi

"$here/build-deps-mingw.sh"
