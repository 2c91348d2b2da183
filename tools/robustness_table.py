#!/usr/bin/env python3
"""Renders the results that tests/e2e/test_bad_input.py leaves in a directory (when run with
BRIVELCONFIG_ROBUSTNESS_RESULTS=DIR) as the Markdown tables of docs/robustness.md.

    tools/robustness_table.py DIR > table.md"""

import json
import sys
from pathlib import Path

BUTTONS = {1000: "High Priority", 1001: "Normal Priority", 1002: "flip via game",
           1003: "flip via DirectX", 1005: "Deutsch", 1006: "English"}


def cell(text):
    return str(text).replace("|", "\\|").replace("\n", " ")


def code(text):
    # Excerpts of odd files hold backticks of their own.
    return f"`` {text} ``"


def shown(ids):
    return ", ".join(BUTTONS[i] for i in ids) if ids else "none selected"


def clicks(result):
    parts = []
    for click in result["clicks"]:
        stored = f"`{click['key']}={click['value']}`"
        parts.append(f"{stored}: \"{click['report']}\"" if click["report"] else f"{stored} stored")
    return "; ".join(parts)


def normalisation(result):
    seen = []
    for click in result["clicks"]:
        for what in click.get("normalised") or []:
            if what not in seen:
                seen.append(what)
    return ", ".join(seen) or "-"


def ending(result, ok):
    end = result.get("end")
    if end is None:
        return "FAILED: " + cell(result.get("failure", "did not get this far"))
    if end != "ended":
        return f"\"{end}\", the dialog stays open, the file stays"
    if ok:
        kept = "the directory stays" if result["end_attributes"] & 0x10 else "file kept"
        text = f"ends, {kept}, attributes 0x{result['start_attributes']:02x} → " \
               f"0x{result['end_attributes']:02x}"
        if "next_start" in result:
            text += "; the next start shows what the dialog showed last"
        return text
    return "ends, file deleted"


def main(directory):
    results = [json.loads(p.read_text()) for p in sorted(Path(directory).glob("*.json"))]
    rows = {}
    for result in sorted(results, key=lambda r: (r["order"], r["ending"])):
        rows.setdefault(result["row"], {})[result["ending"]] = result

    print("| Row | Radio buttons at start | The three clicks | What the stores did besides the "
          "key's value | OK | Escape |")
    print("|---|---|---|---|---|---|")
    for name, runs in rows.items():
        ok, escape = runs.get("OK"), runs.get("Escape")
        first = ok or escape
        start = shown(first.get("shown", []))
        if first.get("start_error"):
            start = f"\"{first['start_error']}\" at start, then {start}"
        print(f"| {cell(name)} | {cell(start)} | {cell(clicks(first))} | "
              f"{cell(normalisation(first))} | {cell(ending(ok, True)) if ok else '-'} | "
              f"{cell(ending(escape, False)) if escape else '-'} |")

    print()
    print("## The file before and after each click (OK run)")
    for name, runs in rows.items():
        first = runs.get("OK") or runs.get("Escape")
        print()
        print(f"### {name}")
        print()
        if first.get("content"):
            print(f"At start: {code(first['content'])}")
            print()
        for click in first["clicks"]:
            after = click["report"] and f"\"{click['report']}\", the file as it was" or \
                code(click["after"])
            print(f"- `{click['key']}={click['value']}`: {after}")


if __name__ == "__main__":
    main(sys.argv[1])
