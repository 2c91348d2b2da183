"""The settings file turns against the open dialog: read-only, or held open by another
program. Each failure is one message box over a dialog that stays open.

Read-only runs as the unprivileged user: Wine run as root writes into read-only files."""

import pytest

from conftest import CANCEL_PATHS
from texts import (ACCESS_DENIED_NAMED, ACCESS_DENIED_UNNAMED, DEFAULT_CONTENT,
                   FLIP_BY_DIRECTX, HIGH_PRIORITY, IDOK, LANG_GERMAN, NORMAL_PRIORITY,
                   RADIO_BUTTONS, SHARING_VIOLATION_UNNAMED)

FILE_ATTRIBUTE_READONLY = 0x01
FILE_ATTRIBUTE_HIDDEN = 0x02
DEFAULT_SELECTION = {HIGH_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN}


def start_on_read_only_file(user):
    user.write_ini(DEFAULT_CONTENT, mode=0o444)
    assert user.attributes() & FILE_ATTRIBUTE_READONLY
    tool, _ = user.start_dialog()
    return tool


def assert_reported(tool, message):
    box = tool.wait_for_message_box()
    assert not tool.dialog().enabled
    assert (box.caption, box.message, box.buttons, box.icon) == \
        ("BRIVELCONFIG", message, ["OK"], "hand")
    box.press("OK")
    return tool.wait_for_dialog()


def test_read_only_file_takes_no_click(user):
    tool = start_on_read_only_file(user)

    tool.click(NORMAL_PRIORITY)

    dialog = assert_reported(tool, ACCESS_DENIED_NAMED)
    assert dialog.checked(*RADIO_BUTTONS) == DEFAULT_SELECTION
    assert user.ini.read_bytes() == DEFAULT_CONTENT


@pytest.mark.parametrize("path", CANCEL_PATHS)
def test_read_only_file_keeps_every_cancel_path_open(user, path):
    tool = start_on_read_only_file(user)

    # As long as the file stays read-only, no try closes the dialog.
    for _ in range(2):
        CANCEL_PATHS[path](tool)
        assert_reported(tool, ACCESS_DENIED_UNNAMED)
    assert user.ini.read_bytes() == DEFAULT_CONTENT
    assert tool.running()


def test_read_only_file_ok_closes(user):
    tool = start_on_read_only_file(user)

    tool.click(IDOK)

    # No report: the process ends. The unprivileged user cannot store the hidden bit on a
    # file without write permission, and Wine does not say so, so only the rest is checked.
    tool.wait_for_ended()
    assert user.ini.read_bytes() == DEFAULT_CONTENT
    assert user.attributes() & FILE_ATTRIBUTE_READONLY


@pytest.mark.parametrize("path", ["Remove button", "Escape", "Alt+F4"])
def test_file_held_open_keeps_cancel_open_until_released(root, path):
    tool, _ = root.start_dialog()

    with root.holding():
        CANCEL_PATHS[path](tool)
        assert_reported(tool, SHARING_VIOLATION_UNNAMED)
        assert root.ini.read_bytes() == DEFAULT_CONTENT

    CANCEL_PATHS[path](tool)
    tool.wait_for_ended()
    assert not root.ini.exists()


def test_file_held_open_is_hidden_by_ok(root):
    tool, _ = root.start_dialog()

    # The attribute change takes no access that conflicts with the other program's.
    with root.holding():
        tool.click(IDOK)
        tool.wait_for_ended()
    assert root.attributes() & FILE_ATTRIBUTE_HIDDEN
    assert root.ini.read_bytes() == DEFAULT_CONTENT
