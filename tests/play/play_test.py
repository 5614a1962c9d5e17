#!/usr/bin/env python3
"""Plays the real game as a person would: a virtual X server, the game on Mesa's software
Vulkan driver, synthetic keyboard and mouse input through xdotool (XTEST).

It creates a world from the menu, walks, breaks a block, places one, types /give stone 5,
switches to survival, opens and closes the inventory, types /time night, takes an F2
screenshot, saves and quits to the menu, loads the world again and quits. The level save written after each visit
must hold the broken and the placed block and the five stones. Screenshots of the virtual
screen are written at each step into the output folder.

    play_test.py GAME_EXECUTABLE LEVEL_REPORT OUTPUT_FOLDER
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

WIDTH, HEIGHT = 1280, 720
WORLD = "My World"

SEED = "play"

# Centres of the widgets in the 1280 × 720 window, measured on the menu screens' pictures.
MENU_SINGLEPLAYER = (640, 242)
MENU_EMPTY_SPOT = (760, 130)
MENU_FIRST_WORLD = (460, 246)
MENU_PLAY_SELECTED = (640, 422)
MENU_SEED_FIELD = (640, 513)
MENU_CREATE_AND_PLAY = (640, 550)
PAUSE_SAVE_AND_QUIT = (640, 324)
PAUSE_QUIT_TO_DESKTOP = (640, 366)
MENU_CORNERS = ((40, 680), (1240, 680))


class Failure(Exception):
    pass


def write_png(path, width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        out.write(chunk(b"IEND", b""))


def xwd_to_png(xwd_path, png_path):
    """Converts the X server's 24-bit frame buffer dump (XWD, 32 bits per pixel) to PNG."""
    with open(xwd_path, "rb") as source:
        data = source.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolours = fields[7], fields[11], fields[12], fields[19]
    if bits_per_pixel != 32:
        raise Failure("unexpected frame buffer format: %d bits per pixel" % bits_per_pixel)
    offset = header_size + 12 * ncolours
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + 4 * width]
        if byte_order == 0:  # B G R X
            rgb = bytearray(3 * width)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        else:  # X R G B
            rgb = bytearray(3 * width)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[1::4], line[2::4], line[3::4]
        rows.append(bytes(rgb))
    write_png(png_path, width, height, rows)


class Display:
    """A virtual X server whose screen can be saved at any moment."""

    def __init__(self, folder):
        self.folder = folder
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (WIDTH, HEIGHT), "-fbdir", folder,
             "-nolisten", "tcp"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            self.name = ":" + numbers.readline().strip()

    def save(self, png_path):
        xwd_to_png(os.path.join(self.folder, "Xvfb_screen0"), png_path)

    def pixels(self):
        with open(os.path.join(self.folder, "Xvfb_screen0"), "rb") as source:
            return source.read()

    def pixel(self, x, y):
        data = self.pixels()
        fields = struct.unpack(">25I", data[:100])
        offset = fields[0] + 12 * fields[19] + y * fields[12] + 4 * x
        return data[offset + 2], data[offset + 1], data[offset]  # stored B G R X

    def shows_colour(self, points, colour, tolerance=12):
        return all(max(abs(a - b) for a, b in zip(self.pixel(x, y), colour)) <= tolerance for x, y in points)

    def settle(self, seconds=90.0):
        """Waits until the screen stays the same for three seconds (a menu page has been
        laid out: a new page takes a frame or two to find its size and place, and a frame
        on the software renderer of a busy machine can take a second or more)."""
        deadline = time.monotonic() + seconds
        previous = self.pixels()
        unchanged_since = time.monotonic()
        while time.monotonic() < deadline:
            time.sleep(0.5)
            current = self.pixels()
            if current != previous:
                previous = current
                unchanged_since = time.monotonic()
            elif time.monotonic() - unchanged_since >= 3.0:
                return
        raise Failure("the screen did not settle within %.0f s" % seconds)

    def wait_for_colour(self, points, colour, seconds=90.0):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.shows_colour(points, colour):
                return True
            time.sleep(0.5)
        return False

    def close(self):
        self.server.terminate()
        self.server.wait()


