"""Drives the real client under Xvfb for end-to-end tests.

Each test gets its own X server (Xvfb picks a free display number through
-displayfd, so tests run in parallel), its own temporary HOME and
XDG_DATA_HOME, and Mesa's llvmpipe for OpenGL. Typical use:

    with vobu_e2e.Display() as display:
        with vobu_e2e.Client(display, ["--quit-after-ms", "5000"]) as client:
            window = client.wait_for_window()
            client.wait_for_picture(lambda shot: shot.pixel(*window.origin) != (0, 0, 0))
            client.move_mouse(100, 200)          # window coordinates
            shot = client.screenshot("title")    # PNG kept in the artifacts folder
            client.close_window()                # WM_DELETE_WINDOW, as a window manager sends it
            assert client.wait_exit() == 0
            assert "..." in client.log()

Environment: VOBU_BIN_DIR (the build's bin folder, with vobugame and
vobu.dat), VOBU_E2E_ARTIFACTS (where screenshots and logs are kept).
"""

import ctypes
import ctypes.util
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

SCREEN_WIDTH = 1280
SCREEN_HEIGHT = 1024
WINDOW_TITLE = "VobuGame"


def bin_dir():
    return os.environ.get("VOBU_BIN_DIR") or os.path.join(os.path.dirname(__file__), "..", "..", "..", "build", "bin")


def drawing_environment(display, base):
    """base with what a program needs to draw on the display (none for a
    run without one): the display's name and Mesa's llvmpipe, the software
    renderer every machine has, so that pictures are the same everywhere."""
    env = dict(base)
    if display is not None:
        env.update(display.env())
    env["LIBGL_ALWAYS_SOFTWARE"] = "1"
    env["GALLIUM_DRIVER"] = "llvmpipe"
    return env


def artifacts_dir():
    path = os.environ.get("VOBU_E2E_ARTIFACTS") or os.path.join(tempfile.gettempdir(), "vobu-e2e")
    os.makedirs(path, exist_ok=True)
    return path


class Display:
    """An Xvfb server on a free display number, stopped on exit."""

    def __init__(self, width=SCREEN_WIDTH, height=SCREEN_HEIGHT):
        self.width = width
        self.height = height
        self.name = None
        self._process = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        self._process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{self.width}x{self.height}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                if time.monotonic() > deadline or self._process.poll() is not None:
                    self.__exit__(None, None, None)
                    raise RuntimeError("Xvfb did not start")
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        self.name = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        if self._process and self._process.poll() is None:
            self._process.terminate()
            try:
                self._process.wait(5)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        return False

    def env(self):
        return {"DISPLAY": self.name}

    def tool_env(self):
        """This process's environment pointed at the display, for X tools
        (xdotool, xclip, import)."""
        return dict(os.environ, **self.env())


class Image:
    """A screenshot: width, height and 8-bit RGB pixels."""

    def __init__(self, width, height, rgb, path=None):
        self.width = width
        self.height = height
        self.rgb = rgb
        self.path = path

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def region(self, x, y, width, height):
        return [[self.pixel(x + c, y + r) for c in range(width)] for r in range(height)]


def read_ppm(data, path=None):
    """Parses binary PPM (P6, maxval 255)."""
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise ValueError("not an 8-bit P6 image")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + width * height * 3]
    return Image(width, height, pixels, path)


class Window:
    def __init__(self, window_id, x, y, width, height, title):
        self.id = window_id
        self.x, self.y, self.width, self.height = x, y, width, height
        self.title = title

    @property
    def origin(self):
        return (self.x, self.y)


def _xlib():
    return ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("client", _ClientMessage), ("pad", ctypes.c_long * 24)]


def send_delete_window(display_name, window_id):
    """Asks a window to close the way a window manager's close button does."""
    x = _xlib()
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(_Event)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(display_name.encode())
    if not display:
        raise RuntimeError("cannot open display " + display_name)
    try:
        event = _Event()
        event.client.type = 33  # ClientMessage
        event.client.window = window_id
        event.client.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.client.format = 32
        event.client.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.client.data[1] = 0  # CurrentTime
        x.XSendEvent(display, window_id, 0, 0, ctypes.byref(event))
        x.XFlush(display)
    finally:
        x.XCloseDisplay(display)


