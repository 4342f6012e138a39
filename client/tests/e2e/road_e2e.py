"""The player's road under Xvfb, driven with xdotool: the title screen with
the directory's servers, the hidden add-server dialog and a server added by
hand; the library's "Use"; the game with its chat, a whisper to a bot, a
character swap and "Disconnect" back to the title screen and a second join;
and a swap the server refuses.

The tests judge by the client's log, the test server's transcript, the
saved files in the private data folder and the screenshots, where texts are
read glyph by glyph against the Unifont the client draws with.

Environment as vobu_e2e.py; the server binary is vobu_testserver in the same
bin folder as the client.
"""

import json
import os
import re
import socket
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vobu_e2e  # noqa: E402
from vobu_e2e import TestServer, wait_for_log  # noqa: E402


def canvas_color(abgr):
    """A canvas colour 0xAABBGGRR as the (r, g, b) a screenshot shows."""
    return (abgr & 0xFF, (abgr >> 8) & 0xFF, (abgr >> 16) & 0xFF)


BODY_TEXT = canvas_color(0xFF9694A8)
HIGHLIGHT_TEXT = canvas_color(0xFFA9BDCE)
WHISPER_TEXT = canvas_color(0xFFD28EDC)
SYSTEM_TEXT = canvas_color(0xFF4B6900)
LIST_BACKGROUND = canvas_color(0xFF14041E)

GLYPHS = vobu_e2e.read_unifont_hex(wanted=set(range(0x20, 0x7F)))

