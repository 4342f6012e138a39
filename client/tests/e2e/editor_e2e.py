"""The character editor of the real client under Xvfb, driven with xdotool as
a player would: the title screen's "Characters", the library's Edit, the
paint panel, the tools and the shortcuts. What the editor wrote is read back
from characters.json in the private per-user folder, from the PNG files the
file dialog (a stub "zenity" first on PATH) pointed at, and from the X11
clipboard through xclip; the images the editor reads are made with PIL, so
no fixture comes from the editor's own writers. The join overlay's three
states come from a quick join through a relay that holds back the test
server's bytes where the test wants.

Environment as vobu_e2e.py; needs xclip and PIL (python3-pil).
"""

import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vobu_e2e  # noqa: E402
from vobu_e2e import TestServer, wait_for_log  # noqa: E402

BACKGROUND = (0x27, 0x04, 0x1A)  # 0xff1a0427
BODY_TEXT = (0xA8, 0x94, 0x96)  # 0xff9694a8
HANDLE = (0x5F, 0x37, 0x4A)  # 0xff4a375f
BLACK = (0, 0, 0)
SKIN = 0xFFDBAA  # every texel of a new character
WHITE = 0xFFFFFF

# Canvas rectangles (x, y, w, h); the 1020 x 680 canvas fills the window.
LIBRARY_VIEW = (310, 80, 684, 512)
EDITOR_VIEW = (24, 94, 696, 462)
CHARACTERS_BUTTON = (216, 624, 180, 32)
EDIT_BUTTON = (160, 536, 124, 32)
SAVE_BUTTON = (160, 624, 124, 32)
EDITOR_BACK_BUTTON = (24, 624, 124, 32)
NEW_BUTTON = (24, 536, 124, 32)
DUPLICATE_BUTTON = (24, 580, 124, 32)
DELETE_BUTTON = (160, 580, 124, 32)
NAME_FIELD = (754, 80, 244, 28)
HEX_FIELD = (854, 118, 144, 26)
PRIMARY_SWATCH = (754, 118, 40, 28)
IMPORT_BUTTON = (754, 610, 118, 24)
EXPORT_BUTTON = (878, 610, 118, 24)
FACE_BUTTONS = {name: (24 + 118 * i, 580, 106, 32) for i, name in
                enumerate(["Front", "Back", "Left", "Right", "Top", "Bottom"])}
SIZE_MINUS = {axis: (878, 524 + 28 * i - 4, 24, 24) for i, axis in enumerate(["Width", "Height", "Depth"])}
CANCEL_BUTTON = (420, 370, 180, 32)
PROGRESS_FILL = (332, 308, 356, 14)
# Plain background under the paint panel, where the pointer rests between steps.
PARKING = (600, 660)

FRONT, BACK, LEFT, RIGHT, TOP, BOTTOM = range(6)


