#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine needs to build, run and test the
# installer. Safe to run again: it does nothing, and says nothing, when
# everything is there.
#
#   setup.sh        everything the test command needs
#   setup.sh run    only what the demonstration (scripts/run.sh) needs
#
# Every command whose failure is expected here (a probe for a program that
# is not installed yet, a mirror caught mid-sync, no network) is tested
# explicitly: set -e must only ever end the script on a real fault, and
# then with a line that says what could not be done. tests/setup/ runs this
# script against stand-ins for apt-get, dpkg, curl, Wine and qemu; the
# SETUP_* variables below exist for that test.
set -euo pipefail

profile=${1:-test}
case "$profile" in
  run|test) ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

# The demonstration: the 32-bit product and its archive library (MinGW),
# the host tools that build the sample package, Wine and a virtual display.
run_packages=(
  cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev zlib1g-dev zip
  g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 binutils-mingw-w64-i686
  mingw-w64-i686-dev libz-mingw-w64-dev
  wine wine32:i386 wine64
  xvfb x11-utils x11-apps imagemagick
  python3 curl
)
# Every test: the 64-bit stand-in build, the serial lines, the archive
# tools the differential test compares against, the sanitizers and fuzzers.
test_packages=(
  g++-mingw-w64-x86-64-win32 gcc-mingw-w64-x86-64-win32 mingw-w64-x86-64-dev
  socat libarchive-tools unzip p7zip-full
  clang libclang-rt-14-dev clang-format
)

SUDO=${SETUP_SUDO-}
if [ -z "${SETUP_SUDO+set}" ] && [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
WINE_LOADER=${SETUP_WINE_LOADER:-/usr/lib/wine/wine}
APT_LISTS=${SETUP_APT_LISTS:-/var/lib/apt/lists}
APT_SOURCES=${SETUP_APT_SOURCES:-/etc/apt}
PAUSE=${SETUP_RETRY_PAUSE:-5}
APT_LOG=${SETUP_APT_LOG:-${TMPDIR:-/tmp}/setup-apt.log}
export DEBIAN_FRONTEND=noninteractive

# Ends the script with one line that names what could not be installed.
give_up() {  # what, why
  echo "setup: could not install $1: $2 (apt's output: $APT_LOG)" >&2
  exit 1
}

# Whether apt's output says the mirror could not be reached at all.
unreachable() {  # apt output file
  grep -qE 'Temporary failure resolving|Could not resolve|Network is unreachable|Could not connect|No route to host|Connection timed out' "$1"
}

# A mirror caught mid-sync fails one index now and then: its Release file is
# new while an index it lists is still the old one ("File has unexpected
# size"). Retrying is tried first. When the index still cannot be had and
# there is no earlier copy, the mirror's current (older) copy is taken as it
# is, without the size and hash check of the Release file: without it, a
# stale i386 security index makes every 32-bit package uninstallable. This
# only ever happens on a test machine's set-up, and it says so loudly.
# Returns 1 when the mirror cannot be reached at all.
apt_update() {
  local attempt out
  out=$(mktemp)
  for attempt in 1 2 3; do
    $SUDO apt-get update -qq >"$out" 2>&1 || true
    cat "$out" >>"$APT_LOG"
    # apt only warns when a host cannot be reached: look for it first.
    if unreachable "$out"; then rm -f "$out"; return 1; fi
    if ! grep -q '^E: ' "$out"; then rm -f "$out"; return 0; fi
    echo "setup: apt-get update failed (attempt $attempt); see $APT_LOG" >&2
    sleep "$PAUSE"
  done
  take_stale_indexes "$out"
  rm -f "$out"
  return 0
}

take_stale_indexes() {  # apt-get update's error output
  local url name raw
  sed -n 's/^E: Failed to fetch \([^ ]*\)  *File has unexpected size.*/\1/p' "$1" | sort -u |
  while read -r url; do
    raw=${url%.xz}; raw=${raw%.gz}; raw=${raw%.lz4}
    name=$(printf '%s' "${raw#*://}" | tr '/' '_')
    if ls "$APT_LISTS/$name"* >/dev/null 2>&1; then continue; fi
    echo "setup: WARNING: taking the mirror's unverified copy of $url" >&2
    if { case "$url" in
           *.xz) curl -fsS "$url" | xz -dc ;;
           *.gz) curl -fsS "$url" | gzip -dc ;;
           *) curl -fsS "$url" ;;
         esac | $SUDO tee "$APT_LISTS/$name.partial" >/dev/null; } 2>>"$APT_LOG" &&
       [ -s "$APT_LISTS/$name.partial" ]; then
      $SUDO mv "$APT_LISTS/$name.partial" "$APT_LISTS/$name"
    else
      $SUDO rm -f "$APT_LISTS/$name.partial"
      echo "setup: could not fetch $url" >&2
    fi
  done
}

