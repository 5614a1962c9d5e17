#!/usr/bin/env python3
"""Plays the menus on a very slow machine: the game holds every frame at 500 ms
(ZORV_TEST_FRAME_MS), and every click is one xdotool command that moves the pointer,
presses and releases within a few milliseconds, so motion, press and release all fall
between two frames; keys are tapped the same way. Every click and tap must act:
Singleplayer, the seed field, Create and Play; two commands in the chat, after which the
player falls to death and the death screen's Respawn brings them back; Esc to pause, the
Settings section opened and closed again, Save and Quit to Menu. Screenshots of each step
go into the output folder, to be looked at.

    slow_frames_play_test.py GAME_EXECUTABLE LEVEL_REPORT OUTPUT_FOLDER
"""

import os
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import play_test as play  # noqa: E402
from play_test import Failure, Game, Player  # noqa: E402

FRAME_MS = 500

# Centres in the 1280 × 720 window, measured on the pictures.
PAUSE_SAVE = (640, 282)
PAUSE_SETTINGS_CLOSED = (640, 405)
PAUSE_SETTINGS_OPEN = (503, 277)
DEATH_RESPAWN = (640, 356)
SEED_TEXT = (384, 503, 640, 523)  # the seed field's text
# Where the pause menu and its opened section draw.
MENU_BOX = (380, 200, 900, 560)


def quick_click(player, position):
    """Motion, press and release in one go: a few milliseconds, far less than a frame."""
    player.xdotool("mousemove", position[0], position[1], "click", "1")


def quick_key(player, key):
    player.xdotool("key", key)


def changed_share(before, after, box, every=4):
    """The share of pixels in `box` (left, top, right, bottom) whose colour moved by more
    than 40 in a channel, sampled every `every` pixels both ways."""
    fields_before = before[:100]
    if fields_before != after[:100]:
        return 1.0
    fields = struct.unpack(">25I", fields_before)
    start, stride = fields[0] + 12 * fields[19], fields[12]
    left, top, right, bottom = box
    moved = total = 0
    for y in range(top, bottom, every):
        row = start + y * stride
        for x in range(left, right, every):
            offset = row + 4 * x
            total += 1
            if max(abs(before[offset + i] - after[offset + i]) for i in range(3)) > 40:
                moved += 1
    return moved / total


def wait_for_change(display, before, box, share, what, seconds=60.0):
    """Waits until at least `share` of `box` differs from the `before` screen, then for the
    screen to settle; fails naming `what` when it does not happen."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if changed_share(before, display.pixels(), box) >= share:
            display.settle()
            return
        time.sleep(0.25)
    raise Failure("the click did not take effect: " + what)


def step(display, output, name, action, box, share, what, settle_first=True):
    """Runs `action` on the screen (settled first, unless creatures move in it) and checks
    that it changed; saves the picture."""
    if settle_first:
        display.settle()
    before = display.pixels()
    action()
    wait_for_change(display, before, box, share, what)
    display.save(os.path.join(output, "slow_%s.png" % name))


def whole_screen():
    return (0, 0, play.WIDTH, play.HEIGHT)


def create_world(player, display, game, output, level):
    display.settle()
    display.save(os.path.join(output, "slow_1_menu.png"))
    step(display, output, "2_worlds", lambda: quick_click(player, play.MENU_SINGLEPLAYER), whole_screen(), 0.02,
         "Singleplayer")
    # The focused field's caret blinks, so the screen does not settle until it is left. The
    # interface takes the typed keys and characters a few to a frame: a word takes seconds.
    before = display.pixels()
    quick_click(player, play.MENU_SEED_FIELD)
    player.xdotool("type", "--delay", "80", play.SEED)
    deadline = time.monotonic() + 30.0
    while changed_share(before, display.pixels(), SEED_TEXT, 1) < 0.05:
        if time.monotonic() > deadline:
            raise Failure("the click did not take effect: the seed field")
        time.sleep(0.5)
    time.sleep(8.0)
    display.save(os.path.join(output, "slow_3_seed_typed.png"))
    quick_click(player, play.MENU_EMPTY_SPOT)  # leaves the field, whose blinking caret never settles
    display.settle()
    quick_click(player, play.MENU_CREATE_AND_PLAY)
    started = time.monotonic()
    while not os.path.exists(level):
        if time.monotonic() - started > 90:
            raise Failure("the click did not take effect: Create and Play (no world saved within 90 s)")
        time.sleep(0.1)
    game.wait_for("[log]", 90)
    time.sleep(8.0)
    display.save(os.path.join(output, "slow_4_world.png"))


def command(player, game, text, expected):
    """Types a command and taps Enter once; the game must answer."""
    mark = game.line_count()
    player.xdotool("type", "--delay", "80", text)
    time.sleep(1.0)
    quick_key(player, "Return")
    game.wait_for(expected, 30, mark)


def die_and_respawn(player, display, game, output, report_tool, saves):
    """Falls to death from 60 blocks above the spawn in survival; Respawn must bring the
    player back."""
    header, _ = play.level_report(report_tool, saves, play.WORLD)
    command(player, game, "/gamemode survival", "Game mode: Survival")
    mark = game.line_count()
    command(player, game, "/tp %s %.1f %s" % (header["x"], float(header["y"]) + 60.0, header["z"]), "Teleported")
    game.wait_for("You died", 120, mark)
    time.sleep(4.0)
    display.save(os.path.join(output, "slow_5_dead.png"))
    mark = game.line_count()
    quick_click(player, DEATH_RESPAWN)
    try:
        game.wait_for("Respawned", 30, mark)
    except Failure:
        raise Failure("the click did not take effect: Respawn")
    time.sleep(6.0)
    display.save(os.path.join(output, "slow_6_respawned.png"))


def saved_position(player, report_tool, saves, level):
    """Clicks Save in the pause menu and reads the player's position from the level save."""
    written = os.path.getmtime(level)
    quick_click(player, PAUSE_SAVE)
    deadline = time.monotonic() + 30.0
    while os.path.getmtime(level) == written:
        if time.monotonic() > deadline:
            raise Failure("the click did not take effect: Save")
        time.sleep(0.2)
    time.sleep(1.0)
    header, _ = play.level_report(report_tool, saves, play.WORLD)
    return tuple(float(header[axis]) for axis in ("x", "y", "z"))


