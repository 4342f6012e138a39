"""The program shell under Xvfb: exit statuses, the window, and a picture
that shows the toolkit's Unifont text and the software cursor."""

import os
import re
import struct
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vobu_e2e  # noqa: E402

BACKGROUND = (0x24, 0x0F, 0x1A)  # the stand-in canvas, 0xff1a0f24
BODY_TEXT = (0xA8, 0x94, 0x96)  # 0xff9694a8
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)

# Canvas positions of the stand-in screen's lines.
TEXT_LEFT = 120
CJK_LINE_Y = 248
COMBINING_LINE_Y = 272

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

    def test_closing_the_window_ends_with_status_0(self):
        with vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, name=self.id()) as client:
                window = client.wait_for_window()
                client.wait_for_picture(lambda shot: close_to(shot.pixel(window.x + 500, window.y + 600), BACKGROUND))
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
                shot = client.wait_for_picture(lambda s: close_to(s.pixel(*at(90 + 500, 60 + 600)), BACKGROUND)
                                               and s.pixel(*at(40, 30)) == BLACK, label="shell-resized")
                self.assertEqual(shot.pixel(*at(89, 400)), BLACK)
                self.assertEqual(shot.pixel(*at(90 + 1020, 400)), BLACK)
                self.assertNotEqual(shot.pixel(*at(90, 400)), BLACK)  # the canvas's bevelled border
                glyphs = vobu_e2e.read_unifont_hex(wanted={0x65E5})
                self.assert_glyph(shot, at(90 + TEXT_LEFT, 60 + CJK_LINE_Y), [glyphs[0x65E5]], WHITE)

    def test_picture_shows_unifont_text_and_the_cursor(self):
        glyphs = vobu_e2e.read_unifont_hex(wanted={0x65E5, 0x672C, ord("e"), 0x0301})
        with vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, name=self.id()) as client:
                window = client.wait_for_window()

                def at(x, y):
                    return (window.x + x, window.y + y)

                # The first frame is on screen before the pointer moves, so
                # the motion reaches a window that is already listening.
                client.wait_for_picture(lambda s: close_to(s.pixel(*at(500, 600)), BACKGROUND))
                tip = (900, 600)
                client.move_mouse(*tip)

                shot = client.wait_for_picture(lambda s: s.pixel(*at(*tip)) == BLACK, label="shell-stand-in")

                # A CJK line: two 16-pixel ideographs, pixel for pixel.
                for index, code_point in enumerate([0x65E5, 0x672C]):
                    self.assert_glyph(shot, at(TEXT_LEFT + 16 * index, CJK_LINE_Y), [glyphs[code_point]], WHITE)
                # "e" with a combining acute drawn over it, taking no width.
                e_left = TEXT_LEFT + 8 * len("Combining marks: ")
                self.assert_glyph(shot, at(e_left, COMBINING_LINE_Y), [glyphs[ord("e")], glyphs[0x0301]], BODY_TEXT)

                self.assert_arrow(shot, at(*tip))

                # Leaving the window hides the arrow; coming back shows it again.
                client.move_mouse_to_screen(2, 2)
                shot = client.wait_for_picture(lambda s: s.pixel(*at(*tip)) == BACKGROUND)
                self.assertEqual(set(sum(shot.region(*at(*tip), 32, 32), [])), {BACKGROUND})
                back = (700, 500)
                client.move_mouse(*back)
                shot = client.wait_for_picture(lambda s: s.pixel(*at(*back)) == BLACK, label="shell-cursor-back")
                self.assert_arrow(shot, at(*back))

    def assert_glyph(self, shot, origin, layers, ink):
        for row in range(16):
            for column in range(len(layers[0][0])):
                inked = any(column < len(layer[row]) and layer[row][column] for layer in layers)
                expected = ink if inked else BACKGROUND
                got = shot.pixel(origin[0] + column, origin[1] + row)
                self.assertTrue(close_to(got, expected), f"pixel {column},{row} of glyph at {origin}: {got}")

    def assert_arrow(self, shot, origin):
        for row in range(32):
            text = ARROW[row] if row < len(ARROW) else ""
            for column in range(32):
                mark = text[column] if column < len(text) else "."
                expected = {"B": BLACK, "W": WHITE}.get(mark, BACKGROUND)
                got = shot.pixel(origin[0] + column, origin[1] + row)
                self.assertTrue(close_to(got, expected), f"arrow pixel {column},{row}: {got} not {expected}")


if __name__ == "__main__":
    unittest.main()
