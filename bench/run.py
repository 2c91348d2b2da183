#!/usr/bin/python3
"""Benchmark of BRIVELCONFIG.EXE against the least a Win32 dialog can cost.

Runs the tool and the floor programs side by side under Wine (x86_64) on a virtual screen,
prints a table and writes docs/benchmark.md. Run it after `make build`:

    bench/run.py [--rounds N] [--clicks N] [--build-root DIR] [--output FILE]

FLOOR.EXE is the floor: the same dialog template run by DialogBoxParamW with a dialog
procedure that only ends it. FLOORSTORE.EXE is the same with a bare WritePrivateProfileStringW
on a priority click, the least a click that reaches the disk can cost. PROFWRITE.EXE times bare
profile writes in a loop; WATCHER.EXE starts each program and watches it from outside.
"""

import argparse
import collections
import ctypes
import datetime
import json
import os
import platform
import random
import re
import select
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
SETTINGS_FILE = "dxerror.ini"
DEFAULT_SETTINGS = b"[DirectX Errors]\r\n\r\npagesync=0\r\nhighspeed=1\r\nlanguage=0\r\n"
IDC_HIGH_PRIORITY, IDC_NORMAL_PRIORITY = 1000, 1001
TIMEOUT = 10.0
# Outside every dialog on the 1024×768 screen, so that none opens under the pointer.
POINTER_REST = "1023 767"
# A press right after the dialog appeared sometimes goes unseen by it; such a press is repeated.
PRESS_ATTEMPTS, PRESS_WAIT_MS = 20, 250
# A traced program has settled when the server has traced nothing for this long (seconds).
SETTLE = 0.3
PR_SET_CHILD_SUBREAPER = 36
IN_MODIFY, IN_CLOSE_WRITE, IN_MOVED_TO, IN_CREATE = 0x2, 0x8, 0x80, 0x100

# name, executable, whether a priority click writes the settings file
PROGRAMS = [
    ("tool", "BRIVELCONFIG.EXE", True),
    ("floor", "FLOOR.EXE", False),
    ("floor-store", "FLOORSTORE.EXE", True),
]
LABELS = {"tool": "BRIVELCONFIG.EXE", "floor": "floor", "floor-store": "floor, storing clicks"}
# Steps of a traced run: the marks that bound them, and their name in the report.
TRACED_STEPS = [("begin", "shown", "Start to dialog shown and painted"),
                ("pressed", "clicked", "One click: release to settled"),
                ("clicked", "gone", "Enter (OK) to process gone")]


def fail(message):
    sys.exit(f"bench: {message}")


def run(command, **kwargs):
    return subprocess.run(command, check=True, text=True, capture_output=True, **kwargs).stdout


# --- statistics -------------------------------------------------------------------------------


def cells(values, scale, digits):
    """Median, IQR, min–max and count, as table cells."""
    if not values:
        return ["", "", "", "0"]
    v = sorted(x * scale for x in values)
    q1, _, q3 = statistics.quantiles(v, n=4, method="inclusive") if len(v) > 1 else v * 3
    f = f"{{:.{digits}f}}".format
    return [f(statistics.median(v)), f"{f(q1)}–{f(q3)}", f"{f(v[0])}–{f(v[-1])}", str(len(v))]


def bootstrap(values, statistic, seed, resamples=2000):
    """The 95 % interval of statistic over resamples of values."""
    rng = random.Random(seed)
    estimates = sorted(statistic(rng.choices(values, k=len(values))) for _ in range(resamples))
    return estimates[int(resamples * 0.025)], estimates[int(resamples * 0.975) - 1]


def verdict(low, high, limit):
    if high <= limit:
        return "within the aim"
    if low > limit:
        return "misses the aim"
    return "too close to the aim to tell at this machine's noise"


# --- file and process watching ----------------------------------------------------------------


class FileWatch:
    """Wakes on every change in one directory through inotify, so waiting takes no CPU."""

    def __init__(self, directory):
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0:
            fail(f"inotify_init1: {os.strerror(ctypes.get_errno())}")
        mask = IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE
        if libc.inotify_add_watch(self.fd, str(directory).encode(), mask) < 0:
            fail(f"inotify_add_watch: {os.strerror(ctypes.get_errno())}")

    def drain(self):
        try:
            while os.read(self.fd, 65536):
                pass
        except BlockingIOError:
            pass

    def wait(self, deadline):
        remaining = deadline - time.perf_counter()
        if remaining > 0:
            select.select([self.fd], [], [], remaining)
        self.drain()


