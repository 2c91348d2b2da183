#!/usr/bin/python3
"""The players' 32-bit build (i686), run for real under Wine on a virtual screen.

First start on a fresh drive C: the settings file gets its default bytes, the dialog shows
the German texts and the default options, a real click on "Normal Priority Mode" is stored
at once, and Enter hides the file and ends the process. Second start on that drive: the
stored option is shown, and Escape deletes the file and ends the process.

The 32-bit tool runs in a 64-bit prefix whose 32-bit system (syswow64) is filled: Wine's own
services there stay 64-bit, and only the tool itself is a 32-bit process, started natively
where the kernel can, through qemu-i386 (binfmt_misc) where it cannot. The probe, a
64-bit program, reads the tool's windows from outside.

Exit status: 0 passed, 1 failed, 77 skipped (this machine cannot run 32-bit programs; a
failure instead when CI=true)."""

import argparse
import fcntl
import json
import os
import shutil
import subprocess
import sys
import time
from contextlib import contextmanager
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
WINE_SCRIPTS = REPO / "tests" / "wine"
sys.path.insert(0, str(REPO / "tests" / "e2e"))
from texts import (DEFAULT_CONTENT, FLIP_BY_DIRECTX, GERMAN, HIGH_PRIORITY,  # noqa: E402
                   LANG_GERMAN, NORMAL_PRIORITY, RADIO_BUTTONS)

SKIPPED = 77
WHO = "i686"
WINE32 = Path("/usr/lib/wine/wine")
BINFMT_ENTRY = Path("/proc/sys/fs/binfmt_misc/qemu-i386")
# A start takes seconds, several times as long under emulation; these bound a hang.
WAIT = 180.0
PREFIX_WAIT = 900.0
# qemu-i386 7.2 does not honour MAP_FIXED_NOREPLACE, so Wine's address-space reservations
# land elsewhere, and those above 2 GB Wine keeps. One of them covers 0x7ffe0000, where the
# shared user data must go: after a minute of futile retries the process exits with
# "failed to map the shared user data: c0000018". A guest space that ends at 0x7fff0000
# puts every misplaced reservation below that limit, where Wine gives it back. Natively
# started programs ignore the variable.
QEMU_ENV = {"QEMU_RESERVED_VA": "0x7fff0000"}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(condition, what, timeout=WAIT):
    """Polls condition() until it returns something true, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(0.2)


def common_value(name):
    """A setting of tests/wine/common.sh, so that both always agree."""
    return subprocess.run(["bash", "-c", f'. "$0"; echo "${name}"', WINE_SCRIPTS / "common.sh"],
                          check=True, capture_output=True, text=True).stdout.strip()


def why_32bit_cannot_run(tool):
    """None when this machine can run the 32-bit tool under Wine, else the reason."""
    setup = "run tools/setup-i386.sh as root"
    if not WINE32.exists():
        return f"32-bit Wine ({WINE32}, package wine32:i386) is not installed; {setup}"
    try:
        subprocess.run([WINE32, "--version"], check=True, capture_output=True, timeout=60)
    except (OSError, subprocess.SubprocessError) as error:
        return f"this kernel cannot start 32-bit programs ({error}); {setup}"
    if not tool.exists():
        return f"{tool} is not built; run cmake --preset win32 && cmake --build build/win32"
    return None


def how_32bit_runs():
    if BINFMT_ENTRY.exists() and BINFMT_ENTRY.read_text().startswith("enabled"):
        return "through qemu-i386 (binfmt_misc)"
    return "natively"


@contextmanager
def virtual_screen():
    """Xvfb on a free display; -displayfd says which one once it accepts clients."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as answer:
        number = answer.readline().strip()
    try:
        check(number, "Xvfb did not start")
        yield f":{number}"
    finally:
        server.terminate()
        server.wait(timeout=30)


def xdotool(display, *args):
    subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True,
                   env=dict(os.environ, DISPLAY=display))


def move_pointer(display, x, y):
    """Moves the pointer and waits until X has moved it; --sync would wait in vain for a
    move to where the pointer already is."""
    where = subprocess.run(["xdotool", "getmouselocation", "--shell"], check=True,
                           capture_output=True, text=True, env=dict(os.environ, DISPLAY=display))
    location = dict(line.split("=", 1) for line in where.stdout.split())
    if (int(location["X"]), int(location["Y"])) != (x, y):
        xdotool(display, "mousemove", "--sync", x, y)


def centre(rect):
    return (rect["left"] + rect["right"]) // 2, (rect["top"] + rect["bottom"]) // 2


