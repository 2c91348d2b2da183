"""End-to-end harness: the real BRIVELCONFIG.EXE under Wine on a virtual X screen, driven
with real key presses and mouse clicks (xdotool) and watched by the probe, a Windows
program that reads the tool's windows from outside and prints them as JSON.

Every test gets a fresh drive C and holds the same per-identity lock as tests/wine/run, so
no other Wine user of that prefix runs meanwhile; afterwards the prefix's wineserver, and
with it every process of the tool, is killed."""

import fcntl
import json
import os
import shutil
import subprocess
import tempfile
import time
from contextlib import contextmanager
from dataclasses import dataclass
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
WINE_SCRIPTS = REPO / "tests" / "wine"
COMMON_SH = WINE_SCRIPTS / "common.sh"
TIMEOUT = 15.0
IDOK, IDCANCEL = 1, 2


def pytest_addoption(parser):
    build = REPO / "build" / "win64"
    parser.addoption("--tool", default=str(build / "BRIVELCONFIG.EXE"))
    parser.addoption("--probe", default=str(build / "tests" / "probe" / "probe.exe"))
    parser.addoption("--screenshots", default=str(build / "e2e-screenshots"))


def wait_until(condition, what, timeout=TIMEOUT):
    """Polls condition() until it returns something true, and returns that."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout}s waiting for {what}")
        time.sleep(0.05)


def common_value(name):
    """A setting of tests/wine/common.sh, so that both always agree."""
    return subprocess.run(["bash", "-c", f'. "$0"; echo "${name}"', COMMON_SH],
                          check=True, capture_output=True, text=True).stdout.strip()


def as_identity(who, *command):
    """The command line that runs command with the identity's prefix, as tests/wine does."""
    return ["bash", "-c", '. "$0"; as_identity "$@"', str(COMMON_SH), who, *map(str, command)]


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True)


def centre(rect):
    return (rect["left"] + rect["right"]) // 2, (rect["top"] + rect["bottom"]) // 2


def move_pointer(x, y):
    # --sync waits for the pointer to move, which it never does when it is there already.
    where = subprocess.run(["xdotool", "getmouselocation", "--shell"], check=True,
                           capture_output=True, text=True).stdout
    if f"X={x}\nY={y}\n" not in where:
        xdotool("mousemove", "--sync", x, y)


def click_at(rect):
    move_pointer(*centre(rect))
    xdotool("click", 1)


@dataclass
class Config:
    tool: Path
    probe: Path
    screenshots: Path
    test_root: Path
    test_user: str
    wine_loader: str
    wineserver: str


@pytest.fixture(scope="session")
def config(request):
    subprocess.run([WINE_SCRIPTS / "prepare"], check=True)
    return Config(tool=Path(request.config.getoption("--tool")),
                  probe=Path(request.config.getoption("--probe")),
                  screenshots=Path(request.config.getoption("--screenshots")),
                  test_root=Path(common_value("TEST_ROOT")),
                  test_user=common_value("TEST_USER"),
                  wine_loader=common_value("WINE_LOADER"),
                  wineserver=common_value("WINESERVER"))


