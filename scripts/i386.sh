# Sourced by the run and test scripts: makes 32-bit Windows programs (the
# product is one) runnable under Wine on this machine.
#
# Some machines cannot execute 32-bit Linux programs, and so not the 32-bit
# Wine loader. There qemu-i386-static is registered for 32-bit x86 ELF
# programs through binfmt_misc inside a private user and mount namespace:
# since Linux 6.7 each user namespace has its own binfmt_misc, so nothing
# outside the namespace changes, and Wine's re-executions of its loader find
# qemu without a wrapper.
#
# i386_reexec re-runs the calling script inside such a namespace when that
# is needed and possible. I386_MODE then tells how 32-bit programs run:
# native, qemu, or none (only the 64-bit build can run under Wine here, and
# the run and test commands refuse to go on unless ALLOW_X86_64_STANDIN=1).
# I386_MODE=qemu set by the caller forces the namespace even where 32-bit
# programs run natively.

I386_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
I386_QEMU=${I386_QEMU:-/usr/bin/qemu-i386-static}

i386_native() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# Runs its arguments in a namespace where qemu runs 32-bit programs.
i386_in_namespace() {
  unshare --user --map-root-user --mount --fork \
    bash "$I386_REPO/scripts/i386-namespace.sh" "$I386_QEMU" "$@"
}

i386_reexec() {  # script [arguments...]
  if [ "${I386_MODE:-}" = qemu ] && [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    exec unshare --user --map-root-user --mount --fork \
      bash "$I386_REPO/scripts/i386-namespace.sh" "$I386_QEMU" bash "$@"
  fi
  if [ -n "${I386_MODE:-}" ]; then return 0; fi
  if i386_native; then export I386_MODE=native; return 0; fi
  if [ -x "$I386_QEMU" ] && i386_in_namespace /usr/lib/wine/wine --version >/dev/null 2>&1; then
    export I386_MODE=qemu
    exec unshare --user --map-root-user --mount --fork \
      bash "$I386_REPO/scripts/i386-namespace.sh" "$I386_QEMU" bash "$@"
  fi
  export I386_MODE=none
  echo "NOTE: this machine cannot run 32-bit programs (no qemu-i386-static, or no user" >&2
  echo "NOTE: namespaces), so it cannot run the 32-bit product." >&2
}

# The major version of $I386_QEMU; 0 when it is missing.
i386_qemu_major() {
  local version
  version=$("$I386_QEMU" --version 2>/dev/null || true)
  version=$(printf '%s\n' "$version" | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p')
  echo "${version:-0}"
}