class Game:
    """The game process with its standard output collected line by line."""

    def __init__(self, executable, environment, log_path):
        self.lines = []
        self.lock = threading.Lock()
        self.log = open(log_path, "w")
        self.process = subprocess.Popen([executable], env=environment, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                        text=True, errors="replace")
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.log.write(line)
            self.log.flush()
            with self.lock:
                self.lines.append(line.rstrip("\n"))

    def wait_for(self, text, seconds, start=0):
        """Index of the first line from `start` on that contains `text`."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            with self.lock:
                for index in range(start, len(self.lines)):
                    if text in self.lines[index]:
                        return index
            if self.process.poll() is not None and not self.reader.is_alive():
                break
            time.sleep(0.05)
        raise Failure("no line with %r within %.0f s (exit status %s)" % (text, seconds, self.process.poll()))

    def line_count(self):
        with self.lock:
            return len(self.lines)


class Player:
    """Synthetic input through xdotool; keys and buttons are held for a few frames."""

    def __init__(self, environment):
        self.environment = environment

    def xdotool(self, *arguments):
        subprocess.run(["xdotool"] + [str(a) for a in arguments], env=self.environment, check=True)

    def hold_key(self, key, seconds=1.0):
        self.xdotool("keydown", key)
        time.sleep(seconds)
        self.xdotool("keyup", key)
        time.sleep(1.0)

    def click(self, position, button=1):
        # Dear ImGui keeps the order of motion, press and release even when they arrive
        # within one frame, so the pauses only need to let the frames come.
        self.xdotool("mousemove", position[0], position[1])
        time.sleep(1.5)
        self.xdotool("mousedown", button)
        time.sleep(1.0)
        self.xdotool("mouseup", button)
        time.sleep(1.0)

    def press_button(self, button):
        self.xdotool("mousedown", button)
        time.sleep(1.0)
        self.xdotool("mouseup", button)
        time.sleep(2.0)

    def turn(self, dx, dy):
        self.xdotool("mousemove_relative", "--", dx, dy)
        time.sleep(2.0)

    def run_command(self, game, text, expected):
        """Types a command into the chat and submits it; Enter is pressed again while the
        game's answer has not appeared (a key can be missed while a frame takes long)."""
        mark = game.line_count()
        self.xdotool("type", "--delay", "60", text)
        time.sleep(1.0)
        for attempt in range(4):
            self.hold_key("Return")
            try:
                game.wait_for(expected, 20, mark)
                time.sleep(1.0)
                return
            except Failure:
                if attempt == 3:
                    raise


def level_report(tool, saves, world):
    result = subprocess.run([tool, saves, world], capture_output=True, text=True)
    if result.returncode != 0:
        raise Failure("level report failed: " + result.stderr.strip())
    lines = result.stdout.splitlines()
    header = dict(item.split("=") for item in lines[0].split())
    edits = {}
    for line in lines[1:]:
        _, x, y, z, block, _level = line.split()
        edits[(int(x), int(y), int(z))] = int(block)
    return header, edits


def check_level(header, edits, label):
    broken = [cell for cell, block in edits.items() if block == 0]
    placed = [cell for cell, block in edits.items() if block not in (0, 8, 9)]
    if not broken:
        raise Failure("%s: no broken block in the level save" % label)
    if not placed:
        raise Failure("%s: no placed block in the level save" % label)
    if int(header["stone"]) < 5:
        raise Failure("%s: %s stones in the inventory, expected at least 5" % (label, header["stone"]))
    print("%s: %d edits (%d broken, %d placed), %s stones, mode %s, time %s" %
          (label, len(edits), len(broken), len(placed), header["stone"], header["mode"], header["time"]))


def private_game(game_executable, prefix):
    """A temporary folder with a copy of the game and a link to its shaders (the game keeps
    every folder beside its executable), and a virtual X server of its own: returns the
    folder, the copy's path, the display and the environment to run it in."""
    folder = tempfile.mkdtemp(prefix=prefix)
    executable = os.path.join(folder, "zorvander")
    shutil.copy2(game_executable, executable)
    os.symlink(os.path.join(os.path.dirname(os.path.abspath(game_executable)), "shaders"),
               os.path.join(folder, "shaders"))
    runtime = os.path.join(folder, "xdg-runtime")
    os.mkdir(runtime, 0o700)
    display = Display(folder)
    return folder, executable, display, dict(os.environ, DISPLAY=display.name, XDG_RUNTIME_DIR=runtime)


def clean_up(game, display, folder):
    if game and game.process.poll() is None:
        game.process.kill()
        game.process.wait()
    display.close()
    shutil.rmtree(folder, ignore_errors=True)


