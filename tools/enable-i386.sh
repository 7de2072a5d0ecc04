#!/usr/bin/env bash
# Makes 32-bit x86 programs (Wine's loader) runnable. Where the kernel runs
# them natively this does nothing; where the host refuses i386 executables
# (some virtual machines switch IA-32 emulation off), it registers the
# qemu-i386 user-mode emulator with binfmt_misc. Needs root for that case.
set -u
probe=/lib/ld-linux.so.2
[ -e "$probe" ] || exit 0
"$probe" --version >/dev/null 2>&1 && exit 0
qemu=/usr/bin/qemu-i386-static
if [ ! -x "$qemu" ]; then
  echo "enable-i386: 32-bit programs do not run here and $qemu is missing (run tools/setup.sh)" >&2
  exit 1
fi
fs=/proc/sys/fs/binfmt_misc
[ -e "$fs/register" ] || mount -t binfmt_misc binfmt_misc "$fs" 2>/dev/null
if [ ! -e "$fs/qemu-i386" ]; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
    >"$fs/register" 2>/dev/null || true
fi
"$probe" --version >/dev/null 2>&1 || { echo "enable-i386: cannot run 32-bit programs on this machine" >&2; exit 1; }
