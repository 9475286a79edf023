#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/.

code_file/: small code files in the firmware's text format. bitmap/: small
bitmaps, each behind the four bytes that the bitmap target reads first
(available width and height, 12 bits each less one; bit 4 of byte 1 reads the
file as a type map, the top nibble of byte 3 sets how much smaller the
picture is).
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

CODE_FILES = {
    "page0.code": "/ page 0\n@000\n20   / FIM P0\n00\n@0FE\n11\n22\n33\n",
    "pages.code": "@123\n45 / one byte of page 1\n@ 200\nadd\n1FF\n-1\n+0x7f\n @300\n",
    "comments.code": "/ only comments\n\n   \t\n/@100\nzz\n@\n@xyz\n0X1a 2b 3c\n",
    "far.code": "@4FF\nAA\nBB\n@-1\nCC\n@7FFFFFFF\nDD\n@80000000\nEE\n",
    "crlf.code": "@300\r\nF1\r\nEF\r\nF3\r\n",
}


def bitmap(width, height, bits, top_down=False, image_size=None, palette=0, value=None):
    row_length = (bits * width // 8 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            v = value(x, y) if value else (x * 7 + y * 13) & 0xFF
            row += bytes([v, (v * 3) & 0xFF, (v * 5) & 0xFF][: bits // 8])
        pixels += row + b"\0" * (row_length - len(row))
    offset = 54 + 4 * palette
    size = len(pixels) if image_size is None else image_size
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bits, 0, size, 0, 0,
                       palette, 0)
    table = b"".join(bytes((i, i, i, 0)) for i in range(palette))
    return header + info + table + bytes(pixels)


def prefix(width, height, type_map=False, shrink=8):
    w, h = width - 1, height - 1
    return bytes([w & 0xFF, (w >> 8) | (0x10 if type_map else 0), h & 0xFF, (h >> 8) | (shrink << 4)])


BITMAPS = {
    "picture_3x2": prefix(100, 100) + bitmap(3, 2, 24),
    "picture_top_down": prefix(100, 100) + bitmap(5, 3, 24, top_down=True),
    "picture_scaled": prefix(3, 2) + bitmap(7, 5, 24),
    "picture_size_zero": prefix(4, 4) + bitmap(6, 4, 24, image_size=0),
    "types_4x4": prefix(100, 100, type_map=True) + bitmap(4, 4, 8, palette=256,
                                                         value=lambda x, y: (0, 1, 64, 65, 254, 255)[(x + y) % 6]),
    "types_larger": prefix(2, 2, type_map=True, shrink=10) + bitmap(9, 6, 8, palette=4),
    "types_top_down": prefix(100, 100, type_map=True, shrink=9) + bitmap(5, 5, 8, top_down=True),
}


def main():
    for folder, files in (("code_file", CODE_FILES), ("bitmap", BITMAPS)):
        path = os.path.join(HERE, "corpus", folder)
        os.makedirs(path, exist_ok=True)
        for name, content in files.items():
            data = content.encode() if isinstance(content, str) else content
            with open(os.path.join(path, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
