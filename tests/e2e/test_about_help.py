"""The About box, reached through the last entry of the dialog's system menu, and the Help
command behind F1, which asks the system help viewer for the active dialog's help context.

Which help was asked for shows through a stand-in for the help viewer (tests/help_viewer):
Wine's WinHelp hands each request to the window of class "MS_WINHELP" when there is one,
and starts its own viewer, winhlp32.exe, only when there is none."""

import json
import os
import subprocess
import tempfile
from pathlib import Path

import pytest

from conftest import (TIMEOUT, Dialog, Tool, as_identity, click_at, move_pointer,
                      wait_until, xdotool)
from texts import (ENGLISH, FLIP_BY_GAME, GERMAN, IDCANCEL, IDOK, LANG_ENGLISH,
                   NORMAL_PRIORITY, RADIO_BUTTONS)

ABOUT_CAPTION = "About BrivelConfig"
ABOUT_ENTRY = "&About BrivelConfig..."
IDM_ABOUTBOX = 0x0010

# What the About box holds, control by control: class, id, text, style, picture.
# Wine keeps an icon static's resource name, here the ordinal 128, as its window text.
ABOUT_CONTROLS = [
    ("Static", -1, "\uffff\x80", 0x50000003, "other"),
    ("Static", -1, "BrivelConfig Version 1.0", 0x50020080, None),
    ("Static", -1, "Copyright (C) 2026 Brivel", 0x50020000, None),
    ("Button", IDOK, "OK", 0x50030001, None),
]

HELP_CONTEXT = 0x0001
CONFIG_HELP, ABOUT_HELP = 0x20066, 0x20064
# The mark Wine's WinHelp puts on every request it hands to the viewer.
WINE_HELP_TAG = 0xA1DE505
FAILED_TO_LAUNCH_HELP = ("BRIVELCONFIG", "Failed to launch help.", ["OK"], "exclamation")

# A file that differs from the default in every option, with a line the tool never writes.
SETTINGS = b"[DirectX Errors]\r\npagesync=1\r\nhighspeed=0\r\nlanguage=1\r\n; by hand\r\n"
SETTINGS_SELECTION = {NORMAL_PRIORITY, FLIP_BY_GAME, LANG_ENGLISH}
# The controls whose texts follow the language.
LANGUAGE_TEXTS = tuple(ENGLISH)


def help_viewer_program(config):
    """Built next to the probe: build/<preset>/tests/help_viewer/help_viewer.exe."""
    return Path(os.environ.get("BRIVEL_HELP_VIEWER") or
                config.probe.parent.parent / "help_viewer" / "help_viewer.exe")


def look(machine, *args, may_fail=False):
    """What the help viewer program sees of the windows (its `windows`, `closebox`)."""
    with tempfile.TemporaryFile() as out:
        status = subprocess.run(machine.command(help_viewer_program(machine.config), *args),
                                cwd=machine.drive, env=machine.env, stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.DEVNULL, timeout=60).returncode
        out.seek(0)
        if status != 0 and may_fail:
            return None
        assert status == 0, f"help_viewer {args} failed"
        return json.loads(out.read().decode("utf-8").splitlines()[-1])


def windows_of(machine, process, polling=False):
    """The process's visible windows. Windows come and go while they are listed (winhlp32
    starting up); when polling, a listing that fails on the way gives None: "ask again"."""
    listing = look(machine, "windows", may_fail=polling)
    return [w for w in listing["windows"] if w["process"] == process] if listing else None


def windows_path(linux_path):
    """The path as Wine names a file outside drive C: on drive Z, the Linux root."""
    return "Z:" + str(Path(linux_path).absolute()).replace("/", "\\")


def help_file_of(executable):
    """The executable's path with everything from its last dot replaced by ".HLP"."""
    return executable[:executable.rindex(".")] + ".HLP"


