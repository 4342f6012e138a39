"""Draws one scene with the Renderer under Xvfb (llvmpipe), keeps it as
scene-shot.png in the e2e artifacts folder and checks a few of its pixels:
the local body's skin at the screen centre, the sign's text, the name tag
over the hovered player's head."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e"))
import vobu_e2e  # noqa: E402

def near(a, b, tolerance=6):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


class SceneShotTest(unittest.TestCase):
    def test_character_sign_and_name_tag(self):
        ppm = os.path.join(vobu_e2e.artifacts_dir(), "scene-shot.ppm")
        with vobu_e2e.Display(1020, 680) as display:
            env = vobu_e2e.drawing_environment(display, {"PATH": os.environ.get("PATH", "/usr/bin:/bin")})
            out = subprocess.run([os.path.join(vobu_e2e.bin_dir(), "scene_shot"), ppm], env=env,
                                 capture_output=True, timeout=60)
        self.assertEqual(out.returncode, 0, out.stderr.decode(errors="replace"))
        points = {}
        for line in out.stdout.decode().splitlines():
            name, *values = line.split()
            points[name] = [int(v) for v in values]
        with open(ppm, "rb") as f:
            shot = vobu_e2e.read_ppm(f.read(), ppm)
        subprocess.run(["convert", ppm, os.path.join(vobu_e2e.artifacts_dir(), "scene-shot.png")], check=False)

        # The local body fills the centre: yellow skin under the floor's
        # (0.25, 0.5, 0.75) tint.
        self.assertTrue(near(shot.pixel(*points["centre"]), (64, 128, 0)), shot.pixel(*points["centre"]))
        # The floor around is textured (two greys of the checker, tinted blue).
        floor = shot.pixel(*points["floor"])
        self.assertGreater(floor[2], floor[0])
        self.assertNotEqual(floor, (0, 0, 0))
        self.assertEqual(points["hovered"], [2])

        def count(centre, half_width, half_height, test):
            cx, cy = centre
            return sum(1 for y in range(cy - half_height, cy + half_height)
                       for x in range(cx - half_width, cx + half_width)
                       if 0 <= x < shot.width and 0 <= y < shot.height and test(shot.pixel(x, y)))

        # Label text is light (the default colour) or yellow (the colour code);
        # neither the blue floor nor the orange platform has both red and green high.
        def light(p):
            return p[0] > 150 and p[1] > 150 and p[2] > 120

        def yellow(p):
            return p[0] > 180 and p[1] > 140 and p[2] < 90

        self.assertGreater(count(points["sign"], 110, 30, light), 60, "sign text")
        self.assertGreater(count(points["sign"], 110, 30, yellow), 20, "coloured sign text")
        self.assertGreater(count(points["tag"], 80, 16, light), 60, "name tag")
        self.assertGreater(count(points["bubble"], 80, 20, light), 30, "speech bubble")
        # Nothing light far from the labels: the sky corner is black.
        self.assertEqual(shot.pixel(5, 5), (0, 0, 0))

if __name__ == "__main__":
    unittest.main()
