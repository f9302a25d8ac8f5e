#!/usr/bin/env python3
"""Drives the real menu for a soak run on the X display in DISPLAY (1920x1080).

Starts the menu in the picture folder with the frame watcher preloaded, moves
the pointer at random over and between the buttons and clicks often until the
watcher has counted the frames asked for, then presses Escape. Passes when the
menu stayed up and exited 0, printed exactly the expected "Pressing button"
line for each click on a face and nothing for other clicks, and its resident
memory after frame 100 grew by less than 1 MiB.

Usage: soak_driver.py tarnwick picture-dir libframewatch.so frames output-dir
The menu's output and the watcher's figures are left in output-dir.
"""
import os
import random
import subprocess
import sys
import time

WIDTH, HEIGHT = 1920, 1080
NAMES = ["Start", "Coord", "Blank", "Blank", "Observe", "Edit", "Blank", "Quit"]
# Pixels a clean miss keeps from every box, beyond the boxes' breathing.
MISS_MARGIN = 6
# The pointer rests at least this long (seconds) and five frames before and
# after a click, so the frame whose hover flags the click reads was hit-tested
# where the pointer rests, even when frames slow down under load.
SETTLE = 0.16


menu = None


def fail(message):
    print(f"soak: FAILED: {message}", file=sys.stderr)
    if menu and menu.poll() is None:
        menu.kill()
    sys.exit(1)


def read(path):
    with open(path) as f:
        return f.read()


def face(button, panel_depth, height=0.25):
    """Screen rectangle (left, top, right, bottom) of a button's un-lifted face, or of the
    outline of its box at another height above the panel (0: where its walls stand)."""
    left = 0.1 if button < 4 else 0.6
    bottom = 0.8 - 0.2 * (button % 4)
    distance = 3.5 - 0.75 * (height + panel_depth)

    def sx(e):
        return (3.73868537 * 0.75 * (e - 0.5) / distance + 1) / 2 * WIDTH

    def sy(e):
        return (1 - 6.64655161 * 0.75 * (e - 0.5) / distance) / 2 * HEIGHT

    return sx(left), sy(bottom + 0.1), sx(left + 0.3), sy(bottom)


def inner_box(button):
    """The middle 70% of the face where it is smallest over the breathing."""
    far, near = face(button, 0.15), face(button, 0.25)
    left, top = max(far[0], near[0]), max(far[1], near[1])
    right, bottom = min(far[2], near[2]), min(far[3], near[3])
    dx, dy = 0.15 * (right - left), 0.15 * (bottom - top)
    return left + dx, top + dy, right - dx, bottom - dy


def outer_box(button):
    """Everything the box, face and walls, ever covers while it breathes, plus the miss
    margin: a click on its walls names it too."""
    outlines = [face(button, depth, height) for depth in (0.15, 0.25) for height in (0, 0.25)]
    return (min(o[0] for o in outlines) - MISS_MARGIN, min(o[1] for o in outlines) - MISS_MARGIN,
            max(o[2] for o in outlines) + MISS_MARGIN, max(o[3] for o in outlines) + MISS_MARGIN)


def within(box, x, y):
    return box[0] <= x <= box[2] and box[1] <= y <= box[3]


def point_in(box, rng):
    return (rng.randint(int(box[0]) + 1, int(box[2]) - 1),
            rng.randint(int(box[1]) + 1, int(box[3]) - 1))


def miss_point(rng):
    """A pixel well away from every face: mostly on the panel around a button,
    sometimes anywhere on the screen."""
    while True:
        if rng.random() < 0.7:
            box = outer_box(rng.randrange(8))
            grow_x, grow_y = 0.4 * (box[2] - box[0]), 0.8 * (box[3] - box[1])
            x = rng.randint(int(box[0] - grow_x), int(box[2] + grow_x))
            y = rng.randint(int(box[1] - grow_y), int(box[3] + grow_y))
        else:
            x, y = rng.randrange(WIDTH), rng.randrange(HEIGHT)
        if 0 <= x < WIDTH and 0 <= y < HEIGHT and not any(
                within(outer_box(b), x, y) for b in range(8)):
            return x, y


def pick_point(rng):
    """A pixel to click and the line a click there prints (None for a miss)."""
    if rng.random() < 0.6:
        button = rng.randrange(8)
        return point_in(inner_box(button), rng), f"Pressing button {button}: {NAMES[button]}"
    return miss_point(rng), None


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def frames_seen(watch_file):
    try:
        with open(watch_file) as f:
            return {k: float(v) for k, v in (line.split() for line in f)}
    except FileNotFoundError:
        return {}


