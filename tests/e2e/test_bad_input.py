"""Unusual settings files already present at start-up: odd bytes, odd encodings, odd values,
a directory in the file's place, and hidden, read-only and system files.

For every row the tool starts, shows what the platform's profile reader yields for that
content, takes one click on each pair (the button that changes the value) and ends with OK or
with Escape. Each click may change only its own key's line, apart from the normalisation that
the writer applies to the whole file; a store that fails is reported, and the tool goes on.

With BRIVELCONFIG_ROBUSTNESS_RESULTS set to a directory, each case leaves what it saw there
as JSON, from which tools/robustness_table.py renders docs/robustness.md."""

import hashlib
import json
import os
from dataclasses import dataclass
from pathlib import Path

import pytest

from conftest import Dialog, MessageBox
from texts import (ACCESS_DENIED_NAMED, ACCESS_DENIED_UNNAMED, FLIP_BY_DIRECTX, FLIP_BY_GAME,
                   HIGH_PRIORITY, LANG_ENGLISH, LANG_GERMAN, NORMAL_PRIORITY, PAIRS,
                   RADIO_BUTTONS, STORES)

FILE_ATTRIBUTE_READONLY = 0x01
FILE_ATTRIBUTE_HIDDEN = 0x02
FILE_ATTRIBUTE_SYSTEM = 0x04
FILE_ATTRIBUTE_ARCHIVE = 0x20

SECTION = "DirectX Errors"
UTF8_BOM = b"\xef\xbb\xbf"
UTF16LE_BOM = b"\xff\xfe"
# The reader's defaults when a key is missing, empty or unreadable: pagesync, highspeed,
# language.
DEFAULTS = (False, True, True)
# The order in which each run clicks the pairs.
CLICK_ORDER = ("highspeed", "pagesync", "language")


def ini(*lines, end=b"\r\n"):
    return b"".join(line + end for line in lines)


# Every value the opposite of the reader's default, so that a file which is not read at all
# shows three other buttons.
NORMAL = ini(b"[DirectX Errors]", b"pagesync=1", b"highspeed=0", b"language=0")
NOT_DEFAULTS = (True, False, False)
ALL_ON = (True, True, True)
ALL_OFF = (False, False, False)


def all_three(value):
    return ini(b"[DirectX Errors]", b"pagesync=" + value, b"highspeed=" + value,
               b"language=" + value)


# NULs, DOS end-of-file marks, every byte value once, a section header holding a NUL, and
# no byte-order mark at the start.
GARBAGE = (bytes(range(256)) + b"\x00\x1a\x00=\r\n[\x00]\x1a\r\n\x9c\xfe\xff\x00\x00\x1a" +
           b"\x81\x8d\x8f\x90\x9d")

# About 10 MB of another section first, so the reader has to get through all of it.
FILLER_LINES = 200_000
BIG = (ini(b"[Filler]") +
       b"".join(b"line%07d=%s\r\n" % (i, b"z" * 40) for i in range(FILLER_LINES)) + NORMAL)


@dataclass(frozen=True)
class Row:
    content: bytes | None  # None: a directory named dxerror.ini
    # What the platform's reader yields (pagesync, highspeed, language, non-zero = on);
    # None when the start fails.
    reads: tuple | None
    who: str = "root"
    dos_attributes: int | None = None  # set on the file before the start
    mode: int = 0o644
    start_error: str | None = None
    store_error: str | None = None
    cancel_error: str | None = None
    # Attributes after OK; None: the start attributes with the hidden bit added.
    after_ok: int | None = None


