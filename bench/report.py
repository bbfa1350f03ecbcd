#!/usr/bin/env python3
"""The reporting half of scripts/bench: turns the JSON lines of one run into
the Markdown table, prints it and writes it to the results file."""
import argparse
import datetime
import json
import os
import statistics
import subprocess
from collections import defaultdict

TRANSFER_CASES = [
    ("curl", "1. curl, same file and proxy (the machine's ceiling)"),
    ("platform", "2. bare WinINet loop, 64 KiB reads (the platform's ceiling)"),
    ("floor", "3. 1023-byte reads + one SendMessageA each (the protocol's floor)"),
    ("session", "4. UpdateSession, notices to a window, file written"),
]
WHOLE_CASES = [
    ("idle", "bare Wine start of a program that does nothing"),
    ("no-update", "hidden run through updatehost.exe, no update offered"),
    ("update", "hidden run through updatehost.exe, 100 MB package"),
]
MIB = 1024 * 1024


def command_line(argv):
    try:
        done = subprocess.run(argv, capture_output=True, text=True, check=False)
        return (done.stdout + done.stderr).strip().splitlines()[0]
    except (OSError, IndexError):
        return "unknown"


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as info:
        for line in info:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return {
        "cpu": model,
        "cores": os.cpu_count(),
        "wine": command_line(["wine", "--version"]),
        "build": os.environ.get("WINEARCH", "unknown"),
        "nginx": command_line(["nginx", "-v"]).replace("nginx version: ", ""),
        "curl": " ".join(command_line(["curl", "--version"]).split()[:2]),
        "kernel": os.uname().release,
        "load": "%.2f %.2f %.2f" % os.getloadavg(),
        "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
    }


def spread(values, fmt):
    """median [lowest–highest]"""
    return "%s [%s–%s]" % (fmt % statistics.median(values), fmt % min(values), fmt % max(values))


def transfer_rows(runs, sizes):
    rows = ["| Package | Run | MB/s | CPU s per MB | CPU s per MB with the Wine server | Peak memory MiB |",
            "|---|---|---|---|---|---|"]
    for size in sizes:
        for case, title in TRANSFER_CASES:
            group = runs.get((case, size))
            if not group:
                continue
            rate = [size / r["wall_s"] for r in group]
            # Wine counts process CPU in 10 ms ticks: a short run may show less than none.
            cpu = [max(0.0, r["cpu_s"]) / size for r in group]
            total = [(max(0.0, r["cpu_s"]) + r["server_cpu_s"]) / size for r in group]
            peak = [r["peak_bytes"] / MIB for r in group]
            whole = "" if all(r["ok"] for r in group) else " (NOT WHOLE)"
            rows.append("| %d MB | %s%s | %s | %.4f | %.4f | %s |" % (
                size, title, whole, spread(rate, "%.1f"), statistics.median(cpu),
                statistics.median(total), spread(peak, "%.1f")))
    return rows


def median_wall(runs, case, size):
    return statistics.median(r["wall_s"] for r in runs[(case, size)])


def ratio_rows(runs, sizes):
    rows = ["| Package | 4/3 session ÷ floor | 4/2 session ÷ WinINet 64 KiB | 4/1 session ÷ curl |",
            "|---|---|---|---|"]
    for size in sizes:
        if not all((case, size) in runs for case, _ in TRANSFER_CASES):
            continue
        session = median_wall(runs, "session", size)
        rows.append("| %d MB | %.2f | %.2f | %.2f |" % (
            size, session / median_wall(runs, "floor", size),
            session / median_wall(runs, "platform", size), session / median_wall(runs, "curl", size)))
    return rows


def whole_rows(runs):
    rows = ["| Run | Wall s | CPU s | Wine server CPU s | Peak memory MiB |", "|---|---|---|---|---|"]
    for case, title in WHOLE_CASES:
        group = runs.get((case, None))
        if not group:
            continue
        whole = "" if all(r["ok"] for r in group) else " (FAILED)"
        rows.append("| %s%s | %s | %.2f | %.2f | %.1f |" % (
            title, whole, spread([r["wall_s"] for r in group], "%.2f"),
            statistics.median(r["cpu_s"] for r in group),
            statistics.median(r["server_cpu_s"] for r in group),
            statistics.median(r["peak_bytes"] / MIB for r in group)))
    return rows


