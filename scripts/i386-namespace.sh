#!/usr/bin/env bash
# Runs inside a fresh user and mount namespace: registers qemu for 32-bit x86
# ELF programs in the namespace's own binfmt_misc, then runs the command.
#   i386-namespace.sh <qemu-i386-static> <command> [arguments...]
set -eu
qemu=$1; shift
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
# ELF, 32-bit, little-endian, version 1, executable or shared object, i386.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
printf '%s' ":qemu-i386:M::$magic:$mask:$qemu:FP" >/proc/sys/fs/binfmt_misc/register
export I386_MODE=qemu
exec "$@"
