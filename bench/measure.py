#!/usr/bin/env python3
"""The measuring half of scripts/bench.

Runs every case several times against the benchmark's nginx and writes one
JSON line per run. scripts/bench has laid out the server, the packages, the
Wine prefix and the installation, and keeps the Wine server warm; this file
only starts programs and reads what they report.
"""
import argparse
import glob
import json
import os
import random
import subprocess
import sys
import tempfile
import time

HOST = "update.velnor.example"
COMPANY_NO_UPDATE = "current"   # its manifest offers the installed version
COMPANY_UPDATE = "offer"        # its manifest offers the 100 MB package
# The 100 MB package for the cut transfers, by case: from a location that
# answers ranges or ignores them, at loopback's speed or a line's pace.
CUT_CASES = [
    ("cut-resume", "cut"),
    ("cut-no-resume", "cutold"),
    ("cut-resume-paced", "cutpaced"),
    ("cut-no-resume-paced", "cutoldpaced"),
]
CUTS = 3                        # host processes killed mid-transfer before the run that ends it


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bin", required=True, help="folder of the built Windows programs")
    parser.add_argument("--install", required=True, help="the benchmark's installation folder")
    parser.add_argument("--prefix", required=True, help="the benchmark's Wine prefix")
    parser.add_argument("--work", required=True, help="scratch folder for downloaded files")
    parser.add_argument("--port", type=int, required=True, help="nginx's loopback port")
    parser.add_argument("--sizes", default="1:5,10:5,100:3",
                        help="package sizes in MB with their repetitions")
    parser.add_argument("--host-reps", type=int, default=3,
                        help="repetitions of the whole runs through updatehost.exe")
    parser.add_argument("--out", required=True, help="JSON-lines file of the results")
    parser.add_argument("--cut-reps", type=int, default=2,
                        help="repetitions of the cut-transfer case, each with and without ranges")
    parser.add_argument("--cuts-only", action="store_true", help="measure only the cut transfers")
    return parser.parse_args()


class Usage:
    """What one finished program used: CPU seconds and peak memory in bytes."""

    def __init__(self, cpu_s, peak_bytes):
        self.cpu_s = cpu_s
        self.peak_bytes = peak_bytes


