#!/usr/bin/env bash
# Exits 0 when this machine can run 32-bit x86 code, as full 32-bit Wine needs; otherwise says why
# on stderr and exits 1. Some virtual machines run 64-bit user code only: there a 32-bit program is
# refused (ENOEXEC) and the 32-bit system call gate faults, so no 32-bit Windows program can start
# under Wine either (scripts/vm32.sh runs them in a virtual machine of their own).
set -uo pipefail
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# The smallest i386 Linux program: ELF header, one loadable segment, then
# mov eax, 1 / xor ebx, ebx / int 0x80 (exit(0) through the 32-bit system call gate).
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'`
      `'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'`
      `'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'`
      `'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'`
      `'\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'`
      `'\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
rc=$?
[ "$rc" -eq 0 ] && exit 0
if [ "$rc" -eq 126 ]; then
  echo "this machine cannot run 32-bit code: the kernel refuses 32-bit programs (no IA-32 emulation)" >&2
else
  echo "this machine cannot run 32-bit code: a 32-bit program ended with status $rc" >&2
fi
exit 1