# Canvas points (the 1020 x 680 window shows the canvas at offset 0, 0).
# Title screen: rows 60 pixels high from y 190, the title 8 pixels into a
# row and the message of the day 22 below it.
TITLE_ROW_X = 32
TITLE_ROW_Y = 198
TITLE_ROW_HEIGHT = 60
TITLE_JOIN = (906, 640)
TITLE_CHARACTERS = (306, 640)
TITLE_BAND_HEIGHT = 188
DELETE_LABEL = (408 + (180 - 48) // 2, 624 + 8)
DIALOG_LABEL = (256, 270)
# Library screen: rows 36 pixels high from y 96, the name centred.
LIBRARY_TITLE = (24, 16)
LIBRARY_ROW_X = 32
LIBRARY_ROW_Y = 106
LIBRARY_ROW_HEIGHT = 36
LIBRARY_BACK = (154, 508)
LIBRARY_NEW = (86, 552)
LIBRARY_EDIT = (222, 552)
LIBRARY_DUPLICATE = (86, 596)
LIBRARY_USE = (154, 640)
EDITOR_NAME_FIELD = (875, 94)
EDITOR_BACK = (86, 640)
EDITOR_SAVE = (222, 640)
EDITOR_WIDTH_PLUS = (984, 532)
# The game overlay: the chat panel at window (16, 12), its log lines 18
# pixels apart from panel (8, 8), the line's whisper prefix at panel (8, 209);
# the button strip 376 pixels from the right edge.
LOG_X = 16 + 8
LOG_Y = 12 + 8
LOG_LINE_HEIGHT = 18
LOG_LINES = 10
CHAT_LINE_PREFIX = (16 + 8, 12 + 209)
OVERLAY_CHARACTERS = (1020 - 376 + 86, 12 + 13)
OVERLAY_DISCONNECT = (1020 - 376 + 180 + 90, 12 + 13)
CHARACTERS_LABEL = (1020 - 376 + (172 - 80) // 2, 12 + 5)
DISCONNECT_LABEL = (1020 - 376 + 180 + (180 - 80) // 2, 12 + 5)


def text_width(text):
    return sum(len(GLYPHS[ord(c)][0]) for c in text)


def close_to(a, b, tolerance=6):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def shows_text(shot, x, y, text, ink, plain=True):
    """Whether the text is drawn with the top left of its first glyph at
    screen point (x, y): every inked pixel of its glyphs has the ink colour.
    On a plain surface no other pixel of the glyph cells has it; over the 3D
    view a few may by chance."""
    strays = 0
    blanks = 0
    for char in text:
        rows = GLYPHS[ord(char)]
        for row in range(16):
            for column, inked in enumerate(rows[row]):
                if x + column >= shot.width or y + row >= shot.height:
                    return False
                hit = close_to(shot.pixel(x + column, y + row), ink)
                if inked and not hit:
                    return False
                if not inked:
                    blanks += 1
                    strays += hit
        x += len(rows[0])
    return strays == 0 if plain else strays <= blanks // 50


class Player:
    """The client's window as a player sees and handles it: canvas points,
    texts on the screen, clicks and keys through the X server's test input
    (the way a real keyboard and mouse arrive) with the window focused."""

    def __init__(self, client, test):
        self.client = client
        self.test = test
        self.window = client.window
        self.step = 0

    def at(self, x, y):
        return (self.window.x + x, self.window.y + y)

    def shows(self, shot, x, y, text, inks, plain=True):
        inks = inks if isinstance(inks[0], tuple) else (inks,)
        return any(shows_text(shot, *self.at(x, y), text, ink, plain) for ink in inks)

    def screenshot(self, what):
        self.step += 1
        return self.client.screenshot(f"{self.test.id().split('.')[-1]}-{self.step:02d}-{what}")

    def wait_for(self, predicate, what, timeout=20):
        """Screenshots until predicate(shot) holds; the matching screen is
        kept as a numbered PNG named after the step."""
        self.step += 1
        label = f"{self.test.id().split('.')[-1]}-{self.step:02d}-{what}"
        try:
            return self.client.wait_for_picture(predicate, timeout=timeout, label=label)
        except TimeoutError:
            raise AssertionError(f"no picture of {what} after {timeout} s (see {label}-timeout.png)\n"
                                 + self.client.log())

    def wait_for_text(self, x, y, text, inks, what, plain=True, timeout=20):
        return self.wait_for(lambda shot: self.shows(shot, x, y, text, inks, plain), what, timeout)

    def click(self, x, y):
        """A left click at a canvas point; the pointer then leaves the window,
        so that the cursor hides no text of the next picture."""
        self.client.move_mouse(x, y)
        self.client.click()
        self.client.move_mouse_to_screen(0, 0)

    def focus(self):
        self.client._x("xdotool", "windowfocus", "--sync", str(self.window.id))

    def press(self, *keys):
        self.focus()
        self.client._x("xdotool", "key", "--delay", "30", *keys)

    def type(self, text):
        self.focus()
        self.client._x("xdotool", "type", "--delay", "30", text)

    def log_line(self, shot, prefix, prefix_ink, text, text_ink=BODY_TEXT):
        """The index of the shown log line with this prefix and text, or None."""
        for k in range(LOG_LINES):
            y = LOG_Y + LOG_LINE_HEIGHT * k
            if (not prefix or self.shows(shot, LOG_X, y, prefix, prefix_ink, plain=False)) and \
                    self.shows(shot, LOG_X + text_width(prefix), y, text, text_ink, plain=False):
                return k
        return None

    def wait_for_log_line(self, prefix, prefix_ink, text, what, text_ink=BODY_TEXT, timeout=20):
        found = []

        def shown(shot):
            found[:] = [self.log_line(shot, prefix, prefix_ink, text, text_ink)]
            return found[0] is not None

        shot = self.wait_for(shown, what, timeout)
        return found[0], shot

    # -- the screens ---------------------------------------------------------
    def title_row_shows(self, shot, row, title, motd, motd_ink=BODY_TEXT):
        y = TITLE_ROW_Y + TITLE_ROW_HEIGHT * row
        return self.shows(shot, TITLE_ROW_X, y, title, (BODY_TEXT, HIGHLIGHT_TEXT)) and \
            self.shows(shot, TITLE_ROW_X, y + 22, motd, motd_ink)

    def wait_for_title_row(self, row, title, motd, what, motd_ink=BODY_TEXT, timeout=20):
        return self.wait_for(lambda shot: self.title_row_shows(shot, row, title, motd, motd_ink), what, timeout)

    def library_row_shows(self, shot, row, name, selected):
        return self.shows(shot, LIBRARY_ROW_X, LIBRARY_ROW_Y + LIBRARY_ROW_HEIGHT * row, name,
                          HIGHLIGHT_TEXT if selected else BODY_TEXT)

    def library_shown(self, shot):
        return self.shows(shot, *LIBRARY_TITLE, "Characters", HIGHLIGHT_TEXT) and \
            self.shows(shot, LIBRARY_USE[0] - 12, LIBRARY_USE[1] - 8, "Use", (BODY_TEXT, HIGHLIGHT_TEXT))

    def game_shown(self, shot):
        return self.shows(shot, *CHARACTERS_LABEL, "Characters", HIGHLIGHT_TEXT, plain=False) and \
            self.shows(shot, *DISCONNECT_LABEL, "Disconnect", HIGHLIGHT_TEXT, plain=False)

    def join_through_the_library(self, title_row, what):
        """Selects a title-screen row, "Join", then "Use" in the library."""
        self.click(300, TITLE_ROW_Y + TITLE_ROW_HEIGHT * title_row + 20)
        self.click(*TITLE_JOIN)
        self.wait_for(self.library_shown, what + "-library")
        ready = self.client.log().count("Game ready")
        self.click(*LIBRARY_USE)
        deadline = time.monotonic() + 30
        while self.client.log().count("Game ready") == ready:
            if time.monotonic() > deadline or not self.client.running():
                raise AssertionError("the join did not become ready:\n" + self.client.log())
            time.sleep(0.1)
        return self.wait_for(self.game_shown, what + "-game")


def user_file(client, name):
    """A file of the client's private per-user data folder."""
    return os.path.join(client._temp, "data", "VobuOrchard", "VobuOrchard", name)


def saved_characters(client):
    with open(user_file(client, "characters.json")) as f:
        return json.load(f)["characters"]


def free_port():
    """A local TCP port that nothing listens on."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def connections_saying(server, type_):
    return sorted({e["conn"] for e in server.transcript() if e.get("msg", {}).get("type") == type_})


def local_player(client, nth=1):
    return int(re.findall(r"Game ready: player (\d+)", client.log())[nth - 1])


# Where the local player's box and its speech bubble show in the first
# camera view of the demo world: the camera follows the box, so they stay
# there while the player stands still.
OWN_BOX = (510, 350)
OWN_BUBBLE = (440, 276, 140, 26)


def bubble_pixels(shot, player):
    """Pixels of bubble text (lit, warm glyphs and their black outline) over
    the grey floor above the own box."""
    x, y, width, height = OWN_BUBBLE
    count = 0
    for row in range(y, y + height):
        for column in range(x, x + width, 2):
            r, g, b = shot.pixel(*player.at(column, row))
            count += max(r, g, b) < 15 or r > b + 15
    return count


def own_box_width(shot, player):
    """The width in pixels of the own box across its middle."""
    x, y = OWN_BOX
    return sum(1 for column in range(x - 150, x + 150)
               if (lambda r, g, b: r > b + 15)(*shot.pixel(*player.at(column, y))))


def own_box_standing(shot, player):
    """The own box has assembled (skin-coloured, not the dark pieces of its
    arrival) and no bubble is above it."""
    r, g, b = shot.pixel(*player.at(*OWN_BOX))
    return r > b + 15 and bubble_pixels(shot, player) < 5


class TitleScreenTest(unittest.TestCase):
    def test_directory_rows_logo_hidden_dialog_added_server_and_its_join(self):
        with TestServer("--bots", "0", "--difficulty", "1", "--title", "Added Server",
                        "--motd", "^#80ff80Reached by hand") as added, \
                TestServer("--bots", "0", "--title", "Directory Server", "--motd", "Lists the others",
                           "--list", "Faraway|^#ffc040Far away|ws://127.0.0.1:9/vobu") as directory, \
                vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", directory.url, "--quit-after-ms", "60000"],
                                 name="title-screen") as client:
                client.wait_for_window()
                player = Player(client, self)
                # The directory's own entry (its "url" empty: the address it
                # was asked at), then the server it lists.
                player.wait_for(lambda shot: player.title_row_shows(shot, 0, "Directory Server", "Lists the others")
                                and player.title_row_shows(shot, 1, "Faraway", "Far away", canvas_color(0xFF40C0FF)),
                                "directory-rows")
                self.assertEqual([m for _, m in directory.messages()], [{"type": "directory"}])

                # The logo waves and the parade walks: two pictures half a
                # second apart differ in the title band and nowhere else.
                # The pointer leaves the window first; the arrow drawn where X
                # put the pointer at the start, the middle of the screen,
                # goes with it.
                client.move_mouse_to_screen(0, 0)
                middle = (display.width // 2 - client.window.x, display.height // 2 - client.window.y)
                player.wait_for(lambda shot: all(close_to(shot.pixel(*player.at(middle[0] + dx, middle[1] + dy)),
                                                          LIST_BACKGROUND, 0)
                                                 for dx in range(12) for dy in range(19)), "no-cursor")
                first = player.screenshot("logo-a")
                time.sleep(0.5)
                second = player.screenshot("logo-b")

                def band(shot, top, bottom):
                    return [shot.pixel(*player.at(x, y)) for y in range(top, bottom) for x in range(0, 1020, 2)]

                self.assertNotEqual(band(first, 0, TITLE_BAND_HEIGHT), band(second, 0, TITLE_BAND_HEIGHT))
                self.assertEqual(band(first, TITLE_BAND_HEIGHT, 680), band(second, TITLE_BAND_HEIGHT, 680))
                logo = sum(1 for p in band(first, 0, TITLE_BAND_HEIGHT) if p[0] > 150 and p[2] < 100)
                self.assertGreater(logo, 2000, "orange letters of the logo in the band")

                # "Characters" shows the library without "Use" (no join is
                # being chosen for); "Back" returns to the title screen.
                player.click(*TITLE_CHARACTERS)
                # The pointer has left the window: no arrow anywhere, also
                # not at the corner where it went out.
                shot = player.wait_for(lambda shot: player.shows(shot, *LIBRARY_TITLE, "Characters", HIGHLIGHT_TEXT)
                                       and not any(shot.pixel(*player.at(x, y)) == (0, 0, 0)
                                                   for x in range(8) for y in range(12)), "library-from-title")
                self.assertFalse(player.shows(shot, LIBRARY_USE[0] - 12, LIBRARY_USE[1] - 8, "Use",
                                              (BODY_TEXT, HIGHLIGHT_TEXT)))
                self.assertTrue(player.library_row_shows(shot, 0, "Vobu", True))
                player.click(*LIBRARY_BACK)
                player.wait_for_title_row(0, "Directory Server", "Lists the others", "title-after-back")

                # The hidden sequence opens the add-server dialog.
                player.press("Left", "Up", "Right", "Down", "Down", "Right", "Up", "Left")
                player.wait_for_text(*DIALOG_LABEL, "Server address", HIGHLIGHT_TEXT, "dialog")
                port = added.url.rsplit(":", 1)[1].split("/")[0]
                player.type(f"localhost:{port}")
                player.wait_for_text(262, 300, f"localhost:{port}", HIGHLIGHT_TEXT, "address-typed")
                player.press("Return")
                # The dialog closes on a good address; the saved server's
                # row follows the directory's two and is selected, and the
                # server's own title arrives through its subscription.
                player.wait_for(lambda shot: not player.shows(shot, *DIALOG_LABEL, "Server address", HIGHLIGHT_TEXT)
                                and player.title_row_shows(shot, 2, "Added Server", "Reached by hand",
                                                           canvas_color(0xFF80FF80))
                                and player.shows(shot, TITLE_ROW_X, TITLE_ROW_Y + 2 * TITLE_ROW_HEIGHT, "Added Server",
                                                 HIGHLIGHT_TEXT), "added-server-title")
                shot = client.screenshot()
                self.assertTrue(player.title_row_shows(shot, 0, "Directory Server", "Lists the others"))
                # "Delete" is there for a saved server's row only.
                self.assertTrue(player.shows(shot, *DELETE_LABEL, "Delete", (BODY_TEXT, HIGHLIGHT_TEXT)))
                self.assertFalse(player.shows(first, *DELETE_LABEL, "Delete", (BODY_TEXT, HIGHLIGHT_TEXT)))
                with open(user_file(client, "characters.json.servers")) as f:
                    saved = f.read()
                self.assertIn(f"ws://localhost:{port}/vobu", saved)
                self.assertEqual([m for _, m in added.messages()], [{"type": "directory"}])

                # Join the added server through the library's choice.
                player.join_through_the_library(2, "added")
                hellos = added.messages(type_="hello")
                self.assertEqual(len(hellos), 1)
                self.assertEqual(hellos[0][1]["character"]["id"], saved_characters(client)[0]["id"])
                self.assertEqual(directory.messages(type_="hello"), [])
                # Its subscription ended with "Join": the game has a
                # connection of its own.
                self.assertEqual(connections_saying(added, "directory"), [1])
                self.assertEqual(connections_saying(added, "hello"), [2])
                self.assertNotIn("Disconnected", client.log())


    def test_a_join_that_cannot_connect_goes_back_by_main_menu(self):
        # The directory lists a server where nothing listens.
        port = free_port()
        with TestServer("--bots", "0", "--list", f"Nobody Home|Nothing listens|ws://127.0.0.1:{port}/vobu") as directory, \
                vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", directory.url, "--quit-after-ms", "60000"],
                                 name="main-menu") as client:
                client.wait_for_window()
                player = Player(client, self)
                player.wait_for_title_row(1, "Nobody Home", "Nothing listens", "title")
                player.click(300, TITLE_ROW_Y + TITLE_ROW_HEIGHT + 20)
                player.click(*TITLE_JOIN)
                player.wait_for(player.library_shown, "library")
                player.click(*LIBRARY_USE)
                wait_for_log(client, r"Disconnected: ERR_CONNECT_REFUSED")
                reason = 'Server says: "ERR_CONNECT_REFUSED"'
                player.wait_for(lambda shot: player.shows(shot, (1020 - text_width(reason)) // 2, 298, reason, BODY_TEXT)
                                and player.shows(shot, 420 + (180 - 72) // 2, 378, "Main menu",
                                                 (BODY_TEXT, HIGHLIGHT_TEXT)), "join-failed")
                player.click(510, 386)
                player.wait_for(lambda shot: player.title_row_shows(shot, 0, "Vobu Test Server", "A small world")
                                and player.title_row_shows(shot, 1, "Nobody Home", "Nothing listens"), "title-again")
                # Back on the title screen the directory is asked again.
                directory.wait_for(lambda t: len(connections_saying(directory, "directory")) == 2,
                                   what="the second directory request")
                self.assertEqual(directory.messages(type_="hello"), [])
                self.assertTrue(client.running())


class RoadTest(unittest.TestCase):
    def test_title_library_game_chat_whisper_swap_disconnect_and_back(self):
        with TestServer("--bots", "1", "--difficulty", "1", "--title", "Road Server", "--motd", "The whole road") \
                as server, vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", server.url, "--quit-after-ms", "90000"],
                                 name="road") as client:
                client.wait_for_window()
                player = Player(client, self)
                player.wait_for_title_row(0, "Road Server", "The whole road", "title")

                # Join, "Use": the game with the overlay's two buttons.
                shot = player.join_through_the_library(0, "first")
                me = local_player(client)
                self.assertTrue(player.shows(shot, *CHAT_LINE_PREFIX, "Click or press / to chat.", BODY_TEXT,
                                             plain=False))
                first_character = saved_characters(client)[0]
                hello = server.messages(type_="hello")[0][1]
                self.assertEqual(hello["character"]["id"], first_character["id"])
                self.assertEqual(hello["character"]["name"], "Vobu")
                player.wait_for(lambda shot: own_box_standing(shot, player), "own-box")

                # "/" opens the line; what is typed goes out and comes back
                # from the server into the log and as a bubble.
                player.press("slash")
                player.type("hello road")
                player.wait_for_text(24, 221, "hello road", HIGHLIGHT_TEXT, "chat-typed", plain=False)
                player.press("Return")
                server.wait_for(lambda t: any(e.get("msg", {}).get("type") == "chat" for e in t), what="a chat line")
                self.assertEqual([m for _, m in server.messages(type_="chat")],
                                 [{"type": "chat", "text": "hello road", "to": None}])
                player.wait_for(lambda shot: player.log_line(shot, "Vobu: ", HIGHLIGHT_TEXT, "hello road") is not None
                                and bubble_pixels(shot, player) > 40, "chat-echoed-with-bubble")
                player.press("Escape")

                # Bot 1 greets every newcomer with a whisper: a click on its
                # name in the log makes it the line's target.
                row, _ = player.wait_for_log_line("From Bot 1: ", WHISPER_TEXT, "Psst, Vobu, welcome!", "bot-whisper")
                player.click(LOG_X + 20, LOG_Y + LOG_LINE_HEIGHT * row + 8)
                player.wait_for_text(*CHAT_LINE_PREFIX, "To Bot 1: ", WHISPER_TEXT, "whisper-target", plain=False)
                player.type("are you there")
                player.press("Return")
                player.wait_for_log_line("To Bot 1: ", WHISPER_TEXT, "are you there", "whisper-sent")
                player.wait_for_log_line("From Bot 1: ", WHISPER_TEXT, "I am only a bot, Vobu.", "bot-answer")
                whispers = [m for _, m in server.messages(type_="chat") if m["to"] is not None]
                self.assertEqual(len(whispers), 1)
                self.assertEqual(whispers[0]["text"], "are you there")
                self.assertNotEqual(whispers[0]["to"], me)
                # Backspace at the start of the empty line ends the whisper.
                player.press("BackSpace")
                player.press("Escape")
                player.wait_for_text(*CHAT_LINE_PREFIX, "Click or press / to chat.", BODY_TEXT, "whisper-ended",
                                     plain=False)
                narrow = own_box_width(client.screenshot(), player)

                # "Characters" opens the library over the game; "New" makes
                # a second character, the editor names it, "Use" swaps.
                player.click(*OVERLAY_CHARACTERS)
                player.wait_for(lambda shot: player.library_shown(shot) and player.library_row_shows(shot, 0, "Vobu", True),
                                "library-over-game")
                player.click(*LIBRARY_NEW)
                player.wait_for(lambda shot: player.library_row_shows(shot, 0, "Vobu", False)
                                and player.library_row_shows(shot, 1, "Vobu", True), "new-character")
                player.click(*LIBRARY_EDIT)
                player.wait_for_text(*LIBRARY_TITLE, "Editor", HIGHLIGHT_TEXT, "editor")
                player.click(*EDITOR_NAME_FIELD)
                player.press("ctrl+a")
                player.type("Rover")
                player.press("Return")
                # Twelve texels wider, so that the swap shows in the game.
                client.move_mouse(*EDITOR_WIDTH_PLUS)
                client._x("xdotool", "click", "--repeat", "12", "--delay", "80", "1")
                player.click(*EDITOR_SAVE)
                deadline = time.monotonic() + 10
                while [(c["name"], c["size"]) for c in saved_characters(client)] != \
                        [("Vobu", [32, 64, 32]), ("Rover", [44, 64, 32])]:
                    self.assertLess(time.monotonic(), deadline, saved_characters(client))
                    time.sleep(0.1)
                player.click(*EDITOR_BACK)
                player.wait_for(lambda shot: player.library_shown(shot) and player.library_row_shows(shot, 1, "Rover", True),
                                "library-with-rover")
                player.click(*LIBRARY_USE)
                server.wait_for(lambda t: any(e.get("msg", {}).get("type") == "swap" for e in t), what="the swap")
                second_character = saved_characters(client)[1]
                swaps = [m for _, m in server.messages(type_="swap")]
                self.assertEqual(len(swaps), 1)
                self.assertEqual(swaps[0]["character"]["id"], second_character["id"])
                self.assertEqual(swaps[0]["character"]["name"], "Rover")
                # The server's "swapped" gives the own box its new size.
                player.wait_for(lambda shot: player.game_shown(shot) and own_box_width(shot, player) > narrow * 1.2,
                                "game-after-swap")
                # The server's "swapped" made Rover the one who speaks.
                player.press("slash")
                player.type("new look")
                player.press("Return")
                player.wait_for_log_line("Rover: ", HIGHLIGHT_TEXT, "new look", "chat-as-rover")
                player.press("Escape")

                # "Disconnect" fades back to the title screen.
                player.click(*OVERLAY_DISCONNECT)
                wait_for_log(client, r"Left the game")
                player.screenshot("leave-fade")
                client.move_mouse_to_screen(0, 0)
                player.wait_for_title_row(0, "Road Server", "The whole road", "title-again")
                # The title screen asks the directory again.
                server.wait_for(lambda t: len(connections_saying(server, "directory")) == 2,
                                what="the second directory request")
                game = connections_saying(server, "hello")[0]
                server.wait_for(lambda t: any(e.get("conn") == game and e.get("event") == "close" for e in t),
                                what="the game connection's close")

                # A second join from there plays the character chosen last.
                player.join_through_the_library(0, "second")
                hellos = server.messages(type_="hello")
                self.assertEqual(len(hellos), 2)
                self.assertEqual(hellos[1][1]["character"]["id"], second_character["id"])
                self.assertEqual(hellos[1][1]["character"]["name"], "Rover")
                self.assertEqual(len(connections_saying(server, "hello")), 2)
                self.assertEqual(len(server.messages(type_="swap")), 1)
                self.assertNotIn("Disconnected", client.log())
            self.maxDiff = None
            self.assertEqual([e for e in server.transcript() if e.get("event") == "violation"], [])

    def test_keys_pressed_during_the_leave_fade_do_nothing(self):
        # Under the fade lies the editor's join overlay, whose main-menu
        # button Return, Space and Escape press: they must not set the
        # title screen up a second time nor reach a screen not shown.
        with TestServer("--bots", "0", "--difficulty", "1", "--title", "Fade Server", "--motd", "Fades away") \
                as server, vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", server.url, "--quit-after-ms", "60000"],
                                 name="leave-fade-keys") as client:
                client.wait_for_window()
                player = Player(client, self)
                player.wait_for_title_row(0, "Fade Server", "Fades away", "title")
                player.join_through_the_library(0, "join")
                self.assertEqual(len(connections_saying(server, "directory")), 1)

                # "Disconnect" and the keys in one go, well inside the 0.7 s.
                player.focus()
                x, y = player.at(*OVERLAY_DISCONNECT)
                client._x("xdotool", "mousemove", str(x), str(y), "click", "1", "key", "--delay", "40",
                          "Return", "space", "Escape", "Return", "mousemove", "0", "0")
                shot = player.screenshot("keys-in-the-fade")
                wait_for_log(client, r"Left the game")
                self.assertFalse(player.title_row_shows(shot, 0, "Fade Server", "Fades away"),
                                 "the keys came after the fade")
                player.wait_for_title_row(0, "Fade Server", "Fades away", "title-again")
                server.wait_for(lambda t: len(connections_saying(server, "directory")) >= 2,
                                what="the second directory request")
                # Once: a second refresh would ask the directory again.
                time.sleep(1.5)
                self.assertEqual(len(connections_saying(server, "directory")), 2, "the title screen set up once")
                self.assertEqual(len(connections_saying(server, "hello")), 1)

                # The title screen works: the same server joins again.
                player.join_through_the_library(0, "second")
                self.assertEqual(len(connections_saying(server, "hello")), 2)
                self.assertNotIn("Disconnected", client.log())
            self.assertEqual([e for e in server.transcript() if e.get("event") == "violation"], [])

    def test_a_refused_swap_keeps_the_old_character_and_shows_the_code(self):
        with TestServer("--bots", "0", "--difficulty", "1", "--fault", "swap-error", "--title", "Refusing Server",
                        "--motd", "Keeps you as you are") as server, vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", server.url, "--quit-after-ms", "60000"],
                                 name="swap-error") as client:
                client.wait_for_window()
                player = Player(client, self)
                player.wait_for_title_row(0, "Refusing Server", "Keeps you as you are", "title")
                player.join_through_the_library(0, "join")
                shot = player.wait_for(lambda shot: own_box_standing(shot, player), "own-box")
                width = own_box_width(shot, player)

                # "Duplicate" makes "Vobu copy"; the server refuses the swap.
                player.click(*OVERLAY_CHARACTERS)
                player.wait_for(player.library_shown, "library-over-game")
                player.click(*LIBRARY_DUPLICATE)
                player.wait_for(lambda shot: player.library_row_shows(shot, 1, "Vobu copy", True), "duplicate")
                player.click(*LIBRARY_USE)
                server.wait_for(lambda t: any(e.get("msg", {}).get("type") == "swap" for e in t), what="the swap")
                self.assertEqual([m["character"]["name"] for _, m in server.messages(type_="swap")], ["Vobu copy"])
                client.move_mouse_to_screen(0, 0)
                # The game goes on, with the code as a system line.
                row, shot = player.wait_for_log_line("", None, "ERR_SWAP_REFUSED", "swap-refused", SYSTEM_TEXT)
                self.assertTrue(player.game_shown(shot))
                self.assertTrue(client.running())
                shot = player.wait_for(lambda shot: own_box_standing(shot, player), "own-box-after-refusal")
                self.assertLessEqual(abs(own_box_width(shot, player) - width), 2, "the same body")

                # The server still has the old character: it names the
                # speaker "Vobu".
                player.press("slash")
                player.type("still me")
                player.press("Return")
                player.wait_for_log_line("Vobu: ", HIGHLIGHT_TEXT, "still me", "chat-as-vobu")
                player.press("Escape")

                # And so has the client: choosing "Vobu" again sends nothing.
                player.click(*OVERLAY_CHARACTERS)
                player.wait_for(player.library_shown, "library-again")
                player.click(LIBRARY_ROW_X + 40, LIBRARY_ROW_Y + 8)
                player.wait_for(lambda shot: player.library_row_shows(shot, 0, "Vobu", True), "vobu-selected")
                player.click(*LIBRARY_USE)
                client.move_mouse_to_screen(0, 0)
                player.wait_for(player.game_shown, "game-again")
                player.press("slash")
                player.type("same again")
                player.press("Return")
                player.wait_for_log_line("Vobu: ", HIGHLIGHT_TEXT, "same again", "chat-after-same-choice")
                self.assertEqual(len(server.messages(type_="swap")), 1, "the character being played is not sent")
                self.assertEqual(len(connections_saying(server, "hello")), 1)
                self.assertNotIn("Disconnected", client.log())
            self.maxDiff = None
            self.assertEqual([e for e in server.transcript() if e.get("event") == "violation"], [])


if __name__ == "__main__":
    unittest.main()