@pytest.fixture(scope="session")
def display():
    """Xvfb on a free display; -displayfd says which one once it accepts clients."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as answer:
        number = answer.readline().strip()
    assert number, "Xvfb did not start"
    os.environ["DISPLAY"] = f":{number}"
    yield os.environ["DISPLAY"]
    server.terminate()
    server.wait(timeout=10)


class Dialog:
    """One look at a window of the tool (the dialog or a message box)."""

    def __init__(self, data):
        self.data = data
        self.rect = data["rect"]
        self.caption = data["caption"]
        self.enabled = data["enabled"]
        self.controls = data["controls"]

    def control(self, control_id):
        matches = [c for c in self.controls if c["id"] == control_id]
        assert len(matches) == 1, f"{len(matches)} controls with id {control_id}"
        return matches[0]

    def text(self, control_id):
        return self.control(control_id)["text"]

    def checked(self, *ids):
        """The checked ones among the given buttons."""
        return {i for i in ids if self.control(i)["check"] == 1}

    @property
    def focus(self):
        """Id of the control with the keyboard focus, when it is in this window."""
        focus = self.data.get("focus")
        return focus["id"] if focus and focus["topLevel"] == self.data["hwnd"] else None


class MessageBox(Dialog):
    @property
    def message(self):
        texts = [c["text"] for c in self.controls
                 if c["class"] == "Static" and c["text"] and c["visible"]]
        assert len(texts) == 1, texts
        return texts[0]

    @property
    def buttons(self):
        return [c["text"] for c in self.controls if c["class"] == "Button" and c["visible"]]

    @property
    def icon(self):
        icons = [c["icon"] for c in self.controls if "icon" in c and c["visible"]]
        return icons[0] if icons else None

    def press(self, button):
        click_at(next(c for c in self.controls
                      if c["class"] == "Button" and c["text"] == button)["rect"])


class Tool:
    """A running BRIVELCONFIG.EXE."""

    def __init__(self, machine, process):
        self.machine = machine
        self.process = process

    def snapshot(self):
        return self.machine.inspect("dump")

    def wait(self, condition, what):
        """Waits until condition(snapshot) holds and returns that snapshot."""
        def check():
            snapshot = self.machine.inspect("dump", may_fail=True)
            return snapshot if snapshot and condition(snapshot) else None
        return wait_until(check, what)

    def wait_for_dialog(self):
        """The dialog once it is shown and takes input (no message box open)."""
        snapshot = self.wait(lambda s: s["dialog"] and s["dialog"]["visible"] and
                             s["dialog"]["enabled"] and not s["owned"], "the dialog")
        return Dialog(snapshot["dialog"])

    def dialog(self):
        snapshot = self.snapshot()
        assert snapshot["dialog"], "the dialog is gone"
        return Dialog(snapshot["dialog"])

    def wait_for_message_box(self):
        snapshot = self.wait(lambda s: s["dialog"] and s["owned"], "a message box")
        assert len(snapshot["owned"]) == 1, snapshot["owned"]
        return MessageBox(snapshot["owned"][0])

    def wait_for_ended(self):
        """The process has ended and left no window behind."""
        try:
            self.process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            raise AssertionError("the tool is still running") from None
        assert self.snapshot()["dialog"] is None

    def running(self):
        return self.process.poll() is None

    def click(self, control_id):
        click_at(self.dialog().control(control_id)["rect"])

    def press(self, *keys):
        """Key presses as a person makes them. No window manager gives the X focus to the
        dialog, so the pointer rests on its caption, and X sends the keys there."""
        rect = self.dialog().rect
        move_pointer(rect["left"] + 8, rect["top"] + 4)
        for key in keys:
            xdotool("key", key)

    def click_close_box(self):
        box = self.machine.inspect("closebox")["closeBox"]
        assert box, "the dialog has no close box"
        click_at(box)

    def close_from_system_menu(self):
        self.press("alt+space")
        self.wait(lambda s: s["popupMenus"] == 1, "the system menu")
        xdotool("key", "c")


class Machine:
    """One Wine identity ("root" or "user") with a fresh drive C, for one test."""

    def __init__(self, config, who, drive, env):
        self.config = config
        self.who = who
        self.drive = drive
        self.env = env
        self.ini = drive / "dxerror.ini"
        self.processes = []

    def command(self, program, *args):
        return as_identity(self.who, self.config.wine_loader, program, *args)

    def popen(self, program, *args, **kwargs):
        process = subprocess.Popen(self.command(program, *args), cwd=self.drive, env=self.env,
                                   stderr=subprocess.DEVNULL, **kwargs)
        self.processes.append(process)
        return process

    def inspect(self, *args, may_fail=False):
        """The probe's answer; with may_fail, None when the probe failed (windows come and
        go while it reads them), for pollers to ask again."""
        # Now and then the probe ends with status 1 and no word while the tool's windows
        # change; it only reads, so a second run answers.
        for _ in range(2):
            # Files, not pipes: a Wine process started first in a session leaves the
            # services it starts holding its output, and a pipe would then never end.
            with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
                status = subprocess.run(self.command(self.config.probe, *args), cwd=self.drive,
                                        env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                        stderr=err, timeout=60).returncode
                out.seek(0)
                err.seek(0)
                if status == 0:
                    return json.loads(out.read().decode("utf-8").splitlines()[-1])
                if may_fail:
                    return None
                failure = err.read().decode(errors="replace")
        raise AssertionError(f"probe {args} failed twice: {failure}")

    def boot(self):
        """Starts the prefix's wineserver and services for this display, holding no pipe."""
        subprocess.run(self.command(self.config.probe, "acp"), cwd=self.drive, env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=60)

    def start(self, *args, exe=None):
        return Tool(self, self.popen(exe or self.config.tool, *args, stdout=subprocess.DEVNULL))

    def start_dialog(self, *args):
        tool = self.start(*args)
        return tool, tool.wait_for_dialog()

    def copy_tool(self, name):
        """The tool under another file name, on drive C."""
        copy = self.drive / name
        shutil.copyfile(self.config.tool, copy)
        return copy

    def write_ini(self, content, mode=0o644):
        self.ini.write_bytes(content)
        self.ini.chmod(mode)
        if self.who == "user":
            shutil.chown(self.ini, self.config.test_user, self.config.test_user)

    def settings(self):
        """The keys of the section "DirectX Errors", as the file holds them now."""
        keys, section = {}, None
        for line in self.ini.read_bytes().decode("ascii").splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1]
            elif section == "DirectX Errors" and line and not line.startswith(";"):
                key, _, value = line.partition("=")
                keys[key.strip()] = value.strip()
        return keys

    def attributes(self):
        return self.inspect("attributes", r"c:\dxerror.ini")["attributes"]

    def code_page(self):
        return self.inspect("acp")["acp"]

    @contextmanager
    def holding(self, windows_path=r"c:\dxerror.ini"):
        """A Windows process that keeps the file open, shared with nobody."""
        holder = self.popen(self.config.probe, "hold", windows_path,
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        answer = json.loads(holder.stdout.readline())
        assert answer["held"], answer
        try:
            yield
        finally:
            holder.stdin.close()
            holder.wait(timeout=TIMEOUT)

    def kill_wine(self):
        subprocess.run(as_identity(self.who, self.config.wineserver, "-k"), env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(as_identity(self.who, self.config.wineserver, "-w"), env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


@pytest.fixture
def wine(config, display):
    """Factory: wine(who="root", full_disk=False, lang=None) gives a Machine; only one per
    test. Holds the identity's lock until the test is over."""
    held = []

    def make(who="root", full_disk=False, lang=None):
        assert not held, "one Wine identity per test"
        lock = open(config.test_root / f"{who}.lock", "w")
        fcntl.flock(lock, fcntl.LOCK_EX)
        env = dict(os.environ, DISPLAY=display)
        if lang:
            env.pop("LC_ALL", None)
            env["LANG"] = lang
        fresh = [WINE_SCRIPTS / "fresh-drive-c", who] + (["--full"] if full_disk else [])
        drive = Path(subprocess.run(fresh, check=True, capture_output=True,
                                    text=True).stdout.strip())
        machine = Machine(config, who, drive, env)
        held.append((lock, machine, full_disk))
        # A wineserver left by another test may have been started for another display or
        # locale; this test starts its own.
        machine.kill_wine()
        machine.boot()
        return machine

    yield make

    for lock, machine, full_disk in held:
        machine.kill_wine()
        for process in machine.processes:
            try:
                process.wait(timeout=TIMEOUT)
            except subprocess.TimeoutExpired:
                process.kill()
                raise AssertionError("a Wine process survived its wineserver")
        if full_disk:
            subprocess.run([WINE_SCRIPTS / "fresh-drive-c", machine.who], check=True,
                           stdout=subprocess.DEVNULL)
        lock.close()


@pytest.fixture
def root(wine):
    return wine("root")


@pytest.fixture
def user(wine):
    return wine("user")


# How a person ends the dialog, keeping the file (OK) or not (cancel).
OK_PATHS = {
    "OK button": lambda tool: tool.click(IDOK),
    "Enter": lambda tool: tool.press("Return"),
}
CANCEL_PATHS = {
    "Remove button": lambda tool: tool.click(IDCANCEL),
    "Escape": lambda tool: tool.press("Escape"),
    "close box": lambda tool: tool.click_close_box(),
    "Alt+F4": lambda tool: tool.press("alt+F4"),
    "Close in the system menu": lambda tool: tool.close_from_system_menu(),
}
