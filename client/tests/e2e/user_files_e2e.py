"""The client's own files under Xvfb, driven with xdotool: a FIFO or a link
to /dev/zero in place of the characters file and the servers file lets the
title screen come up and is kept aside by the first save, and a file that
another program wrote while the client ran takes the client's next change,
as do two game windows on one folder.

Environment as vobu_e2e.py; the server binary is vobu_testserver in the same
bin folder as the client.
"""

import json
import os
import shutil
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vobu_e2e  # noqa: E402
from vobu_e2e import TestServer, wait_for_log  # noqa: E402
from road_e2e import (BODY_TEXT, DIALOG_LABEL, HIGHLIGHT_TEXT, LIBRARY_NEW, LIBRARY_TITLE,  # noqa: E402
                      TITLE_CHARACTERS, Player, free_port, user_file)
from title_e2e import row_title_ink  # noqa: E402

FOLDER = os.path.join("VobuOrchard", "VobuOrchard")
CHARACTERS_FILE = os.path.join(FOLDER, "characters.json")
SERVERS_FILE = os.path.join(FOLDER, "characters.json.servers")
HIDDEN_SEQUENCE = ("Left", "Up", "Right", "Down", "Down", "Right", "Up", "Left")


def kind(path):
    mode = os.lstat(path).st_mode
    if stat.S_ISFIFO(mode):
        return "fifo"
    if stat.S_ISLNK(mode):
        return "link to " + os.readlink(path)
    return "file" if stat.S_ISREG(mode) else "other"


def link_to_dev_zero(path):
    os.symlink("/dev/zero", path)


def outside_link(outside):
    """Makes a link to a file of another program's, outside the folder."""
    target = os.path.join(outside, "outside")
    with open(target, "wb") as f:
        f.write(b"not the client's")
    return lambda path: os.symlink(target, path)


def replace_as_another_program(path, content):
    """Writes the file the way another game window does: a new file moved
    over the old one."""
    with open(path + ".other", "wb") as f:
        f.write(content)
    os.replace(path + ".other", path)