ROWS = {
    "empty file": Row(b"", DEFAULTS),
    "binary garbage": Row(GARBAGE, DEFAULTS),
    "10 MB, filler before the section": Row(BIG, NOT_DEFAULTS),
    "a line of 100,000 characters": Row(
        ini(b"[DirectX Errors]", b"pagesync=1", b"y" * 100_000, b"highspeed=0",
            b"language=0"), NOT_DEFAULTS),
    "UTF-16 LE with BOM": Row(UTF16LE_BOM + NORMAL.decode("ascii").encode("utf-16-le"),
                              NOT_DEFAULTS),
    "UTF-8 with BOM": Row(UTF8_BOM + NORMAL, NOT_DEFAULTS),
    "LF line ends": Row(ini(b"[DirectX Errors]", b"", b"pagesync=1", b"highspeed=0",
                            b"language=0", end=b"\n"), NOT_DEFAULTS),
    "CR line ends": Row(ini(b"[DirectX Errors]", b"", b"pagesync=1", b"highspeed=0",
                            b"language=0", end=b"\r"), NOT_DEFAULTS),
    # Only the first section counts: pagesync from it, the other two keys' defaults.
    "the section twice": Row(
        ini(b"[DirectX Errors]", b"pagesync=1", b"[Other]", b"highspeed=0",
            b"[DirectX Errors]", b"pagesync=0", b"highspeed=0", b"language=0"),
        (True, True, True)),
    # The first of each counts.
    "a key twice": Row(
        ini(b"[DirectX Errors]", b"highspeed=0", b"pagesync=1", b"highspeed=1",
            b"language=0", b"language=1"), (True, False, False)),
    "keys without \"=\"": Row(
        ini(b"[DirectX Errors]", b"pagesync", b"highspeed", b"language", b"; a comment",
            b"  other  =  blanks  "), DEFAULTS),
    "section name in lower case": Row(
        ini(b"[directx errors]", b"pagesync=1", b"highspeed=0", b"language=0"), NOT_DEFAULTS),
    "section name in upper case": Row(
        ini(b"[DIRECTX ERRORS]", b"pagesync=1", b"highspeed=0", b"language=0"), NOT_DEFAULTS),
    "values -1": Row(all_three(b"-1"), ALL_ON),
    "values \" 1\"": Row(all_three(b" 1"), ALL_ON),
    # Read with C's base prefixes: 16.
    "values 0x10": Row(all_three(b"0x10"), ALL_ON),
    "values abc": Row(all_three(b"abc"), ALL_OFF),
    "empty values": Row(all_three(b""), DEFAULTS),
    # 2^32 + 1 wraps around to 1.
    "values 4294967297": Row(all_three(b"4294967297"), ALL_ON),
    # Nothing can open it as a file; setting the hidden bit on it works, so OK ends.
    "a directory named dxerror.ini": Row(
        None, None, start_error=ACCESS_DENIED_NAMED, store_error=ACCESS_DENIED_NAMED,
        cancel_error=ACCESS_DENIED_UNNAMED),
    "hidden file": Row(NORMAL, NOT_DEFAULTS,
                       dos_attributes=FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN),
    "system file": Row(NORMAL, NOT_DEFAULTS,
                       dos_attributes=FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM),
    # As root, Wine writes into read-only files; as this user it refuses, and it cannot store
    # the hidden bit on a file the user may not write, yet reports success.
    "read-only file": Row(NORMAL, NOT_DEFAULTS, who="user", mode=0o444,
                          store_error=ACCESS_DENIED_NAMED, cancel_error=ACCESS_DENIED_UNNAMED,
                          after_ok=FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY),
}

ENDINGS = {"OK": "Return", "Escape": "Escape"}


def selection(reads):
    """The buttons that show (pagesync, highspeed, language)."""
    pagesync, highspeed, language = reads
    return {HIGH_PRIORITY if highspeed else NORMAL_PRIORITY,
            FLIP_BY_GAME if pagesync else FLIP_BY_DIRECTX,
            LANG_ENGLISH if language else LANG_GERMAN}


# What the platform's writer does to the whole file when it stores one key, as observed under
# Wine: it keeps the byte-order mark (ANSI files stay byte for byte in the ANSI code page),
# ends every line with CR LF, drops empty lines, trims blanks (and ^Z) at both ends of a line
# and around the first "=", drops anything after the last "]" of a section header, cuts
# names and values at a NUL, and leaves out the header of a section whose name is then empty.
BLANKS = " \t\r\n\v\f\x1a"


def encoding_of(data):
    if data.startswith(UTF8_BOM):
        return "utf-8"
    if data.startswith(UTF16LE_BOM):
        return "utf-16-le"
    return "ansi"


def decoded(data):
    encoding = encoding_of(data)
    if encoding == "utf-8":
        return data[len(UTF8_BOM):].decode("utf-8", errors="surrogateescape")
    if encoding == "utf-16-le":
        return data[len(UTF16LE_BOM):].decode("utf-16-le", errors="surrogatepass")
    # Byte for byte: the writer gives every ANSI byte back as it was.
    return data.decode("latin-1")


