#!/usr/bin/env python3
"""Check the two shipped executables from the Linux side.

Usage: check_executables.py WIN32_EXE WIN64_EXE

The tool is copied onto players' machines as a single file, so it may import only DLLs
that every Windows has; a DLL of the compiler's run time (libstdc++, libgcc, winpthread)
would make it fail to start there. Each file must also be the build its name says.
"""
import re
import shutil
import struct
import subprocess
import sys

# KERNEL32, USER32 and msvcrt are what the builds import today; GDI32 is the one more
# system DLL the painting code may come to need.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"}

BUILDS = [
    # (name, objdump, machine, optional-header magic, objdump's name for the magic)
    ("win32", "i686-w64-mingw32-objdump", 0x014C, 0x010B, "PE32"),
    ("win64", "x86_64-w64-mingw32-objdump", 0x8664, 0x020B, "PE32+"),
]
GUI_SUBSYSTEM = 2


def headers(path):
    """Machine, optional-header magic and subsystem, read from the file itself."""
    with open(path, "rb") as f:
        data = f.read(4096)
    if data[:2] != b"MZ":
        raise ValueError("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    subsystem = struct.unpack_from("<H", data, optional + 68)[0]  # same place in PE32 and PE32+
    return machine, magic, subsystem


def check(name, path, objdump, machine, magic, magic_name):
    failures = []
    try:
        found_machine, found_magic, found_subsystem = headers(path)
    except OSError as e:
        return [f"cannot read the {name} build {path}: {e.strerror}; it is made by: "
                f"cmake --preset {name} && cmake --build build/{name}"]
    except ValueError as e:
        return [f"{path}: not a Windows executable ({e})"]
    if found_machine != machine:
        failures.append(f"{path}: machine 0x{found_machine:04x}, expected 0x{machine:04x}")
    if found_magic != magic:
        failures.append(f"{path}: optional header magic 0x{found_magic:04x}, expected {magic_name}")
    if found_subsystem != GUI_SUBSYSTEM:
        failures.append(f"{path}: subsystem {found_subsystem}, expected {GUI_SUBSYSTEM} (Windows GUI)")

    if shutil.which(objdump) is None:
        return failures + [f"{objdump} is not installed"]
    dump = subprocess.run([objdump, "-p", path], capture_output=True, text=True)
    if dump.returncode != 0:
        return failures + [f"{objdump} -p {path} failed: {dump.stderr.strip()}"]
    text = dump.stdout

    # objdump's own reading must agree with the header bytes.
    shown = re.search(r"^Magic\s+([0-9a-f]+)\s+\((PE32\+?)\)", text, re.M)
    if not shown or shown.group(2) != magic_name:
        failures.append(f"{objdump} does not see {path} as {magic_name}")
    if not re.search(r"^Subsystem\s+0*2\s+\(Windows GUI\)", text, re.M):
        failures.append(f"{objdump} does not see {path} as a Windows GUI program")

    dlls = re.findall(r"^\s*DLL Name:\s*(\S+)", text, re.M)
    print(f"{name}: {path}: machine 0x{found_machine:04x}, magic 0x{found_magic:04x}, subsystem "
          f"{found_subsystem}, imports {', '.join(dlls) or 'nothing'}")
    if "kernel32.dll" not in (d.lower() for d in dlls):
        failures.append(f"{path}: no import of KERNEL32.dll found; objdump's output was not understood")
    for dll in dlls:
        if dll.lower() not in SYSTEM_DLLS:
            failures.append(f"{path} imports {dll}, which is not a DLL of every Windows")
    return failures


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    failures = []
    for (name, objdump, machine, magic, magic_name), path in zip(BUILDS, argv[1:]):
        failures += check(name, path, objdump, machine, magic, magic_name)
    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