class UserFilesTest(unittest.TestCase):
    def title_screen(self, client, directory_title):
        client.wait_for_window()
        player = Player(client, self)
        player.wait_for_title_row(0, directory_title, "Lists itself", "title")
        return player

    def add_server(self, player, typed, row):
        player.press(*HIDDEN_SEQUENCE)
        player.wait_for_text(*DIALOG_LABEL, "Server address", HIGHLIGHT_TEXT, "dialog")
        player.type(typed)
        player.press("Return")
        player.client.move_mouse_to_screen(0, 0)
        address = f"ws://{typed}/vobu"
        player.wait_for(lambda shot: not player.shows(shot, *DIALOG_LABEL, "Server address", HIGHLIGHT_TEXT)
                        and row_title_ink(player, shot, row, address, True) == HIGHLIGHT_TEXT, "added")
        return address

    def new_character(self, player, row):
        """"Characters" on the title screen, then "New" in the library."""
        player.click(*TITLE_CHARACTERS)
        # An empty library has no "Use".
        player.wait_for(lambda shot: player.shows(shot, *LIBRARY_TITLE, "Characters", HIGHLIGHT_TEXT)
                        and player.shows(shot, LIBRARY_NEW[0] - 12, LIBRARY_NEW[1] - 8, "New",
                                         (BODY_TEXT, HIGHLIGHT_TEXT)), "library")
        player.click(*LIBRARY_NEW)
        player.wait_for(lambda shot: player.library_row_shows(shot, row, "Vobu", True), "new-character")

    def read(self, client, name):
        with open(user_file(client, name), "rb") as f:
            return f.read()

    def odd_files_are_kept_aside(self, make, what):
        port = free_port()
        with TestServer("--bots", "0", "--title", "Directory Server", "--motd", "Lists itself") as directory, \
                vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", directory.url, "--quit-after-ms", "60000"],
                                 name="user-files-" + what.replace(" ", "-"),
                                 data_files={CHARACTERS_FILE: make, SERVERS_FILE: make}) as client:
                # Neither file is waited on or read without end: the title
                # screen comes up with nothing read.
                player = self.title_screen(client, "Directory Server")
                expected_kind = kind(user_file(client, "characters.json"))

                address = self.add_server(player, f"127.0.0.1:{port}", 1)
                self.assertEqual(json.loads(self.read(client, "characters.json.servers")), [address])
                self.assertEqual(kind(user_file(client, "characters.json.servers.unread.bak")), expected_kind)

                # The library could not read its file, so it holds nothing
                # and the first "New" keeps the file aside before it writes.
                self.new_character(player, 0)
                characters = json.loads(self.read(client, "characters.json"))["characters"]
                self.assertEqual([c["name"] for c in characters], ["Vobu"])
                self.assertEqual(kind(user_file(client, "characters.json.unread.bak")), expected_kind)

                client.close_window()
                self.assertEqual(client.wait_exit(), 0)
                self.assertNotIn("bad_alloc", client.log())

    def test_fifos_in_place_of_both_files_neither_wait_nor_are_replaced_unkept(self):
        self.odd_files_are_kept_aside(os.mkfifo, "fifo")

    def test_links_to_dev_zero_in_place_of_both_files_are_not_read_without_end(self):
        self.odd_files_are_kept_aside(link_to_dev_zero, "dev zero")

    def test_files_another_window_wrote_meanwhile_take_the_next_change(self):
        port = free_port()
        with TestServer("--bots", "0", "--title", "Directory Server", "--motd", "Lists itself") as directory, \
                vobu_e2e.Display() as display:
            with vobu_e2e.Client(display, ["--server", directory.url, "--quit-after-ms", "60000"],
                                 name="user-files-two-writers") as client:
                player = self.title_screen(client, "Directory Server")
                # The first start saved its first character.
                mine = json.loads(self.read(client, "characters.json"))
                self.assertEqual(len(mine["characters"]), 1)

                # A second game window on the same folder adds a server and
                # a character of its own.
                theirs_server = "ws://127.0.0.1:1/vobu"
                other_servers = json.dumps([theirs_server], separators=(",", ":")).encode()
                replace_as_another_program(user_file(client, "characters.json.servers"), other_servers)
                theirs = json.loads(json.dumps(mine))
                theirs["characters"].append(dict(mine["characters"][0], id="0" * 32, name="Theirs"))
                other_characters = json.dumps(theirs, separators=(",", ":"), sort_keys=True).encode()
                replace_as_another_program(user_file(client, "characters.json"), other_characters)

                # This window's add is made to the list as it is now: both
                # servers are saved and shown, and nothing is kept aside.
                address = self.add_server(player, f"127.0.0.1:{port}", 2)
                self.assertEqual(json.loads(self.read(client, "characters.json.servers")), [theirs_server, address])
                self.assertFalse(os.path.exists(user_file(client, "characters.json.servers.unread.bak")))
                wait_for_log(client, r"Saved servers: the list file changed since it was read; the change is made "
                                     r"to it as it is now")
                self.add_server(player, "127.0.0.1:2", 3)
                self.assertEqual(len(json.loads(self.read(client, "characters.json.servers"))), 3)

                self.new_character(player, 2)
                characters = json.loads(self.read(client, "characters.json"))["characters"]
                self.assertEqual([c["name"] for c in characters], ["Vobu", "Theirs", "Vobu"])
                self.assertEqual(characters[0]["id"], mine["characters"][0]["id"])
                self.assertEqual(characters[1]["id"], "0" * 32)
                self.assertFalse(os.path.exists(user_file(client, "characters.json.unread.bak")))
                wait_for_log(client, r"Saved characters: the characters file changed since it was read; the change "
                                     r"is made to it as it is now")
                self.assertEqual(client.log().count("changed since it was read"), 2)


    def odd_names_never_stop_a_save(self, odd, what, without_lock):
        """Odd names at the lock and the temporary files: the title screen
        adds a server and the library makes a character, and nothing outside
        the folder is written."""
        port = free_port()
        outside = tempfile.mkdtemp(prefix="vobu-e2e-outside-")
        try:
            with TestServer("--bots", "0", "--title", "Directory Server", "--motd", "Lists itself") as directory, \
                    vobu_e2e.Display() as display:
                files = {os.path.join(FOLDER, name): make(outside) for name, make in odd.items()}
                with vobu_e2e.Client(display, ["--server", directory.url, "--quit-after-ms", "60000"],
                                     name="user-files-odd-" + what.replace(" ", "-"), data_files=files) as client:
                    player = self.title_screen(client, "Directory Server")
                    address = self.add_server(player, f"127.0.0.1:{port}", 1)
                    self.assertEqual(json.loads(self.read(client, "characters.json.servers")), [address])
                    self.new_character(player, 1)
                    characters = json.loads(self.read(client, "characters.json"))["characters"]
                    self.assertEqual([c["name"] for c in characters], ["Vobu", "Vobu"])
                    for name in ("characters.json", "characters.json.servers"):
                        self.assertEqual(kind(user_file(client, name)), "file", name)
                    self.assertEqual(os.listdir(outside), ["outside"], "a link out of the folder was followed")
                    with open(os.path.join(outside, "outside"), "rb") as f:
                        self.assertEqual(f.read(), b"not the client's")
                    unlocked = client.log().count("is changed without the lock against other game windows")
                    if without_lock:
                        self.assertGreaterEqual(unlocked, 3, "the first character, the server and the new one")
                    else:
                        self.assertEqual(unlocked, 0)
                    client.close_window()
                    self.assertEqual(client.wait_exit(), 0, "the window closed: no open waited on a FIFO")
        finally:
            shutil.rmtree(outside, ignore_errors=True)

    def test_fifos_and_links_at_the_temporary_names_are_removed_under_the_lock(self):
        self.odd_names_never_stop_a_save({
            "characters.json.tmp": lambda outside: os.mkfifo,
            "characters.json.servers.tmp": lambda outside: outside_link(outside),
        }, "temporary names", without_lock=False)

    def test_a_lock_name_that_gives_no_lock_never_stops_a_save(self):
        self.odd_names_never_stop_a_save({
            "characters.json.lock": lambda outside: os.mkfifo,
            "characters.json.tmp": lambda outside: outside_link(outside),
            "characters.json.servers.tmp": lambda outside: os.mkfifo,
        }, "lock name", without_lock=True)

    def test_two_windows_on_one_folder_keep_both_windows_characters_and_servers(self):
        """Two real game windows (each on a display of its own) on one
        per-user folder, each making a character and adding a server after
        the other started."""
        with TestServer("--bots", "0", "--title", "Directory Server", "--motd", "Lists itself") as directory, \
                vobu_e2e.Display() as first_display, vobu_e2e.Display() as second_display:
            shared = tempfile.mkdtemp(prefix="vobu-e2e-shared-")
            try:
                args = ["--server", directory.url, "--quit-after-ms", "60000"]
                with vobu_e2e.Client(first_display, args, name="two-windows-first",
                                     env={"XDG_DATA_HOME": shared}) as first:
                    first_player = self.title_screen(first, "Directory Server")
                    folder = os.path.join(shared, FOLDER)
                    with vobu_e2e.Client(second_display, args, name="two-windows-second",
                                         env={"XDG_DATA_HOME": shared}) as second:
                        second_player = self.title_screen(second, "Directory Server")
                        # Each window made its change after the other read the files.
                        first_server = self.add_server(first_player, "127.0.0.1:1", 1)
                        second_server = self.add_server(second_player, "127.0.0.1:2", 2)
                        self.new_character(first_player, 1)
                        self.new_character(second_player, 2)

                        def read(name):
                            with open(os.path.join(folder, name), "rb") as f:
                                return json.loads(f.read())

                        self.assertEqual(read("characters.json.servers"), [first_server, second_server])
                        characters = read("characters.json")["characters"]
                        self.assertEqual(len(characters), 3, "the first character and one new of each window")
                        self.assertEqual(len({c["id"] for c in characters}), 3)
                        self.assertEqual(sorted(name for name in os.listdir(folder)),
                                         ["characters.json", "characters.json.lock", "characters.json.servers"],
                                         "nothing kept aside, no temporary file left")
                        for took in (r"Saved servers: the list file changed since it was read; the change is made",
                                     r"Saved characters: the characters file changed since it was read; the change "):
                            wait_for_log(second, took)
            finally:
                shutil.rmtree(shared, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