def cut(text):
    return text.split("\0", 1)[0]


def normalised(data):
    """The file as (section, line) pairs in the writer's form; section names in lower case,
    None before the first header."""
    entries, section = [], None
    for raw in decoded(data).replace("\r", "\n").split("\n"):
        line = raw.strip(BLANKS)
        if line.startswith("[") and "]" in line:
            name = cut(line[1:line.rindex("]")])
            if name:
                section = name.lower()
                entries.append((section, f"[{name}]"))
            continue
        if "=" in line:
            name, value = line.split("=", 1)
            line = f"{cut(name.strip(BLANKS))}={cut(value.strip(BLANKS))}"
        else:
            line = cut(line)
        if line:
            entries.append((section, line))
    return entries


def is_key_line(entry, key):
    section, line = entry
    return section == SECTION.lower() and not line.startswith("[") and \
        line.split("=", 1)[0].lower() == key


def is_our_header(entry):
    return entry[1].startswith("[") and entry[0] == SECTION.lower()


def assert_only_key_changed(before, after, key, value):
    """after holds before with key=value stored: the key's line in the section changed, or a
    key line (and the section, when it was missing) appended; nothing else differs but the
    writer's normalisation."""
    assert encoding_of(after) == encoding_of(before)
    old, new = normalised(before), normalised(after)
    old_rest = [e for e in old if not is_key_line(e, key)]
    new_rest = [e for e in new if not is_key_line(e, key)]
    if not any(map(is_our_header, old)):
        headers = [e for e in new_rest if is_our_header(e)]
        assert len(headers) == 1, f"{len(headers)} sections appended"
        new_rest.remove(headers[0])
    assert new_rest == old_rest, "lines other than the key's changed"

    stored = (SECTION.lower(), f"{key}={value}")
    old_keys = [e for e in old if is_key_line(e, key)]
    new_keys = [e for e in new if is_key_line(e, key)]
    if len(new_keys) == len(old_keys):
        changed = [i for i, (o, n) in enumerate(zip(old_keys, new_keys)) if o != n]
        assert len(changed) == 1 and new_keys[changed[0]] == stored, (old_keys, new_keys)
    else:
        assert new_keys[:-1] == old_keys and new_keys[-1] == stored, (old_keys, new_keys)


def loose_blanks(lines):
    return any(line != line.strip(BLANKS) or " =" in line or "= " in line or "\t" in line
               for line in lines if line.strip(BLANKS))


def observed_normalisation(before, after):
    """Which of the writer's normalisations this store showed, for the table."""
    old, new = decoded(before), decoded(after)
    old_lines = old.replace("\r\n", "\n").replace("\r", "\n").split("\n")
    new_lines = new.split("\r\n")
    seen = {
        "LF line ends became CR LF": "\n" in old.replace("\r\n", "") and
                                     "\n" not in new.replace("\r\n", ""),
        "CR line ends became CR LF": "\r" in old.replace("\r\n", "") and
                                     "\r" not in new.replace("\r\n", ""),
        "empty lines dropped": "" in old_lines[:-1] and "" not in new_lines[:-1],
        "blanks trimmed": loose_blanks(old_lines) and not loose_blanks(new_lines),
        "text cut at NUL": "\0" in old and "\0" not in new,
        "byte-order mark kept": encoding_of(before) != "ansi" and
                                encoding_of(after) == encoding_of(before),
        "section appended": not any(map(is_our_header, normalised(before))),
        "a line appended": len(normalised(after)) > len(normalised(before)),
    }
    return [what for what, shown in seen.items() if shown]


def excerpt(data, limit=200):
    """Head and tail of the bytes: an odd file's changes are at its end."""
    if data is None:
        return None
    if len(data) <= limit:
        return repr(data)
    return f"{data[:limit // 2]!r} ... {data[-limit // 2:]!r} ({len(data)} bytes)"


def file_bytes(machine):
    return machine.ini.read_bytes() if machine.ini.is_file() else None


def prepare(machine, row):
    if row.content is None:
        machine.ini.mkdir()
        return
    machine.write_ini(row.content, mode=row.mode)
    if row.dos_attributes is not None:
        # Wine keeps the DOS attributes of a file in this extended attribute.
        os.setxattr(machine.ini, "user.DOSATTRIB", b"0x%x" % row.dos_attributes)


