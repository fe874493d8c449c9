#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine needs to build, run and test the
# installer. Safe to run again: it does nothing when everything is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev zlib1g-dev
  g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 binutils-mingw-w64-i686
  mingw-w64-i686-dev libz-mingw-w64-dev
  g++-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-win32 mingw-w64-x86-64-dev
  wine wine32:i386 wine64
  xvfb x11-utils x11-apps imagemagick socat
  libarchive-tools unzip zip p7zip-full
  clang libclang-rt-14-dev
)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# A mirror caught mid-sync fails one index now and then: its Release file is
# new while an index it lists is still the old one ("File has unexpected
# size"). Retrying is tried first. When the index still cannot be had and
# there is no earlier copy, the mirror's current (older) copy is taken as it
# is, without the size and hash check of the Release file: without it, a
# stale i386 security index makes every 32-bit package uninstallable. This
# only ever happens on a test machine's set-up, and it says so loudly.
apt_update() {
  local attempt log
  log=$(mktemp)
  for attempt in 1 2 3; do
    if $SUDO apt-get update -qq 2>"$log"; then rm -f "$log"; return 0; fi
    cat "$log" >&2
    echo "setup: apt-get update failed (attempt $attempt)" >&2
    sleep 5
  done
  take_stale_indexes "$log"
  rm -f "$log"
  return 0
}

take_stale_indexes() {  # apt-get update's error output
  local url name raw lists=/var/lib/apt/lists
  sed -n 's/^E: Failed to fetch \([^ ]*\)  *File has unexpected size.*/\1/p' "$1" | sort -u |
  while read -r url; do
    raw=${url%.xz}; raw=${raw%.gz}; raw=${raw%.lz4}
    name=$(printf '%s' "${raw#*://}" | tr '/' '_')
    if ls "$lists/$name"* >/dev/null 2>&1; then continue; fi
    echo "setup: WARNING: taking the mirror's unverified copy of $url" >&2
    case "$url" in
      *.xz) curl -fsS "$url" | xz -dc ;;
      *.gz) curl -fsS "$url" | gzip -dc ;;
      *) curl -fsS "$url" ;;
    esac | $SUDO tee "$lists/$name.partial" >/dev/null &&
      [ -s "$lists/$name.partial" ] &&
      $SUDO mv "$lists/$name.partial" "$lists/$name" ||
      { $SUDO rm -f "$lists/$name.partial"; echo "setup: could not fetch $url" >&2; }
  done
}

apt_install() {  # [apt-get options...] packages...
  if ! $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null; then
    echo "setup: install failed; refreshing the package lists and trying once more" >&2
    sleep 20
    apt_update
    $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null
  fi
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt_update
  apt_install "${missing[@]}"
fi

# The product is a 32-bit program, so its tests need the 32-bit Wine loader.
# Where this machine cannot execute 32-bit programs, qemu runs them; Debian
# 12's own qemu-user (7.2) takes about a minute to start each process, the
# backported one (10) a fraction of a second.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  qemu_major=$(qemu-i386-static --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p' || true)
  if [ "${qemu_major:-0}" -lt 8 ]; then
    backports=/etc/apt/sources.list.d/bookworm-backports.sources
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
      echo "setup: adding the bookworm-backports suite for qemu-user-static"
      printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' \
        'Suites: bookworm-backports' 'Components: main' \
        'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $SUDO tee "$backports" >/dev/null
    fi
    echo "setup: installing qemu-user-static from bookworm-backports"
    apt_update
    apt_install -t bookworm-backports qemu-user-static
  fi
fi
