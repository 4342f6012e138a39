"""The program shell under Xvfb: exit statuses, the window, and the first
picture, the title screen, with the toolkit's Unifont text and the software
cursor."""

import os
import re
import struct
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vobu_e2e  # noqa: E402

BACKGROUND = (0x27, 0x04, 0x1A)  # the title screen's canvas, 0xff1a0427
BODY_TEXT = (0xA8, 0x94, 0x96)  # 0xff9694a8
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)

# A canvas point of plain background under the buttons.
PLAIN = (500, 665)
# The label of the "Refresh" button (24, 624, 180 x 32): 56 pixels of text
# centred in it.
REFRESH_LABEL = (24 + (180 - 56) // 2, 624 + 8)
# Plain background between the list and the buttons, for the pointer.
POINTER_SPOT = (640, 614)

ARROW = [
    "B", "BB", "BWB", "BWWB", "BWWWB", "BWWWWB", "BWWWWWB", "BWWWWWWB", "BWWWWWWWB", "BWWWWWWWWB",
    "BWWWWWBBBBB", "BWWBWWB", "BWB.BWWB", "BB..BWWB", "B....BWWB", ".....BWWB", "......BWWB", "......BWWB",
    ".......BB",
]


def package(entries):
    """A vobu.dat with the given (name, bytes) entries, packed as literals."""
    packed = []
    for name, data in entries:
        stored = b""
        for i in range(0, len(data), 128):
            chunk = data[i:i + 128]
            stored += bytes([len(chunk) - 1]) + chunk
        packed.append((name.encode(), stored, len(data)))
    offset = 8 + sum(14 + len(name) for name, _, _ in packed)
    out = b"VBV1" + struct.pack("<I", len(packed))
    for name, stored, size in packed:
        out += struct.pack("<HIII", len(name), offset, len(stored), size) + name
        offset += len(stored)
    return out + b"".join(stored for _, stored, _ in packed)


def built_package():
    with open(os.path.join(vobu_e2e.bin_dir(), "vobu.dat"), "rb") as f:
        return f.read()


def without_entry(data, dropped):
    """The package with one entry left out, the others stored as they were."""
    count = struct.unpack_from("<I", data, 4)[0]
    kept, at = [], 8
    for _ in range(count):
        name_length, offset, stored, size = struct.unpack_from("<HIII", data, at)
        name = data[at + 14:at + 14 + name_length]
        at += 14 + name_length
        if name.decode() != dropped:
            kept.append((name, data[offset:offset + stored], size))
    offset = 8 + sum(14 + len(name) for name, _, _ in kept)
    out = b"VBV1" + struct.pack("<I", len(kept))
    for name, stored, size in kept:
        out += struct.pack("<HIII", len(name), offset, len(stored), size) + name
        offset += len(stored)
    return out + b"".join(stored for _, stored, _ in kept)


def close_to(a, b, tolerance=2):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


class ShellTest(unittest.TestCase):
    def run_to_exit(self, args=(), timeout=15, **client_options):
        with vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, args, name=self.id(), **client_options) as client:
                status = client.wait_exit(timeout)
                return status, client.log()

    # -- exit statuses -------------------------------------------------------
    def test_quit_time_reached_ends_with_status_0(self):
        with vobu_e2e.Display() as display:
            started = time.monotonic()
            with vobu_e2e.Client(display, ["--quit-after-ms", "1500"], name=self.id()) as client:
                client.wait_for_window()
                self.assertEqual(client.wait_exit(15), 0, client.log())
                self.assertGreaterEqual(time.monotonic() - started, 1.5)
            # One millisecond may pass before the first frame: still a clean end.
            with vobu_e2e.Client(display, ["--quit-after-ms", "1"], name=self.id() + "-1ms") as client:
                self.assertEqual(client.wait_exit(15), 0, client.log())

    def test_without_vertical_sync_frames_are_paced_and_still_drawn(self):
        # Xvfb with llvmpipe cannot set a swap interval: the client says it
        # paces itself, and the title screen keeps moving (the logo waves).
        with vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--quit-after-ms", "6000"], name=self.id()) as client:
                window = client.wait_for_window()
                logo = (window.x + 200, window.y + 15, 620, 150)
                client.wait_for_picture(lambda shot: close_to(shot.pixel(window.x + PLAIN[0], window.y + PLAIN[1]),
                                                              BACKGROUND))
                before = client.screenshot("paced-before").region(*logo)
                client.wait_for_picture(lambda shot: shot.region(*logo) != before, label="paced-moved")
                self.assertEqual(client.wait_exit(15), 0, client.log())
                self.assertIn("No vertical sync: frames paced to 60 Hz", client.log())

    def test_closing_the_window_ends_with_status_0(self):
        with vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, name=self.id()) as client:
                window = client.wait_for_window()
                client.wait_for_picture(lambda shot: close_to(shot.pixel(window.x + PLAIN[0], window.y + PLAIN[1]),
                                                                     BACKGROUND))
                time.sleep(0.3)
                self.assertTrue(client.running())
                client.close_window()
                self.assertEqual(client.wait_exit(10), 0, client.log())

    def test_bad_quit_values_end_with_stoul_before_any_window(self):
        for value in ["abc", "", "4294967296", "99999999999999999999"]:
            with self.subTest(value=value):
                started = time.monotonic()
                status, log = self.run_to_exit(["--quit-after-ms", value])
                self.assertEqual(status, 1, log)
                self.assertIn("Client: stoul", log)
                self.assertLess(time.monotonic() - started, 10)

    def test_missing_package_ends_with_status_1(self):
        status, log = self.run_to_exit(["--quit-after-ms", "20000"], missing_package=True)
        self.assertEqual(status, 1, log)
        self.assertIn("Client: ERR_ASSET_PACKAGE", log)
        # The path that was tried comes once, before the code.
        where = re.search(r'Asset package "([^"]*vobu\.dat)"', log)
        self.assertIsNotNone(where, log)
        self.assertLess(where.start(), log.index("Client: ERR_ASSET_PACKAGE"))
        self.assertEqual(log.count('Asset package "'), 1, log)

    def test_broken_package_ends_with_status_1(self):
        real = built_package()
        cases = {
            "cut short": (real[:100], "Client: ERR_ASSET_PACKAGE"),
            "wrong magic": (b"VBV2" + real[4:], "Client: ERR_ASSET_PACKAGE"),
            "empty file": (b"", "Client: ERR_ASSET_PACKAGE"),
            "bad glyph table": (package([("unifont.bin", b"UFNX" + bytes(4)), ("logo.rgba", bytes(8))]),
                                "Client: Unifont asset is missing or invalid"),
        }
        for name, (data, message) in cases.items():
            with self.subTest(case=name):
                status, log = self.run_to_exit(["--quit-after-ms", "20000"], package=data)
                self.assertEqual(status, 1, log)
                self.assertIn(message, log)

    def test_missing_logo_ends_with_status_1_when_the_title_screen_is_set_up(self):
        package_data = without_entry(built_package(), "logo.rgba")
        status, log = self.run_to_exit(["--quit-after-ms", "20000"], package=package_data)
        self.assertEqual(status, 1, log)
        self.assertIn("Client: ERR_ASSET_PACKAGE", log)
        # A quick join needs no title screen: the program runs to its quit time.
        status, log = self.run_to_exit(["--quick-join", "--server", "ws://127.0.0.1:9/vobu", "--quit-after-ms", "2500"],
                                       package=package_data)
        self.assertEqual(status, 0, log)
        self.assertNotIn("Client: ", log)

    def test_no_display_ends_with_status_1(self):
        with vobu_e2e.Client(None, ["--quit-after-ms", "20000"], name=self.id(),
                             env={"DISPLAY": None, "WAYLAND_DISPLAY": None}) as client:
            status = client.wait_exit(15)
            self.assertEqual(status, 1, client.log())
            self.assertIn("SDL initialization failed: ", client.log())

    # -- the window --------------------------------------------------------
    def test_window_is_titled_sized_and_centred(self):
        with vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, name=self.id()) as client:
                window = client.wait_for_window()
                self.assertEqual(window.title, "VobuGame")
                self.assertEqual((window.width, window.height), (1020, 680))
                self.assertEqual((window.x, window.y), ((display.width - 1020) // 2, (display.height - 680) // 2))

    def test_larger_window_centres_the_canvas(self):
        with vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, name=self.id()) as client:
                client.wait_for_window()
                window = client.resize_window(1200, 800)

                def at(x, y):
                    return (window.x + x, window.y + y)

                # The canvas moves to (90, 60); the frame clears the rest to black.
                shot = client.wait_for_picture(lambda s: close_to(s.pixel(*at(90 + PLAIN[0], 60 + PLAIN[1])), BACKGROUND)
                                               and s.pixel(*at(40, 30)) == BLACK, label="shell-resized")
                self.assertEqual(shot.pixel(*at(89, 400)), BLACK)
                self.assertEqual(shot.pixel(*at(90 + 1020, 400)), BLACK)
                self.assertTrue(close_to(shot.pixel(*at(90, 400)), BACKGROUND))
                glyphs = vobu_e2e.read_unifont_hex(wanted={ord("R")})
                self.assert_glyph(shot, at(90 + REFRESH_LABEL[0], 60 + REFRESH_LABEL[1]), [glyphs[ord("R")]], BODY_TEXT)

    def test_picture_shows_unifont_text_and_the_cursor(self):
        glyphs = vobu_e2e.read_unifont_hex(wanted={ord(c) for c in "Refresh"})
        with vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, name=self.id()) as client:
                window = client.wait_for_window()

                def at(x, y):
                    return (window.x + x, window.y + y)

                # The first frame is on screen before the pointer moves, so
                # the motion reaches a window that is already listening.
                client.wait_for_picture(lambda s: close_to(s.pixel(*at(*PLAIN)), BACKGROUND))
                tip = POINTER_SPOT
                client.move_mouse(*tip)

                shot = client.wait_for_picture(lambda s: s.pixel(*at(*tip)) == BLACK, label="shell-title-screen")

                # The button's label, glyph by glyph, 8 pixels apart.
                for index, letter in enumerate("Refresh"):
                    self.assert_glyph(shot, at(REFRESH_LABEL[0] + 8 * index, REFRESH_LABEL[1]), [glyphs[ord(letter)]],
                                      BODY_TEXT)

                self.assert_arrow(shot, at(*tip))

                # Leaving the window hides the arrow; coming back shows it again.
                client.move_mouse_to_screen(2, 2)
                shot = client.wait_for_picture(lambda s: s.pixel(*at(*tip)) == BACKGROUND)
                self.assertEqual(set(sum(shot.region(*at(*tip), 12, 8), [])), {BACKGROUND})
                back = (tip[0] + 60, tip[1])
                client.move_mouse(*back)
                shot = client.wait_for_picture(lambda s: s.pixel(*at(*back)) == BLACK, label="shell-cursor-back")
                self.assert_arrow(shot, at(*back))

    def assert_glyph(self, shot, origin, layers, ink):
        # Unlit pixels are the surface the text is on (a button's face).
        paper = shot.pixel(origin[0] - 1, origin[1])
        for row in range(16):
            for column in range(len(layers[0][0])):
                inked = any(column < len(layer[row]) and layer[row][column] for layer in layers)
                expected = ink if inked else paper
                got = shot.pixel(origin[0] + column, origin[1] + row)
                self.assertTrue(close_to(got, expected), f"pixel {column},{row} of glyph at {origin}: {got}")

    def assert_arrow(self, shot, origin):
        # The arrow's own rows; the background shows around them.
        for row, text in enumerate(ARROW):
            for column in range(12):
                mark = text[column] if column < len(text) else "."
                expected = {"B": BLACK, "W": WHITE}.get(mark, BACKGROUND)
                got = shot.pixel(origin[0] + column, origin[1] + row)
                self.assertTrue(close_to(got, expected), f"arrow pixel {column},{row}: {got} not {expected}")


if __name__ == "__main__":
    unittest.main()
