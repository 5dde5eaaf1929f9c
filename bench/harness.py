#!/usr/bin/env python3
"""Runs every benchmark figure side by side and prints the table of medians, spreads, ratios and targets.

Called by bench/run.sh, which builds the programs and makes the inputs first. Each round runs every
measurement once, the order rotated from round to round, so that a machine busy with other work slows
all of them alike and the ratios taken from one run stay fair.

    harness.py --build DIR --data DIR --selective Q --broad Q --nothing Q [--rounds N]
               [--find-db-output FILE] [--markdown FILE]
"""

import argparse
import os
import platform
import re
import statistics
import subprocess
import sys
import threading
import time

SCRIPT_TIME = re.compile(r"^script-time (\d+) ([0-9.]+) ([0-9.]+) (.*)$")
SCRIPT_STALL = re.compile(r"^script-stall (\d+) ([0-9.]+)$", re.M)
# The final status text in any language ("Scaned: %i, results: %i" in English): the two counts.
STATUS = re.compile(r"^\D*(\d+)\D+(\d+)\s*$")


class Sample:
    def __init__(self, seconds, cpu_seconds, rss_kib, stdout, stderr, code):
        self.seconds = seconds
        self.cpu_seconds = cpu_seconds
        self.rss_kib = rss_kib
        self.stdout = stdout
        self.stderr = stderr
        self.code = code


def run_process(command, env=None, discard_output=False):
    """Runs a command (a list, or a string for the shell) with its output read through pipes.

    Returns the wall time from just before the process is made until it has been reaped, the processor
    time it and the children it waited for used, its own peak resident memory, and what it printed.
    With discard_output its standard output goes to /dev/null itself, as a shell's "> /dev/null" would.
    """
    shell = isinstance(command, str)
    started = time.monotonic()
    output = subprocess.DEVNULL if discard_output else subprocess.PIPE
    process = subprocess.Popen(command, shell=shell, stdout=output, stderr=subprocess.PIPE,
                               env=env, executable="/bin/bash" if shell else None)
    outputs = {}

    def drain(name, stream):
        outputs[name] = stream.read()

    outputs["out"] = b""
    readers = [threading.Thread(target=drain, args=("err", process.stderr))]
    if not discard_output:
        readers.append(threading.Thread(target=drain, args=("out", process.stdout)))
    for reader in readers:
        reader.start()
    _, status, usage = os.wait4(process.pid, 0)
    ended = time.monotonic()
    for reader in readers:
        reader.join()
    process.returncode = os.waitstatus_to_exitcode(status)
    if not discard_output:
        process.stdout.close()
    process.stderr.close()
    return started, Sample(ended - started, usage.ru_utime + usage.ru_stime, usage.ru_maxrss, outputs["out"].decode("utf-8", "replace"),
                           outputs["err"].decode("utf-8", "replace"), process.returncode)


def script_times(stderr):
    """The script's command times: a list of (line, start, end, command)."""
    times = []
    for line in stderr.splitlines():
        match = SCRIPT_TIME.match(line)
        if match:
            times.append((int(match.group(1)), float(match.group(2)), float(match.group(3)), match.group(4)))
    return times


def command_time(times, word, occurrence=1):
    for line, start, end, command in times:
        if command.startswith(word):
            occurrence -= 1
            if occurrence == 0:
                return start, end
    raise RuntimeError("no script time for '%s'" % word)


