"""The title screen's memory under Xvfb, driven with xdotool: the server
just left is still the selected row when the list comes back after
"Disconnect", so Return joins it again; a servers file the client cannot
read is kept beside the new list that the first "Add" writes; the add
dialog refuses what the client could never dial; and a "--server" address
it cannot dial is said in the log and on the screen.

Environment as vobu_e2e.py; the server binary is vobu_testserver in the same
bin folder as the client.
"""

import json
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vobu_e2e  # noqa: E402
from vobu_e2e import TestServer, wait_for_log  # noqa: E402
from road_e2e import (BODY_TEXT, DIALOG_LABEL, HIGHLIGHT_TEXT, LIBRARY_USE, OVERLAY_DISCONNECT,  # noqa: E402
                      TITLE_ROW_HEIGHT, TITLE_ROW_X, TITLE_ROW_Y, Player, free_port, text_width, user_file)

SERVERS_FILE = os.path.join("VobuOrchard", "VobuOrchard", "characters.json.servers")


def row_title_ink(player, shot, row, title, one_line=False):
    """HIGHLIGHT_TEXT for the selected row, BODY_TEXT for another, or None
    when the row does not show that title. A row without a message of the
    day has its title in the middle of the row."""
    y = TITLE_ROW_Y + TITLE_ROW_HEIGHT * row + ((TITLE_ROW_HEIGHT - 16) // 2 - 8 if one_line else 0)
    for ink in (HIGHLIGHT_TEXT, BODY_TEXT):
        if player.shows(shot, TITLE_ROW_X, y, title, ink):
            return ink
    return None


class TitleMemoryTest(unittest.TestCase):
    def test_the_server_just_left_stays_selected_and_return_joins_it_again(self):
        with TestServer("--bots", "0", "--difficulty", "1", "--title", "Second Server", "--motd", "Joined and left") \
                as second, \
                TestServer("--bots", "0", "--title", "Directory Server", "--motd", "Lists the others",
                           "--list", f"Second Server|Joined and left|{second.url}") as directory, \
                vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", directory.url, "--quit-after-ms", "90000"],
                                 name="title-memory") as client:
                client.wait_for_window()
                player = Player(client, self)
                player.wait_for(lambda shot: player.title_row_shows(shot, 0, "Directory Server", "Lists the others")
                                and player.title_row_shows(shot, 1, "Second Server", "Joined and left"), "rows")

                # The second row, not the first, is joined and left.
                player.join_through_the_library(1, "first")
                self.assertEqual(len(second.messages(type_="hello")), 1)
                player.click(*OVERLAY_DISCONNECT)
                wait_for_log(client, r"Left the game")
                client.move_mouse_to_screen(0, 0)
                # Back on the title screen the rows are asked for again; once
                # they are there, the server just left is the selected one.
                directory.wait_for(lambda t: sum(1 for e in t if e.get("msg", {}).get("type") == "directory") >= 2,
                                   what="the second directory request")
                shot = player.wait_for(lambda shot: row_title_ink(player, shot, 1, "Second Server") == HIGHLIGHT_TEXT
                                       and row_title_ink(player, shot, 0, "Directory Server") == BODY_TEXT,
                                       "title-again-second-selected")

                # Return joins it, not the directory's own entry.
                player.press("Return")
                player.wait_for(player.library_shown, "library-again")
                ready = client.log().count("Game ready")
                player.click(*LIBRARY_USE)
                wait_for_log(client, r"(Game ready[\s\S]*){%d}" % (ready + 1), timeout=30)
                self.assertEqual(len(second.messages(type_="hello")), 2)
                self.assertEqual(directory.messages(type_="hello"), [])
                self.assertNotIn("Disconnected", client.log())

    def test_an_unreadable_servers_file_is_kept_beside_the_list_the_first_add_writes(self):
        # Ten thousand addresses: a list far over the 16384 bytes the client
        # reads, so it shows none of them.
        unreadable = json.dumps([f"ws://10.{i // 65536}.{i // 256 % 256}.{i % 256}:7777/vobu"
                                 for i in range(10000)], separators=(",", ":")).encode()
        self.assertGreater(len(unreadable), 16384)
        port = free_port()
        with TestServer("--bots", "0", "--title", "Directory Server", "--motd", "Lists itself") as directory, \
                vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", directory.url, "--quit-after-ms", "60000"],
                                 name="servers-file", data_files={SERVERS_FILE: unreadable}) as client:
                client.wait_for_window()
                player = Player(client, self)
                shot = player.wait_for_title_row(0, "Directory Server", "Lists itself", "title")
                self.assertIsNone(row_title_ink(player, shot, 1, "ws://10.0.0.0:7777/vobu", True))

                player.press("Left", "Up", "Right", "Down", "Down", "Right", "Up", "Left")
                player.wait_for_text(*DIALOG_LABEL, "Server address", HIGHLIGHT_TEXT, "dialog")
                address = f"ws://127.0.0.1:{port}/vobu"
                player.type(f"127.0.0.1:{port}")
                player.press("Return")
                client.move_mouse_to_screen(0, 0)
                player.wait_for(lambda shot: not player.shows(shot, *DIALOG_LABEL, "Server address", HIGHLIGHT_TEXT)
                                and row_title_ink(player, shot, 1, address, True) == HIGHLIGHT_TEXT, "added")

                with open(user_file(client, "characters.json.servers"), "rb") as f:
                    self.assertEqual(json.loads(f.read()), [address])
                with open(user_file(client, "characters.json.servers.unread.bak"), "rb") as f:
                    self.assertEqual(f.read(), unreadable, "every byte of the old file is kept")
                self.assertEqual(client.log().count("Saved servers: the list file could not be read and is kept as "),
                                 1)

                # The next add writes over the new list only.
                player.press("Left", "Up", "Right", "Down", "Down", "Right", "Up", "Left")
                player.wait_for_text(*DIALOG_LABEL, "Server address", HIGHLIGHT_TEXT, "dialog-again")
                player.type("127.0.0.1:1")
                player.press("Return")
                player.wait_for(lambda shot: row_title_ink(player, shot, 2, "ws://127.0.0.1:1/vobu", True) == HIGHLIGHT_TEXT,
                                "added-again")
                with open(user_file(client, "characters.json.servers"), "rb") as f:
                    self.assertEqual(json.loads(f.read()), [address, "ws://127.0.0.1:1/vobu"])
                self.assertFalse(os.path.exists(user_file(client, "characters.json.servers.unread-2.bak")))
                self.assertEqual(client.log().count("kept as"), 1)