def run(argv, cwd=None, env=None):
    """Runs a program to its end: wall seconds, its usage, exit code, standard
    output and standard error. GNU time reports the usage: a child of this
    process would report at least this process's own peak memory, which Linux
    carries over a fork and an exec."""
    with tempfile.NamedTemporaryFile("r") as usage, tempfile.TemporaryFile() as out, \
            tempfile.TemporaryFile() as err:
        start = time.monotonic()
        code = subprocess.call(["/usr/bin/time", "-q", "-o", usage.name, "-f", "%U %S %M"] + argv,
                               cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        wall = time.monotonic() - start
        user, system, peak_kb = usage.read().split()[-3:]
        out.seek(0)
        err.seek(0)
        return wall, Usage(float(user) + float(system), int(peak_kb) * 1024), code, \
            out.read().decode(errors="replace"), err.read().decode(errors="replace")


class WineServer:
    """The CPU time of the prefix's Wine server, which carries every
    cross-thread message and socket call of the Windows programs."""

    def __init__(self, prefix):
        info = os.stat(prefix)
        # The server works in a folder named for the prefix's device and inode.
        folder = "/server-%x-%x" % (info.st_dev, info.st_ino)
        self.pid = None
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.readlink("/proc/%s/cwd" % pid).endswith(folder):
                    self.pid = pid
            except OSError:
                pass
        if self.pid is None:
            sys.exit("measure: no Wine server runs for " + prefix)
        self.tick = os.sysconf("SC_CLK_TCK")

    def cpu_seconds(self):
        with open("/proc/%s/stat" % self.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / self.tick  # utime, stime


class Bench:
    def __init__(self, args):
        self.args = args
        self.env = dict(os.environ, WINEPREFIX=args.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="zh_CN.UTF-8")
        self.server = WineServer(args.prefix)
        self.results = open(args.out, "w")
        self.drive_c = os.path.join(args.prefix, "drive_c")

    def url(self, size_mb):
        return "http://%s/bench/%dM.bin" % (HOST, size_mb)

    def record(self, result):
        self.results.write(json.dumps(result) + "\n")
        self.results.flush()
        ok = "" if result["ok"] else "  NOT WHOLE"
        print("  %-9s %4s MB  %7.3f s%s" % (result["case"], result.get("size_mb", "-"),
                                            result["wall_s"], ok), file=sys.stderr, flush=True)

    def wine(self, argv, cwd=None):
        before = self.server.cpu_seconds()
        wall, usage, code, out, err = run(["wine"] + argv, cwd=cwd, env=self.env)
        return wall, usage, code, out, err, self.server.cpu_seconds() - before

    # Run 1: curl through the same proxy setting, the machine's ceiling.
    def curl(self, size_mb):
        wall, usage, code, out, _ = run(
            ["curl", "-sS", "-o", "/dev/null", "-x", "127.0.0.1:%d" % self.args.port,
             "-w", "%{time_total} %{size_download}", self.url(size_mb)])
        transfer, size = out.split() if code == 0 else (wall, 0)
        self.record({"case": "curl", "size_mb": size_mb, "wall_s": float(transfer),
                     "cpu_s": usage.cpu_s, "server_cpu_s": 0.0,
                     "peak_bytes": usage.peak_bytes, "bytes": int(float(size)),
                     "ok": int(float(size)) == size_mb * 10**6})

    # Runs 2 to 4: the in-process measurements of download_bench.exe.
    def in_process(self, mode, size_mb):
        argv = [os.path.join(self.args.bin, "download_bench.exe"), mode, self.url(size_mb)]
        target = os.path.join(self.args.work, "session-target.bin")
        if mode == "session":
            argv.append("Z:" + target.replace("/", "\\"))
        _, _, code, out, err, server_cpu = self.wine(argv)
        line = next((l for l in out.splitlines() if l.startswith("bench-result ")), None)
        if line is None:
            sys.exit("measure: %s gave no result (exit %d): %s" % (mode, code, err.strip()))
        fields = dict(item.split("=", 1) for item in line.split()[1:])
        if os.path.exists(target):
            os.remove(target)
        self.record({"case": mode, "size_mb": size_mb, "wall_s": float(fields["wall_s"]),
                     "cpu_s": float(fields["cpu_s"]), "server_cpu_s": server_cpu,
                     "peak_bytes": int(fields["peak_working_set"]),
                     "peak_pagefile": int(fields["peak_pagefile"]),
                     "bytes": int(fields["bytes"]), "notices": int(fields["notices"]),
                     "last_percent": int(fields["last_percent"]),
                     "ok": fields["ok"] == "1" and int(fields["bytes"]) == size_mb * 10**6})

    # Run 5: whole processes, timed from outside, start-up included.
    def set_company(self, company):
        ini = os.path.join(self.drive_c, "ProgramData", "Velnor", "VLNR.INI")
        os.makedirs(os.path.dirname(ini), exist_ok=True)
        with open(ini, "w", newline="") as f:
            f.write("[Version]\r\npacket=1.0.0.5\r\ncompany=%s\r\n" % company)

    def update_leftovers(self):
        users = os.path.join(self.drive_c, "users")
        return (glob.glob(os.path.join(users, "*", "**", "VLNRUpdate*.exe"), recursive=True) +
                glob.glob(os.path.join(self.args.install, "**", "VLNRUpdate*.exe"), recursive=True))

    def forget_update(self):
        """Removes what an update run leaves, so that the next one downloads again."""
        run(["wine", "reg", "delete", "HKCU\\Software\\Velnor\\Update", "/f"], env=self.env)
        for leftover in self.update_leftovers():
            os.remove(leftover)

    def whole_run(self, case):
        if case == "idle":
            argv, cwd = [os.path.join(self.args.bin, "idle.exe")], None
        else:
            self.set_company(COMPANY_UPDATE if case == "update" else COMPANY_NO_UPDATE)
            argv, cwd = [os.path.join(self.args.install, "updatehost.exe")], self.args.install
        wall, usage, code, _, _, server_cpu = self.wine(argv, cwd=cwd)
        ok = code == 0
        if case == "update":
            copies = [f for f in self.update_leftovers() if f.endswith("VLNRUpdate.exe")]
            ok = ok and len(copies) == 1 and os.path.getsize(copies[0]) == 100 * 10**6
            self.forget_update()
        self.record({"case": case, "wall_s": wall, "cpu_s": usage.cpu_s,
                     "server_cpu_s": server_cpu, "peak_bytes": usage.peak_bytes, "ok": ok})

    # The cut transfers: a 100 MB package whose host is killed three times at
    # random points of its body, then a run that ends the update. What counts
    # is what nginx served in all, against the package's size.
    def served_bytes(self):
        log = os.path.join(self.args.work, "nginx-access.log")
        total = 0
        with open(log) as lines:
            for line in lines:
                uri, _, sent = line.split()
                if uri.endswith("/100M.bin"):
                    total += int(sent)
        return total

    def kept_bytes(self):
        found = glob.glob(os.path.join(self.drive_c, "users", "*", "Temp", "VLNRUpdatePack.exe.partial"))
        return os.path.getsize(found[0]) if found else 0

    def killed_run(self, point):
        """Starts a hidden run and kills its host, as a user closing the
        product would, once the package file on disk has come this far."""
        host = subprocess.Popen(["wine", os.path.join(self.args.install, "updatehost.exe")],
                                cwd=self.args.install, env=self.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        size = 100 * 10**6
        while host.poll() is None and self.kept_bytes() < point * size:
            time.sleep(0.05)
        host.kill()
        host.wait()
        time.sleep(0.5)  # nginx logs the request once the connection is gone

    def cut_case(self, company, points, label):
        self.forget_update()
        for leftover in glob.glob(os.path.join(self.drive_c, "users", "*", "Temp", "VLNRUpdatePack.exe*")):
            os.remove(leftover)
        self.set_company(company)
        before = self.served_bytes()
        start = time.monotonic()
        for point in points:
            self.killed_run(point)
        _, _, code, _, _, _ = self.wine([os.path.join(self.args.install, "updatehost.exe")],
                                        cwd=self.args.install)
        wall = time.monotonic() - start
        time.sleep(0.5)
        served = self.served_bytes() - before
        copies = [f for f in self.update_leftovers() if f.endswith("VLNRUpdate.exe")]
        ok = code == 0 and len(copies) == 1 and os.path.getsize(copies[0]) == 100 * 10**6
        self.forget_update()
        self.record({"case": label, "size_mb": 100, "wall_s": wall, "served_bytes": served,
                     "served_ratio": served / (100 * 10**6), "cut_points": points, "ok": ok})

    def cut_transfers(self, reps):
        rng = random.Random(20261209)
        for rep in range(reps):
            print("cut transfers, round %d of %d" % (rep + 1, reps), file=sys.stderr, flush=True)
            points = sorted(round(rng.uniform(0.05, 0.95), 3) for _ in range(CUTS))
            # Each cut later than the last: a resumed run starts where the last one stopped.
            for label, company in CUT_CASES:
                self.cut_case(company, points, label)

    def transfers(self, sizes):
        most = max(reps for _, reps in sizes)
        for rep in range(most):
            print("transfers, round %d of %d" % (rep + 1, most), file=sys.stderr, flush=True)
            for size_mb, reps in sizes:
                if rep >= reps:
                    continue
                self.curl(size_mb)
                for mode in ("platform", "floor", "session"):
                    self.in_process(mode, size_mb)

    def whole_runs(self, reps):
        self.forget_update()
        for rep in range(reps):
            print("whole runs, round %d of %d" % (rep + 1, reps), file=sys.stderr, flush=True)
            for case in ("idle", "no-update", "update"):
                self.whole_run(case)

    def warm_up(self):
        """One untimed pass, so that no measured run pays for first loads."""
        url = self.url(1)
        run(["curl", "-s", "-o", "/dev/null", "-x", "127.0.0.1:%d" % self.args.port, url])
        for mode in ("platform", "floor"):
            self.wine([os.path.join(self.args.bin, "download_bench.exe"), mode, url])
        self.wine([os.path.join(self.args.bin, "idle.exe")])
        self.set_company(COMPANY_NO_UPDATE)
        self.wine([os.path.join(self.args.install, "updatehost.exe")], cwd=self.args.install)


def main():
    args = parse_args()
    sizes = [tuple(int(n) for n in item.split(":")) for item in args.sizes.split(",")]
    bench = Bench(args)
    bench.warm_up()
    if not args.cuts_only:
        bench.transfers(sizes)
        bench.whole_runs(args.host_reps)
    bench.cut_transfers(args.cut_reps)


if __name__ == "__main__":
    main()