class Measurement:
    """One command, run once per round; value() turns a finished run into the seconds it stands for."""

    def __init__(self, key, what, command, kind="wall", env=None, check=None, discard_output=False):
        self.key = key
        self.what = what
        self.command = command
        self.kind = kind
        self.env = env
        self.check = check
        self.discard_output = discard_output
        self.samples = []
        self.last_results = 0
        self.rss = []
        self.cpu = []
        self.firsts = []
        self.stalls = []
        self.last = None

    def run(self):
        started, sample = run_process(self.command, self.env, self.discard_output)
        if sample.code != 0:
            raise RuntimeError("%s failed (%d):\n%s\n%s" % (self.key, sample.code, sample.stdout[-2000:],
                                                           sample.stderr[-2000:]))
        if self.kind == "wall":
            seconds = sample.seconds
        elif self.kind == "search":
            # From the Start click to the end of the wait for the worker, which ends after the final
            # status text is set.
            times = script_times(sample.stderr)
            seconds = command_time(times, "wait")[1] - command_time(times, "click")[0]
        elif self.kind == "second-search":
            # Two searches in one run: the second Start's time, and the first one's beside it.
            times = script_times(sample.stderr)
            seconds = command_time(times, "wait", 2)[1] - command_time(times, "click", 2)[0]
            self.firsts.append(command_time(times, "wait")[1] - command_time(times, "click")[0])
        elif self.kind == "sort":
            times = script_times(sample.stderr)
            start, end = command_time(times, "header")
            seconds = end - start
            # The window thread's longest gap between the ticks of its timer while the header command ran.
            line = [entry[0] for entry in times if entry[3].startswith("header")][0]
            self.stalls.extend(float(stall) for number, stall in SCRIPT_STALL.findall(sample.stderr)
                               if int(number) == line)
        elif self.kind == "startup":
            # From just before the process was made to the first script command, which runs once the
            # main window with its pages is shown and every event before it has been served.
            times = script_times(sample.stderr)
            seconds = times[0][1] - started
        elif self.kind == "printed":
            seconds = float(re.search(r"sort-seconds ([0-9.]+)", sample.stdout).group(1))
        else:
            raise RuntimeError("unknown kind " + self.kind)
        peak = re.search(r"^peak-rss-kib (\d+)$", sample.stderr, re.M)
        if peak:
            sample.rss_kib = int(peak.group(1))
        if self.check:
            self.check(self, sample)
        self.samples.append(seconds)
        self.rss.append(sample.rss_kib)
        self.cpu.append(sample.cpu_seconds)
        self.last = sample

    def median(self):
        return statistics.median(self.samples)


def results_of_find(sample):
    match = re.search(r"scanned (\d+), results (\d+)", sample.stderr)
    return int(match.group(2)) if match else -1


def results_of_search(sample):
    lines = sample.stdout.strip().splitlines()
    match = STATUS.match(lines[-1]) if lines else None
    return (int(match.group(1)), int(match.group(2))) if match else (-1, -1)


