"""Ways out of the dialog: OK keeps and hides the file, every other way deletes it; the
process ends with the dialog, unless the file operation fails."""

import pytest

from conftest import CANCEL_PATHS, OK_PATHS, wait_until
from texts import (FLIP_BY_DIRECTX, HIGH_PRIORITY, IDCANCEL, IDOK, LANG_GERMAN,
                   NORMAL_PRIORITY, NOT_FOUND_UNNAMED, RADIO_BUTTONS)

FILE_ATTRIBUTE_HIDDEN = 0x02
FILE_ATTRIBUTE_ARCHIVE = 0x20


@pytest.mark.parametrize("path", OK_PATHS)
def test_ok_hides_the_file_and_ends(root, path):
    tool, _ = root.start_dialog()
    tool.click(NORMAL_PRIORITY)
    wait_until(lambda: root.settings().get("highspeed") == "0", "the click to be stored")
    content = root.ini.read_bytes()
    assert root.attributes() == FILE_ATTRIBUTE_ARCHIVE

    OK_PATHS[path](tool)

    tool.wait_for_ended()
    assert root.ini.read_bytes() == content
    assert root.attributes() == FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN

    # The next start reads what was kept.
    tool, dialog = root.start_dialog()
    assert dialog.checked(*RADIO_BUTTONS) == {NORMAL_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN}
    assert root.ini.read_bytes() == content


@pytest.mark.parametrize("file_present", [True, False], ids=["file present", "file already gone"])
@pytest.mark.parametrize("path", CANCEL_PATHS)
def test_every_cancel_path_deletes_the_file_and_ends(root, path, file_present):
    tool, _ = root.start_dialog()
    if not file_present:
        root.ini.unlink()

    CANCEL_PATHS[path](tool)

    tool.wait_for_ended()
    assert not root.ini.exists()


def test_ok_on_a_deleted_file_reports_it_and_stays_open(root):
    tool, _ = root.start_dialog()
    root.ini.unlink()

    tool.press("Return")

    box = tool.wait_for_message_box()
    assert not tool.dialog().enabled
    assert (box.caption, box.message, box.buttons, box.icon) == \
        ("BRIVELCONFIG", NOT_FOUND_UNNAMED, ["OK"], "hand")
    box.press("OK")
    dialog = tool.wait_for_dialog()
    assert dialog.checked(*RADIO_BUTTONS) == {HIGH_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN}
    assert not root.ini.exists()
    assert tool.running()

    # With the file gone, removing it has nothing left to do.
    tool.press("Escape")
    tool.wait_for_ended()


# Checking a radio button gives it WS_TABSTOP (the window system's rule), so the dialog has
# to take that away again, or Tab stops at the selected options.
@pytest.mark.parametrize("key, clicked, sequence", [
    ("Tab", None, [IDCANCEL, IDOK, IDCANCEL, IDOK]),
    ("shift+Tab", None, [IDCANCEL, IDOK, IDCANCEL, IDOK]),
    ("Tab", NORMAL_PRIORITY, [IDCANCEL, IDOK, IDCANCEL]),
], ids=["Tab", "Shift+Tab", "Tab after a click on an option"])
def test_tab_moves_only_between_ok_and_remove(root, key, clicked, sequence):
    tool, dialog = root.start_dialog()
    focus = dialog.focus
    assert focus == IDOK
    if clicked:
        tool.click(clicked)
        focus = wait_until(lambda: tool.dialog().focus == clicked and clicked, "the click")

    for expected in sequence:
        tool.press(key)
        previous = focus
        focus = wait_until(lambda: (f := tool.dialog().focus) != previous and f,
                           f"the focus to leave {previous}")
        assert focus == expected