def stored_priority(path):
    try:
        match = re.search(rb"^highspeed=(\d+)", path.read_bytes(), re.MULTILINE)
    except OSError:
        return None
    return match and match.group(1).decode()


def linux_pid(windows_path, prefix):
    """The Linux process Wine runs a Windows program in, found by its command line."""
    wanted = windows_path.encode()
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if (entry / "cmdline").read_bytes().split(b"\0")[0] != wanted:
                continue
            environ = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue
        if f"WINEPREFIX={prefix}".encode() in environ:
            return int(entry.name)
    return None


def private_resident(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("RssAnon:"):
            return int(line.split()[1]) * 1024
    return 0


# --- the Wine session -------------------------------------------------------------------------


class Session:
    """Xvfb, a persistent wineserver for the benchmark's own prefix, the watcher, and one
    xdotool that reads its commands from a pipe, so that no process start lies in a timed
    path."""

    def __init__(self, prefix):
        self.prefix = prefix
        self.drive_c = prefix / "drive_c"
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.server_log = prefix.parent / "wineserver.log"
        self.xvfb = self.watcher = self.xdotool = None
        self.presses_repeated = 0

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.__exit__()
            raise
        return self

    def _start(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as displayfd:
            display = displayfd.readline().strip()
        if not display:
            fail("Xvfb did not start")
        self.env["DISPLAY"] = f":{display}"
        self.make_prefix()
        subprocess.run([WINESERVER, "-k"], env=self.env, stderr=subprocess.DEVNULL)
        # Persistent: the system processes stay up between runs, as on a desktop in use. The
        # server writes its trace of programs run with WINEDEBUG=+server to its log.
        with open(self.server_log, "wb") as log:
            subprocess.run([WINESERVER, "-p"], env=self.env, check=True, stderr=log)
        self.start_watcher("-all")
        self.xdotool = subprocess.Popen(["xdotool", "-"], env=self.env, stdin=subprocess.PIPE,
                                        text=True, bufsize=1)

    def __exit__(self, *_):
        for process, farewell in ((self.watcher, "quit\n"), (self.xdotool, "")):
            if process and process.poll() is None:
                try:
                    process.stdin.write(farewell)
                    process.stdin.close()
                    process.wait(timeout=TIMEOUT)
                except (OSError, subprocess.TimeoutExpired):
                    process.kill()
        subprocess.run([WINESERVER, "-k"], env=self.env, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()

    def make_prefix(self):
        marker = self.prefix / "bench-prefix"
        version = run([WINE, "--version"]).strip()
        if marker.exists() and marker.read_text() == version:
            return
        print(f"Creating the Wine prefix {self.prefix}, once (about a minute and a half)...",
              flush=True)
        shutil.rmtree(self.prefix, ignore_errors=True)
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        quiet = {"env": self.env, "check": True, "stdout": subprocess.DEVNULL,
                 "stderr": subprocess.DEVNULL}
        subprocess.run([WINE, "wineboot", "--init"], **quiet)
        # No window manager on the virtual screen: Wine draws the frames itself.
        subprocess.run([WINE, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                        "/d", "N", "/f"], **quiet)
        subprocess.run([WINESERVER, "-w"], **quiet)
        marker.write_text(version)

    def install(self, trees):
        """Copies the programs into drive C, so each has a command line of its own."""
        bench_dir = self.drive_c / "bench"
        bench_dir.mkdir(exist_ok=True)
        win64 = trees["win64"]
        shutil.copy2(win64 / "BRIVELCONFIG.EXE", bench_dir)
        for exe in ("FLOOR.EXE", "FLOORSTORE.EXE", "WATCHER.EXE", "PROFWRITE.EXE",
                    "PROPLOOKUP.EXE"):
            shutil.copy2(win64 / "bench" / exe, bench_dir)

    def start_watcher(self, debug):
        """Starts the watcher; the programs it starts inherit its WINEDEBUG."""
        if self.watcher:
            self.watcher.stdin.write("quit\n")
            self.watcher.stdin.close()
            self.watcher.wait(timeout=TIMEOUT)
        self.watcher = subprocess.Popen([WINE, r"C:\bench\WATCHER.EXE"],
                                        env=dict(self.env, WINEDEBUG=debug),
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                        bufsize=1)

    def ask(self, command):
        self.watcher.stdin.write(command + "\n")
        reply = self.watcher.stdout.readline().strip()
        if not reply or reply.startswith("error"):
            fail(f"watcher, on '{command}': {reply or 'no answer'}")
        return reply.split()

    def xdo(self, command):
        self.xdotool.stdin.write(command + "\n")

    def reset_settings(self):
        settings = self.drive_c / SETTINGS_FILE
        settings.unlink(missing_ok=True)
        settings.write_bytes(DEFAULT_SETTINGS)
        return settings


# --- the measured runs ------------------------------------------------------------------------


def one_run(session, watch, name, exe, stores, clicks, results, mark=lambda step: None):
    """One run of a dialog program: start, CLICKS timed clicks, Enter. MARK is called at the
    boundaries of those steps (see TRACED_STEPS)."""
    settings = session.reset_settings()
    windows_path = rf"C:\bench\{exe}"
    session.xdo(f"mousemove {POINTER_REST}")

    mark("begin")
    _, windows_pid, created_us, shown_us = session.ask(f"start {windows_path}")
    mark("shown")
    results["pid"].append(int(windows_pid))
    results["created"].append(int(created_us) / 1e6)
    results["shown"].append(int(shown_us) / 1e6)
    results["init"].append((int(shown_us) - int(created_us)) / 1e6)
    pid = linux_pid(windows_path, session.prefix)
    if pid is None:
        fail(f"no Linux process for {windows_path}")
    pidfd = os.pidfd_open(pid)
    try:
        for i in range(clicks):
            # Normal first: the default content selects High.
            button, value = ((IDC_NORMAL_PRIORITY, "0") if i % 2 == 0 else
                             (IDC_HIGH_PRIORITY, "1"))
            press(session, button)
            mark("pressed")
            watch.drain()
            begin = time.perf_counter()
            session.xdo("mouseup 1")
            if stores:
                deadline = begin + TIMEOUT
                while stored_priority(settings) != value:
                    if time.perf_counter() > deadline:
                        fail(f"{name}: the click on {button} never reached the file")
                    watch.wait(deadline)
                results["click"].append(time.perf_counter() - begin)
            elif session.ask(f"checked {button} {int(TIMEOUT * 1000)}") != ["checked"]:
                fail(f"{name}: the click on {button} did not select it")
            mark("clicked")

        _, peak, _ = session.ask("memory")
        results["peak"].append(int(peak))
        results["private"].append(private_resident(pid))

        begin = time.perf_counter()
        session.xdo("key Return")
        if not select.select([pidfd], [], [], TIMEOUT)[0]:
            fail(f"{name}: still running after Enter")
        results["exit"].append(time.perf_counter() - begin)
    finally:
        os.close(pidfd)
    session.ask("wait")
    mark("gone")
    # Wine detaches the processes it starts; the driver, as subreaper, gets them back.
    try:
        _, _, usage = os.wait4(pid, 0)
        results["cpu"].append(usage.ru_utime + usage.ru_stime)
    except ChildProcessError:
        pass


def press(session, button):
    """Presses the mouse button on a dialog button and returns once the dialog has handled the
    press, so that only the release is timed."""
    _, x, y = session.ask(f"centre {button}")
    for attempt in range(PRESS_ATTEMPTS):
        session.xdo(f"mousemove {x} {y}")
        session.xdo("mousedown 1")
        if session.ask(f"pushed {button} {PRESS_WAIT_MS}") == ["pushed"]:
            session.presses_repeated += attempt
            return
        # Let go away from the button, where a release is no click, and press again.
        session.xdo(f"mousemove {POINTER_REST}")
        session.xdo("mouseup 1")
    fail(f"button {button} never showed as pressed")


def profile_writes(session, count):
    session.reset_settings()
    output = run([WINE, r"C:\bench\PROFWRITE.EXE", str(count)], env=session.env)
    return [float(line) / 1e6 for line in output.split()]


def property_lookups(session, count):
    output = run([WINE, r"C:\bench\PROPLOOKUP.EXE", str(count)], env=session.env)
    return [float(line) / 1e6 for line in output.split()]


def server_requests(session, watch):
    """Counts, per step, the wineserver requests of one traced run of each program: figures
    that the load of the machine hardly moves."""
    session.start_watcher("+server")
    offsets = {}

    def settle_and_mark(step):
        size, still_since = -1, time.perf_counter()
        while time.perf_counter() - still_since < SETTLE:
            now = session.server_log.stat().st_size
            if now != size:
                size, still_since = now, time.perf_counter()
            time.sleep(0.02)
        offsets[step] = size

    counts = {}
    for name, exe, stores in PROGRAMS:
        offsets.clear()
        scratch = collections.defaultdict(list)
        one_run(session, watch, name, exe, stores, 1, scratch, settle_and_mark)
        trace = session.server_log.read_bytes()
        pid = f"{scratch['pid'][0]:04x}".encode()
        threads = set(re.findall(rb"init_(?:first_)?thread\(\) = 0 \{ pid=" + pid +
                                 rb", tid=(\w+)", trace))
        counts[name] = {}
        for first, last, _ in TRACED_STEPS:
            kinds = collections.Counter(
                m.group(2).decode()
                for m in re.finditer(rb"^(\w+): (\w+)\( ", trace[offsets[first]:offsets[last]],
                                     re.MULTILINE)
                if m.group(1) in threads)
            counts[name][first] = dict(kinds)
    session.start_watcher("-all")
    return counts


def measure(args, trees, seed):
    results = {name: collections.defaultdict(list) for name, _, _ in PROGRAMS}
    writes, lookups = [], []
    with Session(args.prefix) as session:
        session.install(trees)
        watch = FileWatch(session.drive_c)
        order = random.Random(seed)
        print(f"Warming up, then {args.rounds} rounds of {len(PROGRAMS)} programs "
              f"(order seed {seed})...", flush=True)
        for name, exe, stores in PROGRAMS:
            one_run(session, watch, name, exe, stores, 2, collections.defaultdict(list))
        profile_writes(session, 2)
        for round_number in range(args.rounds):
            for name, exe, stores in order.sample(PROGRAMS, len(PROGRAMS)):
                one_run(session, watch, name, exe, stores, args.clicks, results[name])
            writes += profile_writes(session, args.writes)
            if round_number % 10 == 0:
                lookups += property_lookups(session, 100)
            if (round_number + 1) % 10 == 0:
                print(f"  {round_number + 1} rounds", flush=True)
        print("One traced run of each program, counting its wineserver requests...", flush=True)
        requests = server_requests(session, watch)
        return results, writes, lookups, requests, session.presses_repeated


# --- build, sizes and imports -----------------------------------------------------------------


def build_programs(trees):
    for tree in trees.values():
        if not (tree / "build.ninja").exists():
            fail(f"no build tree {tree}: run `make build` first")
        built = subprocess.run(["cmake", "--build", str(tree), "--target", "bench_programs"],
                               text=True, capture_output=True)
        if built.returncode:
            output = built.stdout + built.stderr
            hint = (" (is bench/ added to the top CMakeLists.txt?)"
                    if "unknown target" in output else "")
            fail(f"building the benchmark programs in {tree} failed{hint}\n{output}")


def pe_facts(path, objdump):
    """The file size and the import table, DLL by DLL."""
    imports, current, in_imports = {}, None, False
    for line in run([objdump, "-p", str(path)]).splitlines():
        if line.startswith("The Import Tables"):
            in_imports = True
        elif line and not line[0].isspace():
            in_imports = False
        elif not in_imports:
            continue
        elif m := re.match(r"\s*DLL Name: (\S+)", line):
            current = imports.setdefault(m.group(1).upper(), [])
        elif current is not None and (m := re.match(r"\s+[0-9a-f]+\s+\d+\s+(\S+)$", line)):
            current.append(m.group(1))
    return path.stat().st_size, imports


# --- report -----------------------------------------------------------------------------------


def machine(load_before, load_after):
    cpu = next((line.split(":", 1)[1].strip()
                for line in Path("/proc/cpuinfo").read_text().splitlines()
                if line.startswith("model name")), "unknown")
    memory = next(int(line.split()[1]) for line in Path("/proc/meminfo").read_text().splitlines()
                  if line.startswith("MemTotal"))
    facts = {
        "CPU (/proc/cpuinfo)": cpu,
        "Cores": str(os.cpu_count()),
        "Memory": f"{memory / 1024 / 1024:.1f} GiB",
        "Kernel": f"Linux {platform.release()}",
        "Wine": run([WINE, "--version"]).strip() + " (wine64, x86_64)",
        "Date": datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z"),
        "Load average": f"{load_before:.2f} before, {load_after:.2f} after the run (other work "
                        "on the machine shares its cores)",
    }
    return "\n".join(f"- {key}: {value}" for key, value in facts.items())


def markdown_table(head, rows):
    return "\n".join(["| " + " | ".join(head) + " |", "|" + "---|" * len(head)] +
                     ["| " + " | ".join(row) + " |" for row in rows])


def figures_table(results, writes, lookups):
    ms, kib = 1e3, 1 / 1024
    rows = []
    for measure_name, key, names, scale, digits in (
            ("Start to dialog shown (ms)", "shown", ("tool", "floor"), ms, 1),
            ("…of which: start to dialog window created (ms)", "created", ("tool", "floor"),
             ms, 1),
            ("…of which: dialog window created to shown (ms)", "init", ("tool", "floor"), ms, 1),
            ("Click to value on disk (ms)", "click", ("tool", "floor-store"), ms, 2),
            ("Enter (OK) to process gone (ms)", "exit", ("tool", "floor"), ms, 1),
            ("CPU time of the whole run (ms)", "cpu", ("tool", "floor-store", "floor"), ms, 1),
            ("Peak working set (KiB)", "peak", ("tool", "floor"), kib, 0),
            ("Private resident memory (KiB)", "private", ("tool", "floor"), kib, 0)):
        for name in names:
            rows.append([measure_name, LABELS[name], *cells(results[name][key], scale, digits)])
    rows.append(["Bare WritePrivateProfileStringW (ms per call)", "PROFWRITE.EXE",
                 *cells(writes, ms, 3)])
    rows.append(["Window-property lookup, GetPropW (ms per call)", "PROPLOOKUP.EXE",
                 *cells(lookups, ms, 4)])
    return markdown_table(["Measure", "Program", "Median", "IQR", "Min–max", "n"], rows)


def size_tables(facts):
    dlls = sorted({dll for _, imports in facts.values() for dll in imports})
    rows, listing = [], []
    for (program, arch), (size, imports) in facts.items():
        exe = "BRIVELCONFIG.EXE" if program == "tool" else "FLOOR.EXE"
        rows.append([exe, arch, str(size)] + [str(len(imports.get(dll, []))) for dll in dlls])
        listing.append(f"- {exe}, {arch}: " + "; ".join(
            f"{dll} ({len(names)}): {', '.join(names)}" for dll, names in imports.items()))
    table = markdown_table(["Executable", "Build", "Size (bytes)"] +
                           [f"{dll} imports" for dll in dlls], rows)
    return table, "\n".join(listing)


def requests_table(requests):
    rows = []
    for first, _, label in TRACED_STEPS:
        step = {name: requests[name][first] for name in requests}
        difference = sorted(((step["tool"].get(k, 0) - step["floor-store"].get(k, 0), k)
                             for k in set(step["tool"]) | set(step["floor-store"])),
                            key=lambda item: (-abs(item[0]), item[1]))
        rows.append([label] + [str(sum(step[name].values()))
                               for name in ("tool", "floor-store", "floor")] +
                    [", ".join(f"{kind} {delta:+d}" for delta, kind in difference[:6] if delta)])
    return markdown_table(["Step", LABELS["tool"], LABELS["floor-store"], LABELS["floor"],
                           "Most of the difference, tool − floor storing clicks"], rows)


def read_against_aims(results, writes, requests, clicks, seed):
    ms = 1e3
    med = statistics.median
    tool, floor, store = results["tool"], results["floor"], results["floor-store"]
    lines = []

    # The tool's and the floor's run of one round lie moments apart: their ratio cancels most
    # of the drift in the machine's load.
    ratios = [t / f for t, f in zip(tool["shown"], floor["shown"])]
    low, high = bootstrap(ratios, med, seed)
    init_extra = [t - f for t, f in zip(tool["init"], floor["init"])]
    created_extra = [t - f for t, f in zip(tool["created"], floor["created"])]
    start_requests = [sum(requests[n]["begin"].values()) for n in ("tool", "floor")]
    lines.append(
        f"- Start-up, aim within 10 % of the floor: {verdict(low - 1, high - 1, 0.10)}. The "
        f"tool's dialog is shown after {med(tool['shown']) * ms:.1f} ms (median), the floor's "
        f"after {med(floor['shown']) * ms:.1f} ms ("
        f"{(med(tool['shown']) / med(floor['shown']) - 1) * 100:+.1f} %); within a round the "
        f"tool takes {(med(ratios) - 1) * 100:+.1f} % (median; 95 % interval "
        f"{(low - 1) * 100:+.1f} % to {(high - 1) * 100:+.1f} %). Of the difference, {med(created_extra) * ms:+.1f} ms a "
        f"round (median) lies before the dialog window is created and "
        f"{med(init_extra) * ms:+.1f} ms in the dialog's initialisation. The tool makes "
        f"{start_requests[0]} wineserver requests up to its painted dialog, the floor "
        f"{start_requests[1]} ({(start_requests[0] / start_requests[1] - 1) * 100:+.0f} %).")

    def per_round(values):
        return [med(values[i:i + clicks]) for i in range(0, len(values), clicks)]

    share = [t - f for t, f in zip(per_round(tool["click"]), per_round(store["click"]))]
    low, high = bootstrap(share, med, seed)
    bare = med(writes)
    click_requests = {name: sum(requests[name]["pressed"].values()) for name in requests}
    lines.append(
        f"- Click, aim within 10 % of a bare profile write ({bare * ms:.3f} ms, median): taken "
        f"literally, every program misses it, the floor too. A click reaches the disk after "
        f"{med(tool['click']) * ms:.2f} ms in the tool and {med(store['click']) * ms:.2f} ms in "
        f"the floor that stores clicks ({med(store['click']) / bare:.1f} times a bare write): "
        f"most of a click's time is the input's way from the X server through Wine to the "
        f"button. Read as the tool's own share, the time it adds to the floor's click, it is "
        f"{med(share) * ms:+.3f} ms a round (median; 95 % interval {low * ms:+.3f} to "
        f"{high * ms:+.3f} ms), {med(share) / bare * 100:+.0f} % of a bare write: "
        f"{verdict(low / bare, high / bare, 0.10)}. In wineserver requests a click costs the "
        f"tool {click_requests['tool']}, the floor that stores it "
        f"{click_requests['floor-store']} and the floor that does not "
        f"{click_requests['floor']}.")
    lines.append(
        f"- OK: the tool is gone {med(tool['exit']) * ms:.1f} ms after Enter, the floor "
        f"{med(floor['exit']) * ms:.1f} ms (medians).")
    lines.append(
        f"- Memory: peak working set {med(tool['peak']) / 1024:.0f} KiB against "
        f"{med(floor['peak']) / 1024:.0f} KiB; private resident memory "
        f"{med(tool['private']) / 1024:.0f} KiB against {med(floor['private']) / 1024:.0f} KiB.")
    if tool["cpu"] and store["cpu"] and floor["cpu"]:
        lines.append(
            f"- CPU time of a whole run (start, {clicks} clicks, OK): tool "
            f"{med(tool['cpu']) * ms:.1f} ms, floor storing clicks {med(store['cpu']) * ms:.1f} "
            f"ms, floor {med(floor['cpu']) * ms:.1f} ms (medians).")
    return lines


def findings(requests, bare_write, lookup):
    """What the tool's extra wineserver requests are, where their kinds point at a cause."""
    def extra(step, kind):
        return requests["tool"][step].get(kind, 0) - requests["floor-store"][step].get(kind, 0)

    lines = []
    opens = extra("pressed", "create_file")
    if opens > 0:
        lines.append(
            f"- The store: {opens} extra file opens in one click (`create_file`, `get_handle_fd`, "
            "`close_handle` each). The tool never lets the profile writer work on the settings "
            "file itself, which it empties before writing it anew and may cut off on a full "
            "disk while reporting success: the writer works on a copy beside the file, the "
            "profile reader checks the copy, then the one changed byte is written in place or "
            "the copy renamed over the file (settings/settings_file.cpp; tests/faults shows a "
            "game's reads and a killed tool never meet a partial file). Those round trips are "
            "what the tool adds to a click, and why it misses the aim against one bare write: "
            "the aim measures against the very write that exposes a partial file.")
    props = {step: extra(step, "get_window_property") for step, _, _ in TRACED_STEPS}
    if any(props.values()):
        in_click = props["pressed"] * lookup
        lines.append(
            f"- Window-property lookups: {props['begin']} extra `get_window_property` requests "
            f"up to the painted dialog, {props['pressed']} in one click, {props['clicked']} from "
            f"Enter to exit, {lookup * 1e3:.3f} ms each here (median, PROPLOOKUP.EXE), about "
            f"{in_click / bare_write * 100:.0f} % of a bare profile write in a click. The "
            "framework finds a window's object in a table of its own, without them; these "
            "come from elsewhere.")
    hooks = {step: extra(step, "start_hook_chain") for step, _, _ in TRACED_STEPS}
    if any(hooks.values()):
        lines.append(
            f"- Hook calls: {hooks['begin']} extra calls of a hook up to the painted dialog and "
            f"{hooks['clicked']} from Enter to exit, three requests each (`start_hook_chain`, "
            "`get_hook_info`, `finish_hook_chain`): the creation hook that attaches the dialog "
            "object, which is removed as soon as the dialog window exists.")
    display = extra("begin", "enum_key")
    if display > 0:
        lines.append(
            f"- Display checks: {display} extra triples of `get_process_winstation`, "
            "`set_user_object_info` and `enum_key`. Wine 8 checks the display configuration so "
            "on each monitor or metrics query: here the tool's loading and setting of its icons "
            "and the centring of the dialog, work the tool is meant to do.")
    return lines or ["- None: the tool makes no more requests than the floor."]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=80, help="runs of each program")
    parser.add_argument("--clicks", type=int, default=8, help="timed clicks per run")
    parser.add_argument("--writes", type=int, default=20,
                        help="bare profile writes timed after each round")
    parser.add_argument("--build-root", type=Path, default=REPO / "build",
                        help="holds the win32 and win64 build trees")
    parser.add_argument("--prefix", type=Path, default=Path("/tmp/brivelconfig-bench/prefix"))
    parser.add_argument("--output", type=Path, default=REPO / "docs" / "benchmark.md")
    parser.add_argument("--seed", type=int, help="seed of the order of the programs in a round")
    parser.add_argument("--raw", type=Path, help="also write every measured value here (JSON)")
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    began = time.perf_counter()

    trees = {arch: args.build_root / arch for arch in ("win32", "win64")}
    build_programs(trees)
    facts = {}
    for arch, tree in trees.items():
        objdump = ("i686" if arch == "win32" else "x86_64") + "-w64-mingw32-objdump"
        for program, exe in (("tool", tree / "BRIVELCONFIG.EXE"),
                             ("floor", tree / "bench" / "FLOOR.EXE")):
            facts[(program, arch)] = pe_facts(exe, objdump)

    # Wine detaches the processes it starts; as subreaper the driver gets them back as
    # children, and with them their exact CPU time.
    if ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0):
        fail(f"prctl: {os.strerror(ctypes.get_errno())}")
    load_before = os.getloadavg()[0]
    results, writes, lookups, requests, presses_repeated = measure(args, trees, seed)
    load_after = os.getloadavg()[0]
    elapsed = time.perf_counter() - began
    if args.raw:
        args.raw.write_text(json.dumps({"seed": seed, "results": results, "writes": writes,
                                        "lookups": lookups, "requests": requests}))

    figures = figures_table(results, writes, lookups)
    sizes, imports = size_tables(facts)
    request_counts = requests_table(requests)
    reading = "\n".join(read_against_aims(results, writes, requests, args.clicks, seed))
    causes = "\n".join(findings(requests, statistics.median(writes),
                                 statistics.median(lookups)))
    print("", figures, "", sizes, "", request_counts, "", reading, "", causes, sep="\n")
    print(f"\n{elapsed:.0f} s in all; {presses_repeated} presses had to be repeated.")

    args.output.parent.mkdir(parents=True, exist_ok=True)
    args.output.write_text(DOCUMENT.format(
        rounds=args.rounds, clicks=args.clicks, writes=args.writes, seed=seed,
        elapsed=f"{elapsed:.0f}", figures=figures, sizes=sizes, requests=request_counts,
        reading=reading, findings=causes, machine=machine(load_before, load_after),
        imports=imports, presses_repeated=presses_repeated))
    print(f"Wrote {args.output}")


DOCUMENT = """\
# Benchmark: BrivelConfig against the least a Win32 dialog can cost

Written by `bench/run.py` (`make bench`): {rounds} rounds, {clicks} timed clicks per run,
{writes} bare profile writes per round, order seed {seed}, {elapsed} s in all.

## Figures

{figures}

{sizes}

Wineserver requests made by each program itself in one traced run (WINEDEBUG=+server), by
step. Unlike the times, these counts hardly move with the load of the machine (a slower run
gets a few more paint and timer messages).

{requests}

## Reading against the aims

The aims: start-up within 10 % of the floor; a click within 10 % of a bare profile write.

{reading}

Where the tool's extra requests go (tool against the floor that stores clicks):

{findings}

## Machine

{machine}

## How each figure was measured

All programs run under the same Wine, x86_64, in a prefix of the benchmark's own
(/tmp/brivelconfig-bench/prefix), on a virtual screen (Xvfb, 1024×768, started with
-displayfd) without a window manager (Wine draws the frames: `HKCU\\Software\\Wine\\X11 Driver`,
`Managed` = `N`). The wineserver runs for the whole benchmark, so Wine's own system processes
are up before the first measured start, as on a desktop in use. Each round runs the tool, the
floor and the floor that stores clicks once each, in an order shuffled per round, so that drifts
in the machine's load fall on all of them alike; one run of each comes first as a warm-up and
is not counted. Before each run the settings file holds the default content (57 bytes, not
hidden). Intervals are 95 % bootstrap intervals of the median over rounds.

- The floor, `bench/floor.cpp`: the same dialog template 102 (the tool's whole resource script is
  compiled in), run by `DialogBoxParamW` with a dialog procedure that only ends the dialog on OK
  and Cancel; no settings file, no texts. It is built like the tool (C++20, static, -municode,
  -Wall -Wextra -Werror). The floor that stores clicks is the same source built with one
  `WritePrivateProfileStringW` on a click on either priority button.
- Start to dialog shown: `bench/watcher.cpp`, a Windows program in the same session, takes the
  time just before `CreateProcessW` and creates the program suspended, so that its hook is in
  place before the program runs. Wine 8 reports the creation of windows to an out-of-context
  event hook (`EVENT_OBJECT_CREATE`) but not their showing, so the hook finds the dialog window
  and the watcher then polls `IsWindowVisible` every millisecond until the dialog manager has
  shown it: the figure is good to about a millisecond, and the polling's few wineserver requests
  a millisecond fall on both programs alike. The hook runs in the watcher, so nothing
  is injected into either program, and both show the same template, so both raise the same
  events. "Start to dialog window created" is the hook's time for the dialog's own window: what
  precedes it is process start, run-time and framework start-up; what follows it, up to the
  show, is the dialog's initialisation (for the tool, its `OnInitDialog`).
- Click to value on disk: one xdotool process reads its commands from a pipe for the whole run,
  so no process start lies in a timed path. The pointer is moved onto "Normal Priority Mode" or
  "High Priority Mode" (alternately, starting with Normal, as the default content selects High)
  and the mouse button is pressed; once the watcher sees the button pressed, the release is
  sent, which is when a button reports its click. (A press that the button has not shown within
  {press_wait} ms, most often the first one right after the dialog appeared, is released away
  from the button and repeated, untimed: {presses_repeated} times in this run.) The time runs from writing the release to xdotool's
  pipe until the settings file, read on the Linux side, holds the new value; the driver waits
  on inotify, which takes no CPU. The bare write, `bench/profile_write.cpp`, reads the file once
  as the dialog does, warms up with one write, then times each `WritePrivateProfileStringW` with
  `QueryPerformanceCounter`; the values alternate as the clicks do, since writing the value
  already stored leaves the file alone.
- Enter to process gone: with the dialog active after the clicks, Return is sent through the same
  xdotool; the time runs until the program's Linux process has ended (its pidfd turns readable).
- CPU time: user and system time of the program's Linux process over its whole run, from
  `wait4` (Wine detaches the processes it starts; the driver is their subreaper). It leaves out
  the wineserver's and the X server's share.
- Peak working set: `PeakWorkingSetSize` from `K32GetProcessMemoryInfo`, read by the watcher
  through its process handle after the clicks, just before Enter. Wine takes it from the Linux
  process (VmHWM), so it includes Wine's own libraries mapped into the process. The second figure
  is that Linux process's private resident memory (RssAnon in /proc/PID/status) at the same
  moment.
- Sizes and imports: file size, and the import table from `objdump -p`, of the win32 and win64
  builds of the tool and of the floor (the lists are below).
- Wineserver requests: one more run of each program with WINEDEBUG=+server, counting the
  requests of the program's own threads in the server's trace between marks taken once the
  program has settled (nothing traced for {settle} s): from the start to the painted dialog,
  from the release of one click until all it caused is done, from Enter to the end.

## Import lists (objdump -p)

{imports}
""".replace("{settle}", str(SETTLE)).replace("{press_wait}", str(PRESS_WAIT_MS))


if __name__ == "__main__":
    main()
