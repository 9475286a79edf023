#!/usr/bin/env python3
"""Draws the flowchart pictures that ship with the simulator.

Flowchart.bmp (24 bits per pixel) shows ROM page 3 as sixteen boxes of sixteen
addresses each, 0x300-0x30F to 0x3F0-0x3FF, chained by arrows in reading
order (left to right, then right to left on the next row). In each box:

- one vertical stripe per address, whose red byte is the low address byte
  (a visit of that address lights it);
- above each stripe a tick whose blue byte is the address (an entry into it);
- below each stripe a tick whose green byte is the address (a skip over the
  two-byte step that starts there);
- the outline, and the arrow that leads into the box, carry the box's first
  address in red (0x01 for the first box: a byte of 0 names no address).

Black pixels (background, labels) belong to no address and keep their colour.
types.bmp (8 bits per pixel, same size) gives stripes type 1, ticks type 2 and
outlines and arrows type 3.

Usage: make_flowchart_pictures.py [OUTPUT_FOLDER]   (default: examples/)
"""
import os
import struct
import sys

BOX_COLUMNS, BOX_ROWS = 4, 4
STRIPE_W, STRIPE_H = 8, 40
OUTLINE = 3
TICK_H, TICK_GAP = 5, 2
GAP_X, GAP_Y = 56, 44
MARGIN = 24
BOX_W = 16 * STRIPE_W + 2 * OUTLINE
BOX_H = STRIPE_H + 2 * OUTLINE
WIDTH = 2 * MARGIN + BOX_COLUMNS * BOX_W + (BOX_COLUMNS - 1) * GAP_X
HEIGHT = 2 * MARGIN + BOX_ROWS * BOX_H + (BOX_ROWS - 1) * GAP_Y

STRIPE_TYPE, TICK_TYPE, LINE_TYPE = 40, 160, 255

# 3 x 5 pixel hexadecimal digits, one string of 15 cells per digit.
FONT = {
    "0": "111101101101111", "1": "010110010010111", "2": "111001111100111",
    "3": "111001111001111", "4": "101101111001001", "5": "111100111001111",
    "6": "111100111101111", "7": "111001001001001", "8": "111101111101111",
    "9": "111101111001111", "A": "111101111101101", "B": "110101110101110",
    "C": "111100100100111", "D": "110101101101110", "E": "111100111100111",
    "F": "111100111100100",
}


class Canvas:
    def __init__(self):
        self.bgr = [[(0, 0, 0)] * WIDTH for _ in range(HEIGHT)]
        self.types = [[0] * WIDTH for _ in range(HEIGHT)]

    def fill(self, x0, y0, w, h, bgr, kind):
        for y in range(max(y0, 0), min(y0 + h, HEIGHT)):
            for x in range(max(x0, 0), min(x0 + w, WIDTH)):
                self.bgr[y][x] = bgr
                self.types[y][x] = kind

    def text(self, x0, y0, string, scale=2):
        # Black glyphs: pixels of no address, of type 0.
        for i, ch in enumerate(string):
            cells = FONT[ch]
            for cy in range(5):
                for cx in range(3):
                    if cells[cy * 3 + cx] == "1":
                        self.fill(x0 + (i * 4 + cx) * scale, y0 + cy * scale, scale, scale, (0, 0, 0), 0)


def box_origin(n):
    """Top-left corner of box n, in snake order."""
    row, col = divmod(n, BOX_COLUMNS)
    if row % 2:
        col = BOX_COLUMNS - 1 - col
    return MARGIN + col * (BOX_W + GAP_X), MARGIN + row * (BOX_H + GAP_Y)


def red(address):
    return (0, 0, address)


def draw(canvas):
    for n in range(16):
        x0, y0 = box_origin(n)
        first = max(n * 16, 1)
        canvas.fill(x0, y0, BOX_W, BOX_H, red(first), LINE_TYPE)
        for i in range(16):
            address = n * 16 + i
            sx = x0 + OUTLINE + i * STRIPE_W
            # One black column between stripes keeps them apart.
            canvas.fill(sx, y0 + OUTLINE, STRIPE_W - 1, STRIPE_H, red(address), STRIPE_TYPE)
            canvas.fill(sx + 1, y0 - TICK_GAP - TICK_H, STRIPE_W - 3, TICK_H, (address, 0, 0), TICK_TYPE)
            canvas.fill(sx + 1, y0 + BOX_H + TICK_GAP, STRIPE_W - 3, TICK_H, (0, address, 0), TICK_TYPE)
        # Over stripes 1 to 3: stripe 0 of the first box is black (address 0).
        canvas.text(x0 + OUTLINE + STRIPE_W + 1, y0 + OUTLINE + 3, "3%X0" % n)
        if n < 15:
            draw_arrow(canvas, n, red((n + 1) * 16))


def draw_arrow(canvas, n, colour):
    """An arrow from box n to box n + 1, ending in a head at box n + 1."""
    (ax, ay), (bx, by) = box_origin(n), box_origin(n + 1)
    if ay == by:
        y = ay + BOX_H // 2
        if bx > ax:  # to the right
            start, end = ax + BOX_W + 4, bx - 4
            canvas.fill(start, y - 1, end - start, 3, colour, LINE_TYPE)
            for k in range(7):
                canvas.fill(end - 1 - k, y - k, 1, 2 * k + 1, colour, LINE_TYPE)
        else:  # to the left
            start, end = bx + BOX_W + 4, ax - 4
            canvas.fill(start, y - 1, end - start, 3, colour, LINE_TYPE)
            for k in range(7):
                canvas.fill(start + k, y - k, 1, 2 * k + 1, colour, LINE_TYPE)
    else:  # down to the next row, at the end of the row
        x = ax + BOX_W // 2 + 24
        start, end = ay + BOX_H + TICK_GAP + TICK_H + 4, by - TICK_GAP - TICK_H - 4
        canvas.fill(x - 1, start, 3, end - start, colour, LINE_TYPE)
        for k in range(7):
            canvas.fill(x - k, end - 1 - k, 2 * k + 1, 1, colour, LINE_TYPE)


def bitmap(width, height, bits, rows, palette=b""):
    """A Windows bitmap file, rows given top row first, stored bottom row first."""
    row_length = (bits * width // 8 + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):
        pixels += row + b"\0" * (row_length - len(row))
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835,
                       len(palette) // 4, 0)
    return header + info + palette + bytes(pixels)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "examples")
    canvas = Canvas()
    draw(canvas)
    picture_rows = [b"".join(bytes(p) for p in row) for row in canvas.bgr]
    type_rows = [bytes(row) for row in canvas.types]
    grey = b"".join(bytes((i, i, i, 0)) for i in range(256))
    with open(os.path.join(out, "Flowchart.bmp"), "wb") as f:
        f.write(bitmap(WIDTH, HEIGHT, 24, picture_rows))
    with open(os.path.join(out, "types.bmp"), "wb") as f:
        f.write(bitmap(WIDTH, HEIGHT, 8, type_rows, grey))
    print("wrote %d x %d pictures to %s" % (WIDTH, HEIGHT, out))


if __name__ == "__main__":
    main()
