#!/usr/bin/env bash
# Does this machine run 32-bit x86 programs? Tries one: a 93-byte static
# i386 Linux program that only exits with status 42. Exits 0 when it ran;
# otherwise prints why not on one line and exits 1. Some kernels refuse
# 32-bit programs (no IA-32 emulation): Wine's 32-bit side cannot start
# there, and only the 64-bit Windows build can be run.
# QUORVEL_REFUSE_32BIT=1 makes it answer no without trying, to see on a
# machine that runs them what the scripts do on one that does not.
set -u

if [ -n "${QUORVEL_REFUSE_32BIT:-}" ]; then
  echo "QUORVEL_REFUSE_32BIT is set, so 32-bit programs count as refused"
  exit 1
fi

probe=$(mktemp "${TMPDIR:-/tmp}/quorvel-i386-probe.XXXXXX") || {
  echo "cannot make a probe file in ${TMPDIR:-/tmp}"
  exit 1
}
trap 'rm -f "$probe"' EXIT

# ELF header (52 bytes), one loadable segment (32 bytes) mapping the whole
# file at 0x08048000, and the code at 0x08048054:
#   xor ebx, ebx; mov bl, 42; xor eax, eax; inc eax; int 0x80  (exit(42))
printf '%b' \
  '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
  '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
  '\x00\x00\x00\x00' \
  '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
  '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
  '\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >"$probe"
chmod +x "$probe"

output=$("$probe" 2>&1)
status=$?
[ $status -eq 42 ] && exit 0
# The shell's own words, without its name, line number and the probe's path.
output=$(printf '%s' "$output" | tr '\n' ' ' | sed -e "s|^.*$probe: *||" -e 's/ *$//')
if [ -n "$output" ]; then
  echo "a 32-bit program does not start: $output"
else
  echo "a 32-bit program ended with status $status instead of 42"
fi
exit 1