class Client:
    """One run of vobugame. With package=None the build's vobu.dat is used in
    place; otherwise the binary is copied into a private folder beside the
    given package bytes (or beside no package when package is b"" and
    missing_package is True), since the client reads vobu.dat beside itself."""

    def __init__(self, display, args=(), package=None, missing_package=False, env=None, name="client", prefix=(),
                 data_files=None):
        self.display = display
        self.args = list(args)
        # A command the client runs under (for example a private mount namespace).
        self.prefix = list(prefix)
        self.package = package
        self.missing_package = missing_package
        self.extra_env = env or {}
        # Files put into the private XDG_DATA_HOME before the client starts:
        # {path relative to it: bytes, or a function that makes something of
        # that path (a FIFO, a link)}.
        self.data_files = data_files or {}
        self.name = name
        self.process = None
        self.window = None
        self.returncode = None
        self._temp = None
        self._log_path = None

    # -- lifecycle ---------------------------------------------------------
    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def start(self):
        self._temp = tempfile.mkdtemp(prefix="vobu-e2e-")
        home = os.path.join(self._temp, "home")
        data = os.path.join(self._temp, "data")
        runtime = os.path.join(self._temp, "runtime")
        for path in (home, data, runtime):
            os.makedirs(path, mode=0o700)
        for relative, content in self.data_files.items():
            path = os.path.join(data, relative)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            if callable(content):
                content(path)
                continue
            with open(path, "wb") as f:
                f.write(content)
        binary = os.path.join(bin_dir(), "vobugame")
        if self.package is not None or self.missing_package:
            private_bin = os.path.join(self._temp, "bin")
            os.makedirs(private_bin)
            shutil.copy2(binary, private_bin)
            binary = os.path.join(private_bin, "vobugame")
            if not self.missing_package:
                with open(os.path.join(private_bin, "vobu.dat"), "wb") as f:
                    f.write(self.package)
        env = drawing_environment(self.display, {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": home,
            "XDG_DATA_HOME": data,
            "XDG_RUNTIME_DIR": runtime,
            "SDL_AUDIODRIVER": "dummy",
        })
        env.update(self.extra_env)
        env = {k: v for k, v in env.items() if v is not None}
        self._log_path = os.path.join(artifacts_dir(), f"{self.name}-{os.getpid()}.log")
        self._log = open(self._log_path, "wb")
        self.process = subprocess.Popen(self.prefix + [binary] + self.args, env=env, stdout=self._log, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
            self.process.wait()
        if self.process:
            self.returncode = self.process.returncode
        if getattr(self, "_log", None):
            self._log.close()
            self._log = None
        if self._temp:
            shutil.rmtree(self._temp, ignore_errors=True)
            self._temp = None

    def wait_exit(self, timeout=15):
        """The exit status; raises TimeoutError when the client keeps running."""
        try:
            self.returncode = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError(f"client still running after {timeout} s")
        return self.returncode

    def running(self):
        return self.process.poll() is None

    @property
    def data_home(self):
        """The client's private XDG_DATA_HOME (SDL's per-user folder lies inside)."""
        return os.path.join(self._temp, "data")

    def log(self):
        self._log.flush()
        with open(self._log_path, "rb") as f:
            return f.read().decode(errors="replace")

    # -- X helpers ---------------------------------------------------------
    def _x(self, *command, check=True):
        result = subprocess.run(list(command), env=self.display.tool_env(), capture_output=True, timeout=30)
        if check and result.returncode != 0:
            raise RuntimeError(f"{command[0]} failed: {result.stderr.decode(errors='replace')}")
        return result.stdout

    def find_window(self):
        out = self._x("xdotool", "search", "--onlyvisible", "--name", f"^{WINDOW_TITLE}$", check=False)
        ids = [int(line) for line in out.split()]
        return ids[0] if ids else None

    def wait_for_window(self, timeout=20):
        """Waits until the client's window is mapped; returns its geometry."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if not self.running():
                raise RuntimeError(f"client exited with {self.process.returncode} before its window appeared:\n"
                                   + self.log())
            window_id = self.find_window()
            if window_id:
                self.window = self.window_info(window_id)
                return self.window
            time.sleep(0.1)
        raise TimeoutError("no client window after %s s" % timeout)

    def window_info(self, window_id):
        info = self._x("xwininfo", "-id", str(window_id)).decode()
        fields = {}
        for line in info.splitlines():
            if ":" in line:
                key, _, value = line.strip().partition(":")
                fields[key.strip()] = value.strip()
        title = info.split('"', 2)[1] if '"' in info else ""
        return Window(window_id, int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
                      int(fields["Width"]), int(fields["Height"]), title)

    def refresh_window(self):
        """Reads the window's geometry again (after a resize)."""
        self.window = self.window_info(self.window.id)
        return self.window

    def resize_window(self, width, height, timeout=10):
        """Resizes the client window as a user would and waits until X reports the new size."""
        self._x("xdotool", "windowsize", str(self.window.id), str(width), str(height))
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if (self.refresh_window().width, self.window.height) == (width, height):
                return self.window
            time.sleep(0.1)
        raise TimeoutError(f"window did not become {width} x {height}")

    def move_mouse(self, x, y):
        """Moves the pointer to window coordinates (x, y)."""
        self._x("xdotool", "mousemove", str(self.window.x + x), str(self.window.y + y))

    def move_mouse_to_screen(self, x, y):
        self._x("xdotool", "mousemove", str(x), str(y))

    def click(self, button=1):
        self._x("xdotool", "click", str(button))

    def key(self, *keys):
        self._x("xdotool", "key", "--window", str(self.window.id), *keys)

    def type_text(self, text):
        self._x("xdotool", "type", "--window", str(self.window.id), text)

    def close_window(self):
        send_delete_window(self.display.name, self.window.id)

    def screenshot(self, label=None):
        """The whole screen as an Image; with a label also kept as a PNG."""
        data = self._grab()
        return read_ppm(data, self._keep(data, label))

    def _grab(self):
        return self._x("import", "-window", "root", "-depth", "8", "ppm:-")

    @staticmethod
    def _keep(data, label):
        if not label:
            return None
        path = os.path.join(artifacts_dir(), f"{label}.png")
        subprocess.run(["convert", "ppm:-", path], input=data, check=True)
        return path

    def wait_for_picture(self, predicate, timeout=20, label=None):
        """Screenshots until predicate(image) holds; returns that image (the
        very one the predicate saw: the world moves on between two shots)."""
        deadline = time.monotonic() + timeout
        data = None
        while time.monotonic() < deadline:
            data = self._grab()
            shot = read_ppm(data)
            if predicate(shot):
                return read_ppm(data, self._keep(data, label))
            time.sleep(0.2)
        if data is not None:
            self._keep(data, label and label + "-timeout")
        raise TimeoutError("the expected picture did not appear")


class TestServer:
    """vobu_testserver on a free port with a transcript, stopped on exit."""

    def __init__(self, *args, tls=None):
        self.args = list(args)
        self.tls = tls
        self.url = None
        self.process = None
        self._temp = tempfile.mkdtemp(prefix="vobu-server-")
        self.transcript_path = os.path.join(self._temp, "transcript.jsonl")

    def __enter__(self):
        command = [os.path.join(bin_dir(), "vobu_testserver"), "--port", "0", "--transcript",
                   self.transcript_path, "--exit-after-ms", "300000"] + self.args
        if self.tls:
            command += ["--tls-cert", self.tls[0], "--tls-key", self.tls[1]]
        self._log = open(os.path.join(artifacts_dir(), f"server-{os.getpid()}-{id(self)}.log"), "wb")
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=self._log, stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            line = self.process.stdout.readline().decode()
            if not line:
                raise RuntimeError("the test server ended before it listened")
            if line.startswith("URL "):
                self.url = line.split(" ", 1)[1].strip()
                return self
        raise TimeoutError("no URL from the test server")

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self._log.close()
        shutil.rmtree(self._temp, ignore_errors=True)
        return False

    def transcript(self):
        if not os.path.exists(self.transcript_path):
            return []
        with open(self.transcript_path) as f:
            return [json.loads(line) for line in f if line.strip()]

    def messages(self, conn=None, type_=None):
        return [(entry["t"], entry["msg"]) for entry in self.transcript()
                if "msg" in entry and (conn is None or entry["conn"] == conn)
                and (type_ is None or entry["msg"].get("type") == type_)]

    def wait_for(self, predicate, timeout=20, what="the transcript entry"):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if predicate(self.transcript()):
                return
            time.sleep(0.1)
        raise TimeoutError("no " + what)


def wait_for_log(client, pattern, timeout=20):
    """The first match of the regular expression in the client's log."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        match = re.search(pattern, client.log())
        if match:
            return match
        if not client.running():
            break
        time.sleep(0.1)
    raise TimeoutError(f"no {pattern!r} in the client log:\n" + client.log())


def read_unifont_hex(path="/usr/share/unifont/unifont.hex", wanted=None):
    """Glyph bitmaps as rows of booleans, keyed by code point."""
    glyphs = {}
    with open(path) as f:
        for line in f:
            code, _, bits = line.strip().partition(":")
            cp = int(code, 16)
            if wanted is not None and cp not in wanted:
                continue
            width = len(bits) // 4
            rows = []
            for r in range(16):
                chunk = bits[r * width // 4:(r + 1) * width // 4]
                value = int(chunk, 16)
                rows.append([(value >> (width - 1 - c)) & 1 == 1 for c in range(width)])
            glyphs[cp] = rows
    return glyphs