def centre(rect):
    x, y, w, h = rect
    return (x + w // 2, y + h // 2)


def close_to(a, b, tolerance=2):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def rgb(value):
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


def face_size(size, face):
    width, height, depth = size
    if face in (LEFT, RIGHT):
        return depth, height
    if face in (TOP, BOTTOM):
        return width, depth
    return width, height


class FaceGeometry:
    """Where a face lies in the editor's face view at zoom 1 without pan: the
    face fills the view less a margin, centred."""

    def __init__(self, size, face):
        self.width, self.height = face_size(size, face)
        vx, vy, vw, vh = EDITOR_VIEW
        self.scale = min((vw - 70) / self.width, (vh - 50) / self.height)
        self.left = vx + vw / 2 - self.width * self.scale / 2
        self.top = vy + vh / 2 - self.height * self.scale / 2

    def point(self, tx, ty):
        """The canvas pixel at the centre of texel (tx, ty)."""
        return (round(self.left + (tx + 0.5) * self.scale), round(self.top + (ty + 0.5) * self.scale))

    def right_handle(self):
        """The centre of the handle right of the face's right edge."""
        x, y = int(self.left // 1), int(self.top // 1)
        w = -int(-(self.left + self.width * self.scale) // 1) - x
        h = -int(-(self.top + self.height * self.scale) // 1) - y
        return (x + w + 3 + 5, y + h // 2 - 5 + 5)


class Canvas:
    """The 64 x 64 texels of one face canvas as the editor should hold them."""

    def __init__(self, width, height, fill=SKIN):
        self.width, self.height = width, height
        self.texels = [[fill] * 64 for _ in range(64)]

    def __getitem__(self, xy):
        return self.texels[xy[1]][xy[0]]

    def __setitem__(self, xy, value):
        self.texels[xy[1]][xy[0]] = value

    def inside(self, x, y):
        return 0 <= x < self.width and 0 <= y < self.height

    def segment(self, a, b, color):
        """A pen stroke along a horizontal, vertical or 45-degree segment."""
        steps = max(abs(b[0] - a[0]), abs(b[1] - a[1]))
        sx = (b[0] > a[0]) - (b[0] < a[0])
        sy = (b[1] > a[1]) - (b[1] < a[1])
        assert steps == 0 or abs(b[0] - a[0]) in (0, steps) and abs(b[1] - a[1]) in (0, steps)
        return [self.dab(a[0] + k * sx, a[1] + k * sy, 1, color) for k in range(steps + 1)]

    def dab(self, x, y, size, color, round_brush=True):
        low, high = -(size // 2), size - size // 2 - 1
        e = 0.5 if size % 2 == 0 else 0.0
        for dy in range(low, high + 1):
            for dx in range(low, high + 1):
                if round_brush and (dx + e) ** 2 + (dy + e) ** 2 > size * size / 4:
                    continue
                if self.inside(x + dx, y + dy):
                    self[x + dx, y + dy] = color

    def fill(self, x, y, color):
        target = self[x, y]
        stack = [(x, y)]
        while stack:
            px, py = stack.pop()
            if self.inside(px, py) and self[px, py] == target:
                self[px, py] = color
                stack += [(px - 1, py), (px + 1, py), (px, py - 1), (px, py + 1)]


def canvas_of(text):
    """The 64 x 64 texels of one "rgb24" face string."""
    assert len(text) == 64 * 64 * 6, len(text)
    return [[int(text[(y * 64 + x) * 6:(y * 64 + x) * 6 + 6], 16) for x in range(64)] for y in range(64)]


def first_difference(got, want):
    for y in range(64):
        for x in range(64):
            if got[y][x] != want[y][x]:
                return f"texel ({x}, {y}) is {got[y][x]:06x}, not {want[y][x]:06x}"
    return None


class StubDialog:
    """A "zenity" first on PATH: it keeps its arguments and prints the path
    the test put in its answer file (or, without one, cancels)."""

    def __init__(self, folder):
        self.folder = folder
        self.calls_path = os.path.join(folder, "calls")
        self.answer_path = os.path.join(folder, "answer")
        script = os.path.join(folder, "zenity")
        with open(script, "w") as f:
            f.write('#!/bin/sh\n'
                    f'printf "%s\\n" "$@" >> "{self.calls_path}"\n'
                    f'printf "\\n" >> "{self.calls_path}"\n'
                    f'[ -f "{self.answer_path}" ] || exit 1\n'
                    f'cat "{self.answer_path}"\n')
        os.chmod(script, 0o755)

    def answer(self, path):
        with open(self.answer_path, "w") as f:
            f.write(path + "\n")

    def calls(self):
        if not os.path.exists(self.calls_path):
            return []
        with open(self.calls_path) as f:
            return [block.split("\n") for block in f.read().split("\n\n") if block]


class GatedRelay:
    """A TCP relay between the client and the test server that passes the
    server's bytes only up to an allowance the test sets, as a network that
    stalls where the test wants it. Without an allowance (None) it passes
    everything."""

    def __init__(self, upstream_url):
        self.upstream_port = int(upstream_url.rsplit(":", 1)[1].split("/")[0])
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.url = f"ws://127.0.0.1:{self.listener.getsockname()[1]}/vobu"
        self.allowance = 0
        self.passed = 0
        self.closed = False
        self.condition = threading.Condition()
        self.sockets = [self.listener]
        threading.Thread(target=self._accept, daemon=True).start()

    def allow(self, total):
        with self.condition:
            self.allowance = total
            self.condition.notify_all()

    def stalled(self):
        with self.condition:
            return self.allowance is not None and self.passed >= self.allowance

    def close(self):
        with self.condition:
            self.closed = True
            self.condition.notify_all()
        for s in self.sockets:
            try:
                s.close()
            except OSError:
                pass

    def _accept(self):
        while not self.closed:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            server = socket.create_connection(("127.0.0.1", self.upstream_port))
            self.sockets += [client, server]
            threading.Thread(target=self._pump, args=(client, server, False), daemon=True).start()
            threading.Thread(target=self._pump, args=(server, client, True), daemon=True).start()

    def _pump(self, source, target, gated):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    target.shutdown(socket.SHUT_WR)
                    return
                while data:
                    n = len(data)
                    if gated:
                        with self.condition:
                            self.condition.wait_for(lambda: self.closed or self.allowance is None
                                                    or self.passed < self.allowance)
                            if self.closed:
                                return
                            if self.allowance is not None:
                                n = min(n, self.allowance - self.passed)
                            self.passed += n
                    target.sendall(data[:n])
                    data = data[n:]
        except OSError:
            return


class EditorSession:
    """One client on its own display, with the steps a player takes."""

    def __init__(self, test, display, client):
        self.test = test
        self.display = display
        self.client = client
        self.window = None
        self.size = (32, 64, 32)
        self.face = FRONT
        # Where the canvas lies in the window: centred in a larger one.
        self.offset = (0, 0)

    # -- pointer and keys in canvas coordinates -------------------------------
    def move(self, point):
        self.client.move_mouse(point[0] + self.offset[0], point[1] + self.offset[1])

    def click(self, point, button=1):
        self.move(point)
        self.client.click(button)

    def down(self, point, button=1):
        self.move(point)
        self.client._x("xdotool", "mousedown", str(button))

    def up(self, button=1):
        self.client._x("xdotool", "mouseup", str(button))

    def key(self, *keys):
        self.client.key(*keys)

    def park(self):
        """The pointer to plain background, off the face and its crosshair."""
        self.move(PARKING)

    # -- pictures ---------------------------------------------------------------
    def pixel(self, shot, point):
        return shot.pixel(self.window.x + self.offset[0] + point[0], self.window.y + self.offset[1] + point[1])

    def wait(self, predicate, what, timeout=20):
        try:
            return self.client.wait_for_picture(predicate, timeout=timeout)
        except TimeoutError:
            self.keep(self.client.screenshot(), self.test.id() + "-timeout")
            raise TimeoutError("the picture never showed " + what) from None

    def keep(self, shot, label):
        """The window's part of a screenshot as <artifacts>/<label>.png."""
        image = Image.frombytes("RGB", (shot.width, shot.height), bytes(shot.rgb))
        w = self.window
        image.crop((w.x, w.y, w.x + w.width, w.y + w.height)).save(
            os.path.join(vobu_e2e.artifacts_dir(), label + ".png"))
        return shot

    def geometry(self, face=None):
        return FaceGeometry(self.size, self.face if face is None else face)

    def texel_point(self, tx, ty):
        return self.geometry().point(tx, ty)

    def shows_texels(self, shot, texels):
        geometry = self.geometry()
        return all(close_to(self.pixel(shot, geometry.point(x, y)), rgb(value)) for (x, y), value in texels.items())

    def wait_for_texels(self, texels, what="the painted texels"):
        return self.wait(lambda shot: self.shows_texels(shot, texels), what)

    # -- screens ------------------------------------------------------------------
    def open_library(self):
        self.window = self.client.wait_for_window()
        self.wait(lambda s: close_to(self.pixel(s, (500, 665)), BACKGROUND), "the title screen")
        self.click(centre(CHARACTERS_BUTTON))
        vx, vy, vw, vh = LIBRARY_VIEW
        return self.wait(lambda s: self.pixel(s, (vx + 1, vy + 1)) == BLACK
                         and self.pixel(s, (vx + vw - 2, vy + vh - 2)) == BLACK
                         and close_to(self.pixel(s, (vx - 4, vy + 1)), BACKGROUND), "the library screen")

    def open_editor(self):
        self.open_library()
        self.click(centre(EDIT_BUTTON))
        self.park()
        vx, vy, vw, vh = EDITOR_VIEW
        return self.wait(lambda s: self.pixel(s, (vx + 1, vy + 1)) == BLACK
                         and self.pixel(s, (vx + vw - 2, vy + vh - 2)) == BLACK
                         and close_to(self.pixel(s, (vx - 4, vy + 1)), BACKGROUND)
                         and self.shows_texels(s, {(1, 1): SKIN}), "the editor's face view")

    def show_face(self, face, name):
        """A face button, then the end of the camera's turn: the resize
        handles are drawn only once it has finished."""
        self.click(centre(FACE_BUTTONS[name]))
        self.face = face
        self.park()
        handle = self.geometry().right_handle()
        self.wait(lambda s: close_to(self.pixel(s, handle), HANDLE) and self.shows_texels(s, {(0, 0): SKIN}),
                  f"the {name} face")

    def set_color(self, typed, value):
        """The active colour through the hex field: select all, type, Return."""
        self.click(centre(HEX_FIELD))
        self.key("ctrl+a")
        self.client.type_text(typed)
        self.key("Return")
        self.park()
        self.wait(lambda s: close_to(self.pixel(s, centre(PRIMARY_SWATCH)), rgb(value)), f"the swatch in {typed}")

    def stroke(self, texels, button=1, during=None):
        """Presses on the first texel, moves through the others, releases;
        during(), when given, runs before the release."""
        self.down(self.texel_point(*texels[0]), button)
        for texel in texels[1:]:
            self.move(self.texel_point(*texel))
        if during:
            during()
        self.up(button)
        self.park()

    # -- files -------------------------------------------------------------------
    def characters_path(self):
        return os.path.join(self.client.data_home, "VobuOrchard", "VobuOrchard", "characters.json")

    def read_characters(self):
        with open(self.characters_path(), "rb") as f:
            return f.read()

    def save(self):
        """Ctrl+S, then the rewritten characters file as JSON."""
        before = self.read_characters()
        self.key("ctrl+s")
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            data = self.read_characters()
            if data != before:
                return json.loads(data)
            time.sleep(0.05)
        raise TimeoutError("Ctrl+S left characters.json as it was")

    def assert_faces(self, document, canvases):
        """Every texel of the six face canvases of the only character."""
        self.test.assertEqual(len(document["characters"]), 1)
        saved = document["characters"][0]
        self.test.assertEqual(saved["format"], "rgb24")
        self.test.assertEqual(saved["canvasSize"], 64)
        for face in range(6):
            got = canvas_of(saved["faces"][face])
            difference = first_difference(got, canvases[face].texels)
            self.test.assertIsNone(difference, f"face {face}: {difference}")
        return saved


class EditorTest(unittest.TestCase):
    def session(self, display, env=None):
        client = vobu_e2e.Client(display, ["--quit-after-ms", "120000"], name=self.id(), env=env)
        client.start()
        self.addCleanup(client.stop)
        self.display_name = display.name
        self.x_display = display
        return EditorSession(self, display, client)

    def display(self):
        display = vobu_e2e.Display()
        display.__enter__()
        self.addCleanup(display.__exit__, None, None, None)
        return display

    def stub_dialog(self):
        folder = tempfile.mkdtemp(prefix="vobu-dialog-")
        self.addCleanup(shutil.rmtree, folder, True)
        return StubDialog(folder), {"PATH": folder + ":" + os.environ.get("PATH", "/usr/bin:/bin")}

    def xclip(self, *args, data=None):
        env = self.x_display.tool_env()
        return subprocess.run(["xclip", "-selection", "clipboard", *args], env=env, input=data, capture_output=True,
                              timeout=10)

    def offer_on_clipboard(self, png_path):
        """xclip owns the clipboard with the PNG until it is stopped."""
        env = self.x_display.tool_env()
        process = subprocess.Popen(["xclip", "-selection", "clipboard", "-t", "image/png", "-i", "-quiet", png_path],
                                   env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

        def stop():
            if process.poll() is None:
                process.terminate()
            process.wait(5)
            process.stdout.close()

        self.addCleanup(stop)
        # It says so once it owns the selection.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            targets = self.xclip("-t", "TARGETS", "-o").stdout.decode().split()
            if "image/png" in targets:
                return process
            time.sleep(0.05)
        raise TimeoutError("xclip never offered the PNG")

    # -- painting and saving ------------------------------------------------------
    def test_pen_fill_and_line_are_saved_texel_for_texel(self):
        display = self.display()
        editor = self.session(display)
        library = editor.open_library()
        self.check_library(editor, library)
        editor.click(centre(EDIT_BUTTON))
        editor.park()
        shot = editor.wait(lambda s: editor.shows_texels(s, {(0, 0): SKIN, (31, 63): SKIN}), "the face view")
        editor.keep(shot, "editor-face-view")
        self.check_face_view(editor, shot)

        front = Canvas(32, 64)
        canvases = [front] + [Canvas(*face_size(editor.size, face)) for face in range(1, 6)]
        green, blue, mint = 0x12AB34, 0x5566FF, 0xC0FFEE

        # A closed square outline with the Pen (the default tool), in one
        # stroke; the picture mid-stroke shows what is painted so far.
        editor.set_color("#12AB34", green)
        corners = [(4, 4), (12, 4), (12, 12), (4, 12), (4, 4)]
        for a, b in zip(corners, corners[1:]):
            front.segment(a, b, green)

        def mid_stroke():
            shot = editor.wait_for_texels({(8, 4): green, (12, 8): green, (8, 12): SKIN}, "the stroke so far")
            editor.keep(shot, "editor-mid-stroke")

        editor.down(editor.texel_point(*corners[0]))
        editor.move(editor.texel_point(*corners[1]))
        editor.move(editor.texel_point(*corners[2]))
        mid_stroke()
        editor.move(editor.texel_point(*corners[3]))
        editor.move(editor.texel_point(*corners[4]))
        editor.up()
        editor.park()
        editor.wait_for_texels({(4, 8): green, (8, 12): green})

        # Fill inside the square, then the rest of the face; the canvas
        # beyond the 32 x 64 face stays as it was.
        editor.key("f")
        editor.set_color("5566FF", blue)
        editor.click(editor.texel_point(8, 8))
        front.fill(8, 8, blue)
        editor.set_color("#c0ffee", mint)
        editor.click(editor.texel_point(20, 50))
        front.fill(20, 50, mint)
        editor.park()
        editor.wait_for_texels({(8, 8): blue, (5, 11): blue, (20, 50): mint, (0, 0): mint, (31, 63): mint,
                                (4, 4): green})

        # A line with the right button: the secondary colour (white), the
        # brush's 4-texel round footprint, painted on release; the preview
        # shows it while the button is held.
        editor.key("l")
        line = [(6 + k, 30 + k) for k in range(11)]
        for x, y in line:
            front.dab(x, y, 4, WHITE)

        def line_preview():
            shot = editor.wait_for_texels({(6, 30): WHITE, (11, 35): WHITE, (14, 38): WHITE}, "the line preview")
            editor.keep(shot, "editor-line-preview")

        editor.stroke([line[0], line[5], line[-1]], button=3, during=line_preview)
        editor.wait_for_texels({(6, 30): WHITE, (11, 35): WHITE, (17, 40): WHITE, (4, 28): mint, (17, 41): mint})

        # One more stroke, undone with Ctrl+Z as a whole.
        editor.key("p")
        editor.key("x")  # white becomes the primary colour
        editor.stroke([(20, 5), (28, 5)])
        editor.wait_for_texels({(20, 5): WHITE, (24, 5): WHITE, (28, 5): WHITE})
        editor.key("ctrl+z")
        editor.wait_for_texels({(24, 5): mint, (20, 5): mint})

        saved = editor.assert_faces(editor.save(), canvases)
        self.assertEqual(saved["name"], "Vobu")
        self.assertEqual(saved["size"], [32, 64, 32])
        self.assertRegex(saved["id"], r"^[0-9a-f]{32}$")

    # -- the library -------------------------------------------------------------------
    def test_library_keeps_saved_names_and_drops_discarded_ones(self):
        display = self.display()
        editor = self.session(display)
        editor.open_editor()

        def rename(name):
            editor.click(centre(NAME_FIELD))
            editor.key("ctrl+a")
            editor.client.type_text(name)
            editor.key("Return")

        def characters(predicate, what):
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                document = json.loads(editor.read_characters())
                if predicate(document["characters"]):
                    return document["characters"]
                time.sleep(0.05)
            raise TimeoutError(f"characters.json never held {what}: {[c['name'] for c in document['characters']]}")

        def in_library():
            editor.park()
            vx, vy, vw, vh = LIBRARY_VIEW
            editor.wait(lambda s: editor.pixel(s, (vx + vw - 2, vy + vh - 2)) == BLACK, "the library screen")

        first = json.loads(editor.read_characters())["characters"][0]
        # An unsaved name: Back asks "Discard?", Back again drops it.
        rename("Zed")
        editor.click(centre(EDITOR_BACK_BUTTON))
        editor.click(centre(EDITOR_BACK_BUTTON))
        in_library()
        self.assertEqual([c["name"] for c in json.loads(editor.read_characters())["characters"]], ["Vobu"])

        # Saved with Ctrl+S, then Back needs no second press.
        editor.click(centre(EDIT_BUTTON))
        editor.park()
        editor.wait(lambda s: editor.shows_texels(s, {(1, 1): SKIN}), "the face view")
        rename("Zed")
        self.assertEqual(editor.save()["characters"][0]["name"], "Zed")
        editor.click(centre(EDITOR_BACK_BUTTON))
        in_library()

        # Duplicate, then Delete twice (the first press asks "Confirm?"),
        # then New.
        editor.click(centre(DUPLICATE_BUTTON))
        both = characters(lambda cs: len(cs) == 2, "the duplicate")
        self.assertEqual([c["name"] for c in both], ["Zed", "Zed copy"])
        self.assertEqual(both[0]["id"], first["id"])
        self.assertNotEqual(both[1]["id"], first["id"])
        self.assertRegex(both[1]["id"], r"^[0-9a-f]{32}$")
        self.assertEqual(both[1]["faces"], both[0]["faces"])
        in_library()
        editor.click(centre(DELETE_BUTTON))
        editor.click(centre(DELETE_BUTTON))
        left = characters(lambda cs: len(cs) == 1, "one character after the delete")
        self.assertEqual(left[0]["name"], "Zed")
        in_library()
        editor.click(centre(NEW_BUTTON))
        after = characters(lambda cs: len(cs) == 2, "the new character")
        self.assertEqual([c["name"] for c in after], ["Zed", "Vobu"])
        self.assertEqual(after[1]["size"], [32, 64, 32])

    # -- the keyboard and the resize handles -------------------------------------------
    def test_keyboard_painting_and_resize_handles_in_a_larger_window(self):
        display = self.display()
        editor = self.session(display)
        editor.open_editor()
        # The canvas moves to the middle of a larger window; every press
        # below lands through that offset.
        editor.client.resize_window(1200, 800)
        editor.window = editor.client.window
        editor.offset = (90, 60)
        editor.park()
        editor.wait(lambda s: editor.shows_texels(s, {(0, 0): SKIN, (31, 63): SKIN})
                    and editor.client.screenshot().pixel(editor.window.x + 40, editor.window.y + 30) == BLACK,
                    "the face view in the middle of the larger window")
        canvases = [Canvas(*face_size(editor.size, face)) for face in range(6)]
        front = canvases[FRONT]
        teal = 0x008080
        editor.set_color("#008080", teal)

        # Tab puts the focus on the view; the arrows walk the keyboard cursor
        # from texel (0, 0); Space held paints along, Return dabs once and
        # Shift+Return dabs the secondary colour.
        editor.key("Tab")
        editor.key("Right", "Right", "Right", "Down", "Down")
        editor.client._x("xdotool", "keydown", "--window", str(editor.window.id), "space")
        editor.key("Right", "Right")
        editor.client._x("xdotool", "keyup", "--window", str(editor.window.id), "space")
        editor.key("Down", "Down", "Down", "Down", "Return")
        editor.key("Left", "shift+Return")
        for x in (3, 4, 5):
            front[x, 2] = teal
        front[5, 6] = teal
        front[4, 6] = WHITE
        # The crosshair stays on the keyboard cursor until the mouse moves.
        editor.move((PARKING[0] - 20, PARKING[1]))
        editor.park()
        editor.wait_for_texels({(3, 2): teal, (4, 2): teal, (5, 2): teal, (5, 6): teal, (4, 6): WHITE,
                                (6, 2): SKIN, (5, 3): SKIN}, "the keyboard strokes")

        # The handle right of the face, dragged by 3.6 texels: four more
        # texels across; the one below it, dragged up by 2 texels: two fewer.
        geometry = editor.geometry()
        hx, hy = geometry.right_handle()
        editor.down((hx, hy))
        editor.move((hx + 10, hy))
        editor.move((hx + round(3.6 * geometry.scale), hy))
        editor.up()
        editor.size = (36, 64, 32)
        # The face grows to the right and its handles move with it only once
        # a frame has drawn it: wait for that picture before pressing the
        # next handle (a press in the same frame would meet the old layout).
        editor.wait(lambda shot: close_to(editor.pixel(shot, geometry.point(35, 32)), rgb(SKIN)),
                    "the face grown to 36 texels")
        bottom = (int(geometry.left) + (-int(-(geometry.left + 36 * geometry.scale) // 1) - int(geometry.left)) // 2,
                  -int(-(geometry.top + 64 * geometry.scale) // 1) + 3 + 5)
        editor.down(bottom)
        editor.move((bottom[0], bottom[1] - 6))
        editor.move((bottom[0], bottom[1] - round(2 * geometry.scale)))
        editor.up()
        editor.size = (36, 62, 32)
        # A middle click in the view brings the face back to zoom 1, centred.
        editor.click((100, 300), button=2)
        editor.park()
        for face, canvas in enumerate(canvases):
            canvas.width, canvas.height = face_size(editor.size, face)
        editor.wait_for_texels({(3, 2): teal, (5, 6): teal, (35, 61): SKIN}, "the face of 36 x 62 texels")
        saved = editor.assert_faces(editor.save(), canvases)
        self.assertEqual(saved["size"], [36, 62, 32])

    # -- the middle button in the orbit view ---------------------------------------------
    def test_a_middle_click_in_the_orbit_view_keeps_its_zoom(self):
        display = self.display()
        editor = self.session(display)
        editor.open_editor()
        vx, vy, vw, vh = EDITOR_VIEW

        def box_height(shot):
            """Rows of the view that show some of the box (every second row
            and column is enough to see its size)."""
            left = editor.window.x + vx + 2
            rows = 0
            for y in range(editor.window.y + vy + 2, editor.window.y + vy + vh - 2, 2):
                start = (y * shot.width + left) * 3
                row = shot.rgb[start:start + (vw - 4) * 3]
                if any(row[i] or row[i + 1] or row[i + 2] for i in range(0, len(row), 6)):
                    rows += 2
            return rows

        def settled_height(what):
            """The box's height once two shots a second apart agree (the
            box keeps turning, which changes its height only a little)."""
            heights = [box_height(editor.client.screenshot())]
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline:
                time.sleep(1.0)
                heights.append(box_height(editor.client.screenshot()))
                if abs(heights[-1] - heights[-2]) <= 6:
                    return heights[-1]
            self.fail(f"{what} never settled: {heights}")

        # The wheel out of the face view into the orbit view, and on out to
        # the farthest zoom, where the box is small.
        editor.move(centre(EDITOR_VIEW))
        for _ in range(14):
            editor.client.click(5)
        editor.park()
        far = settled_height("the zoomed-out orbit view")
        self.assertLess(far, vh // 2, "the orbit view zoomed out")
        editor.keep(editor.client.screenshot(), self.id() + "-before")

        # A middle click there changes nothing.
        editor.click(centre(EDITOR_VIEW), button=2)
        editor.park()
        after = settled_height("the orbit view after the middle click")
        editor.keep(editor.client.screenshot(), self.id() + "-after")
        self.assertLess(abs(after - far), max(8, far // 10), f"the box was {far} rows high and is now {after}")

    # -- moving a lifted selection -----------------------------------------------------
    def test_lifted_selection_moves_to_the_edge_and_an_undo_mid_move_ends_it(self):
        display = self.display()
        editor = self.session(display)
        editor.open_editor()
        original = [Canvas(*face_size(editor.size, face)) for face in range(6)]
        red = 0xE01020
        editor.set_color("#e01020", red)
        dots = [(5, 5), (6, 5), (5, 6)]
        for texel in dots:
            editor.click(editor.texel_point(*texel))
            original[FRONT][texel] = red
        editor.park()
        editor.wait_for_texels({texel: red for texel in dots})
        editor.key("m")
        editor.stroke([(4, 4), (7, 7)])

        # Lift the 4 x 4 selection and move it by (5, 7); Ctrl+Z while the
        # button is still down puts everything back and ends the move, so
        # the pointer moving on changes nothing.
        # (Grabbed by its corner, so that the crosshair stays off the dots.)
        editor.down(editor.texel_point(7, 7))
        editor.move(editor.texel_point(9, 10))
        editor.move(editor.texel_point(12, 14))
        editor.wait_for_texels({(11, 12): red, (10, 13): red, (11, 13): SKIN, (5, 5): WHITE, (6, 6): WHITE},
                               "the lifted selection moved")
        editor.key("ctrl+z")
        editor.wait_for_texels({(5, 5): red, (6, 6): SKIN, (11, 12): SKIN}, "the move undone")
        editor.move(editor.texel_point(14, 16))
        editor.move(editor.texel_point(15, 17))
        editor.up()
        editor.park()
        editor.wait_for_texels({(5, 5): red, (6, 5): red, (6, 6): SKIN, (13, 15): SKIN, (12, 14): SKIN},
                               "the face as before the move")
        editor.assert_faces(editor.save(), original)

        # Moved far to the right it stops at the face's edge and leaves the
        # secondary colour (white) behind; one undo restores the face.
        editor.stroke([(4, 4), (7, 7)])
        editor.down(editor.texel_point(7, 7))
        editor.move(editor.texel_point(14, 7))
        editor.move((700, editor.texel_point(0, 7)[1]))
        editor.up()
        editor.park()
        moved = [Canvas(*face_size(editor.size, face)) for face in range(6)]
        for j in range(4):
            for i in range(4):
                moved[FRONT][4 + i, 4 + j] = WHITE
                moved[FRONT][28 + i, 4 + j] = original[FRONT][4 + i, 4 + j]
        editor.wait_for_texels({(29, 5): red, (30, 5): red, (29, 6): red, (5, 5): WHITE}, "the selection at the edge")
        editor.assert_faces(editor.save(), moved)
        editor.key("ctrl+z")
        editor.wait_for_texels({(5, 5): red, (29, 5): SKIN}, "the edge move undone")
        editor.assert_faces(editor.save(), original)

    # -- skin sheets through the file dialog -------------------------------------
    def test_export_writes_the_sheet_through_the_dialog(self):
        dialog, env = self.stub_dialog()
        display = self.display()
        editor = self.session(display, env)
        editor.open_editor()

        # The name proposes the file name: slash and colon become "-".
        editor.click(centre(NAME_FIELD))
        editor.key("ctrl+a")
        editor.client.type_text("a/b: c")
        editor.key("Return")
        # A box of three different sizes, so that no two axes can be confused.
        for _ in range(2):
            editor.click(centre(SIZE_MINUS["Width"]))
        for _ in range(4):
            editor.click(centre(SIZE_MINUS["Depth"]))
        editor.size = (30, 64, 28)
        editor.park()
        beyond = editor.texel_point(31, 10)
        editor.wait(lambda s: editor.pixel(s, beyond) == BLACK and editor.shows_texels(s, {(29, 63): SKIN}),
                    "the Front face 30 texels wide")

        canvases = [Canvas(*face_size(editor.size, face)) for face in range(6)]
        red, blue, green = 0xFF0000, 0x0000FF, 0x00C000
        editor.set_color("#ff0000", red)
        for texel in [(0, 0), (29, 63), (5, 7)]:
            editor.click(editor.texel_point(*texel))
            canvases[FRONT][texel] = red
        editor.park()
        editor.wait_for_texels({(0, 0): red, (29, 63): red, (5, 7): red})
        editor.show_face(RIGHT, "Right")
        editor.set_color("#0000ff", blue)
        for texel in [(0, 0), (27, 63)]:
            editor.click(editor.texel_point(*texel))
            canvases[RIGHT][texel] = blue
        editor.show_face(TOP, "Top")
        editor.set_color("#00c000", green)
        editor.click(editor.texel_point(29, 27))
        canvases[TOP][29, 27] = green
        editor.park()
        editor.wait_for_texels({(29, 27): green})

        # Typed without an extension, the name gets ".png", so that the
        # import's PNG filter shows the file.
        dialog.answer(os.path.join(dialog.folder, "exported"))
        out = os.path.join(dialog.folder, "exported.png")
        editor.click(centre(EXPORT_BUTTON))
        sheet = self.wait_for_png(out)
        self.assertFalse(os.path.exists(os.path.join(dialog.folder, "exported")))

        calls = dialog.calls()
        self.assertEqual(len(calls), 1, calls)
        self.assertIn("--save", calls[0])
        self.assertIn("--title=Export vobu skin", calls[0])
        self.assertIn("--filename=a-b- c.png", calls[0])
        # Modal to the game window, so a window manager keeps it in front.
        self.assertIn("--modal", calls[0])
        self.assertIn("--attach=%d" % editor.client.window.id, calls[0])

        width, height, depth = editor.size
        self.assertEqual(sheet.size, (2 * (width + depth), height + 2 * depth))
        self.assertEqual(sheet.mode, "RGBA")
        # Every pixel: the six faces opaque in their places, the rest clear.
        places = {TOP: (depth, 0), LEFT: (0, depth), FRONT: (depth, depth), RIGHT: (width + depth, depth),
                  BACK: (width + 2 * depth, depth), BOTTOM: (depth, height + depth)}
        want = {}
        for face, (px, py) in places.items():
            fw, fh = face_size(editor.size, face)
            for j in range(fh):
                for i in range(fw):
                    want[px + i, py + j] = rgb(canvases[face][i, j]) + (255,)
        for y in range(sheet.size[1]):
            for x in range(sheet.size[0]):
                got = sheet.getpixel((x, y))
                expected = want.get((x, y), (0, 0, 0, 0))
                if expected[3] == 0:
                    self.assertEqual(got[3], 0, f"sheet pixel ({x}, {y}) outside the faces: {got}")
                else:
                    self.assertEqual(got, expected, f"sheet pixel ({x}, {y})")

    def test_import_reads_a_sheet_made_elsewhere(self):
        dialog, env = self.stub_dialog()
        display = self.display()
        editor = self.session(display, env)
        editor.open_editor()
        before = json.loads(editor.read_characters())["characters"][0]

        # A 20 x 48 x 16 net drawn by PIL inside a larger transparent picture;
        # one Front pixel is translucent and mixes with the old skin.
        width, height, depth = 20, 48, 16
        places = {TOP: (depth, 0), LEFT: (0, depth), FRONT: (depth, depth), RIGHT: (width + depth, depth),
                  BACK: (width + 2 * depth, depth), BOTTOM: (depth, height + depth)}
        origin = (5, 7)
        picture = Image.new("RGBA", (2 * (width + depth) + 13, height + 2 * depth + 11), (0, 0, 0, 0))
        canvases = []
        for face in range(6):
            fw, fh = face_size((width, height, depth), face)
            canvas = Canvas(fw, fh)
            for j in range(fh):
                for i in range(fw):
                    color = (40 * face + 17, 4 * i + 1, 3 * j + 2)
                    px, py = places[face]
                    picture.putpixel((origin[0] + px + i, origin[1] + py + j), color + (255,))
                    canvas[i, j] = (color[0] << 16) | (color[1] << 8) | color[2]
            canvases.append(canvas)
        translucent = (90, 200, 10, 200)
        px, py = places[FRONT]
        picture.putpixel((origin[0] + px + 3, origin[1] + py + 4), translucent)
        mixed = [(s * 200 + o * 55 + 127) // 255 for s, o in zip(translucent[:3], rgb(SKIN))]
        canvases[FRONT][3, 4] = (mixed[0] << 16) | (mixed[1] << 8) | mixed[2]
        path = os.path.join(dialog.folder, "sheet.png")
        picture.save(path)

        dialog.answer(path)
        editor.click(centre(IMPORT_BUTTON))
        editor.size = (width, height, depth)
        editor.park()
        editor.wait_for_texels({(0, 0): canvases[FRONT][0, 0], (19, 47): canvases[FRONT][19, 47],
                                (3, 4): canvases[FRONT][3, 4]}, "the imported Front face")
        calls = dialog.calls()
        self.assertEqual(len(calls), 1, calls)
        self.assertIn("--title=Import vobu skin", calls[0])
        self.assertNotIn("--save", calls[0])
        self.assertIn("--attach=%d" % editor.client.window.id, calls[0])

        saved = editor.assert_faces(editor.save(), canvases)
        self.assertEqual(saved["size"], [width, height, depth])
        self.assertEqual((saved["id"], saved["name"]), (before["id"], before["name"]))

    def wait_for_png(self, path, timeout=15):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if os.path.exists(path):
                try:
                    with Image.open(path) as image:
                        image.load()
                        return image.copy()
                except (OSError, SyntaxError):
                    pass
            time.sleep(0.1)
        raise TimeoutError("no PNG at " + path)

    # -- the clipboard ---------------------------------------------------------------
    def test_copy_puts_the_selection_on_the_clipboard(self):
        display = self.display()
        editor = self.session(display)
        editor.open_editor()
        canvases = [Canvas(*face_size(editor.size, face)) for face in range(6)]
        front = canvases[FRONT]
        dots = {(3, 3): 0x102030, (9, 7): 0xF0E0D0, (5, 4): 0x00FF7F, (4, 6): 0x7F00FF}
        for texel, value in dots.items():
            editor.set_color(f"{value:06x}", value)
            editor.click(editor.texel_point(*texel))
            front[texel] = value
        editor.park()
        editor.wait_for_texels(dots)

        # A selection from corner to corner, drawn dashed over the face.
        editor.key("m")
        editor.stroke([(3, 3), (6, 5), (9, 7)])
        geometry = editor.geometry()
        x0, x1 = int(geometry.left + 3 * geometry.scale), int(geometry.left + 10 * geometry.scale)
        y0, y1 = int(geometry.top + 3 * geometry.scale), int(geometry.top + 8 * geometry.scale)

        def outlined(s):
            # Dashes of light grey along the top and bottom edges.
            def dashes(y):
                return sum(1 for row in (y - 1, y, y + 1) for x in range(x0, x1)
                           if close_to(editor.pixel(s, (x, row)), (242, 242, 242), 3))
            return dashes(y0) > 10 and dashes(y1) > 10 and editor.shows_texels(s, dots)

        shot = editor.wait(outlined, "the selection outline")
        editor.keep(shot, "editor-selection")
        editor.key("ctrl+c")

        want = [[rgb(front[3 + i, 3 + j]) for i in range(7)] for j in range(5)]
        deadline = time.monotonic() + 10
        while "image/bmp" not in self.xclip("-t", "TARGETS", "-o").stdout.decode().split():
            self.assertLess(time.monotonic(), deadline, "the clipboard never offered image/bmp")
            time.sleep(0.1)
        for target in ["image/bmp", "image/png"]:
            with self.subTest(target=target):
                result = self.xclip("-t", target, "-o")
                self.assertEqual(result.returncode, 0, result.stderr)
                path = os.path.join(tempfile.mkdtemp(prefix="vobu-clip-"), "copy")
                self.addCleanup(shutil.rmtree, os.path.dirname(path), True)
                with open(path, "wb") as f:
                    f.write(result.stdout)
                with Image.open(path) as image:
                    self.assertEqual(image.size, (7, 5))
                    got = [[image.convert("RGB").getpixel((i, j)) for i in range(7)] for j in range(5)]
                self.assertEqual(got, want)

        # Ctrl+X copies again and leaves the secondary colour (white) behind.
        editor.key("ctrl+x")
        for j in range(5):
            for i in range(7):
                front[3 + i, 3 + j] = WHITE
        editor.key("Escape")
        editor.wait_for_texels({(3, 3): WHITE, (9, 7): WHITE, (5, 4): WHITE, (10, 7): SKIN})
        editor.assert_faces(editor.save(), canvases)

    def test_copied_image_goes_to_the_clipboard_manager_when_the_client_exits(self):
        display = self.display()
        manager = subprocess.Popen([os.path.join(vobu_e2e.bin_dir(), "clipboard_manager_stand_in"), "multiple", "60"],
                                   env=dict(os.environ, DISPLAY=display.name), stdout=subprocess.PIPE)
        self.addCleanup(manager.kill)
        self.assertEqual(manager.stdout.readline(), b"READY\n")
        editor = self.session(display)
        editor.open_editor()
        dots = {(0, 0): 0x102030, (2, 1): 0xF0E0D0}
        for texel, value in dots.items():
            editor.set_color(f"{value:06x}", value)
            editor.click(editor.texel_point(*texel))
        editor.park()
        editor.wait_for_texels(dots)
        editor.key("m")
        editor.stroke([(0, 0), (2, 1)])
        editor.key("ctrl+c")
        deadline = time.monotonic() + 10
        while "image/bmp" not in self.xclip("-t", "TARGETS", "-o").stdout.decode().split():
            self.assertLess(time.monotonic(), deadline, "the clipboard never offered image/bmp")
            time.sleep(0.1)

        editor.client.close_window()
        self.assertEqual(editor.client.wait_exit(), 0)
        out, _ = manager.communicate(timeout=10)
        self.assertEqual(manager.returncode, 0, "the manager was never asked to save the clipboard")
        lines = out.decode().splitlines()
        self.assertEqual(lines[0], "LISTED image/bmp image/png")
        got = {line.split()[1]: bytes.fromhex(line.split()[2]) for line in lines[1:]}
        self.assertEqual(set(got), {"image/bmp", "image/png"})
        want = [[rgb(dots.get((i, j), SKIN)) for i in range(3)] for j in range(2)]
        for target, data in got.items():
            with self.subTest(target=target):
                path = os.path.join(tempfile.mkdtemp(prefix="vobu-clip-"), "saved")
                self.addCleanup(shutil.rmtree, os.path.dirname(path), True)
                with open(path, "wb") as f:
                    f.write(data)
                with Image.open(path) as image:
                    self.assertEqual(image.size, (3, 2))
                    self.assertEqual([[image.convert("RGB").getpixel((i, j)) for i in range(3)] for j in range(2)],
                                     want)

    def test_paste_puts_the_clipboard_image_at_the_selection(self):
        display = self.display()
        editor = self.session(display)
        editor.open_editor()
        canvases = [Canvas(*face_size(editor.size, face)) for face in range(6)]
        front = canvases[FRONT]
        folder = tempfile.mkdtemp(prefix="vobu-paste-")
        self.addCleanup(shutil.rmtree, folder, True)

        def picture(name, width, height, color):
            image = Image.new("RGB", (width, height))
            for y in range(height):
                for x in range(width):
                    image.putpixel((x, y), color(x, y))
            path = os.path.join(folder, name)
            image.save(path)
            return path

        def packed(color):
            return (color[0] << 16) | (color[1] << 8) | color[2]

        small = lambda x, y: (40 * x + 10, 50 * y + 5, 200)  # noqa: E731
        large = lambda x, y: (x * 3, 255 - y * 3, (x * y) % 256)  # noqa: E731

        # A 6 x 5 picture at the selection's corner.
        self.offer_on_clipboard(picture("small.png", 6, 5, small))
        editor.key("m")
        editor.stroke([(10, 20), (12, 22)])
        editor.key("ctrl+v")
        for j in range(5):
            for i in range(6):
                front[10 + i, 20 + j] = packed(small(i, j))
        editor.wait_for_texels({(10, 20): front[10, 20], (15, 24): front[15, 24], (12, 22): front[12, 22]},
                               "the small picture pasted")

        # A 70 x 70 picture at a selection near the corner: cut at the
        # face's edges, nothing beyond them.
        self.offer_on_clipboard(picture("large.png", 70, 70, large))
        editor.stroke([(28, 60), (29, 61)])
        editor.key("ctrl+v")
        for j in range(4):
            for i in range(4):
                front[28 + i, 60 + j] = packed(large(i, j))
        editor.wait_for_texels({(28, 60): front[28, 60], (31, 63): front[31, 63]}, "the large picture pasted")
        editor.assert_faces(editor.save(), canvases)

    # -- the join overlay ------------------------------------------------------------
    def test_join_overlay_connecting_downloading_disconnected(self):
        texts = ["Connecting", "Cancel", "Downloading assets", "You were disconnected",
                 'Server says: "Kicked by the test server"', "Main menu"]
        glyphs = vobu_e2e.read_unifont_hex(wanted={ord(c) for c in "".join(texts)})
        server = TestServer("--bots", "0", "--world", "big", "--fault", "disconnect", "--fault-delay-ms", "1000")
        server.__enter__()
        self.addCleanup(server.__exit__, None, None, None)
        relay = GatedRelay(server.url)
        self.addCleanup(relay.close)
        display = self.display()
        client = vobu_e2e.Client(display, ["--server", relay.url, "--quick-join", "--quit-after-ms", "60000"],
                                 name=self.id())
        client.start()
        self.addCleanup(client.stop)
        editor = EditorSession(self, display, client)
        editor.window = client.wait_for_window()

        def status(shot, text, y=274):
            return self.shows_text(editor, shot, text, y, glyphs)

        def button(shot, label):
            return self.shows_text(editor, shot, label, CANCEL_BUTTON[1] + 8, glyphs, paper=None)

        # Nothing of the server's gets through yet: the join stays at its start.
        shot = editor.wait(lambda s: status(s, "Connecting") and button(s, "Cancel"), "the connecting overlay")
        editor.keep(shot, "join-connecting")
        self.assertTrue(close_to(editor.pixel(shot, (40, 40)), BACKGROUND), "no 3D view under the overlay")

        # The download stalls part way: the bar shows the logged progress.
        relay.allow(800_000)
        fx, fy, fw, fh = PROGRESS_FILL

        def filled(shot):
            width = 0
            while width < fw and close_to(editor.pixel(shot, (fx + width, fy + fh // 2)), BODY_TEXT):
                width += 1
            return width

        def settled(shot):
            logged = [int(n) for n in re.findall(r"Join status: Downloading assets (\d+)%", client.log())]
            if not relay.stalled() or not logged or logged[-1] == 0 or not status(shot, "Downloading assets"):
                return False
            percent = logged[-1]
            return int(percent * fw / 100) <= filled(shot) <= int((percent + 1) * fw / 100)

        shot = editor.wait(settled, "the stalled download's progress")
        editor.keep(shot, "join-downloading")
        self.assertLess(filled(shot), fw)
        # The box around the bar: the field colour just right of the fill.
        self.assertTrue(close_to(editor.pixel(shot, (fx + filled(shot) + 2, fy + fh // 2)), (0x1E, 0x04, 0x14)))

        # Everything flows; once the game is ready the server kicks the player.
        relay.allow(None)
        wait_for_log(client, r"Game ready")
        wait_for_log(client, r"Disconnected: Kicked by the test server")
        shot = editor.wait(lambda s: status(s, "You were disconnected")
                           and status(s, 'Server says: "Kicked by the test server"', 298)
                           and button(s, "Main menu"), "the disconnected overlay")
        editor.keep(shot, "join-disconnected")

        # The button leads to the title screen.
        editor.click(centre(CANCEL_BUTTON))
        editor.park()
        editor.wait(lambda s: not status(s, "You were disconnected") and close_to(editor.pixel(s, (500, 665)),
                                                                                  BACKGROUND), "the title screen")

    def shows_text(self, editor, shot, text, y, glyphs, paper=BACKGROUND):
        """One line of Unifont text centred on the canvas at row y, pixel for
        pixel: ink where a glyph has a bit, paper (by default the background;
        None: whatever lies left of the text) elsewhere."""
        width = sum(len(glyphs[ord(c)][0]) for c in text)
        x = (1020 - width) // 2
        if paper is None:
            paper = editor.pixel(shot, (x - 1, y))
        for c in text:
            rows = glyphs[ord(c)]
            for r, row in enumerate(rows):
                for column, inked in enumerate(row):
                    if not close_to(editor.pixel(shot, (x + column, y + r)), BODY_TEXT if inked else paper):
                        return False
            x += len(rows[0])
        return True

    def check_library(self, editor, shot):
        editor.keep(shot, "library")
        vx, vy, vw, vh = LIBRARY_VIEW

        def view(s):
            return [editor.pixel(s, (x, y)) for y in range(vy, vy + vh, 4) for x in range(vx, vx + vw, 4)]

        # The name label floats above the box: light grey text in the top
        # part of the view.
        label = sum(1 for y in range(vy, vy + 120) for x in range(vx, vx + vw, 2)
                    if min(editor.pixel(shot, (x, y))) > 150)
        self.assertGreater(label, 20, "the name label above the preview")
        skin = sum(1 for p in view(shot) if p[0] > 150 and p[2] < p[0] - 30)
        self.assertGreater(skin, 1000, "the preview box in its skin colour")
        # The preview turns by itself.
        first = view(shot)
        later = editor.wait(lambda s: sum(1 for a, b in zip(first, view(s)) if a != b) > 200, "the preview turning")
        editor.keep(later, "library-turned")

    def check_face_view(self, editor, shot):
        geometry = editor.geometry()
        # The face's edges: the view's black around it, the grid line on it.
        left = int(geometry.left)
        self.assertEqual(editor.pixel(shot, (left - 3, 300)), BLACK)
        self.assertTrue(close_to(editor.pixel(shot, (left, 300)), (191, 191, 191), 3), editor.pixel(shot, (left, 300)))
        # The colour wheel: pure red to the right of its centre, paler inward.
        self.assertTrue(close_to(editor.pixel(shot, (876 + 93, 246)), (255, 0, 0), 8))
        self.assertTrue(close_to(editor.pixel(shot, (876 + 47, 246)), (255, 127, 127), 8))
        # The swatches: black primary, white secondary.
        self.assertEqual(editor.pixel(shot, centre(PRIMARY_SWATCH)), BLACK)
        self.assertEqual(editor.pixel(shot, (826, 132)), (255, 255, 255))
        self.assertTrue(close_to(editor.pixel(shot, geometry.right_handle()), HANDLE))


if __name__ == "__main__":
    unittest.main()