class Machine:
    """The i686 identity: its own prefix under the test root, a fresh drive C per run, and
    the same lock convention as tests/wine/run."""

    def __init__(self, display, log):
        self.display = display
        self.log = log
        self.test_root = Path(common_value("TEST_ROOT"))
        self.loader = common_value("WINE_LOADER")
        self.wineserver = common_value("WINESERVER")
        self.dir = self.test_root / WHO
        self.prefix = self.dir / "prefix"
        self.env = dict(os.environ, DISPLAY=display, WINEDEBUG="-all,err+all", **QEMU_ENV)
        self.drive = None
        self.processes = []

    def command(self, *command):
        return ["bash", "-c", '. "$0"; as_identity "$@"', str(WINE_SCRIPTS / "common.sh"), WHO,
                *map(str, command)]

    def run(self, *command, timeout=WAIT):
        with open(self.log, "ab") as log:
            return subprocess.run(self.command(*command), env=self.env, cwd=self.drive,
                                  stdout=subprocess.PIPE, stderr=log, timeout=timeout)

    def kill_wine(self):
        if self.prefix.exists():
            self.run(self.wineserver, "-k")
            self.run(self.wineserver, "-w")

    def prepare(self):
        """Makes the prefix once, with 32-bit Wine present so that syswow64 is filled."""
        ready = self.prefix / ".brivel-ready"
        wow64 = self.prefix / "drive_c" / "windows" / "syswow64" / "kernel32.dll"
        (self.dir / "drives").mkdir(parents=True, exist_ok=True)
        if ready.exists() and wow64.exists():
            return
        print(f"i686: making the Wine prefix {self.prefix} (once)", flush=True)
        self.kill_wine()
        shutil.rmtree(self.prefix, ignore_errors=True)
        self.run(self.loader, "wineboot", "--init", timeout=PREFIX_WAIT)
        # No window manager runs on the virtual screen: Wine draws the frames itself.
        self.run(self.loader, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                 "/d", "N", "/f")
        self.run(self.wineserver, "-w", timeout=PREFIX_WAIT)
        check(wow64.exists(), f"the new prefix has no 32-bit system: {wow64} is missing")
        ready.touch()

    def fresh_drive(self):
        self.drive = Path(subprocess.run([WINE_SCRIPTS / "fresh-drive-c", WHO], check=True,
                                         capture_output=True, text=True).stdout.strip())
        self.ini = self.drive / "dxerror.ini"

    def start(self, tool):
        log = open(self.log, "ab")
        process = subprocess.Popen(self.command(self.loader, tool), env=self.env, cwd=self.drive,
                                   stdout=log, stderr=log)
        log.close()
        self.processes.append(process)
        return Tool(self, process)

    def inspect(self, probe):
        result = self.run(self.loader, probe, "dump")
        lines = result.stdout.decode("utf-8").splitlines()
        check(lines, f"the probe printed nothing (exit status {result.returncode})")
        return json.loads(lines[-1])

    def settings(self):
        """The keys of the section "DirectX Errors", as the file holds them now."""
        keys, section = {}, None
        for line in self.ini.read_bytes().decode("ascii").splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1]
            elif section == "DirectX Errors" and "=" in line:
                key, _, value = line.partition("=")
                keys[key.strip()] = value.strip()
        return keys

    def dos_attributes(self):
        """The attributes beyond what Linux keeps, which Wine stores as "0x<hex>" in the
        file's extended attribute user.DOSATTRIB; 0 when it has none."""
        try:
            value = os.getxattr(self.ini, "user.DOSATTRIB")
        except OSError:
            return 0
        return int(value.split(b"\0")[0].split(b",")[0], 16)


class Tool:
    """One start of the 32-bit tool."""

    def __init__(self, machine, process):
        self.machine = machine
        self.process = process

    def wait_for_dialog(self, probe):
        """The dialog once it is shown and takes input."""
        def shown():
            check(self.process.poll() is None,
                  "the tool ended before its dialog was shown")
            snapshot = self.machine.inspect(probe)
            owned = [[c["text"] for c in window["controls"] if c["text"]]
                     for window in snapshot["owned"]]
            check(not owned, f"the dialog opened with a message box: {owned}")
            dialog = snapshot["dialog"]
            return dialog if dialog and dialog["visible"] and dialog["enabled"] else None
        return wait_until(shown, "the dialog \"BrivelConfig\"")

    def wait_for_end(self):
        try:
            self.process.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            raise Failure(f"the tool still runs {WAIT:.0f} s after the dialog was closed") \
                from None


def control(dialog, control_id):
    matches = [c for c in dialog["controls"] if c["id"] == control_id]
    check(len(matches) == 1, f"{len(matches)} controls with id {control_id}")
    return matches[0]


def checked(dialog):
    return {i for i in RADIO_BUTTONS if control(dialog, i)["check"] == 1}


def press(display, dialog, key):
    """A key press as a person makes it. No window manager gives the X focus to the dialog,
    so the pointer rests on its caption, and X sends the key there."""
    rect = dialog["rect"]
    move_pointer(display, rect["left"] + 8, rect["top"] + 4)
    xdotool(display, "key", key)


