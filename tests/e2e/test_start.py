"""Start-up: the settings file made sure of, the options shown, where the dialog opens, and
how a start that cannot read the file looks."""

import os

import pytest

from texts import (ACCESS_DENIED_NAMED, DEFAULT_CONTENT, DISK_FULL_NAMED, FIXED_TEXTS,
                   FLIP_BY_DIRECTX, FLIP_BY_GAME, GERMAN, HIGH_PRIORITY, IDOK, LANG_ENGLISH,
                   LANG_GERMAN, NORMAL_PRIORITY, NOT_FOUND_UNNAMED, RADIO_BUTTONS,
                   SHARING_VIOLATION_NAMED, TEMPLATE_TEXTS)


def shown_texts(dialog, ids):
    return {i: dialog.text(i) for i in ids}


def assert_centred(dialog, work_area):
    width = dialog.rect["right"] - dialog.rect["left"]
    height = dialog.rect["bottom"] - dialog.rect["top"]
    left = (work_area["left"] + work_area["right"] - width) / 2
    top = (work_area["top"] + work_area["bottom"] - height) / 2
    assert abs(dialog.rect["left"] - left) <= 1 and abs(dialog.rect["top"] - top) <= 1, \
        (dialog.rect, work_area)


@pytest.mark.parametrize("args", [(), ("/reset", "-language", "1", r"c:\other.ini")],
                         ids=["no arguments", "arguments are ignored"])
def test_first_start_creates_the_default_file(root, args):
    tool, dialog = root.start_dialog(*args)

    assert root.ini.read_bytes() == DEFAULT_CONTENT
    assert dialog.caption == "BrivelConfig"
    assert dialog.checked(*RADIO_BUTTONS) == {HIGH_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN}
    assert shown_texts(dialog, GERMAN) == GERMAN
    assert shown_texts(dialog, FIXED_TEXTS) == FIXED_TEXTS
    assert dialog.focus == IDOK
    assert_centred(dialog, tool.snapshot()["workArea"])
    about = [{k: item[k] for k in ("id", "text", "separator")}
             for item in dialog.data["systemMenu"][-2:]]
    assert about == [{"id": 0, "text": "", "separator": True},
                     {"id": 0x10, "text": "&About BrivelConfig...", "separator": False}]
    # The settings file is the tool's only trace on drive C.
    assert sorted(p.name for p in root.drive.iterdir() if not p.is_symlink()) == ["dxerror.ini"]
    assert tool.running()


ON = b"[DirectX Errors]\r\npagesync=1\r\nhighspeed=1\r\nlanguage=1\r\n"
OFF = b"[DirectX Errors]\r\npagesync=0\r\nhighspeed=0\r\nlanguage=0\r\n"


@pytest.mark.parametrize("content, selected", [
    (ON, {HIGH_PRIORITY, FLIP_BY_GAME, LANG_ENGLISH}),
    (OFF, {NORMAL_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN}),
    (b"[DirectX Errors]\r\npagesync=2\r\nhighspeed=17\r\nlanguage=2\r\n",
     {HIGH_PRIORITY, FLIP_BY_GAME, LANG_ENGLISH}),
    (b"", {HIGH_PRIORITY, FLIP_BY_DIRECTX, LANG_ENGLISH}),
    (b"[DirectX Errors]\r\npagesync=1\r\nhighspeed=0\r\n",
     {NORMAL_PRIORITY, FLIP_BY_GAME, LANG_ENGLISH}),
    (b"[DirectX Errors]\r\npagesync=1\r\nlanguage=0\r\n",
     {HIGH_PRIORITY, FLIP_BY_GAME, LANG_GERMAN}),
    (b"[DirectX Errors]\r\nhighspeed=0\r\nlanguage=0\r\n",
     {NORMAL_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN}),
    (b"; by hand\r\n[Other]\r\nhighspeed=0\r\nlanguage=0\r\n\r\n[DirectX Errors]\r\n"
     b"; keep this\r\npagesync=1\r\n[More]\r\npagesync=0\r\n",
     {HIGH_PRIORITY, FLIP_BY_GAME, LANG_ENGLISH}),
], ids=["all 1", "all 0", "2 and 17 count as 1", "empty file", "language missing",
        "highspeed missing", "pagesync missing", "other sections and comments"])
def test_existing_file_is_shown_and_left_alone(root, content, selected):
    root.write_ini(content)

    tool, dialog = root.start_dialog()

    assert dialog.checked(*RADIO_BUTTONS) == selected
    assert root.ini.read_bytes() == content


def test_hidden_file_is_read_and_not_recreated(root):
    root.write_ini(OFF)
    # Wine keeps the DOS attributes of a file in this extended attribute.
    os.setxattr(root.ini, "user.DOSATTRIB", b"0x22")
    assert root.attributes() == 0x22

    tool, dialog = root.start_dialog()

    assert dialog.checked(*RADIO_BUTTONS) == {NORMAL_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN}
    assert root.ini.read_bytes() == OFF
    assert root.attributes() == 0x22


def assert_failed_start(tool, message):
    box = tool.wait_for_message_box()
    assert (box.caption, box.message, box.buttons, box.icon) == \
        ("BRIVELCONFIG", message, ["OK"], "hand")
    box.press("OK")

    dialog = tool.wait_for_dialog()
    # Initialisation stopped: neither selections, nor texts, nor centring.
    assert (dialog.rect["left"], dialog.rect["top"]) == (0, 0)
    assert dialog.checked(*RADIO_BUTTONS) == set()
    assert shown_texts(dialog, TEMPLATE_TEXTS) == TEMPLATE_TEXTS


def test_start_with_the_file_held_open_keeps_the_file(root):
    root.write_ini(OFF)
    with root.holding():
        tool = root.start()
        assert_failed_start(tool, SHARING_VIOLATION_NAMED)
    assert root.ini.read_bytes() == OFF
    assert tool.running()


def test_start_with_an_unreadable_file_keeps_the_file(user):
    # The user may write the file but not read it: creating it anew would succeed, and
    # lose what it holds.
    user.write_ini(OFF, mode=0o200)
    tool = user.start()
    assert_failed_start(tool, ACCESS_DENIED_NAMED)
    assert user.ini.read_bytes() == OFF
    assert tool.running()


def test_start_on_a_full_disk_reports_it(wine):
    machine = wine(full_disk=True)
    tool = machine.start()
    assert_failed_start(tool, DISK_FULL_NAMED)
    # No cut-off file is left to pass for a complete one on the next start.
    assert not machine.ini.exists() or machine.ini.read_bytes() == b""
    assert tool.running()


@pytest.mark.parametrize("name, caption", [
    ("BRIVELCONFIG.EXE", "BRIVELCONFIG"),
    ("my.setup.exe", "my.setup"),
], ids=["as built", "only the last dot cuts"])
def test_message_box_caption_follows_the_file_name(root, name, caption):
    tool = root.start(exe=root.copy_tool(name))
    tool.wait_for_dialog()
    root.ini.unlink()

    tool.press("Return")

    box = tool.wait_for_message_box()
    assert (box.caption, box.message) == (caption, NOT_FOUND_UNNAMED)