def play(game_executable, report_tool, output):
    os.makedirs(output, exist_ok=True)
    folder, executable, display, environment = private_game(game_executable, "zorv-play-")
    saves = os.path.join(folder, "saves")
    level = os.path.join(saves, WORLD, "level.dat")
    player = Player(environment)
    game = None
    try:
        game = Game(executable, environment, os.path.join(output, "play_game.log"))
        game.wait_for("Multiplayer: UDP", 120)
        display.settle()
        menu_sky = display.pixel(*MENU_CORNERS[0])
        display.save(os.path.join(output, "play_1_menu.png"))

        player.click(MENU_SINGLEPLAYER)
        display.settle()
        player.click(MENU_SEED_FIELD)
        player.xdotool("type", "--delay", "80", SEED)
        player.click(MENU_EMPTY_SPOT)  # leaves the field, whose blinking caret never settles
        display.settle()
        display.save(os.path.join(output, "play_2_worlds.png"))
        player.xdotool("mousemove", *MENU_CREATE_AND_PLAY)
        time.sleep(1.0)
        player.xdotool("mousedown", 1)
        time.sleep(0.3)
        player.xdotool("mouseup", 1)
        started = time.monotonic()
        while not os.path.exists(level):
            if time.monotonic() - started > 90:
                raise Failure("the new world was not saved within 90 s")
            time.sleep(0.02)
        saved = time.monotonic()
        # The world is created between two frames: the next picture is its first frame.
        last_menu_frame = display.pixels()
        while display.pixels() == last_menu_frame and time.monotonic() - saved < 30:
            time.sleep(0.02)
        print("create and play: world saved after %.2f s, first frame after %.2f s" %
              (saved - started, time.monotonic() - started))
        time.sleep(5.0)
        display.save(os.path.join(output, "play_3_world.png"))

        player.hold_key("w", 2.0)
        player.turn(0, 1)  # the first motion after the cursor is captured only sets the origin
        for step in range(3):
            player.turn(0, 100)  # 36° further down in all at 0.12° per pixel
        player.press_button(1)
        for step in range(3):
            player.turn(250, 0)  # a quarter turn to the right: the ground beside the hole
        player.press_button(3)
        display.save(os.path.join(output, "play_4_edited.png"))

        player.run_command(game, "/give stone 5", "Gave 5 stone")
        player.run_command(game, "/gamemode survival", "Game mode: Survival")
        player.hold_key("e")
        time.sleep(5.0)
        display.save(os.path.join(output, "play_5_inventory.png"))
        player.hold_key("e")
        time.sleep(3.0)
        player.run_command(game, "/time night", "Time set to night")
        time.sleep(4.0)
        display.save(os.path.join(output, "play_6_night.png"))
        mark = game.line_count()
        player.hold_key("F2")
        line = game.lines[game.wait_for("Screenshot saved: ", 60, mark)]
        shot = line.split("Screenshot saved: ", 1)[1]
        if os.path.dirname(shot) != os.path.join(folder, "screenshots") or not shot.endswith("_ZorvK.png"):
            raise Failure("unexpected screenshot path " + shot)
        with open(shot, "rb") as picture:
            if picture.read(8) != b"\x89PNG\r\n\x1a\n":
                raise Failure("the F2 screenshot is not a PNG file")
        shutil.copy(shot, os.path.join(output, "play_6_f2_screenshot.png"))

        player.hold_key("Escape")
        time.sleep(5.0)
        display.save(os.path.join(output, "play_7_paused.png"))
        player.click(PAUSE_SAVE_AND_QUIT)
        # The menus draw over a plain sky: two corners of that colour mean a menu shows.
        if not display.wait_for_colour(MENU_CORNERS, menu_sky):
            raise Failure("the pause screen did not lead back to the menu")
        display.settle()
        display.save(os.path.join(output, "play_8_back_in_menu.png"))
        header, edits = level_report(report_tool, saves, WORLD)
        check_level(header, edits, "after the first visit")

        player.click(MENU_SINGLEPLAYER)
        display.settle()
        player.click(MENU_FIRST_WORLD)
        display.settle()
        display.save(os.path.join(output, "play_9_world_list.png"))
        player.click(MENU_PLAY_SELECTED)
        game.wait_for("Loaded " + WORLD, 60)
        time.sleep(5.0)
        display.save(os.path.join(output, "play_10_reloaded.png"))
        player.hold_key("Escape")
        time.sleep(5.0)
        player.click(PAUSE_QUIT_TO_DESKTOP)
        if game.process.wait(timeout=120) != 0:
            raise Failure("the game exited with status %d" % game.process.returncode)
        again, edits_again = level_report(report_tool, saves, WORLD)
        check_level(again, edits_again, "after loading it again")
        for cell, block in edits.items():
            if edits_again.get(cell) != block:
                raise Failure("edit at %s changed from %d to %s after loading" % (cell, block, edits_again.get(cell)))
        if int(again["stone"]) != int(header["stone"]):
            raise Failure("the stones changed after loading: %s, then %s" % (header["stone"], again["stone"]))
        with game.lock:
            reports = [line for line in game.lines if "[validation]" in line]
        if reports:
            raise Failure("the validation layer reported: " + reports[0])
        print("play test passed")
    finally:
        clean_up(game, display, folder)


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    try:
        play(sys.argv[1], sys.argv[2], sys.argv[3])
    except (Failure, subprocess.SubprocessError) as error:
        print("play test failed: %s" % error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