def pause(player, display, output, name):
    # The world moves until the game pauses, which stops it.
    step(display, output, name, lambda: quick_key(player, "Escape"), MENU_BOX, 0.2, "Esc to pause",
         settle_first=False)


def fly_in_real_time(player, display, game, output, report_tool, saves, level):
    """Spectator flight is 22 blocks a second through everything. Held for 4 s of frames
    of 500 ms, of which the world takes 0.25 s each, it covers about 2 s of flight: some
    44 blocks, give or take a frame at each end, fewer when the machine cannot keep up the
    500 ms. A world held to 0.1 s a frame covers 17.6 (22 at the very most), one taking all
    of each frame 88. Leaves the game paused."""
    mark = game.line_count()
    quick_key(player, "F4")
    game.wait_for("Spectator", 30, mark)
    pause(player, display, output, "7_paused")
    start = saved_position(player, report_tool, saves, level)
    quick_key(player, "Escape")
    time.sleep(2.0)
    player.xdotool("keydown", "w")
    time.sleep(4.0)
    player.xdotool("keyup", "w")
    time.sleep(2.0)
    pause(player, display, output, "8_paused_after_flight")
    end = saved_position(player, report_tool, saves, level)
    distance = sum((a - b) ** 2 for a, b in zip(start, end)) ** 0.5
    print("spectator flight for 4 s: %.1f blocks" % distance)
    if not 25.0 <= distance <= 60.0:
        raise Failure("4 s of spectator flight covered %.1f blocks, expected 25 to 60" % distance)


def settings_and_leave(player, display, output):
    display.settle()
    paused = display.pixels()
    step(display, output, "9_settings", lambda: quick_click(player, PAUSE_SETTINGS_CLOSED), MENU_BOX, 0.05,
         "opening Settings")
    quick_click(player, PAUSE_SETTINGS_OPEN)
    time.sleep(3.0)
    display.settle()
    display.save(os.path.join(output, "slow_10_settings_closed.png"))
    # Closed again, the pause menu looks as it did before the section opened.
    if changed_share(paused, display.pixels(), MENU_BOX) > 0.01:
        raise Failure("the click did not take effect: closing Settings")
    quick_click(player, play.PAUSE_SAVE_AND_QUIT)


def run(game_executable, report_tool, output):
    os.makedirs(output, exist_ok=True)
    folder, executable, display, environment = play.private_game(game_executable, "zorv-slow-")
    environment = dict(environment, ZORV_TEST_FRAME_MS=str(FRAME_MS))
    saves = os.path.join(folder, "saves")
    level = os.path.join(saves, play.WORLD, "level.dat")
    player = Player(environment)
    game = None
    try:
        game = Game(executable, environment, os.path.join(output, "slow_game.log"))
        game.wait_for("frames held at %d ms" % FRAME_MS, 60)
        game.wait_for("Multiplayer: UDP", 120)
        display.settle()
        menu_sky = display.pixel(*play.MENU_CORNERS[0])
        create_world(player, display, game, output, level)
        die_and_respawn(player, display, game, output, report_tool, saves)
        fly_in_real_time(player, display, game, output, report_tool, saves, level)
        settings_and_leave(player, display, output)
        if not display.wait_for_colour(play.MENU_CORNERS, menu_sky):
            raise Failure("the click did not take effect: Save and Quit to Menu")
        display.settle()
        display.save(os.path.join(output, "slow_11_back_in_menu.png"))
        with game.lock:
            reports = [line for line in game.lines if "[validation]" in line]
        if reports:
            raise Failure("the validation layer reported: " + reports[0])
        print("slow frames play test passed")
    finally:
        play.clean_up(game, display, folder)


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    try:
        run(sys.argv[1], sys.argv[2], sys.argv[3])
    except (Failure, subprocess.SubprocessError) as error:
        print("slow frames play test failed: %s" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