def write_script(path, lines):
    with open(path, "w", encoding="utf-8") as script:
        script.write("\n".join(lines) + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--find-db-output", default="", help="what bench/find_db.sh printed")
    parser.add_argument("--markdown", default="")
    parser.add_argument("--selective", required=True)
    parser.add_argument("--broad", required=True)
    parser.add_argument("--nothing", required=True)
    parser.add_argument("--cores-only", action="store_true",
                        help="only the rows of reading on every core and the second search from memory")
    options = parser.parse_args()

    build, data = options.build, options.data
    device = os.path.join(data, "device")
    zdb = os.path.join(device, "Databases", "directory.zdb")
    one_member = os.path.join(data, "directory-one-member.zdb")
    gzip_zdb = os.path.join(data, "directory-gzip.zdb")
    db = os.path.join(device, "Databases", "directory.db")
    csv_gz = os.path.join(data, "directory.csv.gz")
    sqlite = os.path.join(data, "directory.sqlite")
    find = os.path.join(build, "dialdex-find")
    dialdex = os.path.join(build, "dialdex")
    selective, broad, nothing = options.selective, options.broad, options.nothing
    # The CSV has the name right after the phone number: a name prefix is ",NAME" there.
    csv_pattern = "," + selective

    scripts = os.path.join(data, "scripts")
    os.makedirs(scripts, exist_ok=True)

    def search_script(name, query, extra=(), edit="SearchWnd/1102"):
        path = os.path.join(scripts, name)
        write_script(path, ["choose SearchWnd/1100 0", "type %s %s" % (edit, query), "click SearchWnd/1107",
                            "wait", "print ResultWnd/1202"] + list(extra))
        # The status text is printed last, after the extra commands' own output (they print nothing).
        return path

    script_selective = search_script("selective.script", selective)
    script_broad = search_script("broad.script", broad)
    script_nothing = search_script("nothing.script", nothing)
    # Every subscriber matches the phone pattern "?": a million rows, then the name heading clicked.
    script_sort = search_script("sort.script", "?", ["header ResultWnd/1201 1"], edit="SearchWnd/1101")
    # The same on the 5,000,000-subscriber directory opened for the run (chosen without a choose command).
    script_sort_big = os.path.join(scripts, "sort-5m.script")
    write_script(script_sort_big, ["type SearchWnd/1101 ?", "click SearchWnd/1107", "wait", "print ResultWnd/1202",
                                   "header ResultWnd/1201 1"])
    sort_db = os.path.join(data, "sort-5m.db")
    # The same search twice on a .zdb opened for the run (chosen without a choose command).
    script_twice = os.path.join(scripts, "twice.script")
    write_script(script_twice, ["type SearchWnd/1102 %s" % selective, "click SearchWnd/1107", "wait", "tab 0",
                                "click SearchWnd/1107", "wait", "print ResultWnd/1202"])
    script_startup = os.path.join(scripts, "startup.script")
    write_script(script_startup, ["# shown"])

    script_env = dict(os.environ, DIALDEX_SCRIPT_TIMES="1")
    script_env.pop("DISPLAY", None)
    script_env.pop("WAYLAND_DISPLAY", None)

    expected = {}

    def expect_find(key):
        def check(measurement, sample):
            expected[key] = results_of_find(sample)
        return check

    def expect_search(key):
        def check(measurement, sample):
            scanned, results = results_of_search(sample)
            if key in expected and results != expected[key]:
                raise RuntimeError("%s: the window search found %d rows, dialdex-find %d" %
                                   (measurement.key, results, expected[key]))
            if scanned <= 0:
                raise RuntimeError("%s: no final status text in:\n%s" % (measurement.key, sample.stdout[-500:]))
            if key == "all" and results != scanned:
                raise RuntimeError("%s: %d rows of %d subscribers" % (measurement.key, results, scanned))
            measurement.last_results = results
        return check

    def window(script):
        return [dialdex, "--device", device, "--script", script]

    def window_measuring_memory(script):
        return [os.path.join(build, "bench-peak-memory")] + window(script)

    measurements = [
        Measurement("inflate", "zlib alone: gzread 256 KiB, gzbuffer 1 MiB, whole .zdb",
                    [os.path.join(build, "bench-zlib-inflate"), zdb]),
        Measurement("inflate-isal", "ISA-L alone: isal_inflate into 256 KiB, read() 1 MiB, whole .zdb",
                    [os.path.join(build, "bench-isal-inflate"), zdb]),
        Measurement("inflate-blocks", "zlib: one gzread per record block (.zdb)",
                    [os.path.join(build, "bench-zlib-inflate"), zdb, "--blocks"]),
        Measurement("read-blocks", "one read() per record block (.db)",
                    [os.path.join(build, "bench-plain-read"), db, "--blocks"]),
        Measurement("read-64k", ".db through a 64 KiB buffer", [os.path.join(build, "bench-plain-read"), db]),
        # cat reads the whole file whatever its output is; /dev/null is opened for it without a shell.
        Measurement("cat", "`cat FILE.db > /dev/null`", ["cat", db], discard_output=True),
        Measurement("zcat-grep", "`zcat FILE.csv.gz | grep -c` (selective)",
                    "zcat '%s' | grep -c -F -- '%s' | cat" % (csv_gz, csv_pattern)),
        Measurement("rg", "`rg -z -c` on FILE.csv.gz (selective)",
                    "rg -z -c -F -- '%s' '%s' | cat" % (csv_pattern, csv_gz)),
        Measurement("sqlite", "sqlite3 full-scan LIKE, loaded table (selective)",
                    ["sqlite3", sqlite, "SELECT * FROM subscribers WHERE name LIKE '%s%%';" % selective]),
        Measurement("walk-zdb", "record stream walk alone, .zdb", [os.path.join(build, "bench-walk-records"), zdb]),
        Measurement("walk-db", "record stream walk alone, .db", [os.path.join(build, "bench-walk-records"), db]),
        Measurement("find-zdb", "`dialdex-find` .zdb, selective", [find, zdb, "--name", selective],
                    check=expect_find("selective")),
        Measurement("find-db", "`dialdex-find` .db, selective", [find, db, "--name", selective]),
        Measurement("window-selective", "window search .zdb, selective (Start → final status)",
                    window(script_selective), kind="search", env=script_env, check=expect_search("selective")),
        Measurement("find-zdb-broad", "`dialdex-find` .zdb, broad, rows to a pipe",
                    [find, zdb, "--name", broad], check=expect_find("broad")),
        Measurement("find-zdb-broad-csv", "`dialdex-find --format csv` .zdb, broad, rows to a pipe",
                    [find, zdb, "--name", broad, "--format", "csv"]),
        Measurement("find-zdb-broad-json", "`dialdex-find --format json` .zdb, broad, rows to a pipe",
                    [find, zdb, "--name", broad, "--format", "json"]),
        Measurement("window-broad", "window search .zdb, broad (Start → final status)",
                    window_measuring_memory(script_broad), kind="search", env=script_env,
                    check=expect_search("broad")),
        Measurement("window-nothing", "window search .zdb, no match (for memory)",
                    window_measuring_memory(script_nothing), kind="search", env=script_env,
                    check=expect_search("nothing")),
        Measurement("startup", "start-up to the main window shown, ten databases installed",
                    window(script_startup), kind="startup", env=script_env),
        Measurement("igzip", "`igzip -dc` of the .zdb to /dev/null", ["igzip", "-dc", zdb], discard_output=True),
        Measurement("igzip-gzip", "`igzip -dc` of the .zdb from gzip (one member) to /dev/null",
                    ["igzip", "-dc", gzip_zdb], discard_output=True),
        Measurement("find-gzip", "`dialdex-find` on the .zdb from gzip (one member), selective",
                    [find, gzip_zdb, "--name", selective], check=expect_find("selective")),
        # Peak memory through bench-peak-memory: a forked harness's own size would hide a small program's.
        Measurement("find-zdb-memory", "`dialdex-find` .zdb, selective (for memory)",
                    [os.path.join(build, "bench-peak-memory"), find, zdb, "--name", selective]),
        Measurement("find-one-member", "`dialdex-find` on the .zdb of `--members off`, selective (for memory)",
                    [os.path.join(build, "bench-peak-memory"), find, one_member, "--name", selective]),
        Measurement("find-4", "`dialdex-find` on 4 files at once (the .zdb from gzip, 4 times), selective",
                    [find, gzip_zdb, gzip_zdb, gzip_zdb, gzip_zdb, "--name", selective]),
        Measurement("find-4-serial", "`dialdex-find` on the same 4 files one after another (a shell loop)",
                    "for n in 1 2 3 4; do '%s' '%s' --name '%s'; done | cat" % (find, gzip_zdb, selective)),
        Measurement("window-twice", "window search on the .zdb from gzip, second Start (first beside it)",
                    window(script_twice) + [gzip_zdb], kind="second-search", env=script_env,
                    check=expect_search("selective")),
        Measurement("sort", "sorting 100,000 rows by name with `CompareRows`",
                    [os.path.join(build, "bench-sort-rows"), db, "100000"], kind="printed"),
        Measurement("sort-window", "sorting %s rows by name through the list (name heading clicked after a "
                    "search matching every subscriber)" % format(1000000, ","),
                    window(script_sort), kind="sort", env=script_env, check=expect_search("all")),
        Measurement("sort-window-5m", "sorting %s rows by name through the list (the same, on a %s-subscriber "
                    "directory)" % (format(5000000, ","), format(5000000, ",")),
                    window(script_sort_big) + [sort_db], kind="sort", env=script_env, check=expect_search("all")),
    ]

    # The run order keeps the two sides of each ratio next to each other, so that they meet the same load.
    # Each command runs once a round: a ratio pairs the two sides' samples round by round, so a command
    # listed twice would pair one round's run with another's.
    run_order = ["inflate", "find-zdb", "igzip", "window-selective", "inflate-isal", "walk-zdb", "zcat-grep", "rg",
                 "cat", "find-db", "walk-db", "read-64k", "sqlite", "find-zdb-broad", "find-zdb-broad-csv",
                 "find-zdb-broad-json", "window-broad", "window-nothing", "startup",
                 "sort", "sort-window", "sort-window-5m", "inflate-blocks", "read-blocks", "igzip-gzip",
                 "find-gzip", "find-zdb-memory", "find-one-member", "find-4", "find-4-serial", "window-twice"]
    cores_keys = ["window-selective", "find-zdb", "igzip", "igzip-gzip", "find-gzip", "find-zdb-memory",
                  "find-one-member", "find-4", "find-4-serial", "window-twice"]
    for keys in (run_order, cores_keys):
        if len(set(keys)) != len(keys):
            raise RuntimeError("a command listed twice in a round: %s" % keys)
    if options.cores_only:
        run_order = cores_keys
    by_key = {measurement.key: measurement for measurement in measurements}
    ordered = [by_key[key] for key in run_order]

    load_before = os.getloadavg()
    print("rounds: %d, measurements: %d, load average before: %.2f %.2f %.2f" %
          ((options.rounds, len(ordered)) + load_before), flush=True)
    # One round first, not counted, so that every file is in the page cache and every program loaded once.
    for measurement in ordered:
        measurement.run()
    for measurement in ordered:
        measurement.samples.clear()
        measurement.rss.clear()
        measurement.cpu.clear()
        measurement.firsts.clear()
        measurement.stalls.clear()
    for round_index in range(options.rounds):
        shift = round_index * 3 % len(ordered)
        for measurement in ordered[shift:] + ordered[:shift]:
            measurement.run()
        print("round %d of %d done" % (round_index + 1, options.rounds), flush=True)
    load_after = os.getloadavg()

    def median(key):
        return by_key[key].median()

    def paired(numerator, denominator):
        """The median of the per-round ratios: each round's two runs met the same load."""
        return statistics.median(a / b for a, b in zip(by_key[numerator].samples, by_key[denominator].samples))

    def spread(key):
        samples = by_key[key].samples
        return "%.3f–%.3f" % (min(samples), max(samples))

    db_bytes = os.path.getsize(db)
    zdb_bytes = os.path.getsize(zdb)
    broad_rows = expected.get("broad", 0)
    selective_rows = expected.get("selective", 0)
    if not options.cores_only:
        rss_broad = statistics.median(by_key["window-broad"].rss)
        rss_nothing = statistics.median(by_key["window-nothing"].rss)
        bytes_per_row = (rss_broad - rss_nothing) * 1024.0 / broad_rows if broad_rows else float("nan")

    rows = []

    def row(key, ratio="", target="", holds=""):
        cpu = statistics.median(by_key[key].cpu)
        rows.append((by_key[key].what, "%.3f" % median(key), spread(key), "%.3f" % cpu, ratio, target, holds))

    def yes(condition):
        return "yes" if condition else "**no**"

    def times(value):
        return "%.2f×" % value

    if not options.cores_only:
        row("inflate", "anchor")
        row("inflate-isal", times(paired("inflate-isal", "inflate")) + " of zlib alone; anchor")
        row("inflate-blocks", times(paired("inflate-blocks", "inflate")) + " of zlib alone")
        row("read-blocks", times(paired("read-blocks", "read-64k")) + " of the 64 KiB buffer")
        row("read-64k", "anchor")
        row("cat", "anchor")
        ratio = paired("find-zdb", "inflate")
        row("find-zdb", times(ratio) + " of zlib alone", "≤ 0.45×", yes(ratio <= 0.45))
        ratio = paired("find-zdb", "inflate-isal")
        row("find-zdb", times(ratio) + " of ISA-L alone", "≤ 1.15×", yes(ratio <= 1.15))
        ratio = paired("zcat-grep", "find-zdb")
        row("zcat-grep", times(ratio) + " the time of dialdex-find .zdb", "≥ 6×", yes(ratio >= 6))
        ratio = paired("rg", "find-zdb")
        row("rg", times(ratio) + " the time of dialdex-find .zdb", "≥ 6×", yes(ratio >= 6))
        ratio = paired("find-db", "cat")
        row("find-db", times(ratio) + " of `cat`", "≤ 1.3×", yes(ratio <= 1.3))
        rate = db_bytes / median("find-db") / 1e9
        row("find-db", "%.2f GB/s of database bytes" % rate, "≥ 1 GB/s", yes(rate >= 1))
        ratio = paired("sqlite", "find-db")
        row("sqlite", times(ratio) + " the time of dialdex-find .db", "≥ 2×", yes(ratio >= 2))
        ratio = paired("walk-zdb", "inflate-isal")
        rate = records_of(by_key["walk-zdb"]) / median("walk-zdb") / 1e6
        row("walk-zdb", times(ratio) + " of ISA-L alone; %.1f M records/s" % rate, "≤ 1.15×", yes(ratio <= 1.15))
        ratio = paired("walk-zdb", "walk-db")
        row("walk-db", "%.1f× faster than the .zdb walk; %.1f M records/s" %
            (ratio, records_of(by_key["walk-db"]) / median("walk-db") / 1e6), "≥ 5×", yes(ratio >= 5))
        ratio = paired("window-selective", "find-zdb")
        row("window-selective", times(ratio) + " of dialdex-find .zdb", "≤ 1.15×", yes(ratio <= 1.15))
        row("find-zdb-broad", "anchor")
        for key in ("find-zdb-broad-csv", "find-zdb-broad-json"):
            ratio = paired(key, "find-zdb-broad")
            row(key, times(ratio) + " of the plain rows", "≤ 1.3×", yes(ratio <= 1.3))
        ratio = paired("window-broad", "find-zdb-broad")
        row("window-broad", times(ratio) + " of dialdex-find to a pipe", "≤ 1.5×", yes(ratio <= 1.5))
        row("window-nothing", times(paired("window-nothing", "find-zdb")) + " of dialdex-find .zdb, selective")
        row("startup", "", "≤ 0.3 s", yes(median("startup") <= 0.3))
        row("sort", "", "≤ 1 s", yes(median("sort") <= 1))
        def stalls(key):
            samples = by_key[key].stalls
            return "longest window-thread stall %.0f ms (median; at most %.0f ms)" % (
                1000 * statistics.median(samples), 1000 * max(samples)) if samples else "no stall measured"
        row("sort-window", "%s rows; %s" % (format(by_key["sort-window"].last_results, ","), stalls("sort-window")),
            "≤ 1.5 s", yes(median("sort-window") <= 1.5))
        row("sort-window-5m", "%s rows; %s" % (format(by_key["sort-window-5m"].last_results, ","),
                                                 stalls("sort-window-5m")),
            "≤ 2.5 s", yes(median("sort-window-5m") <= 2.5))
        rows.extend(find_db_rows(options.find_db_output))
    ratio = paired("find-zdb", "igzip")
    row("find-zdb", times(ratio) + " of `igzip -dc` of the same file", "≤ 0.60×", yes(ratio <= 0.60))
    row("igzip", "anchor")
    ratio = paired("find-gzip", "igzip-gzip")
    row("find-gzip", times(ratio) + " of `igzip -dc` of the same file", "≤ 1.05×", yes(ratio <= 1.05))
    row("igzip-gzip", "anchor")
    size_ratio = zdb_bytes / os.path.getsize(one_member)
    rows.append(("size of the .zdb in members against `--members off`", "%d bytes" % zdb_bytes,
                 "%d bytes in one member" % os.path.getsize(one_member), "", times(size_ratio), "≤ 1.03×",
                 yes(size_ratio <= 1.03)))
    second = by_key["window-twice"]
    ratio = statistics.median(s / f for s, f in zip(second.samples, second.firsts))
    rows.append(("window search on the .zdb from gzip, second Start on the same file (from memory)",
                 "%.3f" % second.median(), spread("window-twice"), "",
                 times(ratio) + " of the first Start (median %.3f s)" % statistics.median(second.firsts),
                 "≤ 0.40×", yes(ratio <= 0.40)))
    ratio = paired("find-4", "find-4-serial")
    row("find-4", times(ratio) + " of the 4 one after another", "≤ 0.60×", yes(ratio <= 0.60))
    row("find-4-serial", "anchor")
    if options.cores_only:
        ratio = paired("window-selective", "find-zdb")
        row("window-selective", times(ratio) + " of dialdex-find .zdb", "≤ 1.15×", yes(ratio <= 1.15))
    rss_members = statistics.median(by_key["find-zdb-memory"].rss)
    rss_one = statistics.median(by_key["find-one-member"].rss)
    memory_ratio = rss_members / rss_one
    rows.append(("peak memory of `dialdex-find` on the .zdb in members against one member",
                 "%.1f MiB" % (rss_members / 1024.0), "%.1f MiB on one member" % (rss_one / 1024.0), "",
                 times(memory_ratio), "≤ 1.5× and ≤ 64 MiB",
                 yes(memory_ratio <= 1.5 and rss_members <= 64 * 1024)))

    if not options.cores_only:
        rows.append(("memory per result row: peak RSS of the broad search less the no-match search, per row",
                     "%.0f bytes" % bytes_per_row, "%.1f MiB − %.1f MiB over %d rows" %
                     (rss_broad / 1024.0, rss_nothing / 1024.0, broad_rows), "", "", "≤ 160 bytes",
                     yes(bytes_per_row <= 160)))

    lines = []
    lines.append("| what | median s | spread (min–max) s | CPU s | ratio | target | holds |")
    lines.append("|---|---:|---|---:|---|---|---|")
    for entry in rows:
        # A bar inside a cell (a shell pipeline) would split it.
        lines.append("| %s | %s | %s | %s | %s | %s | %s |" % tuple(cell.replace("|", "\\|") for cell in entry))
    table = "\n".join(lines)

    machine = describe_machine()
    try:
        source = subprocess.run(["git", "-C", os.path.dirname(os.path.abspath(__file__)), "describe", "--always",
                                 "--dirty"], capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        source = "unknown"
    notes = [
        "Inputs: %s subscribers; .zdb %.1f MB, .db %.1f MB (%d bytes), CSV.gz %.1f MB." %
        ("1,000,000" if options.cores_only else format(records_of(by_key["walk-db"]), ","), zdb_bytes / 1e6, db_bytes / 1e6, db_bytes,
         os.path.getsize(csv_gz) / 1e6),
        "Queries: selective name prefix '%s' (%d rows), broad '%s' (%d rows), no-match '%s'." %
        (selective, selective_rows, broad, broad_rows, nothing),
        "Rounds: %d, each running every command once in rotated order, after one uncounted warm-up round. "
        "A ratio is the median of the per-round ratios (the two sides run next to each other in every round); "
        "CPU s is the median processor time (user + system) of the command and its children, start-up "
        "included; the window searches are timed inside the script run, from the Start click to the end of "
        "the wait for the worker, which ends after the final status text is set." % options.rounds,
        "Machine: %s. Load average before %.2f, after %.2f (1 min). Source: %s, run %s UTC." %
        (machine, load_before[0], load_after[0], source, time.strftime("%Y-%m-%d %H:%M", time.gmtime())),
    ]
    # Every row with a target once more, in words, so that a run's outcome reads at a glance.
    verdicts = ["%s: %s (%s, target %s)" % ("holds" if entry[6] == "yes" else "DOES NOT HOLD", entry[0],
                                            entry[4] or entry[1], entry[5]) for entry in rows if entry[5]]
    output = (table + "\n\n" + "\n".join("- " + note for note in notes) + "\n\nTargets:\n" +
              "\n".join("- " + verdict for verdict in verdicts) + "\n")
    print()
    print(output)
    if options.markdown:
        with open(options.markdown, "w", encoding="utf-8") as markdown:
            markdown.write(output)
    return 0


def find_db_rows(path):
    """The rows of Find DB against find(1), from what bench/find_db.sh printed (its own interleaved run)."""
    if not path or not os.path.exists(path):
        return [("Find DB over 50,000 files in 5,000 folders", "—", "—", "—", "—", "≤ 2× `find`",
                 "not measured (bench/find_db.sh missing)")]
    with open(path, encoding="utf-8") as output:
        text = output.read()

    def times_of(label):
        match = re.search(r"^" + re.escape(label) + r":\s+([0-9 ]+) ms, median (\d+) ms", text, re.M)
        if not match:
            raise RuntimeError("bench/find_db.sh printed no '%s' line:\n%s" % (label, text))
        values = [int(value) / 1000.0 for value in match.group(1).split()]
        return int(match.group(2)) / 1000.0, "%.3f–%.3f" % (min(values), max(values))

    find_median, find_spread = times_of("find")
    press_median, press_spread = times_of("dialdex with Find DB")
    idle_median, idle_spread = times_of("dialdex start and end only")
    alone = max(press_median - idle_median, 0.001)
    ratio = alone / find_median
    whole = press_median / find_median
    return [
        ("`find DIR -iname '*.db' -o -iname '*.zdb'` on 50,000 files in 5,000 folders (bench/find_db.sh)",
         "%.3f" % find_median, find_spread, "", "anchor", "", ""),
        ("Find DB alone: dialdex run pressing it, less the same run without", "%.3f" % alone,
         "runs: %s and %s" % (press_spread, idle_spread), "", "%.2f× of `find` (whole run %.2f×)" % (ratio, whole),
         "≤ 2×", "yes" if ratio <= 2 else "**no**"),
    ]


def records_of(measurement):
    match = re.search(r"records (\d+)", measurement.last.stdout)
    return int(match.group(1)) if match else 0


def describe_machine():
    model = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    memory = ""
    try:
        with open("/proc/meminfo", encoding="utf-8") as meminfo:
            kib = int(meminfo.readline().split()[1])
            memory = ", %.0f GiB memory" % (kib / 1024 / 1024)
    except (OSError, ValueError, IndexError):
        pass
    return "%s, %d cores%s, %s %s" % (model, os.cpu_count() or 0, memory, platform.system(), platform.release())


if __name__ == "__main__":
    sys.exit(main())
