#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs every benchmark program of a build and prints one table of figures beside their targets.

    report.py --build BUILD_DIR [--quick] [--windows WINDOWS_BUILD_DIR [--windows-only]]

--windows also times torvane.exe of a Windows build under wine, against the Linux build's virtual devices
through COM ports of the Windows build's wine prefix; --windows-only times nothing else.

Targets are printed, never enforced: the exit status is 0 when every program ran and every transfer
ended as it should, whatever the figures. --quick skips the paced transfers (about 40 s).
"""
import argparse
import json
import os
import platform
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
STARTUP_RUNS = 5

problems = []
rows = []  # (group, figure, measured, target, verdict)


def row(group, figure, measured, target="", met=None):
    verdict = "" if met is None else ("yes" if met else "NO")
    rows.append((group, figure, measured, target, verdict))


def run(cmd, env=None, timeout=600):
    started = time.monotonic()
    p = subprocess.run(cmd, capture_output=True, text=True, env=env, timeout=timeout)
    if p.returncode != 0:
        problems.append("%s exited with %d: %s" % (os.path.basename(cmd[0]), p.returncode, p.stderr.strip()[-400:]))
    return p.stdout, time.monotonic() - started


def json_lines(text):
    out = []
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("{"):
            try:
                out.append(json.loads(line))
            except ValueError:
                pass
    return out


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    mem_kb = 0
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                mem_kb = int(line.split()[1])
    return "%d CPUs (nproc), %s, %.1f GiB memory, %s %s" % (
        os.cpu_count() or 0, model, mem_kb / 1048576, platform.system(), platform.release())


def core(build, scratch):
    out_file = os.path.join(scratch, "core.json")
    run([os.path.join(build, "bench", "torvane-bench-core"), "--benchmark_min_time=0.2",
         "--benchmark_out=" + out_file, "--benchmark_out_format=json"])
    try:
        with open(out_file) as f:
            data = json.load(f)
    except (OSError, ValueError):
        problems.append("torvane-bench-core wrote no results")
        return {}
    results = {}
    for b in data.get("benchmarks", []):
        if b.get("error_occurred"):
            problems.append("%s: %s" % (b["name"], b.get("error_message", "failed")))
            continue
        results[b["name"]] = b
    return results


def ns(b):
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
    return b["real_time"] * scale


def pretty_time(nanoseconds):
    if nanoseconds >= 1e6:
        return "%.1f ms" % (nanoseconds / 1e6)
    if nanoseconds >= 1e3:
        return "%.2f µs" % (nanoseconds / 1e3)
    return "%.0f ns" % nanoseconds


def core_rows(results):
    names = [
        ("BM_BuildReadRequest", "build a read request frame (9 bytes)"),
        ("BM_BuildWritePage", "build a page write frame (265 bytes)"),
        ("BM_SendFrame", "send sequence of a request (frame, queue, status, timer)"),
        ("BM_ReplyByteByByte/table:0", "settings reply, 265 bytes one at a time, dispatcher + decoder"),
        ("BM_ReplyByteByByte/table:1", "number list reply, 265 bytes one at a time, dispatcher + decoder"),
        ("BM_ReplyByteByByte/table:2", "history reply, 265 bytes one at a time, dispatcher + decoder"),
        ("BM_DecodeSettingsPage/page:1", "decode settings page 1"),
        ("BM_DecodeSettingsPage/page:2", "decode settings page 2"),
        ("BM_DecodeSettingsPage/page:3", "decode settings page 3"),
        ("BM_EncodeSettingsPage/page:1", "encode settings page 1"),
        ("BM_EncodeSettingsPage/page:2", "encode settings page 2"),
        ("BM_EncodeSettingsPage/page:3", "encode settings page 3"),
        ("BM_DecodeNumbersPage", "decode a number list page (8 records)"),
        ("BM_EncodeNumbersPage", "encode a number list page (8 records)"),
        ("BM_DecodeHistoryPage", "decode a history page (2 records)"),
        ("BM_HistoryFilter", "history filter over 1000 rows (all kept, sorted)"),
        ("BM_NumberFind", "number list find, one keystroke over 3000 numbers (keys made once per change)"),
        ("BM_NumberFindAfterAnEdit", "number list find after one number changed"),
    ]
    for name, label in names:
        b = results.get(name)
        row("Core (per operation)", label, pretty_time(ns(b)) if b else "failed")


def e2e(build, baud):
    cmd = [os.path.join(build, "bench", "torvane-bench-e2e"), "--device", os.path.join(build, "device", "torvane-device")]
    if baud:
        cmd += ["--baud", str(baud)]
    out, _ = run(cmd)
    lines = json_lines(out)
    transfers = {l["transfer"]: l for l in lines if "transfer" in l}
    for t in transfers.values():
        if not t["ok"]:
            problems.append("%s %s: %s" % (t["mode"], t["transfer"], t["problem"]))
    peak = next((l["peak_rss_kb"] for l in lines if "peak_rss_kb" in l), None)
    return transfers, peak


TRANSFERS = ["settings read", "settings save, every page", "number list read", "number list save, every page",
             "history read", "number list read, trace to a file"]
# The safe save: (name, target text, test of the result)
SAFE_SAVES = [
    ("settings save, one parameter changed", "≤ 5 page times (about 0.12 s)",
     lambda t: t["requests"] <= 5 and t["elapsed_s"] <= 0.125),
    ("safe save, one number changed, pages known", "≤ 8 page times (about 0.2 s), probe included",
     lambda t: t["requests"] <= 8 and t["elapsed_s"] <= 0.2),
    ("safe save, 200 imported onto a fresh device", "≤ 1.25 × floor and < 8.95 s",
     lambda t: t["ratio"] <= 1.25 and t["elapsed_s"] < 8.95),
    ("safe save, every page changed, nothing known", "≤ 1.03 × floor", lambda t: t["ratio"] <= 1.03),
]


def paced_rows(transfers):
    for name in TRANSFERS:
        t = transfers.get(name)
        if not t:
            row("Paced at 115200 baud", name, "failed", "≤ 1.02 × floor", False)
            continue
        runs = " (median of %d)" % t["runs"] if t.get("runs", 1) > 1 else ""
        row("Paced at 115200 baud", name + runs + " (elapsed / wire floor)",
            "%.3f s / %.3f s = %.4f ×" % (t["elapsed_s"], t["floor_s"], t["ratio"]), "≤ 1.02 × floor",
            t["ok"] and t["ratio"] <= 1.02)
    for name, target, met in SAFE_SAVES:
        t = transfers.get(name)
        if not t:
            row("Paced at 115200 baud", name, "failed", target, False)
            continue
        row("Paced at 115200 baud", "%s: %d exchanges (elapsed / wire floor)" % (name, t["requests"]),
            "%.3f s / %.3f s = %.4f ×" % (t["elapsed_s"], t["floor_s"], t["ratio"]), target, t["ok"] and met(t))
    for name in ("bare number list read", "bare history read"):
        t = transfers.get(name)
        if t:
            row("Paced at 115200 baud", name.replace("bare ", "") + " by a bare blocking loop on the same device "
                "(the pseudo-terminal's and the virtual device's own share)",
                "%.3f s / %.3f s = %.4f ×" % (t["elapsed_s"], t["floor_s"], t["ratio"]))
    turns = [transfers[n]["turnaround_us"] for n in TRANSFERS if n in transfers]
    if turns:
        row("Paced at 115200 baud", "program logic per exchange, last reply byte to next request (mean, worst transfer)",
            "%.0f µs" % max(turns))


def unpaced_rows(transfers):
    for name in TRANSFERS:
        t = transfers.get(name)
        if not t:
            row("Unpaced", name, "failed")
            continue
        measured = "%.3f s, CPU %.3f s" % (t["elapsed_s"], t["cpu_s"])
        if name == "number list read":
            row("Unpaced", name + " (elapsed, configurator CPU)", measured, "≤ 0.3 s, CPU ≤ 0.1 s",
                t["ok"] and t["elapsed_s"] <= 0.3 and t["cpu_s"] <= 0.1)
        else:
            row("Unpaced", name + " (elapsed, configurator CPU)", measured)
    for name, _, _ in SAFE_SAVES:
        t = transfers.get(name)
        if t:
            row("Unpaced", name + " (elapsed, configurator CPU)", "%.3f s, CPU %.3f s" % (t["elapsed_s"], t["cpu_s"]))


def files_rows(results, build, scratch):
    # openpyxl writes where our in-memory export writes, so that both compare code, not disks.
    memory = tempfile.mkdtemp(prefix="torvane-bench-", dir="/dev/shm") if os.path.isdir("/dev/shm") else scratch
    listing = os.path.join(memory, "telinf_full.xlsx")
    run([os.path.join(build, "bench", "torvane-bench-core"), "--write-number-list", listing])
    theirs = {}
    if os.path.exists(listing):
        out, _ = run([PYTHON, os.path.join(HERE, "openpyxl_numbers.py"), listing, memory, "3"])
        found = json_lines(out)
        theirs = found[0] if found else {}
    for f in os.listdir(memory):
        os.remove(os.path.join(memory, f))
    if memory != scratch:
        os.rmdir(memory)

    def ms(name):
        b = results.get(name)
        return (ns(b) / 1e6, b["cpu_time"] * ns(b) / b["real_time"] / 1e6) if b else (None, None)

    for label, name in ((".xlsx export (3000 rows) to disk, with the final flush (fsync)", "BM_NumbersExport/xlsx"),
                        (".xlsx export (3000 rows) to memory (/dev/shm)", "BM_NumbersExport/xlsx_in_memory"),
                        (".xlsx checked import (3000 rows)", "BM_NumbersImport/xlsx")):
        wall, cpu = ms(name)
        row("Number list files", label, "%.1f ms (CPU %.1f ms)" % (wall, cpu) if wall else "failed", "≤ 100 ms",
            wall is not None and wall <= 100)
    version = theirs.get("openpyxl", "")
    for what, name, key in (("export", "BM_NumbersExport/xlsx_in_memory", "openpyxl_export_ms"),
                            ("checked import", "BM_NumbersImport/xlsx", "openpyxl_import_ms")):
        ours, _ = ms(name)
        if ours and key in theirs:
            ratio = theirs[key] / ours
            row("Number list files", ".xlsx %s: openpyxl %s / ours" % (what, version),
                "%.0f ms / %.1f ms = %.1f ×" % (theirs[key], ours, ratio), "≥ 10 ×", ratio >= 10)
        else:
            row("Number list files", ".xlsx %s against openpyxl" % what, "failed", "≥ 10 ×", False)
    for label, name in ((".xls export (3000 rows) to disk, with the final flush", "BM_NumbersExport/xls"),
                        (".xls export (3000 rows) to memory", "BM_NumbersExport/xls_in_memory"),
                        (".xls checked import (3000 rows)", "BM_NumbersImport/xls")):
        wall, cpu = ms(name)
        row("Number list files", label, "%.1f ms (CPU %.1f ms)" % (wall, cpu) if wall else "failed")
    for label, name in (("merge of 3000 numbers into a full grid (3000 rows), undo recorded", "BM_NumbersMerge"),
                        ("the same from an .xlsx file: read, checked, merged", "BM_NumbersMergeFile/xlsx"),
                        ("the same from a .json file: read, checked, merged", "BM_NumbersMergeFile/json")):
        wall, cpu = ms(name)
        row("Number list files", label, "%.1f ms (CPU %.1f ms)" % (wall, cpu) if wall else "failed", "≤ 50 ms",
            wall is not None and wall <= 50)


def window_rows(build):
    program = os.path.join(build, "bench", "torvane-bench-window")
    if not os.path.exists(program):
        row("Window", "start-up", "not built (TORVANE_BUILD_GUI=OFF)", "≤ 150 ms", False)
        return
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    times, inner = [], []
    for i in range(STARTUP_RUNS + 1):  # the first run fills the file cache and is not counted
        env["TORVANE_BENCH_T0_NS"] = str(time.clock_gettime_ns(time.CLOCK_MONOTONIC))
        out, _ = run([program], env=env)
        found = json_lines(out)
        if not found or not found[0].get("grids_filled"):
            problems.append("window start-up run %d: grids not filled or no paint" % i)
            continue
        if i > 0:
            times.append(found[0]["startup_ms"])
            inner.append(found[0]["main_to_paint_ms"])
    if times:
        med = statistics.median(times)
        row("Window", "start to first paint, all three grids filled (median of %d; min %.0f ms; from main() %.0f ms)"
            % (len(times), min(times), statistics.median(inner)), "%.0f ms" % med, "≤ 150 ms", med <= 150)
    env.pop("TORVANE_BENCH_T0_NS", None)
    out, _ = run([program, "--find"], env=env)
    found = [l for l in json_lines(out) if "find_keys" in l]
    if found and found[0].get("ok"):
        f = found[0]
        row("Window", "find bar: keystroke to the end of its repaint, 3000 numbers (median / p95 / max of %d keys; "
            "the first round, with the font's first glyphs, %.1f ms at most)" % (f["find_keys"], f["find_first_round_max_ms"]),
            "%.2f / %.2f / %.2f ms" % (f["find_key_to_paint_median_ms"], f["find_key_to_paint_p95_ms"],
                                       f["find_key_to_paint_max_ms"]),
            "≤ 5 ms", f["find_key_to_paint_p95_ms"] <= 5)
    else:
        row("Window", "find bar: keystroke to the end of its repaint", "failed", "≤ 5 ms", False)
    out, _ = run([program, "--device", os.path.join(build, "device", "torvane-device")], env=env)
    found = [l for l in json_lines(out) if "peak_rss_kb" in l]
    if not found or not found[0].get("ok"):
        row("Window", "peak resident memory after reading everything", "failed", "≤ 80 MB", False)
        return
    w = found[0]
    mb = w["peak_rss_kb"] / 1024
    row("Window", "peak resident memory after reading settings, 3000 numbers, 1000 events (VmHWM)",
        "%.1f MB" % mb, "≤ 80 MB", mb <= 80)
    reads = w["window_reads"]
    row("Window", "unpaced reads through the window (settings / numbers / history)",
        "%.3f s / %.3f s / %.3f s" % (reads["settings read_s"], reads["number list read_s"], reads["history read_s"]))
    return


# ---- torvane, the command-line tool ----

def start_device(build, *args):
    """A virtual device on a pseudo-terminal: (process, port)."""
    p = subprocess.Popen([os.path.join(build, "device", "torvane-device")] + list(args), stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True)
    return p, p.stdout.readline().strip()


def stop_devices(devices):
    for p, _ in devices:
        p.terminate()
    for p, _ in devices:
        try:
            p.wait(timeout=5)
        except subprocess.TimeoutExpired:
            p.kill()


def timed_cli(build, args):
    """Runs torvane; (exit status, elapsed s, CPU s of torvane itself)."""
    started = time.monotonic()
    p = subprocess.Popen([os.path.join(build, "cli", "torvane"), "--quiet"] + args, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    _, status, usage = os.wait4(p.pid, 0)
    elapsed = time.monotonic() - started
    err = p.stderr.read()
    p.stderr.close()
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        problems.append("torvane %s exited with %d: %s" % (" ".join(args[:3]), code, err.strip()[-400:]))
    return code, elapsed, usage.ru_utime + usage.ru_stime


def cli_rows(build, scratch, paced):
    program = os.path.join(build, "cli", "torvane")
    if not os.path.exists(program):
        row("torvane", "command-line tool", "not built", "", False)
        return
    backups = os.path.join(scratch, "backups")
    settings, numbers = os.path.join(scratch, "settings.json"), os.path.join(scratch, "numbers.json")
    source = [start_device(build, "--populate", "numbers=3000,history=1000")]
    try:
        port = source[0][1]
        timed_cli(build, ["-p", port, "--backup-dir", backups, "read", "settings", "-o", settings])
        runs = [timed_cli(build, ["-p", port, "--backup-dir", backups, "read", "numbers", "-o", numbers])
                for _ in range(3)]
    finally:
        stop_devices(source)
    med = sorted(runs, key=lambda r: r[1])[1]
    row("torvane", "read numbers -o x.json, 3000 numbers, unpaced device (median of 3; elapsed, CPU)",
        "%.3f s, CPU %.3f s" % (med[1], med[2]), "≤ 0.3 s", med[0] == 0 and med[1] <= 0.3)
    if not paced:
        return
    results = {}
    for count in (1, 8):
        devices = [start_device(build, "--baud", "115200") for _ in range(count)]
        try:
            args = ["--backup-dir", backups, "provision", "--settings", settings, "--numbers", numbers]
            for _, port in devices:
                args += ["-p", port]
            results[count] = timed_cli(build, args)
        finally:
            stop_devices(devices)
    one, eight = results[1], results[8]
    row("torvane", "provision settings + 3000 numbers onto a factory-fresh device at 115200 baud "
        "(backup, changed pages, verify)", "%.3f s" % one[1])
    ratio = eight[1] / one[1]
    row("torvane", "provision onto 8 such devices at once (elapsed / one device)",
        "%.3f s / %.3f s = %.3f ×" % (eight[1], one[1], ratio), "≤ 1.10 ×", eight[0] == 0 and ratio <= 1.10)
    share = eight[2] / eight[1] * 100
    row("torvane", "CPU of that whole run / its elapsed time", "%.2f s / %.1f s = %.2f %%" % (eight[2], eight[1], share),
        "≤ 5 %", share <= 5)


# ---- torvane.exe under wine ----

WIRE_FLOOR_NUMBERS = 375 * (9 + 265) * 10 / 115200  # the number list's requests and replies at 115200 baud


def wine_cli(windows, coms, args):
    """Runs torvane.exe under wine with each pseudo-terminal as a COM port: (exit status, elapsed s)."""
    prefix = os.path.join(windows, "wine")
    links = []
    for i, port in enumerate(coms):
        link = os.path.join(prefix, "dosdevices", "com%d" % (60 + i))
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(port, link)
        links.append(link)
    mapping = {port: "COM%d" % (60 + i) for i, port in enumerate(coms)}
    named = [mapping.get(a, a) for a in args]
    # What it says goes to a file: wine has been seen to take seconds longer over a pipe.
    with tempfile.TemporaryFile(mode="w+") as err:
        try:
            started = time.monotonic()
            p = subprocess.run([os.path.join(HERE, "..", "scripts", "wine-run"), "--prefix", prefix, "--",
                                os.path.join(windows, "cli", "torvane.exe"), "--quiet"] + named,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err, timeout=600)
            elapsed = time.monotonic() - started
        finally:
            for link in links:
                os.remove(link)
        if p.returncode != 0:
            err.seek(0)
            problems.append("torvane.exe %s exited with %d: %s" % (" ".join(args[:3]), p.returncode, err.read().strip()[-400:]))
    return p.returncode, elapsed


def wine_window(windows, coms, args):
    """Runs the window's bench program under wine on Qt's minimal platform: its JSON lines."""
    prefix = os.path.join(windows, "wine")
    qt = os.path.join(HERE, "..", "..", "shared", "windows", "qt6-mingw-6.4.2", "bin")
    runtime = os.path.dirname(subprocess.run(["x86_64-w64-mingw32-g++-posix", "-print-file-name=libstdc++-6.dll"],
                                             capture_output=True, text=True).stdout.strip())
    links = []
    for i, port in enumerate(coms):
        link = os.path.join(prefix, "dosdevices", "com%d" % (70 + i))
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(port, link)
        links.append(link)
    named = [{port: "COM%d" % (70 + i) for i, port in enumerate(coms)}.get(a, a) for a in args]
    with tempfile.TemporaryFile(mode="w+") as out:
        try:
            p = subprocess.run([os.path.join(HERE, "..", "scripts", "wine-run"), "--prefix", prefix, "--dlls",
                                "/usr/x86_64-w64-mingw32/lib:%s:%s" % (runtime, os.path.abspath(qt)), "--text", "--",
                                os.path.join(windows, "bench", "torvane-bench-window.exe")] + named +
                               ["-platform", "minimal:enable_fonts"],
                               stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL, timeout=300)
        finally:
            for link in links:
                os.remove(link)
        out.seek(0)
        text = out.read()
    if p.returncode != 0:
        problems.append("torvane-bench-window.exe exited with %d: %s" % (p.returncode, text.strip()[-400:]))
    return json_lines(text)


def wine_window_rows(build, windows):
    if not os.path.exists(os.path.join(windows, "bench", "torvane-bench-window.exe")):
        row("window.exe", "under wine", "not built (scripts/build-windows with Qt)", "", False)
        return
    wine_window(windows, [], [])  # wine's first start of Qt's DLLs is not what is measured
    starts = [j["startup_ms"] for _ in range(5) for j in wine_window(windows, [], []) if "startup_ms" in j]
    if starts:
        row("window.exe", "under wine: process start to the end of the first paint (median of 5)",
            "%.0f ms" % statistics.median(starts))
    device = [start_device(build, "--populate", "numbers=3000", "--baud", "115200")]
    try:
        port = device[0][1]
        reads = [j for _ in range(3) for j in wine_window(windows, [port], ["--port", port]) if "number_list_read_s" in j]
    finally:
        stop_devices(device)
    if reads:
        seconds = statistics.median(j["number_list_read_s"] for j in reads)
        ratio = seconds / WIRE_FLOOR_NUMBERS
        ok = all(j["ok"] and j["numbers"] == 3000 for j in reads)
        row("window.exe", "under wine: number list read through the window, device at 115200 baud (median of 3): "
            "elapsed / wire floor", "%.3f s / %.2f s = %.3f ×" % (seconds, WIRE_FLOOR_NUMBERS, ratio), "≤ 1.05 ×",
            ok and ratio <= 1.05)


def wine_rows(build, windows, scratch):
    if not os.path.exists(os.path.join(windows, "cli", "torvane.exe")):
        row("torvane.exe", "under wine", "not built (scripts/build-windows)", "", False)
        return
    backups = os.path.join(scratch, "wine-backups")
    # Wine's first start in a prefix is slow; it is not what is measured.
    wine_cli(windows, [], ["--version"])
    source = [start_device(build, "--populate", "numbers=3000,history=1000", "--baud", "115200")]
    try:
        port = source[0][1]
        settings, numbers = os.path.join(scratch, "wine-settings.json"), os.path.join(scratch, "wine-numbers.json")
        wine_cli(windows, [port], ["-p", port, "--backup-dir", backups, "read", "settings", "-o", settings])
        runs = [wine_cli(windows, [port], ["-p", port, "--backup-dir", backups, "read", "numbers", "-o", numbers])
                for _ in range(4)][1:]  # the first warms wine up
    finally:
        stop_devices(source)
    med = sorted(runs, key=lambda r: r[1])[1]
    ratio = med[1] / WIRE_FLOOR_NUMBERS
    row("torvane.exe", "under wine: read numbers -o x.json, 3000 numbers, device at 115200 baud "
        "(median of 3): elapsed / wire floor", "%.3f s / %.2f s = %.3f ×" % (med[1], WIRE_FLOOR_NUMBERS, ratio),
        "≤ 1.05 ×", med[0] == 0 and ratio <= 1.05)
    wine_window_rows(build, windows)
    results = {}
    for count in (1, 4):
        devices = [start_device(build, "--baud", "115200") for _ in range(count)]
        try:
            args = ["--backup-dir", backups, "provision", "--settings", settings, "--numbers", numbers]
            for _, port in devices:
                args += ["-p", port]
            results[count] = wine_cli(windows, [port for _, port in devices], args)
        finally:
            stop_devices(devices)
    one, four = results[1], results[4]
    row("torvane.exe", "under wine: provision settings + 3000 numbers onto a factory-fresh device at 115200 baud",
        "%.3f s" % one[1])
    ratio = four[1] / one[1]
    row("torvane.exe", "under wine: the same onto 4 devices at once (elapsed / one device)",
        "%.3f s / %.3f s = %.3f ×" % (four[1], one[1], ratio), "≤ 1.10 ×", four[0] == 0 and ratio <= 1.10)


def print_table():
    print()
    print("| Group | Figure | Measured | Target | Met |")
    print("|---|---|---|---|---|")
    for g, f, m, t, v in rows:
        print("| %s | %s | %s | %s | %s |" % (g, f, m, t, v))
    print()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--windows")
    parser.add_argument("--windows-only", action="store_true")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    started = time.monotonic()
    print("Machine: " + machine())
    with tempfile.TemporaryDirectory(prefix="torvane-bench-") as scratch:
        if args.windows:
            print("torvane.exe under wine, at 115200 baud (about 70 s) ...", flush=True)
            wine_rows(build, os.path.abspath(args.windows), scratch)
        if args.windows_only:
            return finish(started)
        print("core benchmarks ...", flush=True)
        results = core(build, scratch)
        if not args.quick:
            print("paced transfers (about 40 s) ...", flush=True)
            paced, _ = e2e(build, 115200)
            paced_rows(paced)
        print("unpaced transfers ...", flush=True)
        unpaced, headless_peak = e2e(build, 0)
        unpaced_rows(unpaced)
        if headless_peak:
            row("Unpaced", "peak resident memory of the window-less program after reading everything",
                "%.1f MB" % (headless_peak / 1024))
        print("spreadsheet files and openpyxl ...", flush=True)
        files_rows(results, build, scratch)
        print("window ...", flush=True)
        window_rows(build)
        print("torvane%s ..." % ("" if args.quick else ", provision at 115200 baud (about 60 s)"), flush=True)
        cli_rows(build, scratch, not args.quick)
        core_rows(results)
    return finish(started)


def finish(started):
    print_table()
    print("Machine: " + machine())
    print("Took %.0f s." % (time.monotonic() - started))
    if problems:
        print("\nProblems:")
        for p in problems:
            print("  " + p)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