# Installs the named packages or ends the script saying which could not be.
# A failed install is tried once more after a refresh of the package lists,
# unless the mirror could not be reached at all.
install_or_give_up() {  # [apt-get options...] -- packages...
  local options=() names offline=""
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  names=$(printf '%s, ' "$@"); names=${names%, }
  apt_update || offline=yes
  if apt_get_install "${options[@]}" "$@"; then return 0; fi
  if [ -z "$offline" ]; then
    echo "setup: install failed; refreshing the package lists and trying once more" >&2
    sleep "$PAUSE"
    apt_update || offline=yes
    if [ -z "$offline" ] && apt_get_install "${options[@]}" "$@"; then return 0; fi
  fi
  if [ -n "$offline" ]; then give_up "$names" "the package mirror cannot be reached (no network?)"; fi
  give_up "$names" "apt-get install failed"
}

apt_get_install() {
  $SUDO apt-get install -y -qq --no-install-recommends "$@" >>"$APT_LOG" 2>&1
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

runs_32bit() { "$WINE_LOADER" --version >/dev/null 2>&1; }

# i386_qemu_major: the major version of the qemu-i386-static on the PATH
# (0 when there is none), as the run and test scripts read it.
I386_QEMU=qemu-i386-static
# shellcheck source=i386.sh
source "$(dirname "${BASH_SOURCE[0]}")/i386.sh"

packages=("${run_packages[@]}")
if [ "$profile" = test ]; then packages+=("${test_packages[@]}"); fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  install_or_give_up -- "${missing[@]}"
fi

# The product is a 32-bit program, so its tests need the 32-bit Wine loader.
# Where this machine cannot execute 32-bit programs, qemu runs them; Debian
# 12's own qemu-user (7.2) takes about a minute to start each process, the
# backported one (10) a fraction of a second. The test command also runs one
# scenario through qemu on machines that do run 32-bit programs, so that the
# path a newcomer's machine takes is exercised everywhere: there qemu is
# wanted too, but its absence is not fatal to the set-up.
need_qemu=""
if ! runs_32bit; then need_qemu=yes
elif [ "$profile" = test ]; then need_qemu=wanted
fi
if [ -n "$need_qemu" ] && [ "$(i386_qemu_major)" -lt 8 ]; then
  if ! grep -rqs 'bookworm-backports' "$APT_SOURCES/sources.list" "$APT_SOURCES/sources.list.d/"; then
    echo "setup: adding the bookworm-backports suite for qemu-user-static"
    printf '%s\n' 'Types: deb' 'URIs: http://deb.debian.org/debian' \
      'Suites: bookworm-backports' 'Components: main' \
      'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      $SUDO tee "$APT_SOURCES/sources.list.d/bookworm-backports.sources" >/dev/null
  fi
  echo "setup: installing qemu-user-static from bookworm-backports"
  if [ "$need_qemu" = yes ]; then
    install_or_give_up -t bookworm-backports -- qemu-user-static
  elif ! (install_or_give_up -t bookworm-backports -- qemu-user-static); then
    echo "setup: WARNING: no qemu-user-static: the test command will say so and fail" >&2
    echo "setup: WARNING: unless ALLOW_NO_QEMU=1 is set (this machine runs 32-bit programs itself)" >&2
  fi
fi