def main():
    global menu
    binary, pictures, framewatch = (os.path.abspath(a) for a in sys.argv[1:4])
    target, output = int(sys.argv[4]), os.path.abspath(sys.argv[5])
    os.makedirs(output, exist_ok=True)
    seed = int(os.environ.get("SEED", time.time_ns() % 1_000_000))
    rng = random.Random(seed)
    watch_file = os.path.join(output, "framewatch.txt")
    out_path, err_path = os.path.join(output, "menu.out"), os.path.join(output, "menu.err")
    for stale in (watch_file, out_path, err_path):
        if os.path.exists(stale):
            os.remove(stale)
    env = dict(os.environ, LD_PRELOAD=framewatch, TARNWICK_FRAMEWATCH=watch_file)
    print(f"soak: {target} frames, seed {seed}, the menu's output in {output}")

    with open(out_path, "w") as out, open(err_path, "w") as err:
        menu = subprocess.Popen([binary], cwd=pictures, stdout=out, stderr=err, env=env)

    def still_up(doing):
        if menu.poll() is not None:
            seen = frames_seen(watch_file).get("frames", 0)
            fail(f"the menu exited with status {menu.returncode} {doing}, "
                 f"after about {seen:.0f} frames; see {err_path}")

    # The same wait as every script that drives the menu (scripts/menu.sh).
    menu_sh = os.path.join(os.path.dirname(os.path.abspath(__file__)), "menu.sh")
    waited = subprocess.run(["bash", "-c", '. "$0" && wait_for_menu "$1" "$2"', menu_sh, err_path, str(menu.pid)])
    if waited.returncode != 0:
        still_up("during start-up")
        fail("the menu did not reach its frame loop within 120 s")

    expected, clicks, started = [], 0, time.monotonic()
    counted, counted_at, frame_time = 0, started, 0.1
    while (frames := frames_seen(watch_file).get("frames", 0)) < target:
        still_up("while being driven")
        if frames > counted:
            # The watcher counts in hundreds: the latest hundred gives the pace.
            if counted:
                frame_time = (time.monotonic() - counted_at) / (frames - counted)
            counted, counted_at = frames, time.monotonic()
        settle = max(SETTLE, 5 * frame_time)
        if rng.random() < 0.3:
            # Sweep between two such points without clicking, across faces and gaps.
            (x0, y0), _ = pick_point(rng)
            (x1, y1), _ = pick_point(rng)
            steps = rng.randint(6, 12)
            for s in range(steps + 1):
                xdotool("mousemove", x0 + (x1 - x0) * s // steps, y0 + (y1 - y0) * s // steps)
                time.sleep(rng.uniform(0.02, 0.05))
        (x, y), line = pick_point(rng)
        xdotool("mousemove", x, y)
        time.sleep(settle + rng.uniform(0, 0.15))
        if rng.random() < 0.85:
            xdotool("click", 1)
            clicks += 1
            if line:
                expected.append(line)
            time.sleep(settle)
    driven = time.monotonic() - started

    still_up("before Escape")
    xdotool("key", "Escape")
    try:
        status = menu.wait(timeout=60)
    except subprocess.TimeoutExpired:
        fail("the menu did not exit within 60 s of Escape")
    if status != 0:
        fail(f"the menu exited with status {status} after Escape; see {err_path}")

    lines = read(out_path).splitlines()
    if "Completed mipmap." not in lines:
        fail(f"the menu's start-up output is incomplete; see {out_path}")
    after_startup = lines[len(lines) - lines[::-1].index("Completed mipmap."):]
    if after_startup != expected:
        n = next(i for i, (want, got) in enumerate(zip(expected + [None], after_startup + [None]))
                 if want != got)
        want = expected[n] if n < len(expected) else "nothing more"
        got = after_startup[n] if n < len(after_startup) else "nothing more"
        fail(f"after start-up, line {n + 1} should be {want!r} but is {got!r} "
             f"({len(expected)} lines expected, {len(after_startup)} printed); see {out_path}")

    watch = frames_seen(watch_file)
    growth = watch["rss_max_after_100_kib"] - watch["rss_at_100_kib"]
    print(f"soak: {watch['frames']:.0f} frames in {driven:.0f} s, {watch['frame_ms']:.1f} ms a frame; "
          f"{clicks} clicks, {len(expected)} on a face, {len(after_startup)} lines printed, all as expected")
    print(f"soak: resident memory {watch['rss_at_100_kib']:.0f} KiB after frame 100, "
          f"at most {watch['rss_max_after_100_kib']:.0f} KiB since (growth {growth:.0f} KiB), "
          f"peak {watch['peak_rss_kib']:.0f} KiB")
    if watch["frames"] < target:
        fail(f"only {watch['frames']:.0f} frames were shown, {target} asked for")
    if growth >= 1024:
        fail(f"resident memory grew by {growth:.0f} KiB after frame 100 (limit 1024 KiB)")
    print("soak: passed")


if __name__ == "__main__":
    try:
        main()
    finally:
        if menu and menu.poll() is None:
            menu.kill()