def first_start(machine, tool_path, probe, display):
    check(not machine.ini.exists(), "the fresh drive C already holds dxerror.ini")
    started = time.monotonic()
    tool = machine.start(tool_path)
    dialog = tool.wait_for_dialog(probe)
    print(f"i686: first start: dialog after {time.monotonic() - started:.1f} s", flush=True)

    content = machine.ini.read_bytes()
    check(content == DEFAULT_CONTENT, f"new settings file holds {content!r}, "
          f"expected the {len(DEFAULT_CONTENT)} bytes {DEFAULT_CONTENT!r}")
    check(dialog["caption"] == "BrivelConfig", f"dialog caption {dialog['caption']!r}")
    shown = {i: control(dialog, i)["text"] for i in GERMAN}
    check(shown == GERMAN, f"German texts expected, shown: {shown}")
    check(checked(dialog) == {HIGH_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN},
          f"selected buttons {sorted(checked(dialog))}, expected "
          f"{sorted({HIGH_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN})}")

    x, y = centre(control(dialog, NORMAL_PRIORITY)["rect"])
    move_pointer(display, x, y)
    xdotool(display, "click", 1)
    wait_until(lambda: machine.settings().get("highspeed") == "0",
               "highspeed=0 in the settings file after the click on \"Normal Priority Mode\"")
    stored = machine.settings()
    check(stored == {"pagesync": "0", "highspeed": "0", "language": "0"},
          f"after the click the file holds {stored}")
    after_click = machine.ini.read_bytes()
    check(not machine.dos_attributes() & 0x02, "the file is hidden before OK")

    press(display, dialog, "Return")
    tool.wait_for_end()
    check(machine.ini.exists(), "OK deleted the settings file")
    check(machine.dos_attributes() & 0x02,
          f"OK left the file without the hidden bit (user.DOSATTRIB "
          f"{machine.dos_attributes():#x})")
    check(machine.ini.read_bytes() == after_click,
          f"OK changed the file: {machine.ini.read_bytes()!r}")
    print(f"i686: first start: closed with OK after {time.monotonic() - started:.1f} s",
          flush=True)


def second_start(machine, tool_path, probe, display):
    before = machine.ini.read_bytes()
    started = time.monotonic()
    tool = machine.start(tool_path)
    dialog = tool.wait_for_dialog(probe)
    print(f"i686: second start: dialog after {time.monotonic() - started:.1f} s", flush=True)
    check(machine.ini.read_bytes() == before, "the second start rewrote the existing file")
    check(checked(dialog) == {NORMAL_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN},
          f"the stored options are not shown: selected {sorted(checked(dialog))}, expected "
          f"{sorted({NORMAL_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN})}")

    press(display, dialog, "Escape")
    wait_until(lambda: not machine.ini.exists(), "Escape to delete the settings file")
    tool.wait_for_end()
    print(f"i686: second start: closed with Escape after {time.monotonic() - started:.1f} s",
          flush=True)


@contextmanager
def locked(test_root):
    """The identity's lock, as tests/wine/run holds it: one user of the prefix at a time."""
    test_root.mkdir(parents=True, exist_ok=True)
    with open(test_root / f"{WHO}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", type=Path, required=True, help="the i686 BRIVELCONFIG.EXE")
    parser.add_argument("--probe", type=Path, required=True, help="the x86_64 probe")
    parser.add_argument("--log", type=Path, default=Path("i686-wine.log"),
                        help="Wine's error output goes here")
    args = parser.parse_args()

    problem = why_32bit_cannot_run(args.tool)
    if problem:
        if os.environ.get("CI") == "true":
            print(f"i686 test FAILED: {problem}", flush=True)
            return 1
        print(f"i686 test skipped: {problem}", flush=True)
        return SKIPPED

    args.log.write_bytes(b"")
    started = time.monotonic()
    print(f"i686: 32-bit programs run {how_32bit_runs()}", flush=True)
    try:
        with locked(Path(common_value("TEST_ROOT"))), virtual_screen() as display:
            machine = Machine(display, args.log)
            try:
                machine.prepare()
                machine.kill_wine()
                machine.fresh_drive()
                first_start(machine, args.tool.resolve(), args.probe.resolve(), display)
                second_start(machine, args.tool.resolve(), args.probe.resolve(), display)
            except (Failure, subprocess.TimeoutExpired) as failure:
                print(f"i686 test FAILED: {failure}", flush=True)
                shot = args.log.with_name("i686-failure.png")
                subprocess.run(["import", "-window", "root", shot], env=machine.env,
                               capture_output=True)
                print(f"i686: drive C {machine.drive}, screenshot {shot}, "
                      f"Wine's errors {args.log}", flush=True)
                return 1
            finally:
                machine.kill_wine()
                for process in machine.processes:
                    try:
                        process.wait(timeout=60)
                    except subprocess.TimeoutExpired:
                        process.kill()
    except (Failure, subprocess.TimeoutExpired) as failure:
        print(f"i686 test FAILED: {failure}", flush=True)
        return 1
    print(f"i686 test passed in {time.monotonic() - started:.1f} s", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
