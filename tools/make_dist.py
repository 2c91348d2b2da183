#!/usr/bin/env python3
"""make_dist.py OUT_DIR NAME=EXE... : one zip per target, plus SHA256SUMS.

The archives carry no time stamps or owner data of the build machine, so the same
executables always give the same archive bytes.
"""
import hashlib
import pathlib
import sys
import zipfile

FIXED_TIME = (1980, 1, 1, 0, 0, 0)  # the earliest time a zip entry can hold
READ_ME = pathlib.Path(__file__).resolve().parent.parent / "docs" / "players-readme.txt"


def add(archive, name, data, mode):
    entry = zipfile.ZipInfo(name, date_time=FIXED_TIME)
    entry.compress_type = zipfile.ZIP_DEFLATED
    entry.create_system = 0  # MS-DOS: no Unix owner or permission bits
    entry.external_attr = mode
    archive.writestr(entry, data, compresslevel=9)


def main(out_dir, targets):
    out = pathlib.Path(out_dir)
    out.mkdir(parents=True, exist_ok=True)
    # Players open it with Notepad: Windows line ends.
    read_me = READ_ME.read_text(encoding="ascii").replace("\n", "\r\n").encode("ascii")
    sums = []
    for target in targets:
        name, exe = target.split("=", 1)
        zip_path = out / f"brivelconfig-{name}.zip"
        with zipfile.ZipFile(zip_path, "w") as archive:
            add(archive, "BRIVELCONFIG.EXE", pathlib.Path(exe).read_bytes(), 0x20)
            add(archive, "README.TXT", read_me, 0x20)
        sums.append(f"{hashlib.sha256(zip_path.read_bytes()).hexdigest()}  {zip_path.name}\n")
    (out / "SHA256SUMS").write_text("".join(sums), encoding="ascii")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