class StandInViewer:
    """tests/help_viewer serving: every help request WinHelp hands it, in order."""

    def __init__(self, machine, refuse=False):
        # Unbuffered: everything the viewer wrote is in the pipe, nothing read ahead.
        self.process = machine.popen(help_viewer_program(machine.config), "serve",
                                     *(["--refuse"] if refuse else []),
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
        os.set_blocking(self.process.stdout.fileno(), False)
        self._unread = b""
        self._lines = []
        ready = wait_until(lambda: self._read() and self._lines[0], "the help viewer")
        assert ready.get("ready"), ready

    def _read(self):
        while True:
            try:
                chunk = os.read(self.process.stdout.fileno(), 65536)
            except BlockingIOError:
                break
            if not chunk:
                break
            self._unread += chunk
        *lines, self._unread = self._unread.split(b"\n")
        self._lines += [json.loads(line) for line in lines if line]
        return self._lines

    def requests(self):
        """Every request the viewer has answered so far. The tool waits for each answer, so
        once the tool has gone on to handle later input, the earlier requests are here."""
        return [line["request"] for line in self._read()[1:]]

    def wait_for_requests(self, count):
        return wait_until(lambda: len(r := self.requests()) >= count and r,
                          f"{count} help request(s)")

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=TIMEOUT)


@pytest.fixture
def viewer(root):
    """The stand-in, running before the tool starts."""
    stand_in = StandInViewer(root)
    yield stand_in
    stand_in.close()


def request(context, file, caller):
    return {"command": HELP_CONTEXT, "data": context, "file": file, "caller": caller,
            "tag": WINE_HELP_TAG}


def essentials(requests):
    return [{k: r[k] for k in ("command", "data", "file", "caller", "tag")} for r in requests]


