"""The quick join against the project's test game server, under Xvfb with
the dummy audio driver: the game drawn, walking and jumping, what the
client sends (read from the server's transcript), every scripted fault, a
second join in one process, and wss:// with and without a trusted
certificate.

Environment as vobu_e2e.py; the server binary is vobu_testserver in the same
bin folder as the client.
"""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vobu_e2e  # noqa: E402
from vobu_e2e import TestServer, wait_for_log  # noqa: E402

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
# The order the client asks for the demo world's assets: the walk mesh, the
# render mesh, the textures by id, then the rest.
DEMO_REQUEST_ORDER = ["walkmesh", "map", "tex-floor", "tex-rug", "player-join"]
# The default character as a network document: 32 x 64 x 32, every texel of
# the default skin colour, one run per face.
DEFAULT_CHARACTER = {
    "faceScale": 1,
    "faces": ["r0800ffdbaa", "r0800ffdbaa", "r0800ffdbaa", "r0800ffdbaa", "r0400ffdbaa", "r0400ffdbaa"],
    "format": "rgb24-rle",
    "id": "debug",
    "name": "Vobu",
    "size": [32, 64, 32],
}


def leading_zero_bits(hex_text):
    bits = 0
    for digit in hex_text:
        value = int(digit, 16)
        if value == 0:
            bits += 4
            continue
        return bits + (4 - value.bit_length())
    return bits


def horizon_row(shot, window, column):
    """The first row from the top of the window where the floor begins."""
    for y in range(window.height):
        if sum(shot.pixel(window.x + column, window.y + y)) > 60:
            return y
    return window.height