DIALOG_STATUS = (256, 328)


class AddServerDialogTest(unittest.TestCase):
    def test_a_port_past_65535_is_refused_and_nothing_is_saved_or_asked(self):
        # The name lookup would take the port modulo 65536 and reach this
        # very server, which would then be listed and joined under an address
        # that is not its own.
        self.refused_and_nothing_saved_or_asked(lambda port: f"127.0.0.1:{port + 65536}", "Enter a host and port",
                                                "wrapped-port")

    def test_a_bracketed_host_is_refused_and_nothing_is_saved_or_asked(self):
        # The name lookup asks for IPv4 only: such an address could be saved
        # and listed, and never be joined.
        self.refused_and_nothing_saved_or_asked(lambda port: f"[::1]:{port}", "Invalid address", "bracketed-host")

    def refused_and_nothing_saved_or_asked(self, typed_for_port, message, name):
        with TestServer("--bots", "0", "--title", "Directory Server", "--motd", "Lists itself") as directory, \
                vobu_e2e.Display() as display:
            port = int(directory.url.rsplit(":", 1)[1].split("/", 1)[0])
            typed = typed_for_port(port)
            with vobu_e2e.Client(display, ["--server", directory.url, "--quit-after-ms", "60000"],
                                 name=name) as client:
                client.wait_for_window()
                player = Player(client, self)
                player.wait_for_title_row(0, "Directory Server", "Lists itself", "title")

                player.press("Left", "Up", "Right", "Down", "Down", "Right", "Up", "Left")
                player.wait_for_text(*DIALOG_LABEL, "Server address", HIGHLIGHT_TEXT, "dialog")
                player.type(typed)
                player.press("Return")
                client.move_mouse_to_screen(0, 0)
                player.wait_for(lambda shot: player.shows(shot, *DIALOG_LABEL, "Server address", HIGHLIGHT_TEXT)
                                and player.shows(shot, *DIALOG_STATUS, message, HIGHLIGHT_TEXT),
                                "refused")

                player.press("Escape")
                player.wait_for(lambda shot: not player.shows(shot, *DIALOG_LABEL, "Server address", HIGHLIGHT_TEXT),
                                "closed")
                # Long enough for a saved server's subscription to have asked.
                time.sleep(1.5)
                shot = player.screenshot("list")
                self.assertIsNotNone(row_title_ink(player, shot, 0, "Directory Server"))
                self.assertIsNone(row_title_ink(player, shot, 1, "Directory Server"))
                self.assertIsNone(row_title_ink(player, shot, 1, f"ws://{typed}/vobu", True))
                self.assertFalse(os.path.exists(user_file(client, "characters.json.servers")))
                self.assertEqual(len(directory.messages(type_="directory")), 1, "only the directory itself asked")


