"""Bursts of real clicks: thousands of option clicks leave the file with each pair's last
choice, and neither they nor ten thousand language switches leave handles, windows or
private memory behind.

What the tool's process holds comes from tests/counts, a Windows program that reads it from
outside. Under Wine 8.0, GetProcessHandleCount answers 0 and GetGuiResources answers 0 with
ERROR_CALL_NOT_IMPLEMENTED (120); the handles are then counted in the system's handle list,
and GDI and USER objects are not checked, except the windows, which are counted one by one.
Wine leaves PrivateUsage 0 and reports the private memory (resident anonymous pages and
swap) as PagefileUsage.

Each burst is one xdotool process, so the clicks queue up faster than the tool takes them.
That the tool has taken them all shows in the file: every burst ends on a state of the three
options that none of its earlier clicks produced."""

import json
import os
import random
import subprocess
import tempfile
from pathlib import Path

from conftest import TIMEOUT, centre, wait_until
from texts import (ENGLISH, GERMAN, IDCANCEL, INTRO_TEXT, LANG_ENGLISH, LANG_GERMAN,
                   RADIO_BUTTONS, STORES)

KEYS = ("pagesync", "highspeed", "language")
DEFAULTS = {"pagesync": "0", "highspeed": "1", "language": "0"}
BUTTON_FOR = {value: {key: button for button, (key, v) in STORES.items() if v == value}
              for value in ("0", "1")}
# Generous: the tool takes a click in about 20 ms here, storing it through a copy.
SECONDS_PER_CLICK = 0.1
# Wine reads all X input that is waiting at once and keeps its queue's memory, so a backlog of
# thousands of clicks grows the tool's private memory by a few hundred KiB, more or less by
# how far the input ran ahead (+316 and +548 KiB seen after 9,500 switches in one burst).
# Language switches come in bursts of this many clicks, each taken in full before the next,
# and the warm-up has seen the largest backlog.
SWITCH_BURST = 250
# Private memory may grow by a few pages that Wine fills once; a leak of 28 bytes per
# language switch already adds 9,500 * 28 bytes > 256 KiB over the measured switches.
PRIVATE_GROWTH_LIMIT = 256 * 1024


def content(settings):
    """The file as the profile writer leaves it: the section's keys in their order, without
    the empty line of the default content."""
    lines = ["[DirectX Errors]"] + [f"{key}={settings[key]}" for key in KEYS]
    return "".join(line + "\r\n" for line in lines).encode("ascii")


def after(settings, clicks):
    """The options after the clicks: each pair holds the value of its last click."""
    settings = dict(settings)
    for button in clicks:
        key, value = STORES[button]
        settings[key] = value
    return settings


def selection(settings):
    return {BUTTON_FOR[settings[key]][key] for key in KEYS}


def clicks_towards(rng, start, end, count):
    """count clicks at random over the six buttons, none of which gives the options the
    state end, then the fewest clicks that do: only the last click produces end."""
    assert start != end
    settings, clicks = dict(start), []
    while len(clicks) < count:
        button = rng.choice(RADIO_BUTTONS)
        if after(settings, [button]) != end:
            settings = after(settings, [button])
            clicks.append(button)
    clicks += [BUTTON_FOR[end[key]][key] for key in KEYS if settings[key] != end[key]]
    return clicks


def click_burst(machine, rects, clicks, settings_before):
    """Clicks the buttons in order with no pause, as fast as the X server takes them, and
    waits until the tool has stored the last one. Returns the options afterwards."""
    command = ["xdotool"]
    for button in clicks:
        x, y = centre(rects[button])
        command += ["mousemove", x, y, "click", "--delay", 0, 1]
    subprocess.run(list(map(str, command)), check=True, capture_output=True)
    expected = after(settings_before, clicks)
    wait_until(lambda: read_file(machine) == content(expected),
               f"the file to hold {expected} after {len(clicks)} clicks",
               TIMEOUT + SECONDS_PER_CLICK * len(clicks))
    return expected


def read_file(machine):
    try:
        return machine.ini.read_bytes()
    except FileNotFoundError:
        return None


def counts_program(config):
    """The counts program: from CTest through BRIVEL_COUNTS, else the one built beside the
    probe."""
    default = config.probe.parent.parent / "counts" / "counts.exe"
    return Path(os.environ.get("BRIVEL_COUNTS", default))


