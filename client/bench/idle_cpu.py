#!/usr/bin/env python3
"""CPU cost of the real client on a still title screen against a plain SDL +
OpenGL window drawing one window-sized textured quad (reference_window), in
the same minutes, under a private Xvfb with Mesa's llvmpipe (where SDL cannot
set a swap interval, so vertical sync is missing).

    python3 client/bench/idle_cpu.py [--seconds 10] [--rounds 3] [--client-bin DIR]

Each round runs the client for the given seconds after it settled, then the
reference for as long, one at a time, and reads their CPU time (user +
system, every thread) from /proc/<pid>/stat. VOBU_BIN_DIR is the build's bin
folder (default build/bin); the test server gives the title screen a listed
server as a user sees it. --client-bin times the vobugame of another build
folder (with its vobu.dat) against the same reference.
"""

import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
os.environ.setdefault("VOBU_BIN_DIR", os.path.join(HERE, "..", "..", "build", "bin"))
import vobu_e2e  # noqa: E402
from quickjoin_e2e import TestServer  # noqa: E402

SETTLE_SECONDS = 3


def cpu_seconds(pid):
    """User plus system time of a whole process, in seconds."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # Fields 14 and 15 of the file (utime, stime); the split starts at field 3.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def measure(pid, seconds):
    start_cpu, start = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return (cpu_seconds(pid) - start_cpu) / (time.monotonic() - start)


def client_round(display, url, seconds, client_bin):
    previous = os.environ["VOBU_BIN_DIR"]
    if client_bin:
        os.environ["VOBU_BIN_DIR"] = client_bin
    try:
        with vobu_e2e.Client(display, ["--server", url], name="idle-cpu") as client:
            client.wait_for_window()
            time.sleep(SETTLE_SECONDS)
            share = measure(client.process.pid, seconds)
            log = client.log()
    finally:
        os.environ["VOBU_BIN_DIR"] = previous
    return share, log


def reference_round(display, seconds):
    env = dict(os.environ)
    env.update(display.env())
    env.update({"LIBGL_ALWAYS_SOFTWARE": "1", "GALLIUM_DRIVER": "llvmpipe"})
    binary = os.path.join(vobu_e2e.bin_dir(), "reference_window")
    process = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    try:
        time.sleep(SETTLE_SECONDS)
        return measure(process.pid, seconds)
    finally:
        process.terminate()
        process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--client-bin", help="bin folder of the client to time (default: VOBU_BIN_DIR)")
    args = parser.parse_args()
    clients, references = [], []
    with vobu_e2e.Display() as display, TestServer("--bots", "0") as server:
        for round_number in range(args.rounds):
            share, log = client_round(display, server.url, args.seconds, args.client_bin)
            reference = reference_round(display, args.seconds)
            clients.append(share)
            references.append(reference)
            print(f"round {round_number + 1}: client {share * 100:.1f}% of a core, "
                  f"reference {reference * 100:.1f}%, ratio {share / reference:.2f}")
        paced = [line for line in log.splitlines() if "paced" in line]
        print("client log: " + (paced[0].strip() if paced else "no pacing line (vertical sync worked)"))
    ratio = sum(clients) / sum(references)
    print(f"title screen, still: client {sum(clients) / len(clients) * 100:.1f}% of a core, "
          f"reference {sum(references) / len(references) * 100:.1f}%, ratio {ratio:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