def session_memory_line(runs, sizes):
    peaks = {size: statistics.median(r["peak_bytes"] for r in runs[("session", size)])
             for size in sizes if ("session", size) in runs}
    if len(peaks) < 2:
        return []
    low, high = min(peaks), max(peaks)
    return ["Peak memory of the session run: %.1f MiB for %d MB, %.1f MiB for %d MB "
            "(difference %+.1f MiB)." % (peaks[low] / MIB, low, peaks[high] / MIB, high,
                                         (peaks[high] - peaks[low]) / MIB)]


def start_cost_line(runs):
    if ("idle", None) not in runs or ("no-update", None) not in runs:
        return []
    idle = statistics.median(r["wall_s"] for r in runs[("idle", None)])
    check = statistics.median(r["wall_s"] for r in runs[("no-update", None)])
    return ["A hidden no-update run costs %.2f s more than the bare Wine start "
            "(medians %.2f s and %.2f s)." % (check - idle, check, idle)]


def cut_rows(runs):
    """The cut transfers: bytes served to complete the update, per package byte."""
    rows = ["| Pace | Server | Bytes served ÷ package size | Whole | Cut points (share of the file) |",
            "|---|---|---|---|---|"]
    for pace, suffix in (("loopback, as fast as nginx sends", ""), ("2 MB/s, a line slower than the module", "-paced")):
        for title, case in (("answers ranges: the kept bytes are continued", "cut-resume"),
                            ("ignores ranges: every run from byte 0, as before resuming", "cut-no-resume")):
            group = runs.get((case + suffix, 100))
            if not group:
                continue
            rows.append("| %s | %s | %s | %s | %s |" % (
                pace, title, spread([r["served_ratio"] for r in group], "%.3f"),
                "yes" if all(r["ok"] for r in group) else "NO",
                "; ".join(", ".join("%.2f" % p for p in r["cut_points"]) for r in group)))
    return rows if len(rows) > 2 else []


def report(runs, sizes, counts, host):
    lines = [
        "# Download performance",
        "",
        "Measured by `scripts/bench` on the %s build, %s: %s, %d cores, %s, nginx %s, %s, "
        "Linux %s; load average at the end %s (the machine is shared)." % (
            host.get("build", "unknown"), host["date"], host["cpu"], host["cores"], host["wine"],
            host["nginx"], host["curl"], host["kernel"], host["load"]),
        "",
        "Packages of random bytes (1 MB = 10^6 bytes) served by nginx on loopback and fetched "
        "through the user's proxy setting for `update.velnor.example`, as the product fetches "
        "them. Repetitions: %s. Each figure is the median, with the lowest and the highest "
        "in brackets. Runs 1 to 4 are timed around the transfer (curl by its own "
        "`time_total`, the Windows runs from inside the process); the whole runs are timed "
        "from outside, Wine's start included. CPU is the process's own; the Wine server's "
        "share, which carries every cross-thread message and socket call, is added in the "
        "next column." % counts,
        "",
        "## Transfers",
        "",
    ]
    lines += transfer_rows(runs, sizes)
    lines += ["", "## Ratios", "",
              "Time of the session divided by the time of its baseline, medians of the same "
              "run: below 1.0 the session is the faster.", ""]
    lines += ratio_rows(runs, sizes)
    lines += [""] + session_memory_line(runs, sizes)
    lines += ["", "## Whole update runs", ""]
    lines += whole_rows(runs)
    lines += [""] + start_cost_line(runs)
    cuts = cut_rows(runs)
    if cuts:
        lines += ["", "## Cut transfers", "",
                  "A 100 MB package whose host is killed three times at random points of its "
                  "body, then a fourth run that ends the update: everything nginx served for it, "
                  "divided by the package's size. The same cut points for every server. "
                  "At loopback's speed each kill also loses what waits in the socket "
                  "buffers, which nginx counts as sent.", ""]
        lines += cuts
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("results", help="JSON-lines file written by bench/measure.py")
    parser.add_argument("--markdown", help="where to write the table as well")
    args = parser.parse_args()
    runs = defaultdict(list)
    with open(args.results) as results:
        for line in results:
            run = json.loads(line)
            runs[(run["case"], run.get("size_mb"))].append(run)
    sizes = sorted({size for _, size in runs if size is not None})
    counts = ", ".join("%d × %d MB" % (len(runs[("session", s)]), s) for s in sizes
                       if ("session", s) in runs)
    if ("update", None) in runs:
        counts += ", %d × each whole run" % len(runs[("update", None)])
    text = report(runs, sizes, counts, machine())
    print(text, end="")
    if args.markdown:
        os.makedirs(os.path.dirname(args.markdown), exist_ok=True)
        with open(args.markdown, "w") as out:
            out.write(text)


if __name__ == "__main__":
    main()
