#!/usr/bin/env python3
"""Plays the options as a person would: in a first run it turns the shadows off in the
pause menu's settings, rebinds Jump to J in the Controls list, and toggles full screen
with F11 and back; it quits and starts the game again, which must come up with both
changes (the banner names J, the checkbox stays clear, options.txt holds them).

The virtual screen is larger than the window, so full screen shows as a change of the
window's size. Screenshots of each step go into the output folder.

    options_play_test.py GAME_EXECUTABLE OUTPUT_FOLDER
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import play_test  # noqa: E402
from play_test import Display, Failure, Game, Player  # noqa: E402

SCREEN = (1600, 900)
WINDOW = (1280, 720)

# Centres in the 1280 × 720 window at the screen's corner, measured on the pictures.
PAUSE_SETTINGS_CLOSED = (640, 405)  # the "Settings" header while both sections are closed
PAUSE_SETTINGS_OPEN = (503, 277)    # the same header once the open section has moved it up
SETTINGS_SHADOWS = (463, 407)
PAUSE_CONTROLS_CLOSED = (640, 432)
PAUSE_CONTROLS_OPEN = (505, 310)
CONTROLS_JUMP = (718, 474)
SHADOWS_BOX = (454, 396, 472, 416)  # the check box itself, left, top, right, bottom
BEYOND_WINDOW = (1500, 850)
AWAY_FROM_MENU = (1000, 600)


def window_geometry(player):
    ids = subprocess.run(["xdotool", "search", "--name", "Zorvander"], env=player.environment,
                         capture_output=True, text=True).stdout.split()
    if not ids:
        raise Failure("no game window")
    shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", ids[-1]], env=player.environment,
                           capture_output=True, text=True, check=True).stdout
    values = dict(line.split("=") for line in shell.split())
    return int(values["WIDTH"]), int(values["HEIGHT"])


def wait_for_geometry(player, size, seconds=30.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if window_geometry(player) == size:
            return
        time.sleep(0.5)
    raise Failure("the window is %dx%d, expected %dx%d" % (window_geometry(player) + size))


def shadows_checked(player, display):
    player.xdotool("mousemove", *AWAY_FROM_MENU)  # the white pointer would look like a tick
    time.sleep(1.0)
    display.settle()
    left, top, right, bottom = SHADOWS_BOX
    # The tick is far brighter than the box's frame colour behind it.
    marked = sum(1 for x in range(left, right) for y in range(top, bottom) if sum(display.pixel(x, y)) > 500)
    return marked >= 6


def read_options(folder):
    with open(os.path.join(folder, "options.txt")) as source:
        return dict(line.split("=", 1) for line in source.read().splitlines() if line and not line.startswith("#"))


def open_world(player, display, game, first):
    game.wait_for("Multiplayer: UDP", 120)
    display.settle()
    player.click(play_test.MENU_SINGLEPLAYER)
    display.settle()
    if first:
        player.click(play_test.MENU_CREATE_AND_PLAY)
    else:
        player.click(play_test.MENU_FIRST_WORLD)
        display.settle()
        player.click(play_test.MENU_PLAY_SELECTED)
    game.wait_for("Loaded " + play_test.WORLD if not first else "[log]", 90)
    time.sleep(6.0)
    player.hold_key("Escape")
    display.settle()


def quit_from(player, display, game, open_header, run):
    """Closes the open section of the pause menu, whose buttons then sit where they
    always do, and quits to the desktop."""
    player.click(open_header)
    display.settle()
    player.click(play_test.PAUSE_QUIT_TO_DESKTOP)
    if game.process.wait(timeout=120) != 0:
        raise Failure("the %s run exited with status %d" % (run, game.process.returncode))


def first_run(player, display, game, output):
    open_world(player, display, game, True)
    display.save(os.path.join(output, "options_1_paused.png"))
    player.click(PAUSE_SETTINGS_CLOSED)
    display.settle()
    display.save(os.path.join(output, "options_2_settings.png"))
    if not shadows_checked(player, display):
        raise Failure("the shadows check box is not ticked at first")
    player.click(SETTINGS_SHADOWS)
    display.settle()
    display.save(os.path.join(output, "options_3_shadows_off.png"))
    if shadows_checked(player, display):
        raise Failure("the click did not clear the shadows check box")
    player.click(PAUSE_SETTINGS_OPEN)
    player.click(PAUSE_CONTROLS_CLOSED)
    display.settle()
    player.click(CONTROLS_JUMP)
    display.settle()
    display.save(os.path.join(output, "options_4_waiting_for_key.png"))
    player.hold_key("j", 0.3)
    display.settle()
    display.save(os.path.join(output, "options_5_jump_on_j.png"))

    player.hold_key("F11", 0.3)
    wait_for_geometry(player, SCREEN)
    display.settle()
    display.save(os.path.join(output, "options_6_full_screen.png"))
    if display.pixel(*BEYOND_WINDOW) == (0, 0, 0):
        raise Failure("full screen left the screen's corner black")
    player.hold_key("F11", 0.3)
    wait_for_geometry(player, WINDOW)
    display.settle()
    display.save(os.path.join(output, "options_7_windowed_again.png"))
    if display.pixel(*BEYOND_WINDOW) != (0, 0, 0):
        raise Failure("the window did not shrink back")

    quit_from(player, display, game, PAUSE_CONTROLS_OPEN, "first")


def second_run(player, display, game, output):
    banner = game.lines[game.wait_for("jump / swim", 120)]
    if not banner.startswith("WASD move, J jump / swim"):
        raise Failure("the banner does not name J for jumping: " + banner)
    open_world(player, display, game, False)
    player.click(PAUSE_SETTINGS_CLOSED)
    display.settle()
    display.save(os.path.join(output, "options_8_after_restart.png"))
    if shadows_checked(player, display):
        raise Failure("the shadows came back on after the restart")
    quit_from(player, display, game, PAUSE_SETTINGS_OPEN, "second")


def run(game_executable, output):
    os.makedirs(output, exist_ok=True)
    play_test.WIDTH, play_test.HEIGHT = SCREEN
    folder, executable, display, environment = play_test.private_game(game_executable, "zorv-options-")
    player = Player(environment)
    game = None
    try:
        game = Game(executable, environment, os.path.join(output, "options_game_1.log"))
        first_run(player, display, game, output)
        options = read_options(folder)
        if options.get("shadows") != "false" or options.get("key_jump") != "J":
            raise Failure("options.txt lacks the changes: shadows=%s key_jump=%s" %
                          (options.get("shadows"), options.get("key_jump")))
        if options.get("full_screen") != "false" or options.get("window_width") != str(WINDOW[0]):
            raise Failure("options.txt did not keep the window: %s" % options)
        game = Game(executable, environment, os.path.join(output, "options_game_2.log"))
        second_run(player, display, game, output)
        options = read_options(folder)
        if options.get("shadows") != "false" or options.get("key_jump") != "J":
            raise Failure("the second run lost the options")
        with game.lock:
            reports = [line for line in game.lines if "[validation]" in line or line.startswith("options:")]
        if reports:
            raise Failure("unexpected report: " + reports[0])
        print("options play test passed")
    finally:
        play_test.clean_up(game, display, folder)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    try:
        run(sys.argv[1], sys.argv[2])
    except (Failure, subprocess.SubprocessError) as error:
        print("options play test failed: %s" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