def counts(machine):
    """What the tool's process holds now, as the counts program reads it."""
    # Files, not pipes, for the reason the probe's output goes to files.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        status = subprocess.run(machine.command(counts_program(machine.config)),
                                cwd=machine.drive, env=machine.env, stdin=subprocess.DEVNULL,
                                stdout=out, stderr=err, timeout=60).returncode
        out.seek(0)
        err.seek(0)
        text = out.read().decode("utf-8")
        assert status == 0, f"counts: {text} {err.read().decode(errors='replace')}"
        return json.loads(text.splitlines()[-1])


def objects(sample):
    """The object counts that the system reports: a count of 0 with an error means the
    call is not implemented, and no live process has no handle at all."""
    assert sample["systemHandles"] is not None, sample
    reported = {"systemHandles": sample["systemHandles"], "windows": sample["windows"]}
    if sample["handles"]:
        reported["handles"] = sample["handles"]
    for kind in ("gdiObjects", "userObjects"):
        if sample[kind]["count"] or sample[kind]["error"] == 0:
            reported[kind] = sample[kind]["count"]
    return reported


def private_bytes(sample):
    return sample["privateUsage"] or sample["pagefileUsage"]


def wait_for_no_more_objects(machine, before):
    """Waits until no count is above the one before: a handle that the last click still
    holds for a moment is let go when its handler ends; a leaked one stays."""
    seen = []

    def settled():
        seen.append(objects(counts(machine)))
        return all(seen[-1].get(kind, 0) <= count for kind, count in before.items())

    try:
        wait_until(settled, "the counts to drop back", TIMEOUT)
    except AssertionError:
        raise AssertionError(f"before {before}, afterwards {seen[-1]}") from None
    return seen[-1]


def test_a_burst_of_clicks_leaves_each_pairs_last_choice_and_no_objects(root):
    tool, dialog = root.start_dialog()
    rects = {button: dialog.control(button)["rect"] for button in RADIO_BUTTONS}
    rng = random.Random(20240611)
    # Warm-up: every handler runs a few times, so that what Wine sets up once is counted.
    warm = {"pagesync": "1", "highspeed": "0", "language": "1"}
    settings = click_burst(root, rects, clicks_towards(rng, DEFAULTS, warm, 60), DEFAULTS)
    before = objects(counts(root))

    # All three pairs at "0" comes only with the last click.
    burst = clicks_towards(rng, settings, {key: "0" for key in KEYS}, 2400)
    assert set(burst) == set(RADIO_BUTTONS)
    settings = click_burst(root, rects, burst, settings)

    dialog = tool.dialog()
    assert dialog.checked(*RADIO_BUTTONS) == selection(settings)
    assert {i: dialog.text(i) for i in GERMAN} == GERMAN
    wait_for_no_more_objects(root, before)


def switch_language(machine, rects, switches, settings):
    """Clicks "English" and "Deutsch" in turn, switches times, in bursts of SWITCH_BURST;
    a click on the priority pair ends each burst on a state that no switch produces."""
    assert switches % SWITCH_BURST == 0 and settings["language"] == "0"
    for _ in range(switches // SWITCH_BURST):
        toggle = BUTTON_FOR["0" if settings["highspeed"] == "1" else "1"]["highspeed"]
        clicks = [LANG_ENGLISH, LANG_GERMAN] * (SWITCH_BURST // 2) + [toggle]
        settings = click_burst(machine, rects, clicks, settings)
    return settings


def test_ten_thousand_language_switches_leave_memory_and_objects_flat(root):
    tool, dialog = root.start_dialog()
    rects = {button: dialog.control(button)["rect"] for button in RADIO_BUTTONS}
    settings = switch_language(root, rects, 500, DEFAULTS)
    before = counts(root)

    settings = switch_language(root, rects, 9500, settings)

    wait_for_no_more_objects(root, objects(before))
    seen = []

    def private_memory_flat():
        seen.append(counts(root))
        return private_bytes(seen[-1]) - private_bytes(before) < PRIVATE_GROWTH_LIMIT

    try:
        wait_until(private_memory_flat, "private memory to stay flat", TIMEOUT)
    except AssertionError:
        raise AssertionError(f"private bytes {private_bytes(before)} after the warm-up, "
                             f"{private_bytes(seen[-1])} at the end") from None
    print(f"after the warm-up {before}, at the end {seen[-1]}")

    dialog = tool.dialog()
    assert dialog.checked(*RADIO_BUTTONS) == selection(settings)
    assert {i: dialog.text(i) for i in GERMAN} == GERMAN
    click_burst(root, rects, [LANG_ENGLISH], settings)
    wait_until(lambda: all(tool.dialog().text(i) == ENGLISH[i] for i in (INTRO_TEXT, IDCANCEL)),
               "the English texts")
