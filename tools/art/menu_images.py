#!/usr/bin/env python3
"""Draws bitmap 220, the context menu's images: four 16x15 pictures side by
side at 4 bits per pixel, light grey (192, 192, 192) standing for
transparent. 0 a yellow question mark, 1 scissors (delete), 2 two
overlapping pages (open file), 3 a clipboard holding a page (open folder).

    python3 tools/art/menu_images.py   # writes src/resources/menu_images.bmp
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bmp import write_bmp  # noqa: E402

W, H = 16, 15
COLOURS = {
    ".": (192, 192, 192),  # transparent
    "k": (0, 0, 0),
    "w": (255, 255, 255),
    "y": (255, 255, 0),
    "g": (128, 128, 128),
    "o": (128, 128, 0),
    "n": (0, 0, 128),
    "m": (128, 0, 0),
}
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (128, 128, 128), (192, 192, 192), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]

QUESTION = """
................
.....kkkkkk.....
....kyyyyyyk....
...kyyykkyyyk...
...kyyk..kyyk...
....kk...kyyk...
........kyyk....
.......kyyk.....
......kyyk......
......kyyk......
.......kk.......
......kyyk......
......kyyk......
.......kk.......
................
"""

SCISSORS = """
................
....k.....k.....
....gk...kg.....
....gk...kg.....
.....gk.kg......
.....gk.kg......
......gkg.......
.......k........
......nkn.......
.....n...n......
..nnnn...nnnn...
.n...n...n...n..
.n...n...n...n..
.n...n...n...n..
..nnn.....nnn...
"""


def blank():
    return [["."] * W for _ in range(H)]


def page(img, x0, y0, x1, y1):
    """A white sheet with a black edge and navy lines of text."""
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            edge = x in (x0, x1) or y in (y0, y1)
            img[y][x] = "k" if edge else "w"
    for y in range(y0 + 2, y1 - 1, 2):
        for x in range(x0 + 2, x1 - 1):
            img[y][x] = "n"


def two_pages():
    img = blank()
    page(img, 0, 0, 8, 10)
    page(img, 6, 4, 15, 14)
    return img


def clipboard_with_page():
    img = blank()
    for y in range(2, 15):  # the board
        for x in range(0, 11):
            edge = x in (0, 10) or y in (2, 14)
            img[y][x] = "k" if edge else "o"
    for y in range(0, 4):  # the clip
        for x in range(3, 8):
            edge = x in (3, 7) or y in (0, 3)
            img[y][x] = "k" if edge else "g"
    page(img, 6, 6, 15, 14)
    return img


def parse(art):
    rows = [list(line) for line in art.strip("\n").split("\n")]
    assert len(rows) == H and all(len(r) == W for r in rows), "a picture is 16x15"
    return rows


def main():
    pictures = [parse(QUESTION), parse(SCISSORS), two_pages(), clipboard_with_page()]
    rows = [[COLOURS[c] for pic in pictures for c in pic[y]] for y in range(H)]
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    write_bmp(os.path.join(root, "src", "resources", "menu_images.bmp"), rows, bits=4, palette=PALETTE)


if __name__ == "__main__":
    main()
