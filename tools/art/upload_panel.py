#!/usr/bin/env python3
"""Draws the progress dialog's panel, src/resources/upload_panel.bmp: 327 x 210
pixels, a light blue gradient from left to right, the word LOADING at the top
right over a thin rule. The dialog paints its texts over it at x = 6."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bmp import write_bmp  # noqa: E402

WIDTH, HEIGHT = 327, 210
LEFT, RIGHT = (236, 244, 253), (176, 206, 238)
INK = (46, 92, 150)
RULE = (84, 128, 184)

# 5 x 7 letters, one string per row, "#" for ink.
GLYPHS = {
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "I": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "G": [".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"],
}
SCALE = 2
WORD = "LOADING"
RIGHT_MARGIN, TOP = 10, 8


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def main(out):
    rows = [[mix(LEFT, RIGHT, x / (WIDTH - 1)) for x in range(WIDTH)] for _ in range(HEIGHT)]
    advance = 6 * SCALE
    word_width = len(WORD) * advance - SCALE
    x0 = WIDTH - RIGHT_MARGIN - word_width
    for i, letter in enumerate(WORD):
        for gy, line in enumerate(GLYPHS[letter]):
            for gx, cell in enumerate(line):
                if cell != "#":
                    continue
                for dy in range(SCALE):
                    for dx in range(SCALE):
                        rows[TOP + gy * SCALE + dy][x0 + i * advance + gx * SCALE + dx] = INK
    rule_y = TOP + 7 * SCALE + 4
    for x in range(x0 - 20, WIDTH - RIGHT_MARGIN):
        rows[rule_y][x] = RULE
    write_bmp(out, rows, bits=24)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "src", "resources", "upload_panel.bmp"))
