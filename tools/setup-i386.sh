#!/bin/bash
# Lets this x86_64 machine run 32-bit Windows programs under Wine, for the test of the
# players' i686 build: the i386 architecture, 32-bit Wine and qemu-user-static, and, where
# the kernel cannot start i386 ELF files itself, qemu-i386 registered with binfmt_misc for
# them. Does nothing when all is in place; otherwise needs root. On failure prints one line
# and exits non-zero.
set -euo pipefail

binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386
wine32=/usr/lib/wine/wine
# Matches i386 ELF executables and shared objects, as qemu's own binfmt configuration does.
# "F" opens the interpreter now, so it also serves programs in other mount namespaces.
registration=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'

fail() {
    echo "setup-i386: $*" >&2
    exit 1
}

# The 32-bit Wine loader is an i386 ELF file: starting it proves the whole chain.
runs_32bit() { [ -x "$wine32" ] && "$wine32" --version >/dev/null 2>&1; }

runs_32bit && exit 0
[ "$(id -u)" -eq 0 ] ||
    fail "32-bit programs cannot run here; run tools/setup-i386.sh as root to set them up"

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
missing=()
for package in qemu-user-static wine32:i386; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq >/dev/null ||
        fail "apt-get update failed, so ${missing[*]} cannot be installed"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null ||
        fail "apt-get install ${missing[*]} failed"
fi

# A kernel with IA32 emulation runs them natively, faster than any emulator; an entry would
# take precedence over that.
if [ ! -e "$entry" ] && runs_32bit; then
    echo "setup-i386: 32-bit programs run here natively"
    exit 0
fi
if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
        fail "binfmt_misc cannot be mounted on $binfmt (not offered by this kernel or container)"
fi
if [ ! -e "$entry" ]; then
    printf '%s' "$registration" >"$binfmt/register" 2>/dev/null ||
        fail "binfmt_misc refused the qemu-i386 entry"
fi
grep -qx enabled "$entry" || echo 1 >"$entry" 2>/dev/null ||
    fail "the binfmt_misc entry qemu-i386 is disabled and cannot be enabled"

interpreter=$(sed -n 's/^interpreter //p' "$entry")
runs_32bit || fail "32-bit Wine does not start even through $interpreter"
echo "setup-i386: 32-bit programs now run here through $interpreter"