class QuickJoinTest(unittest.TestCase):
    def client(self, display, server, quit_ms=30000, name="quickjoin", prefix=(), url=None):
        return vobu_e2e.Client(display, ["--server", url or server.url, "--quick-join", "--quit-after-ms", str(quit_ms)],
                               name=name, prefix=prefix)

    def test_quick_join_reaches_ready_and_draws_the_world(self):
        with TestServer("--bots", "1") as server, vobu_e2e.Display() as display:
            with self.client(display, server, quit_ms=20000) as client:
                window = client.wait_for_window()
                wait_for_log(client, r"Game ready")
                # Zoom out and turn the camera so that the bots' walk and both
                # signs are in view.
                client.move_mouse(510, 340)
                for _ in range(6):
                    client.click(5)
                    time.sleep(0.05)
                client._x("xdotool", "mousedown", "3")
                time.sleep(0.2)
                for _ in range(19):
                    client._x("xdotool", "mousemove_relative", "--", "-10", "0")
                    time.sleep(0.03)
                client._x("xdotool", "mouseup", "3")
                # The pointer leaves the window, so the cursor is hidden and
                # every light pixel is sign or bubble text (the lightest
                # floor is about 120, 130, 140).
                client.move_mouse_to_screen(0, 0)

                def bot_in_view(image):
                    return sum(1 for y in range(0, window.height, 3) for x in range(0, window.width, 3)
                               if (lambda r, g, b: b > r + 60)(*image.pixel(window.x + x, window.y + y))) > 30

                # The bot walks its loop through the view.
                shot = client.wait_for_picture(bot_in_view, timeout=20, label="quickjoin-game")
                pixels = [shot.pixel(window.x + x, window.y + y)
                          for y in range(0, window.height, 3) for x in range(0, window.width, 3)]

                def count(test):
                    return sum(1 for p in pixels if test(*p))

                self.assertGreater(count(lambda r, g, b: abs(r - g) < 20 and abs(g - b) < 30 and r > 40), 5000,
                                   "the grey floor")
                self.assertGreater(count(lambda r, g, b: r > 200 and g < 120 and b < 40), 300, "the orange rug")
                self.assertGreater(count(lambda r, g, b: r > 120 and 100 < g < r and b < g - 10 and r - b < 80), 30,
                                   "the local player's default skin")
                self.assertGreater(count(lambda r, g, b: b > r + 60), 30, "the blue bot")
                light = sum(1 for y in range(window.height) for x in range(window.width)
                            if min(shot.pixel(window.x + x, window.y + y)) > 145)
                self.assertGreater(light, 20, "sign text")
                self.assertEqual(client.wait_exit(30), 0)
                self.assertNotIn("Disconnected", client.log())

    def test_transcript_shows_the_join_and_paced_input(self):
        with TestServer("--bots", "0", "--difficulty", "12") as server, vobu_e2e.Display() as display:
            with self.client(display, server, quit_ms=6000) as client:
                client.wait_for_window()
                wait_for_log(client, r"Game ready")
                self.assertEqual(client.wait_exit(30), 0)
            transcript = server.transcript()
            self.assertEqual([e for e in transcript if e.get("event") == "violation"], [])
            sent = [m for _, m in server.messages(conn=1)]
            hello = sent[0]
            self.assertEqual(hello["type"], "hello")
            self.assertEqual(hello["protocol"], 1)
            self.assertEqual(hello["character"], DEFAULT_CHARACTER)
            pow_ = hello["pow"]
            digest = hashlib.sha256((pow_["challenge"] + ":" + pow_["nonce"]).encode()).hexdigest()
            self.assertEqual(pow_["hash"], digest)
            self.assertGreaterEqual(leading_zero_bits(digest), 12)
            self.assertRegex(pow_["nonce"], r"^(0|[1-9][0-9]*)$")

            types = [m["type"] for m in sent]
            requests = [m["id"] for m in sent if m["type"] == "assetRequest"]
            self.assertEqual(requests, DEMO_REQUEST_ORDER)
            self.assertEqual(types.count("assetsReady"), 1)
            self.assertGreater(types.index("assetsReady"), max(i for i, t in enumerate(types) if t == "assetRequest"))
            self.assertNotIn("clientError", types)

            inputs = server.messages(conn=1, type_="input")
            self.assertGreater(len(inputs), 20)
            sequences = [c["seq"] for _, m in inputs for c in m["commands"]]
            self.assertEqual(sequences, list(range(1, len(sequences) + 1)))
            for _, message in inputs:
                self.assertTrue(1 <= len(message["commands"]) <= 24)
            # Nothing was pressed: the input stayed steady the whole game. The
            # times are the server's read times, which a busy machine shifts
            # by tens of milliseconds, so single gaps prove little; the pace
            # over the whole game does, and so does the size of each message:
            # 50 ms hold three steps of 1/60 s (two, when rounding cuts one
            # off), where a client sending every frame would send one.
            times = [t for t, _ in inputs]
            average = (times[-1] - times[0]) / (len(times) - 1)
            self.assertGreaterEqual(average, 49.5)
            self.assertLess(average, 70, "the input keeps flowing at its pace")
            for _, message in inputs[1:]:
                self.assertGreaterEqual(len(message["commands"]), 2, message)

    def test_holding_w_walks_without_corrections_and_a_jump_comes_down(self):
        with TestServer("--bots", "0") as server, vobu_e2e.Display() as display:
            with self.client(display, server, quit_ms=25000) as client:
                window = client.wait_for_window()
                wait_for_log(client, r"Game ready")
                time.sleep(0.5)
                client._x("xdotool", "keydown", "--window", str(window.id), "w")
                time.sleep(1.5)
                client._x("xdotool", "keyup", "--window", str(window.id), "w")
                time.sleep(1.0)
                column = window.width // 2
                rest = horizon_row(client.screenshot(), window, column)
                client.key("space")
                rows = []
                started = time.monotonic()
                while time.monotonic() - started < 2.0:
                    rows.append(horizon_row(client.screenshot(), window, column))
                time.sleep(0.5)
                after = horizon_row(client.screenshot("quickjoin-after-jump"), window, column)
                self.assertEqual(client.wait_exit(40), 0)
                log = client.log()
            self.assertNotIn("Prediction corrected", log)
            commands = [c for _, m in server.messages(conn=1, type_="input") for c in m["commands"]]
            walking = [c for c in commands if abs((c["x"] ** 2 + c["y"] ** 2) ** 0.5 - 1) < 1e-6]
            # 1.5 s at 60 steps a second, give or take the key delivery on a
            # busy machine.
            self.assertGreater(len(walking), 45)
            self.assertLess(len(walking), 150)
            self.assertTrue(all(abs(c["x"] - walking[0]["x"]) < 1e-9 and abs(c["y"] - walking[0]["y"]) < 1e-9
                                for c in walking), "one steady direction")
            self.assertEqual(sum(1 for c in commands if c["jump"]), 1)
            # The server's own view: its state lines (every 5th snapshot)
            # show the player high in the air after the jump command and
            # back on the floor once a jump's length of steps has followed.
            jump = next(c["seq"] for c in commands if c["jump"])
            states = [e for e in server.transcript() if e.get("event") == "state" and e["conn"] == 1]
            before = [s for s in states if s["ack"] < jump]
            self.assertTrue(before, states)
            ground = before[-1]["z"]
            airborne = [s for s in states if jump <= s["ack"] < jump + 54]
            self.assertGreater(max((s["z"] for s in airborne), default=ground), ground + 0.3, airborne)
            landed = [s for s in states if s["ack"] >= jump + 60]
            self.assertTrue(landed, states)
            self.assertTrue(all(s["z"] == ground for s in landed), landed)
            # The eye rises with the player (the far edge of the floor drops
            # on the screen), then the player lands where the jump began.
            self.assertGreater(max(rows), rest + 3, rows)
            self.assertLessEqual(abs(after - rest), 1, (rest, after))

    def run_fault(self, fault, expected, client_error, quit_ms=12000, extra=()):
        with TestServer("--bots", "0", "--fault", fault, "--fault-delay-ms", "500", *extra) as server, \
                vobu_e2e.Display() as display:
            with self.client(display, server, quit_ms=quit_ms, name="fault-" + fault) as client:
                client.wait_for_window()
                wait_for_log(client, r"Disconnected: " + re.escape(expected), timeout=quit_ms / 1000)
                self.assertEqual(client.wait_exit(quit_ms / 1000 + 10), 0, "the program runs on to its quit time")
                log = client.log()
            errors = [m for _, m in server.messages(conn=1, type_="clientError")]
            if client_error:
                self.assertEqual(len(errors), 1, log)
                self.assertEqual(errors[0]["code"], client_error[0])
                if client_error[1]:
                    self.assertEqual(errors[0]["lastType"], client_error[1])
            else:
                self.assertEqual(errors, [])
            return log

    def test_fault_flood_characters_reports_every_time(self):
        """A server still busy writing when the client gives up reads its
        report in every run: the client's socket is drained before it closes."""
        runs = 3
        with TestServer("--bots", "0", "--fault", "flood-characters") as server, vobu_e2e.Display() as display:
            for run in range(runs):
                with self.client(display, server, quit_ms=5000, name=f"fault-flood-{run}") as client:
                    client.wait_for_window()
                    wait_for_log(client, r"Disconnected: ERR_CHARACTER_LIMIT", timeout=5)
                    self.assertEqual(client.wait_exit(15), 0)
            server.wait_for(lambda t: sum(1 for e in t if e.get("event") == "close") >= runs, timeout=10,
                            what="the end of every run's connection")
            for conn in range(1, runs + 1):
                errors = [m for _, m in server.messages(conn=conn, type_="clientError")]
                self.assertEqual([(m["code"], m["lastType"]) for m in errors],
                                 [("ERR_CHARACTER_LIMIT", "character")], f"run {conn}")

    def test_fault_corrupt_mesh(self):
        self.run_fault("corrupt-mesh", "ERR_ASSET_HASH", ("ERR_ASSET_HASH", "assetChunk"))

    def test_fault_malformed_message(self):
        self.run_fault("malformed", "ERR_BAD_SERVER_MESSAGE", ("ERR_BAD_SERVER_MESSAGE", "snapshot"))

    def test_fault_snapshots_stop(self):
        # The server still streams audio segments after its last snapshot, so
        # the last message type is not known here.
        log = self.run_fault("stop-snapshots", "ERR_SNAPSHOT_TIMEOUT", ("ERR_SNAPSHOT_TIMEOUT", None), quit_ms=25000)
        self.assertIn("ERR_SNAPSHOT_TIMEOUT", log)

    def test_fault_server_error(self):
        self.run_fault("error", "ERR_TEST_SERVER_ERROR", None)

    def test_fault_server_disconnect_shows_the_reason(self):
        log = self.run_fault("disconnect", "Kicked by the test server", None)
        self.assertNotIn("Disconnected: ERR_KICKED", log)

    def test_fault_oversize_frame(self):
        self.run_fault("oversize-frame", "ERR_RECEIVE_BYTES", None)

    def test_pings_and_fragmented_messages_keep_the_game_running(self):
        with TestServer("--bots", "1", "--fault", "ping", "--fault", "fragment") as server, \
                vobu_e2e.Display() as display:
            with self.client(display, server, quit_ms=5000) as client:
                client.wait_for_window()
                wait_for_log(client, r"Game ready")
                self.assertEqual(client.wait_exit(30), 0)
                log = client.log()
            self.assertNotIn("Disconnected", log)
            pongs = [e for e in server.transcript() if "pong" in e]
            self.assertGreater(len(pongs), 4)

    def test_second_join_in_one_process_requests_nothing_cached(self):
        with TestServer("--bots", "0") as server, vobu_e2e.Display() as display:
            with self.client(display, server, quit_ms=20000) as client:
                client.wait_for_window()
                wait_for_log(client, r"Game ready")
                # The overlay's "Disconnect", the leave fade, then the title
                # screen (the test server lists itself): Join, then "Use".
                client.move_mouse(914, 28)
                client.click()
                wait_for_log(client, r"Left the game")
                time.sleep(1.5)
                client.move_mouse(906, 640)
                client.click()
                time.sleep(0.5)
                client.move_mouse(154, 640)
                client.click()
                # The title screen's directory request has a connection of
                # its own: the second game is the second that said "hello".
                def game_connections(transcript):
                    return sorted({e["conn"] for e in transcript if e.get("msg", {}).get("type") == "hello"})

                server.wait_for(lambda t: len(game_connections(t)) == 2 and any(
                    e.get("conn") == game_connections(t)[1] and e.get("msg", {}).get("type") == "assetsReady"
                    for e in t), what="assetsReady of the second join")
                deadline = time.monotonic() + 20
                while client.log().count("Game ready") < 2 and time.monotonic() < deadline:
                    time.sleep(0.1)
                self.assertEqual(client.log().count("Game ready"), 2, client.log())
                self.assertEqual(client.wait_exit(30), 0)
            first, second = game_connections(server.transcript())
            self.assertEqual(len(server.messages(conn=first, type_="assetRequest")), 5)
            self.assertEqual(server.messages(conn=second, type_="assetRequest"), [])
            sequences = [c["seq"] for _, m in server.messages(conn=second, type_="input") for c in m["commands"]]
            self.assertEqual(sequences[:3], [1, 2, 3], "the second game counts its inputs from 1 again")

    def tls_certificates(self):
        directory = tempfile.mkdtemp(prefix="vobu-certs-")
        self.addCleanup(shutil.rmtree, directory, True)
        subprocess.run([os.path.join(REPO, "tools", "testpeer", "make_test_certs.sh"), directory], check=True)
        return directory

    def trusting(self, bundle):
        """Runs the client in a private mount namespace whose system bundle is
        the given file, so that only the test root is trusted."""
        return ["unshare", "-m", "sh", "-c",
                f'mount --bind "$0" /etc/ssl/certs/ca-certificates.crt && exec "$@"', bundle]

    def test_wss_join_with_the_test_root_trusted(self):
        certs = self.tls_certificates()
        if subprocess.run(self.trusting(os.path.join(certs, "ca.crt")) + ["true"], capture_output=True).returncode != 0:
            self.skipTest("no private mount namespace with a bind mount here")
        tls = (os.path.join(certs, "good.crt"), os.path.join(certs, "good.key"))
        with TestServer("--bots", "0", tls=tls) as server, vobu_e2e.Display() as display:
            self.assertTrue(server.url.startswith("wss://localhost:"))
            prefix = self.trusting(os.path.join(certs, "ca.crt"))
            with self.client(display, server, quit_ms=8000, name="wss-trusted", prefix=prefix) as client:
                client.wait_for_window()
                wait_for_log(client, r"Game ready")
                self.assertEqual(client.wait_exit(30), 0)

    def test_wss_join_refused_without_a_trusted_root(self):
        certs = self.tls_certificates()
        tls = (os.path.join(certs, "good.crt"), os.path.join(certs, "good.key"))
        with TestServer("--bots", "0", tls=tls) as server, vobu_e2e.Display() as display:
            # The system bundle as it is: the test root is not in it.
            with self.client(display, server, quit_ms=6000, name="wss-untrusted") as client:
                client.wait_for_window()
                match = wait_for_log(client, r"Disconnected: (ERR_[A-Z0-9_]+)")
                self.assertEqual(client.wait_exit(30), 0)
                log = client.log()
            self.assertNotIn("Game ready", log)
            self.assertIn("TLS", match.group(1))
            self.assertEqual(server.messages(), [])


if __name__ == "__main__":
    unittest.main()
