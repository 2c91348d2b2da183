"""The five texts that follow the language option: at start, after a click, and under a
system code page in which the German letters have no one-byte form."""

import re
import subprocess

import pytest

from conftest import REPO, wait_until
from texts import (ENGLISH, FIXED_TEXTS, GERMAN, IDCANCEL, INTRO_TEXT, LANG_ENGLISH,
                   LANG_GERMAN, LANGUAGE_HELP, PAGEFLIP_HELP, PRIORITY_HELP)

JAPANESE = "ja_JP.UTF-8"


def shown(dialog, texts):
    return {i: dialog.text(i) for i in texts}


def wait_for_texts(tool, texts):
    return wait_until(lambda: (d := tool.dialog()) and shown(d, texts) == texts and d,
                      "the texts of the language")


def screenshot(config, name):
    config.screenshots.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-window", "root", config.screenshots / f"{name}.png"], check=True)


@pytest.mark.parametrize("stored, texts", [
    (b"language=0\r\n", GERMAN),
    (b"language=1\r\n", ENGLISH),
    (b"language=7\r\n", ENGLISH),
    (b"", ENGLISH),
], ids=["0 German", "1 English", "7 English", "missing English"])
def test_texts_follow_the_stored_language(root, stored, texts):
    root.write_ini(b"[DirectX Errors]\r\npagesync=0\r\nhighspeed=1\r\n" + stored)

    tool, dialog = root.start_dialog()

    assert shown(dialog, texts) == texts
    assert shown(dialog, FIXED_TEXTS) == FIXED_TEXTS


def test_language_buttons_switch_the_texts_at_once(root, config):
    tool, dialog = root.start_dialog()
    assert shown(dialog, GERMAN) == GERMAN
    screenshot(config, "dialog-german")

    for button, value, texts in [(LANG_ENGLISH, "1", ENGLISH), (LANG_GERMAN, "0", GERMAN),
                                 (LANG_ENGLISH, "1", ENGLISH)]:
        tool.click(button)
        dialog = wait_for_texts(tool, texts)
        assert shown(dialog, FIXED_TEXTS) == FIXED_TEXTS
        wait_until(lambda: root.settings()["language"] == value, f"language={value}")
    screenshot(config, "dialog-english")


def ensure_locale(name):
    """Debian ships the definitions; the compiled locale is made once, as root."""
    available = subprocess.run(["locale", "-a"], check=True, capture_output=True,
                               text=True).stdout.split()
    if name.replace("UTF-8", "utf8") not in available:
        language, charset = name.split(".")
        subprocess.run(["localedef", "-i", language, "-f", charset, name], check=True)


def test_german_texts_survive_a_japanese_code_page(wine, config):
    ensure_locale(JAPANESE)
    machine = wine(lang=JAPANESE)
    assert machine.code_page() == 932

    tool, dialog = machine.start_dialog()

    assert shown(dialog, GERMAN) == GERMAN
    screenshot(config, "dialog-german-cp932")
    tool.click(LANG_ENGLISH)
    wait_for_texts(tool, ENGLISH)
    tool.click(LANG_GERMAN)
    wait_for_texts(tool, GERMAN)


def rc_strings():
    """The string table of the resource script, by name, with its escapes resolved."""
    script = (REPO / "resources" / "brivelconfig.rc").read_text(encoding="utf-8")
    table = script[script.index("STRINGTABLE"):]
    table = table[:table.index("\nEND")]
    strings = {}
    for name, quoted in re.findall(r'^\s*(\w+)\s+"((?:[^"]|"")*)"\s*$', table, re.MULTILINE):
        text = quoted.replace('""', '"')
        strings[name] = re.sub(r"\\(.)", lambda m: {"n": "\n", "\\": "\\"}[m.group(1)], text)
    return strings


def test_resource_script_holds_these_texts():
    strings = rc_strings()
    names = {PRIORITY_HELP: "PRIORITY_HELP", PAGEFLIP_HELP: "PAGEFLIP_HELP",
             LANGUAGE_HELP: "LANGUAGE_HELP", INTRO_TEXT: "INTRO", IDCANCEL: "REMOVE"}
    for control, name in names.items():
        assert strings[f"IDS_{name}_EN"] == ENGLISH[control]
        assert strings[f"IDS_{name}_DE"] == GERMAN[control]
    for texts in (ENGLISH, GERMAN):
        intro = texts[INTRO_TEXT]
        assert intro.endswith("\nHomepage: http://www.brivel.example")
        assert "\n\nBrivel " in intro
