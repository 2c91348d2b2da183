"""Option clicks: each one stores at once, also again, and a store that fails is reported and
taken back on screen."""

import pytest

from conftest import wait_until
from texts import (DEFAULT_CONTENT, ENGLISH, FLIP_BY_DIRECTX, FLIP_BY_GAME, GERMAN,
                   HIGH_PRIORITY, LANG_ENGLISH, LANG_GERMAN, NORMAL_PRIORITY, PAIRS,
                   RADIO_BUTTONS, SHARING_VIOLATION_NAMED, STORES)

DEFAULTS = {"pagesync": "0", "highspeed": "1", "language": "0"}
DEFAULT_SELECTION = {HIGH_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN}


def select(selection, button):
    """The selection after a click on button: only its pair changes."""
    key, _ = STORES[button]
    return (selection - set(PAIRS[key])) | {button}


def wait_for_settings(machine, expected):
    wait_until(lambda: machine.ini.exists() and machine.settings() == expected,
               f"the file to hold {expected}")


def test_each_click_stores_at_once(root):
    tool, _ = root.start_dialog()
    expected, selection = dict(DEFAULTS), set(DEFAULT_SELECTION)

    for button in (NORMAL_PRIORITY, FLIP_BY_GAME, LANG_ENGLISH,
                   HIGH_PRIORITY, FLIP_BY_DIRECTX, LANG_GERMAN):
        key, value = STORES[button]
        tool.click(button)

        expected[key] = value
        selection = select(selection, button)
        wait_for_settings(root, expected)
        assert tool.dialog().checked(*RADIO_BUTTONS) == selection, f"after a click on {button}"


def test_a_click_on_the_selected_button_stores_again(root):
    tool, _ = root.start_dialog()

    for button in RADIO_BUTTONS:
        key, value = STORES[button]
        tool.click(button)
        wait_for_settings(root, dict(root.settings(), **{key: value}))
        # Another program changes the value behind the dialog's back; the same click again
        # must store it once more.
        other = "1" if value == "0" else "0"
        root.ini.write_bytes(root.ini.read_bytes().replace(
            f"{key}={value}".encode(), f"{key}={other}".encode()))
        assert root.settings()[key] == other

        tool.click(button)

        wait_for_settings(root, dict(root.settings(), **{key: value}))
        dialog = tool.dialog()
        assert button in dialog.checked(*RADIO_BUTTONS)
        if key == "language":
            language = ENGLISH if value == "1" else GERMAN
            assert {i: dialog.text(i) for i in language} == language


def test_a_click_after_the_file_was_deleted_writes_it_anew(root):
    tool, _ = root.start_dialog()
    root.ini.unlink()

    tool.click(NORMAL_PRIORITY)

    wait_for_settings(root, {"highspeed": "0"})


@pytest.mark.parametrize("button", [NORMAL_PRIORITY, FLIP_BY_GAME, LANG_ENGLISH, LANG_GERMAN],
                         ids=["Normal Priority Mode", "Pageflipping via game", "English",
                              "Deutsch, already selected"])
def test_a_failed_store_is_reported_and_the_pair_shows_its_choice_again(root, button):
    tool, _ = root.start_dialog()

    with root.holding():
        tool.click(button)

        box = tool.wait_for_message_box()
        assert not tool.dialog().enabled
        assert (box.caption, box.message, box.buttons, box.icon) == \
            ("BRIVELCONFIG", SHARING_VIOLATION_NAMED, ["OK"], "hand")
        box.press("OK")

        dialog = tool.wait_for_dialog()
        assert dialog.checked(*RADIO_BUTTONS) == DEFAULT_SELECTION
        assert {i: dialog.text(i) for i in GERMAN} == GERMAN
    assert root.ini.read_bytes() == DEFAULT_CONTENT
