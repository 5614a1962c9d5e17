#!/usr/bin/env python3
"""Two windowed games on one machine, each on a virtual X server of its own: one hosts a
new world from the multiplayer menu under the name "Host", walks off and places a block;
the other joins "127.0.0.1" from the menu under the name "Guest". Both must report the
join, the host's level save must hold the placed block, and the client's picture (saved
in the output folder, to be looked at) shows the host with its name tag.

    two_games_test.py GAME_EXECUTABLE LEVEL_REPORT OUTPUT_FOLDER
"""

import os
import shutil
import sys
import tempfile
import time

import play_test as play

# The multiplayer page in the 1280 × 720 window.
MENU_MULTIPLAYER = (640, 292)
MULTIPLAYER_NAME_FIELD = (640, 191)
MULTIPLAYER_HOST_NEW = (640, 462)
MULTIPLAYER_ADDRESS_FIELD = (640, 546)
MULTIPLAYER_JOIN = (640, 577)
MENU_EMPTY_SPOT = (760, 75)


class Instance:
    def __init__(self, name, game_executable, output):
        self.folder = tempfile.mkdtemp(prefix="zorv-%s-" % name)
        executable = os.path.join(self.folder, "zorvander")
        shutil.copy2(game_executable, executable)
        os.symlink(os.path.join(os.path.dirname(os.path.abspath(game_executable)), "shaders"),
                   os.path.join(self.folder, "shaders"))
        runtime = os.path.join(self.folder, "xdg-runtime")
        os.mkdir(runtime, 0o700)
        self.display = play.Display(self.folder)
        environment = dict(os.environ, DISPLAY=self.display.name, XDG_RUNTIME_DIR=runtime)
        self.player = play.Player(environment)
        self.game = play.Game(executable, environment, os.path.join(output, "two_games_%s.log" % name))

    def open_multiplayer_page(self, name):
        self.game.wait_for("Multiplayer: UDP", 120)
        self.display.settle()
        self.player.click(MENU_MULTIPLAYER)
        self.display.settle()
        self.player.click(MULTIPLAYER_NAME_FIELD)
        # Empty the field key by key once it is active: a Ctrl+A chord right after the click
        # sometimes selected nothing, leaving the old name in front of the typed one.
        time.sleep(0.5)
        self.player.xdotool("key", "End")
        self.player.xdotool("key", "--repeat", "32", "--delay", "30", "BackSpace")
        self.player.xdotool("type", "--delay", "80", name)

    def close(self):
        if self.game.process.poll() is None:
            self.game.process.kill()
            self.game.process.wait()
        self.display.close()
        shutil.rmtree(self.folder, ignore_errors=True)


def run(game_executable, report_tool, output):
    os.makedirs(output, exist_ok=True)
    host = Instance("host", game_executable, output)
    client = Instance("client", game_executable, output)
    try:
        host.open_multiplayer_page("Host")
        host.player.click(MENU_EMPTY_SPOT)
        host.player.click(MULTIPLAYER_HOST_NEW)
        host.game.wait_for('Hosting "My World" on UDP 27632', 90)
        time.sleep(5.0)
        host.player.hold_key("w", 2.5)
        host.player.turn(0, 1)
        for step in range(3):
            host.player.turn(0, 100)
        host.player.press_button(3)
        for step in range(3):
            host.player.turn(0, -100)
        host.player.turn(1500, 0)  # 180°: facing the spawn, where the guest arrives
        time.sleep(6.0)  # an autosave (every 5 s) records the block

        client.open_multiplayer_page("Guest")
        client.player.click(MULTIPLAYER_ADDRESS_FIELD)
        client.player.xdotool("type", "--delay", "80", "127.0.0.1")
        client.player.click(MENU_EMPTY_SPOT)
        client.display.settle()
        client.player.click(MULTIPLAYER_JOIN)
        client.game.wait_for("Joined Host's world", 120)
        host.game.wait_for("Guest joined the game", 60)
        time.sleep(15.0)
        client.display.save(os.path.join(output, "two_games_client.png"))
        host.display.save(os.path.join(output, "two_games_host.png"))

        header, edits = play.level_report(report_tool, os.path.join(host.folder, "saves"), "My World")
        placed = [cell for cell, block in edits.items() if block not in (0, 8, 9)]
        if not placed:
            raise play.Failure("the host's level save holds no placed block")
        for instance in (host, client):
            with instance.game.lock:
                reports = [line for line in instance.game.lines if "[validation]" in line]
            if reports:
                raise play.Failure("the validation layer reported: " + reports[0])
        print("two games: the guest joined, the host placed %d block(s)" % len(placed))
        print("two games test passed")
    finally:
        client.close()
        host.close()


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    try:
        run(sys.argv[1], sys.argv[2], sys.argv[3])
    except (play.Failure, OSError) as error:
        print("two games test failed: %s" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
