# Can this machine run 32-bit programs? Sourced by every script that builds,
# tests or runs anything (and by tests/wine/lib.sh); run on its own it prints
# the answer and exits 0 for yes, 1 for no.
#
# kovra_probe_32bit sets KOVRA_32BIT to yes or no and, for no, KOVRA_NO32_REASON
# to one line saying why. Some kernels refuse every 32-bit program (a boot
# option, "ia32_emulation"), and then Wine cannot start a 32-bit Windows
# program at all. The probe runs a tiny 32-bit Linux program of its own, so it
# needs no Wine; the answer is no only when the kernel refused to run it.
# KOVRA_SIMULATE_NO32=1 makes the answer no, so that the path taken on such
# machines is exercised on every machine.

# The Windows tests of the 32-bit build exit with this code when the machine
# cannot run them; ctest counts them as skipped.
KOVRA_SKIP_CODE=77

# An i386 ELF program that only calls exit(0): 52-byte header, one 32-byte
# program header, 9 bytes of code (mov eax,1; xor ebx,ebx; int 0x80).
kovra_write_probe_elf() {
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'
  printf '\x00\x00\x00\x00'
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
  printf '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
  printf '\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80'
}

# Runs a program; prints the system's error text (e.g. "Exec format error")
# and fails when it could not be run or failed.
kovra_try_run() {
  local msg
  msg=$("$@" 2>&1 >/dev/null) && return 0
  msg=$(printf '%s\n' "$msg" | head -n 1)
  printf '%s\n' "${msg##*: }"
  return 1
}

# What the kernel said about it, when its log can be read.
kovra_kernel_word() {
  local line
  line=$(dmesg 2>/dev/null | grep -m 1 -iE '32-bit emulation|ia32' | sed -E 's/^\[[^]]*\] *//') || true
  if [ -n "$line" ]; then
    printf ' (kernel: "%s")' "$line"
  elif grep -qw 'ia32_emulation=off' /proc/cmdline 2>/dev/null; then
    printf ' (kernel booted with ia32_emulation=off)'
  fi
}

kovra_probe_32bit() {
  KOVRA_32BIT=yes
  KOVRA_NO32_REASON=
  if [ "${KOVRA_SIMULATE_NO32:-0}" = 1 ]; then
    KOVRA_32BIT=no
    KOVRA_NO32_REASON="32-bit programs cannot run here (simulated: KOVRA_SIMULATE_NO32=1)"
    return 0
  fi
  local dir elf err="" refused=""
  for dir in "${TMPDIR:-/tmp}" /tmp /dev/shm; do
    elf=$(mktemp "$dir/kovra-probe32.XXXXXX" 2>/dev/null) || continue
    kovra_write_probe_elf >"$elf" && chmod 700 "$elf"
    if err=$(kovra_try_run "$elf"); then
      rm -f "$elf"
      return 0
    fi
    rm -f "$elf"
    case "$err" in
      *"Exec format error"*) refused="a 32-bit program gave \"$err\""; break ;;
    esac
    # Anything else (a folder mounted noexec) says nothing about the kernel.
  done
  if [ -z "$refused" ] && [ -x /usr/lib/wine/wineserver32 ]; then
    if ! err=$(kovra_try_run /usr/lib/wine/wineserver32 --version); then
      case "$err" in
        *"Exec format error"*) refused="/usr/lib/wine/wineserver32 gave \"$err\"" ;;
      esac
    fi
  fi
  if [ -n "$refused" ]; then
    KOVRA_32BIT=no
    KOVRA_NO32_REASON="this kernel runs no 32-bit programs: $refused$(kovra_kernel_word)"
  fi
  return 0
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  kovra_probe_32bit
  if [ "$KOVRA_32BIT" = yes ]; then
    echo "32-bit programs run here"
    exit 0
  fi
  echo "$KOVRA_NO32_REASON"
  exit 1
fi