def wait_for_click(tool, button):
    """The click's handler has run: its button shows as selected and no box is open, or a
    box reports a failure. The probe's questions reach the tool only between handlers."""
    snapshot = tool.wait(lambda s: s["dialog"] and (
        s["owned"] or Dialog(s["dialog"]).checked(button)), f"the click on {button}")
    return MessageBox(snapshot["owned"][0]) if snapshot["owned"] else None


def assert_report(box, message, machine):
    # Captioned with the executable's name.
    assert (box.caption, box.message, box.buttons, box.icon) == \
        (Path(machine.config.tool).stem, message, ["OK"], "hand")


def record(name, ending, results):
    directory = os.environ.get("BRIVELCONFIG_ROBUSTNESS_RESULTS")
    if not directory:
        return
    os.makedirs(directory, exist_ok=True)
    slug = hashlib.sha1(f"{name}/{ending}".encode()).hexdigest()[:12]
    with open(os.path.join(directory, f"{slug}.json"), "w") as out:
        json.dump(dict(results, row=name, order=list(ROWS).index(name), ending=ending), out,
                  indent=1)


@pytest.mark.parametrize("ending", ENDINGS)
@pytest.mark.parametrize("name", ROWS)
def test_unusual_file_at_start(wine, name, ending):
    row = ROWS[name]
    machine = wine(row.who)
    prepare(machine, row)
    results = {"who": row.who, "content": excerpt(row.content), "clicks": []}
    try:
        run(machine, row, ending, results)
    finally:
        record(name, ending, results)


def run(machine, row, ending, results):
    results["start_attributes"] = start_attributes = machine.attributes()
    tool = machine.start()
    if row.start_error:
        box = tool.wait_for_message_box()
        results["start_error"] = box.message
        assert_report(box, row.start_error, machine)
        box.press("OK")
        shown = set()
    else:
        shown = selection(row.reads)
    dialog = tool.wait_for_dialog()
    results["shown"] = sorted(dialog.checked(*RADIO_BUTTONS))
    assert dialog.checked(*RADIO_BUTTONS) == shown
    # Opening the dialog leaves an existing file as it was.
    content = file_bytes(machine)
    assert content == row.content

    for key in CLICK_ORDER:
        on, off = PAIRS[key]
        button = on if on not in shown else off
        _, value = STORES[button]
        tool.click(button)

        box = wait_for_click(tool, button)
        after = file_bytes(machine)
        click = {"key": key, "value": value, "before": excerpt(content),
                 "after": excerpt(after), "report": box.message if box else None}
        results["clicks"].append(click)
        if box:
            assert_report(box, row.store_error, machine)
            box.press("OK")
            assert tool.wait_for_dialog().checked(*RADIO_BUTTONS) == shown
            assert after == content
        else:
            assert row.store_error is None, "the failed store was not reported"
            shown = (shown - set(PAIRS[key])) | {button}
            assert tool.dialog().checked(*RADIO_BUTTONS) == shown
            click["normalised"] = observed_normalisation(content, after)
            assert_only_key_changed(content, after, key, value)
            assert machine.attributes() == start_attributes
            content = after

    tool.press(ENDINGS[ending])

    if ending == "OK":
        tool.wait_for_ended()
        results["end"] = "ended"
        assert file_bytes(machine) == content
        results["end_attributes"] = attributes = machine.attributes()
        assert attributes == (row.after_ok if row.after_ok is not None
                              else start_attributes | FILE_ATTRIBUTE_HIDDEN)
        if not row.start_error:
            # The next start reads what the clicks stored.
            tool, dialog = machine.start_dialog()
            results["next_start"] = sorted(dialog.checked(*RADIO_BUTTONS))
            assert dialog.checked(*RADIO_BUTTONS) == shown
    elif row.cancel_error:
        box = tool.wait_for_message_box()
        results["end"] = box.message
        assert_report(box, row.cancel_error, machine)
        box.press("OK")
        assert tool.wait_for_dialog().checked(*RADIO_BUTTONS) == shown
        assert machine.ini.exists() and file_bytes(machine) == content
        assert tool.running()
    else:
        tool.wait_for_ended()
        results["end"] = "ended"
        assert not machine.ini.exists()
