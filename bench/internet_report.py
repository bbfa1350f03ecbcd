#!/usr/bin/env python3
"""The reporting half of bench/internet.py: turns its JSON lines into one
section of the results file, put in place of the section an earlier run
wrote there (or after the rest), and prints it."""
import argparse
import json
import statistics
from collections import defaultdict

from report import machine

HEADING = "## Over https and through a caching proxy"
MB = 10**6


def median(runs, case):
    return statistics.median(r["wall_s"] for r in runs[case])


def spread(runs, case, scale, fmt):
    values = [scale(r["wall_s"]) for r in runs[case]]
    return "%s [%s–%s]" % (fmt % statistics.median(values), fmt % min(values), fmt % max(values))


def all_ok(runs, *cases):
    return "yes" if all(r["ok"] for case in cases for r in runs[case]) else "NO"


def section(runs, host):
    mbps = lambda wall: 100 / wall
    ms = lambda wall: wall * 1000
    lines = [
        HEADING,
        "",
        "Beside the real servers of `tests/with-real-servers` (nginx over http and over TLS with a "
        "test authority trusted in the benchmark's prefix, squid as a caching proxy), a 100 MB "
        "package of random bytes and the rig's manifest, fetched directly by the download session "
        "(`download_bench session`) and by curl. %d × each 100 MB transfer, %d × each manifest "
        "fetch; medians with the lowest and highest in brackets. Measured %s on the %s build, "
        "%d cores, load average at the end %s (the machine is shared)." % (
            len(runs["session-http"]), len(runs["manifest-http"]), host["date"],
            host["build"], host["cores"], host["load"]),
        "",
        "| Run | http MB/s | https MB/s | https ÷ http (throughput; goal ≥ 0.9) | whole |",
        "|---|---|---|---|---|",
    ]
    for label, prefix in (("curl (the machine's ceiling)", "curl-"), ("UpdateSession", "session-")):
        lines.append("| %s | %s | %s | %.2f | %s |" % (
            label, spread(runs, prefix + "http", mbps, "%.1f"), spread(runs, prefix + "https", mbps, "%.1f"),
            median(runs, prefix + "http") / median(runs, prefix + "https"),
            all_ok(runs, prefix + "http", prefix + "https")))
    lines += [
        "",
        "| Manifest fetch | http ms | https ms | added by https, ms (goal ≤ 50) | whole |",
        "|---|---|---|---|---|",
    ]
    for label, prefix in (("curl", "curl-manifest-"), ("UpdateSession, as a run fetches it", "manifest-")):
        lines.append("| %s | %s | %s | %.0f | %s |" % (
            label, spread(runs, prefix + "http", ms, "%.0f"), spread(runs, prefix + "https", ms, "%.0f"),
            (median(runs, prefix + "https") - median(runs, prefix + "http")) * 1000,
            all_ok(runs, prefix + "http", prefix + "https")))
    lines += [
        "",
        "A run that finds no update makes one transfer, the manifest's; the rest of it is the same "
        "over either scheme, so the manifest's added time is the run's.",
        "",
        "| Through the caching proxy (user's proxy setting) | bytes the origin served | MB/s | whole |",
        "|---|---|---|---|",
    ]
    for label, case in (("first installation, pinned package", "proxy-first"),
                        ("second installation, pinned package", "proxy-second"),
                        ("baseline: unpinned package (asks the origin)", "proxy-unpinned")):
        served = runs[case + "-served"][0]["served_bytes"]
        lines.append("| %s | %d (%.0f %%) | %.1f | %s |" % (
            label, served, served * 100 / (100 * MB), 100 / median(runs, case), all_ok(runs, case)))
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("results", help="JSON-lines file written by bench/internet.py")
    parser.add_argument("--markdown", help="the results file that gets the section")
    args = parser.parse_args()
    runs = defaultdict(list)
    with open(args.results) as results:
        for line in results:
            run = json.loads(line)
            runs[run["case"]].append(run)
    text = section(runs, machine())
    print(text, end="")
    if args.markdown:
        with open(args.markdown) as existing:
            old = existing.read()
        start = old.find(HEADING)
        if start < 0:
            new = old.rstrip("\n") + "\n\n" + text
        else:
            end = old.find("\n## ", start + len(HEADING))
            new = old[:start] + text + (old[end:] if end >= 0 else "")
        with open(args.markdown, "w") as out:
            out.write(new)


if __name__ == "__main__":
    main()
