#!/usr/bin/env python3
"""Draws the column header's skin: bitmaps 228, 229 and 230 (24-bit, 16
pixels high), written to src/resources/.

  228 header_band.bmp        1 x 16  the band and every item's body
  229 header_left_edge.bmp   2 x 16  left edge of the leftmost item
  230 header_right_edge.bmp  2 x 16  right edge of every item

The band is a dark top line, a white face with a grey dip across its
middle, and a mid-grey bottom line. The edges add a dark vertical line
outside the face. --check compares the committed files with what this
script draws and fails when they differ.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bmp import read_bmp, write_bmp  # noqa: E402


def rgb(value):
    return ((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF)


WHITE = 0xFFFFFF
# Top row first.
BAND = [0x5A5A5A] + [WHITE] * 4 + [0xF7F7F7, 0xEFEFEF, 0xE7E7E7, 0xDEDEDE, 0xD6D6D6, 0xCECECE] + [WHITE] * 4 + [0x808080]
# The leftmost item's face: its dip starts one row higher and is a shade
# lighter, fading in from the left edge.
LEFT_FACE = ([0x5A5A5A] + [WHITE] * 3 +
             [0xFEFEFE, 0xF8F8F8, 0xEEEEEE, 0xE5E5E5, 0xDCDCDC, 0xD3D3D3, 0xCFCECC] + [WHITE] * 4 + [0x808080])


def dark_line(upper):
    """A vertical edge: `upper` for rows 0 to 11, #808080 below."""
    return [upper] * 12 + [0x808080] * 4


PICTURES = {
    "header_band.bmp": [BAND],
    "header_left_edge.bmp": [dark_line(0x5B5B5B), LEFT_FACE],
    "header_right_edge.bmp": [BAND, dark_line(0x5A5A5A)],
}


def rows_of(columns):
    assert all(len(c) == 16 for c in columns)
    return [[rgb(c[y]) for c in columns] for y in range(16)]


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "resources")
    check = "--check" in sys.argv[1:]
    stale = []
    for name, columns in PICTURES.items():
        path = os.path.join(out, name)
        rows = rows_of(columns)
        if check:
            if not os.path.exists(path) or read_bmp(path) != rows:
                stale.append(name)
        else:
            write_bmp(path, rows, bits=24)
    if stale:
        print("header_skin: out of date: " + ", ".join(stale) + " (run tools/art/header_skin.py)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