def start_with_overrides(machine, overrides):
    """The tool with Wine's DLL overrides extended, e.g. to switch off its help viewer."""
    command = as_identity(machine.who, "env", f"WINEDLLOVERRIDES=mscoree,mshtml=;{overrides}",
                          machine.config.wine_loader, machine.config.tool)
    process = subprocess.Popen(command, cwd=machine.drive, env=machine.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    machine.processes.append(process)
    tool = Tool(machine, process)
    tool.wait_for_dialog()
    return tool


def caption_point(rect):
    return rect["left"] + 60, rect["top"] + 8


def press_in(rect, *keys):
    """Keys with the pointer on that window's caption, where X sends them."""
    move_pointer(*caption_point(rect))
    for key in keys:
        xdotool("key", key)


def drag(tool, window, rect, to):
    """Drags a window of the tool by its caption so that the grabbed point ends at to."""
    start = caption_point(rect)
    move_pointer(*start)
    xdotool("mousedown", 1)
    move_pointer((start[0] + to[0]) // 2, (start[1] + to[1]) // 2)
    move_pointer(*to)
    xdotool("mouseup", 1)
    left, top = rect["left"] + to[0] - start[0], rect["top"] + to[1] - start[1]
    return wait_until(lambda: (r := window(tool.snapshot())["rect"]) and
                      (r["left"], r["top"]) == (left, top) and r, f"the window at {left},{top}")


def wait_for_system_menu(tool):
    tool.wait(lambda s: s["popupMenus"] == 1, "the system menu")


def open_by_keyboard(tool):
    tool.press("alt+space")
    wait_for_system_menu(tool)
    # Wine's own "&About Wine" comes first with the same access key, and "a" chooses it; the
    # last entry is one step up from the first.
    xdotool("key", "Up")
    xdotool("key", "Return")


def open_by_mouse(tool):
    # A tool-window caption has no system-menu icon; a right click on it opens the menu.
    move_pointer(*caption_point(tool.dialog().rect))
    xdotool("click", 3)
    wait_for_system_menu(tool)
    menu = next(w for w in windows_of(tool.machine, "BRIVELCONFIG.EXE")
                if w["class"] == "#32768")["rect"]
    # The entry is the menu's last item, a text line of some 18 pixels above the border.
    move_pointer((menu["left"] + menu["right"]) // 2, menu["bottom"] - 12)
    xdotool("click", 1)


OPEN_WAYS = {
    "Alt+Space, Up, Enter": open_by_keyboard,
    "right click on the caption, click on the entry": open_by_mouse,
}


def close_by_own_system_menu(tool, box):
    press_in(box.rect, "alt+space")
    wait_for_system_menu(tool)
    xdotool("key", "c")


CLOSE_WAYS = {
    "OK button": lambda tool, box: click_at(box.control(IDOK)["rect"]),
    "Enter": lambda tool, box: press_in(box.rect, "Return"),
    "Escape": lambda tool, box: press_in(box.rect, "Escape"),
    "close box": lambda tool, box: click_at(look(tool.machine, "closebox",
                                                 ABOUT_CAPTION)["closeBox"]),
    "Close in its own system menu": close_by_own_system_menu,
}


def about_of(snapshot):
    """The About box among the windows the dialog owns, or None."""
    boxes = [w for w in snapshot["owned"] if w["caption"] == ABOUT_CAPTION]
    assert len(boxes) <= 1, snapshot["owned"]
    return boxes[0] if boxes else None


def wait_for_about(tool):
    """The About box once it is shown, as the only window over the disabled dialog."""
    try:
        snapshot = tool.wait(lambda s: s["dialog"] and about_of(s), "the About box")
    except AssertionError as timeout:
        shown = [(w["caption"], [c["text"] for c in w["controls"]])
                 for w in tool.snapshot()["owned"]]
        raise AssertionError(f"{timeout}; over the dialog instead: {shown}") from None
    assert len(snapshot["owned"]) == 1, [w["caption"] for w in snapshot["owned"]]
    return snapshot, Dialog(about_of(snapshot))


def content(box):
    return [(c["class"], c["id"], c["text"], c["style"], c.get("icon"))
            for c in box.controls if c["visible"]]


def assert_about_box(snapshot, box):
    assert box.caption == ABOUT_CAPTION
    assert content(box) == ABOUT_CONTROLS
    assert box.enabled
    assert not snapshot["dialog"]["enabled"]
    # Active, with the focus on OK, its only tab stop.
    assert snapshot["dialog"]["active"] == box.data["hwnd"]
    assert snapshot["dialog"]["focus"]["topLevel"] == box.data["hwnd"]
    assert snapshot["dialog"]["focus"]["id"] == IDOK
    assert [c["id"] for c in box.controls if c["tabStop"]] == [IDOK]


def about_entries(dialog):
    return [{k: item[k] for k in ("id", "text", "separator", "enabled")}
            for item in dialog.data["systemMenu"]]


def state(machine, tool):
    """Everything the About box and F1 must leave as it is."""
    snapshot = tool.snapshot()
    dialog = Dialog(snapshot["dialog"])
    return {"file": machine.ini.read_bytes(), "attributes": machine.attributes(),
            "selection": dialog.checked(*RADIO_BUTTONS),
            "texts": {i: dialog.text(i) for i in LANGUAGE_TEXTS},
            # Wine sets the states of its own entries each time the menu opens.
            "system menu": [(e["id"], e["text"]) for e in about_entries(dialog)],
            "rect": dialog.rect,
            "active": snapshot["dialog"]["active"] == dialog.data["hwnd"],
            "focus": dialog.focus}


def close_about(tool, way="Escape"):
    _, box = wait_for_about(tool)
    CLOSE_WAYS[way](tool, box)
    return tool.wait_for_dialog()


@pytest.mark.parametrize("stored, texts", [(None, GERMAN), (SETTINGS, ENGLISH)],
                         ids=["dialog German", "dialog English"])
def test_about_entry_and_box_are_english_whatever_the_language(root, stored, texts):
    if stored:
        root.write_ini(stored)
    tool, dialog = root.start_dialog()
    assert {i: dialog.text(i) for i in texts} == texts

    entries = about_entries(dialog)
    assert entries[-2:] == [
        {"id": 0, "text": "", "separator": True, "enabled": False},
        {"id": IDM_ABOUTBOX, "text": ABOUT_ENTRY, "separator": False, "enabled": True}]
    assert [e["id"] for e in entries].count(IDM_ABOUTBOX) == 1

    open_by_keyboard(tool)

    snapshot, box = wait_for_about(tool)
    assert_about_box(snapshot, box)
    close_about(tool)


@pytest.mark.parametrize("opening, closing", [
    *(("Alt+Space, Up, Enter", way) for way in CLOSE_WAYS),
    ("right click on the caption, click on the entry", "OK button"),
])
def test_about_box_opens_and_closes_changing_nothing(root, opening, closing):
    root.write_ini(SETTINGS)
    tool, dialog = root.start_dialog()
    before = state(root, tool)
    assert before["selection"] == SETTINGS_SELECTION and before["active"]
    assert before["focus"] == IDOK

    OPEN_WAYS[opening](tool)
    snapshot, box = wait_for_about(tool)
    assert_about_box(snapshot, box)
    CLOSE_WAYS[closing](tool, box)

    tool.wait_for_dialog()
    assert about_of(tool.snapshot()) is None
    assert state(root, tool) == before
    assert root.ini.read_bytes() == SETTINGS
    assert tool.running()


def radio_point(control):
    """The radio button's circle, left in its rectangle."""
    rect = control["rect"]
    return rect["left"] + 6, (rect["top"] + rect["bottom"]) // 2


def inside(point, rect):
    return rect["left"] <= point[0] < rect["right"] and rect["top"] <= point[1] < rect["bottom"]


def test_clicks_on_the_dialog_do_nothing_while_the_box_is_open(root):
    root.write_ini(SETTINGS)
    tool, dialog = root.start_dialog()
    before = state(root, tool)
    open_by_keyboard(tool)
    _, box = wait_for_about(tool)

    # Every radio button, then the Remove button and the close box, which would end the
    # dialog and delete the file.
    points = [radio_point(dialog.control(i)) for i in RADIO_BUTTONS]
    remove = dialog.control(IDCANCEL)["rect"]
    points.append((remove["left"] + 8, (remove["top"] + remove["bottom"]) // 2))
    close_box = tool.machine.inspect("closebox")["closeBox"]
    points.append(((close_box["left"] + close_box["right"]) // 2,
                   (close_box["top"] + close_box["bottom"]) // 2))
    for point in points:
        assert not inside(point, box.rect), (point, box.rect)
        move_pointer(*point)
        xdotool("click", 1)
    snapshot, box = wait_for_about(tool)
    assert Dialog(snapshot["dialog"]).checked(*RADIO_BUTTONS) == SETTINGS_SELECTION
    assert root.ini.read_bytes() == SETTINGS

    # Input is handled in order: once the box has closed, every click has been handled.
    CLOSE_WAYS["Escape"](tool, box)
    tool.wait_for_dialog()
    assert state(root, tool) == before
    assert tool.running()


def test_a_second_opening_shows_the_box_as_new(root):
    tool, _ = root.start_dialog()
    before = state(root, tool)
    open_by_keyboard(tool)
    snapshot, first = wait_for_about(tool)
    # Moved away, it must still open centred the next time.
    grip = caption_point(first.rect)
    moved = drag(tool, about_of, first.rect, (grip[0] - 150, grip[1] - 120))
    assert moved != first.rect
    CLOSE_WAYS["OK button"](tool, Dialog(about_of(tool.snapshot())))
    tool.wait_for_dialog()

    open_by_keyboard(tool)

    snapshot, second = wait_for_about(tool)
    assert_about_box(snapshot, second)
    assert content(second) == content(first)
    assert second.rect == first.rect
    assert second.data["hwnd"] != first.data["hwnd"]
    CLOSE_WAYS["Enter"](tool, second)
    tool.wait_for_dialog()
    assert state(root, tool) == before


def centred(dialog, box, work_area):
    """Where the box belongs: centred over the dialog, then moved into the work area."""
    width, height = box["right"] - box["left"], box["bottom"] - box["top"]
    left = (dialog["left"] + dialog["right"] - width) / 2
    top = (dialog["top"] + dialog["bottom"] - height) / 2
    kept_left = max(work_area["left"], min(left, work_area["right"] - width))
    kept_top = max(work_area["top"], min(top, work_area["bottom"] - height))
    return (left, top), (kept_left, kept_top)


# Where the dialog's caption is dragged to, from the point grabbed; and whether the box,
# centred over the dialog there, would stick out of the work area.
@pytest.mark.parametrize("target, sticks_out", [
    (None, False),
    (lambda grip: (grip[0] - 150, grip[1] - 120), False),
    (lambda grip: (1010, 760), True),
], ids=["dialog where it opened", "dialog dragged up and left",
        "dialog dragged past the bottom right"])
def test_about_box_is_centred_over_the_dialog_within_the_work_area(root, target, sticks_out):
    tool, dialog = root.start_dialog()
    if target:
        drag(tool, lambda s: s["dialog"], dialog.rect, target(caption_point(dialog.rect)))

    open_by_keyboard(tool)

    snapshot, box = wait_for_about(tool)
    work_area = snapshot["workArea"]
    (left, top), (kept_left, kept_top) = centred(snapshot["dialog"]["rect"], box.rect, work_area)
    assert ((left, top) != (kept_left, kept_top)) == sticks_out, (left, top)
    assert abs(box.rect["left"] - kept_left) <= 1 and abs(box.rect["top"] - kept_top) <= 1, \
        (box.rect, snapshot["dialog"]["rect"], work_area)
    close_about(tool)


@pytest.mark.parametrize("name", [None, "my.setup.exe"],
                         ids=["as built", "renamed my.setup.exe on drive C"])
def test_f1_asks_for_the_help_of_the_active_dialog(root, viewer, name):
    if name:
        tool = root.start(exe=root.copy_tool(name))
        dialog = tool.wait_for_dialog()
        file = "C:\\my.setup.HLP"
    else:
        tool, dialog = root.start_dialog()
        file = help_file_of(windows_path(root.config.tool))
    before = state(root, tool)
    caller = dialog.data["hwnd"]  # WinHelp is always called for the main window

    tool.press("F1")
    assert essentials(viewer.wait_for_requests(1)) == [request(CONFIG_HELP, file, caller)]

    open_by_keyboard(tool)
    _, box = wait_for_about(tool)
    press_in(box.rect, "F1")
    assert essentials(viewer.wait_for_requests(2)) == [
        request(CONFIG_HELP, file, caller), request(ABOUT_HELP, file, caller)]
    snapshot, box = wait_for_about(tool)  # still open

    CLOSE_WAYS["Escape"](tool, box)
    tool.wait_for_dialog()
    tool.press("F1")
    assert essentials(viewer.wait_for_requests(3)) == [
        request(CONFIG_HELP, file, caller), request(ABOUT_HELP, file, caller),
        request(CONFIG_HELP, file, caller)]
    tool.wait_for_dialog()
    assert state(root, tool) == before


# Alt+F1 is a system key, for which Wine sends no help request at all; Shift and Ctrl
# reach the tool, which has to hold them back itself.
@pytest.mark.parametrize("modifier", ["shift", "ctrl", "alt"])
def test_f1_with_a_modifier_asks_for_nothing(root, viewer, modifier):
    tool, dialog = root.start_dialog()

    tool.press(f"{modifier}+F1")
    open_by_keyboard(tool)
    _, box = wait_for_about(tool)
    press_in(box.rect, f"{modifier}+F1", "F1", "Escape")

    # Once the box has closed, each of the three presses before has been handled.
    tool.wait_for_dialog()
    assert essentials(viewer.requests()) == [
        request(ABOUT_HELP, help_file_of(windows_path(root.config.tool)), dialog.data["hwnd"])]


def refusing_viewer(root):
    viewer = StandInViewer(root, refuse=True)
    tool, _ = root.start_dialog()
    return tool, viewer


def viewer_switched_off(root):
    return start_with_overrides(root, "winhlp32.exe=d"), None


@pytest.mark.parametrize("setup", [refusing_viewer, viewer_switched_off],
                         ids=["viewer refuses", "winhlp32.exe switched off"])
def test_f1_while_failed_to_launch_help_is_shown_does_nothing(root, setup):
    tool, viewer = setup(root)
    before = state(root, tool)

    for attempt in (1, 2):
        tool.press("F1")
        box = tool.wait_for_message_box()
        assert (box.caption, box.message, box.buttons, box.icon) == FAILED_TO_LAUNCH_HELP
        assert not tool.dialog().enabled
        press_in(box.rect, "F1")
        # A second box would be the one Enter closes, and keep the dialog disabled.
        press_in(box.rect, "Return")
        tool.wait_for_dialog()
        if viewer:
            asked = request(CONFIG_HELP, help_file_of(windows_path(root.config.tool)),
                            tool.dialog().data["hwnd"])
            assert essentials(viewer.requests()) == attempt * [asked]
    assert state(root, tool) == before


def test_f1_with_wines_own_viewer_reports_the_missing_file(root):
    tool, dialog = root.start_dialog()
    before = state(root, tool)
    file = help_file_of(windows_path(root.config.tool))

    tool.press("F1")

    error = wait_until(lambda: windows_of(root, "winhlp32.exe", polling=True),
                       "winhlp32.exe's window")
    assert [(w["caption"], [c["text"] for c in w["controls"] if c["text"]]) for w in error] == [
        ("ERROR", ["&Yes", "&No",
                   f"Cannot find '{file}'. Do you want to find this file yourself?"])]
    click_at(next(c for c in error[0]["controls"] if c["text"] == "&No")["rect"])
    wait_until(lambda: windows_of(root, "winhlp32.exe", polling=True) == [],
               "winhlp32.exe's window to close")

    # Wine leaves no window of the tool active once the viewer's box is gone; a click on
    # the caption makes the dialog take keys again. Had the viewer's answer been a failure,
    # the tool's report would now take them.
    move_pointer(*caption_point(dialog.rect))
    xdotool("click", 1)
    open_by_keyboard(tool)
    close_about(tool)
    assert state(root, tool) == before
