"""Screenshots of the toolkit gallery under Xvfb (kept as gallery-*.png in
the e2e artifacts folder) with a few pixel checks of control states."""

import os
import select
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e"))
import vobu_e2e  # noqa: E402


def rgb(canvas_colour):
    """Canvas colours are 0xAABBGGRR."""
    return (canvas_colour & 0xFF, (canvas_colour >> 8) & 0xFF, (canvas_colour >> 16) & 0xFF)


class GalleryTest(unittest.TestCase):
    def shoot(self, args, label):
        with vobu_e2e.Display(1020, 680) as display:
            env = {
                "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
                "HOME": os.environ.get("TMPDIR", "/tmp"),
                "LIBGL_ALWAYS_SOFTWARE": "1",
                "GALLIUM_DRIVER": "llvmpipe",
            }
            env.update(display.env())
            binary = os.path.join(vobu_e2e.bin_dir(), "ui_gallery")
            process = subprocess.Popen([binary, "--quit-after-ms", "20000"] + args, env=env,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            try:
                deadline = time.monotonic() + 20
                ready = False
                while time.monotonic() < deadline and not ready:
                    readable, _, _ = select.select([process.stdout], [], [], 0.5)
                    if readable:
                        line = process.stdout.readline()
                        if not line:
                            break
                        ready = b"GALLERY READY" in line
                self.assertTrue(ready, "gallery did not start: " + process.stderr.read1().decode(errors="replace")
                                if not ready and process.poll() is not None else "gallery did not start")
                time.sleep(0.3)
                data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                                      env=dict(os.environ, **display.env()), capture_output=True,
                                      check=True, timeout=30).stdout
                path = os.path.join(vobu_e2e.artifacts_dir(), f"{label}.png")
                subprocess.run(["convert", "ppm:-", path], input=data, check=True)
                return vobu_e2e.read_ppm(data, path)
            finally:
                process.terminate()
                process.wait(10)

    def test_controls_in_every_state(self):
        shot = self.shoot([], "gallery-controls")
        self.assertEqual((shot.width, shot.height), (1020, 680))
        # The buttons row (y 54..81), one button every 124 pixels; a face pixel
        # inside the two-pixel bevel of each.
        faces = [shot.pixel(10 + 124 * i + 3, 57) for i in range(6)]
        self.assertEqual(faces[0], rgb(0xff362646))  # idle
        self.assertEqual(faces[1], rgb(0xff47375a))  # hover
        self.assertEqual(faces[2], rgb(0xff332243))  # pressed
        self.assertEqual(faces[3], rgb(0xff332243))  # held through UiControls
        self.assertEqual(faces[4], rgb(0xff362646))  # disabled
        self.assertEqual(shot.pixel(10, 54), rgb(0xff74678b))        # raised bevel
        self.assertEqual(shot.pixel(258, 54), rgb(0xff0f0217))       # sunken bevel
        self.assertEqual(shot.pixel(630 + 2, 54 + 2), rgb(0xffa9bdce))  # focus ring
        self.assertEqual(shot.pixel(754 + 2, 54 + 2), rgb(0xff362646))  # disabled: no ring
        # List A: selected row 3 in the selection colour, the list background.
        self.assertEqual(shot.pixel(200, 140 + 3 * 24 + 4), rgb(0xff4a375f))
        self.assertEqual(shot.pixel(200, 140 + 5 * 24 + 2), rgb(0xff14041e))

    def test_resize_badge(self):
        shot = self.shoot(["--badge"], "gallery-resize-badge")
        # "1020 x 680" (80 pixels) centred: columns 470..549, rows 332..347.
        white = sum(1 for y in range(332, 348) for x in range(470, 550) if shot.pixel(x, y) == (255, 255, 255))
        self.assertGreater(white, 100)
        outside = [shot.pixel(x, y) for x, y in ((5, 5), (1010, 670), (460, 340), (560, 340), (500, 320))]
        self.assertEqual(outside, [(0, 0, 0)] * 5)


if __name__ == "__main__":
    unittest.main()
