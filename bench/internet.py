#!/usr/bin/env python3
"""The internet's paths for scripts/bench, run beside the real servers of
tests/with-real-servers (which it reads from the environment): the same
100 MB package over http and https, the manifest's fetch over both, and a
pinned package through the caching proxy on two installations.

Each figure has its baseline measured in the same run: https against http
from the same nginx, and curl on each. Writes one JSON line per run.
"""
import argparse
import hashlib
import json
import os
import sys
import time

from measure import run

BIG = "bench-100M.bin"
MB = 10**6


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bin", required=True, help="folder of the built Windows programs")
    parser.add_argument("--prefix", required=True, help="the benchmark's Wine prefix")
    parser.add_argument("--package", required=True, help="the 100 MB package (a Linux path)")
    parser.add_argument("--work", required=True, help="scratch folder for downloaded files")
    parser.add_argument("--reps", type=int, default=3, help="repetitions of the 100 MB transfers")
    parser.add_argument("--manifest-reps", type=int, default=9, help="repetitions of the manifest fetches")
    parser.add_argument("--out", required=True, help="JSON-lines file of the results")
    return parser.parse_args()


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


class Internet:
    def __init__(self, args):
        self.args = args
        self.env = dict(os.environ, WINEPREFIX=args.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="zh_CN.UTF-8")
        self.results = open(args.out, "w")
        self.target = os.path.join(args.work, "internet-target.bin")
        self.http = os.environ["VELNOR_NGINX_URL"]
        self.https = os.environ["VELNOR_HTTPS_URL"]
        with open(args.package, "rb") as package:
            self.pin = [hashlib.sha256(package.read()).hexdigest(), str(os.path.getsize(args.package))]
        served = os.path.join(os.environ["VELNOR_REAL_SERVER_FILES"], BIG)
        if not os.path.exists(served):
            os.symlink(os.path.abspath(args.package), served)

    def wine(self, argv):
        return run(["wine"] + argv, env=self.env)

    def record(self, result):
        self.results.write(json.dumps(result) + "\n")
        self.results.flush()
        ok = "" if result["ok"] else "  FAILED"
        print("  %-28s %8.3f s%s" % (result["case"], result["wall_s"], ok), file=sys.stderr, flush=True)

    def user_proxy(self, proxy):
        key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
        self.wine(["reg", "add", key, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d", "1" if proxy else "0", "/f"])
        if proxy:
            self.wine(["reg", "add", key, "/v", "ProxyServer", "/t", "REG_SZ", "/d", proxy, "/f"])

    def curl(self, case, url, size):
        wall, _, code, out, _ = run(["curl", "-sS", "-o", "/dev/null", "--noproxy", "*",
                                     "--cacert", os.environ["VELNOR_CA_PEM"],
                                     "-w", "%{time_total} %{size_download}", url])
        transfer, got = out.split() if code == 0 else (wall, 0)
        self.record({"case": case, "wall_s": float(transfer), "ok": int(float(got)) == size})

    def session(self, case, url, size, pinned=False):
        argv = [os.path.join(self.args.bin, "download_bench.exe"), "session", url, windows_path(self.target)]
        if pinned:
            argv += self.pin
        _, _, code, out, err = self.wine(argv)
        line = next((l for l in out.splitlines() if l.startswith("bench-result ")), None)
        if line is None:
            sys.exit("internet: the session gave no result (exit %d): %s" % (code, err.strip()))
        fields = dict(item.split("=", 1) for item in line.split()[1:])
        if os.path.exists(self.target):
            os.remove(self.target)
        # Whole when the file is: a read may return less than a full chunk
        # over these servers, so the notices' count is not the measure here.
        result = {"case": case, "wall_s": float(fields["wall_s"]),
                  "ok": int(fields["bytes"]) == size and fields["last_percent"] == "100"}
        self.record(result)
        return result

    def served(self, path):
        """Body bytes the origin has sent for the path so far."""
        total = 0
        with open(os.environ["VELNOR_NGINX_ACCESS_LOG"]) as log:
            for line in log:
                fields = line.split('"')
                if len(fields) > 2 and fields[1].split(" ")[1:2] == [path]:
                    total += int(fields[2].split()[1])
        return total

    def transfers(self):
        size = int(self.pin[1])
        for rep in range(self.args.reps):
            print("internet: 100 MB over http and https, round %d of %d" % (rep + 1, self.args.reps),
                  file=sys.stderr, flush=True)
            for scheme, base in (("http", self.http), ("https", self.https)):
                self.curl("curl-" + scheme, base + "/" + BIG, size)
                self.session("session-" + scheme, base + "/" + BIG, size)

    def manifests(self):
        size = os.path.getsize(os.path.join(os.environ["VELNOR_REAL_SERVER_FILES"], "manifest.ini"))
        print("internet: the manifest over http and https", file=sys.stderr, flush=True)
        for _ in range(self.args.manifest_reps):
            for scheme, base in (("http", self.http), ("https", self.https)):
                self.curl("curl-manifest-" + scheme, base + "/manifest.ini", size)
                self.session("manifest-" + scheme, base + "/manifest.ini", size)

    def cache(self):
        """Two installations behind one caching proxy fetch the package in
        turn, pinned as a manifest pins it; then one unpinned, which always
        asks the origin, as the baseline."""
        print("internet: 100 MB through the caching proxy", file=sys.stderr, flush=True)
        size = int(self.pin[1])
        self.user_proxy(os.environ["VELNOR_CACHING_PROXY"])
        path = "/max-age/" + BIG
        for case, pinned in (("proxy-first", True), ("proxy-second", True), ("proxy-unpinned", False)):
            before = self.served(path)
            result = self.session(case, self.http + path, size, pinned)
            time.sleep(0.5)  # nginx logs a request once its connection is done with it
            result["served_bytes"] = self.served(path) - before
            self.results.write(json.dumps(dict(result, case=case + "-served")) + "\n")


def main():
    args = parse_args()
    internet = Internet(args)
    trust = [os.path.join(args.bin, "trust_root.exe")]
    der = windows_path(os.environ["VELNOR_CA_DER"])
    if internet.wine(trust + ["add", der])[2] != 0:
        sys.exit("internet: the test authority cannot be trusted in " + args.prefix)
    try:
        internet.user_proxy(None)
        internet.transfers()
        internet.manifests()
        internet.cache()
    finally:
        internet.wine(trust + ["remove", der])


if __name__ == "__main__":
    main()