# Between "Delete" and "Join", on the buttons' text line.
TITLE_STATUS = (600, 632)
JOIN_STATUS_Y = 274


class InvalidServerAddressTest(unittest.TestCase):
    def test_a_server_address_past_65535_is_said_in_the_log_and_on_the_title_screen(self):
        address = "ws://127.0.0.1:99999/vobu"
        with vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", address, "--quit-after-ms", "60000"],
                                 name="invalid-server") as client:
                client.wait_for_window()
                player = Player(client, self)
                player.wait_for_text(*TITLE_STATUS, "Invalid server address", HIGHLIGHT_TEXT, "title")
                log = client.log()
                self.assertEqual(log.count(f'Server address "{address}" is not valid: '
                                           "its port is not a number from 1 to 65535"), 1, log)
                self.assertTrue(client.running())

    def test_a_quick_join_to_a_bracketed_host_says_the_address_is_not_valid(self):
        address = "ws://[::1]:8080/vobu"
        with vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", address, "--quick-join", "--quit-after-ms", "60000"],
                                 name="invalid-quick-join") as client:
                client.wait_for_window()
                player = Player(client, self)
                status = "Invalid server address"
                player.wait_for(lambda shot: player.shows(shot, (1020 - text_width(status)) // 2, JOIN_STATUS_Y,
                                                          status, BODY_TEXT)
                                and player.shows(shot, 420 + (180 - 72) // 2, 378, "Main menu",
                                                 (BODY_TEXT, HIGHLIGHT_TEXT)), "overlay")
                log = client.log()
                self.assertEqual(log.count(f'Server address "{address}" is not valid: its host is in brackets'), 1, log)
                self.assertIn("Disconnected: ERR_URL_SCHEME", log)
                # No "Server says" line under the status: no server was reached.
                shot = player.screenshot("no-reason")
                self.assertFalse(player.shows(shot, (1020 - text_width('Server says: "ERR_URL_SCHEME"')) // 2, 298,
                                              'Server says: "ERR_URL_SCHEME"', BODY_TEXT))

                # The main menu's title screen says it too.
                player.click(510, 386)
                player.wait_for_text(*TITLE_STATUS, status, HIGHLIGHT_TEXT, "title")


if __name__ == "__main__":
    unittest.main()
