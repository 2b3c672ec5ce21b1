"""Writes Windows BMP files for the module's bitmap resources.

The pictures are drawn by small scripts beside this one as rows of (r, g, b)
tuples, top row first; this module only knows the file format. The results
are committed under src/resources/ so that the build needs no Python.
"""

import struct


def write_bmp(path, rows, bits=24, palette=None):
    """rows: list of rows, top first, each a list of (r, g, b).
    bits 24 writes true colour; bits 4 or 8 need a palette (list of (r, g, b))
    holding every colour used."""
    height = len(rows)
    width = len(rows[0])
    if any(len(r) != width for r in rows):
        raise ValueError("rows differ in width")
    if bits == 24:
        colours = b""
        row_bytes = width * 3
    elif bits in (4, 8):
        if not palette or len(palette) > (1 << bits):
            raise ValueError("a %d-bit bitmap needs a palette of at most %d colours" % (bits, 1 << bits))
        index = {c: i for i, c in enumerate(palette)}
        colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
        colours += b"\0" * (4 * ((1 << bits) - len(palette)))
        row_bytes = (width * bits + 7) // 8
    else:
        raise ValueError("unsupported depth %d" % bits)
    stride = (row_bytes + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):  # BMP rows run bottom-up
        if bits == 24:
            line = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in row)
        elif bits == 8:
            line = bytes(index[c] for c in row)
        else:
            nibbles = [index[c] for c in row] + [0]
            line = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, width, 2))
        pixels += line + b"\0" * (stride - len(line))
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835,
                       0 if bits == 24 else (1 << bits), 0)
    with open(path, "wb") as f:
        f.write(header + info + colours + bytes(pixels))


def read_bmp(path):
    """The rows (top first) of an uncompressed 4-, 8- or 24-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    _, width, height, _, bits = struct.unpack_from("<IiiHH", data, 14)
    palette = []
    if bits in (4, 8):
        for i in range(1 << bits):
            b, g, r, _ = struct.unpack_from("<BBBB", data, 54 + 4 * i)
            palette.append((r, g, b))
    stride = ((width * bits + 7) // 8 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        line = data[offset + y * stride: offset + (y + 1) * stride]
        if bits == 24:
            row = [(line[3 * x + 2], line[3 * x + 1], line[3 * x]) for x in range(width)]
        elif bits == 8:
            row = [palette[line[x]] for x in range(width)]
        else:
            row = [palette[(line[x // 2] >> (4 if x % 2 == 0 else 0)) & 15] for x in range(width)]
        rows.append(row)
    if height > 0:
        rows.reverse()
    return rows
