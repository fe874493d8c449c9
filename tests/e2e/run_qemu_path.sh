#!/usr/bin/env bash
# The path of a machine that cannot execute 32-bit programs, taken on every
# machine. Where 32-bit programs run natively, the USB installation of a
# receipt model (the installer's start-up included) runs once more with
# qemu registered for them in a private namespace, as scripts/i386.sh does
# for a newcomer's machine: a change that breaks that path fails here too.
# Where this whole run already goes through qemu, every Wine test is that
# path, and this one says so.
#
# Without a qemu-i386-static of version 8 or later it fails, unless
# ALLOW_NO_QEMU=1 opts out (then it is skipped, exit 77).
set -uo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$REPO/scripts/i386.sh"

mode=${I386_MODE:-}
if [ -z "$mode" ]; then
  if i386_native; then mode=native
  elif [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then mode=qemu
  else mode=none; fi
fi
case "$mode" in
  qemu)
    grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 ||
      { echo "FAIL: the run says qemu, but qemu is not registered here"; exit 1; }
    echo "ok: every Wine test of this run executes the 32-bit programs through qemu"
    exit 0 ;;
  none)
    echo "FAIL: this machine runs 32-bit programs neither natively nor through qemu"
    exit 1 ;;
esac

if [ "$(i386_qemu_major)" -lt 8 ]; then
  if [ "${ALLOW_NO_QEMU:-}" = 1 ]; then
    echo "SKIP: no qemu-i386-static 8 or later, and ALLOW_NO_QEMU=1"
    exit 77
  fi
  echo "FAIL: cannot run: no qemu-i386-static 8 or later at $I386_QEMU"
  echo "      (bash scripts/setup.sh installs it from bookworm-backports; ALLOW_NO_QEMU=1 opts out)"
  exit 1
fi
# The scenario inside the namespace, with its own stage and screenshots.
exec unshare --user --map-root-user --mount --fork \
  bash "$REPO/scripts/i386-namespace.sh" "$I386_QEMU" bash -c '
    grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 ||
      { echo "FAIL: qemu could not be registered for 32-bit programs"; exit 1; }
    echo "ok: 32-bit programs run through qemu in this namespace"
    exec bash "$1" usb_receipt_win10' qemu-path "$REPO/tests/e2e/run_e2e.sh"
