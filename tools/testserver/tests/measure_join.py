#!/usr/bin/python3
"""Measures the quick join against the test server over loopback.

Usage: measure_join.py BIN_DIR [WORLD] [RUNS] [--difficulty D] [--seeds N,N,...]
                       [--client-bin-dir DIR]

Starts vobu_testserver (WORLD "big" by default: just under 2 MiB of assets)
and the client quick-joining it under a private Xvfb with the dummy audio
driver, RUNS times (default 3), and prints per run:
  client: from starting the client process to "Game ready" in its log
  hello: from the connection's "open" to its "hello" (mostly the proof of
         work) in the transcript
  server: from the connection's "open" to its "assetsReady" in the transcript
--difficulty sets the server's proof-of-work difficulty (default the
server's own); --seeds runs RUNS times for each --challenge-seed given, so
every run meets a challenge of its own, the same in every measurement;
--client-bin-dir times the client (and its vobu.dat) of another build
against this build's server.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "client", "tests", "e2e"))
import vobu_e2e  # noqa: E402


def run_once(bin_dir, world, difficulty, seed):
    temp = tempfile.mkdtemp(prefix="vobu-measure-")
    transcript = os.path.join(temp, "t.jsonl")
    command = [os.path.join(bin_dir, "vobu_testserver"), "--port", "0", "--world", world, "--bots", "0",
               "--transcript", transcript, "--exit-after-ms", "60000"]
    if difficulty is not None:
        command += ["--difficulty", str(difficulty)]
    if seed is not None:
        command += ["--challenge-seed", str(seed)]
    server = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    url = None
    while url is None:
        line = server.stdout.readline().decode()
        if not line:
            raise RuntimeError("the server ended")
        if line.startswith("URL "):
            url = line.split(" ", 1)[1].strip()
    try:
        with vobu_e2e.Display() as display:
            started = time.monotonic()
            with vobu_e2e.Client(display, ["--server", url, "--quick-join", "--quit-after-ms", "8000"],
                                 name="measure") as client:
                while "Game ready" not in client.log():
                    if time.monotonic() - started > 30:
                        raise TimeoutError(client.log())
                    time.sleep(0.005)
                client_ms = (time.monotonic() - started) * 1000
                client.wait_exit(30)
        lines = [json.loads(l) for l in open(transcript)]
        opened = next(l["t"] for l in lines if l.get("event") == "open")
        hello = next(l["t"] for l in lines if l.get("msg", {}).get("type") == "hello")
        ready = next(l["t"] for l in lines if l.get("msg", {}).get("type") == "assetsReady")
        return client_ms, hello - opened, ready - opened
    finally:
        server.terminate()
        server.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("world", nargs="?", default="big")
    parser.add_argument("runs", nargs="?", type=int, default=3)
    parser.add_argument("--difficulty", type=int)
    parser.add_argument("--seeds", help="comma-separated --challenge-seed values")
    parser.add_argument("--client-bin-dir", help="where the client comes from (default BIN_DIR)")
    args = parser.parse_args()
    os.environ["VOBU_BIN_DIR"] = os.path.abspath(args.client_bin_dir or args.bin_dir)
    seeds = [int(seed) for seed in args.seeds.split(",")] if args.seeds else [None]
    for seed in seeds:
        for run in range(args.runs):
            client_ms, hello_ms, server_ms = run_once(args.bin_dir, args.world, args.difficulty, seed)
            label = f"seed {seed} " if seed is not None else ""
            print(f"{label}run {run + 1}: client start to ready {client_ms:.0f} ms; "
                  f"open to hello {hello_ms:.0f} ms; open to assetsReady {server_ms:.0f} ms", flush=True)


if __name__ == "__main__":
    main()
