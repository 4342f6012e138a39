#!/usr/bin/python3
"""Measures the quick join against the test server over loopback.

Usage: measure_join.py BIN_DIR [WORLD] [RUNS]

Starts vobu_testserver (WORLD "big" by default: just under 2 MiB of assets)
and the client quick-joining it under a private Xvfb with the dummy audio
driver, RUNS times (default 3), and prints per run:
  client: from starting the client process to "Game ready" in its log
  server: from the connection's "open" to its "assetsReady" in the transcript
"""

import json
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "client", "tests", "e2e"))
import vobu_e2e  # noqa: E402


def run_once(bin_dir, world):
    temp = tempfile.mkdtemp(prefix="vobu-measure-")
    transcript = os.path.join(temp, "t.jsonl")
    server = subprocess.Popen([os.path.join(bin_dir, "vobu_testserver"), "--port", "0", "--world", world, "--bots", "0",
                               "--transcript", transcript, "--exit-after-ms", "60000"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
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
        ready = next(l["t"] for l in lines if l.get("msg", {}).get("type") == "assetsReady")
        return client_ms, ready - opened
    finally:
        server.terminate()
        server.wait()


def main():
    bin_dir = sys.argv[1]
    world = sys.argv[2] if len(sys.argv) > 2 else "big"
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    os.environ.setdefault("VOBU_BIN_DIR", bin_dir)
    for run in range(runs):
        client_ms, server_ms = run_once(bin_dir, world)
        print(f"run {run + 1}: client start to ready {client_ms:.0f} ms; server open to assetsReady {server_ms:.0f} ms")


if __name__ == "__main__":
    main()
