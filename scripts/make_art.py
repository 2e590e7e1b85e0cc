#!/usr/bin/env python3
"""Write the tree bitmaps and the application icon of Corvane.

Outputs, next to corvane.rc:
  resources/tree_normal.bmp    bitmap 119, 8x8, 16 colours
  resources/tree_selected.bmp  bitmap 120, 8x8, 16 colours
  resources/app.ico            icon 118, 32x32 and 16x16, 16 colours each
  resources/icons/corvane-N.png  the same flag as N x N PNG (16, 32, 48) for Linux desktops

Standard library only, so the art can be rebuilt anywhere.
"""

import os
import struct
import zlib

# The classic 16-colour VGA palette as (R, G, B); Windows maps it exactly.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK = 0
BLUE = 12
WHITE = 15

RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")


def palette_bytes():
    # RGBQUAD is blue, green, red, reserved.
    return b"".join(struct.pack("<4B", b, g, r, 0) for r, g, b in PALETTE)


def row_stride(width, bits):
    return (width * bits + 31) // 32 * 4


def pack_4bit(rows):
    """Rows given top-down as palette indices; stored bottom-up, padded to 4 bytes."""
    width = len(rows[0])
    stride = row_stride(width, 4)
    out = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for x in range(0, width, 2):
            high = row[x]
            low = row[x + 1] if x + 1 < width else 0
            line.append((high << 4) | low)
        line.extend(b"\0" * (stride - len(line)))
        out.extend(line)
    return bytes(out)


def pack_1bit(rows):
    """Rows of 0/1 given top-down; stored bottom-up, padded to 4 bytes."""
    width = len(rows[0])
    stride = row_stride(width, 1)
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, bit in enumerate(row):
            if bit:
                line[x // 8] |= 0x80 >> (x % 8)
        out.extend(line)
    return bytes(out)


def info_header(width, height, bits, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 0, 0, 16, 0)


def write_bmp(path, rows):
    width, height = len(rows[0]), len(rows)
    pixels = pack_4bit(rows)
    offset = 14 + 40 + 16 * 4
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info_header(width, height, 4, len(pixels)) + palette_bytes() + pixels)


def tree_normal():
    return [[BLUE if y in (3, 4) else WHITE for x in range(8)] for y in range(8)]


def tree_selected():
    lengths = [2, 4, 6, 8, 8, 6, 4, 2]
    return [[BLUE if x < lengths[y] else WHITE for x in range(8)] for y in range(8)]


def flag_image(size, top, height, half_width):
    """A framed blue landscape rectangle with a white corner-to-corner cross.

    Returns (colour rows, mask rows); mask 1 marks the transparent rows.
    """
    colours = [[BLACK] * size for _ in range(size)]
    mask = [[1] * size for _ in range(size)]
    bottom = top + height - 1
    right = size - 1
    for y in range(top, bottom + 1):
        for x in range(size):
            mask[y][x] = 0
            if y in (top, bottom) or x in (0, right):
                colours[y][x] = BLACK
                continue
            # Distance in pixels from the two diagonals through the corner pixel centres.
            dx, dy = x, y - top
            length = (right * right + (bottom - top) ** 2) ** 0.5
            d1 = abs((bottom - top) * dx - right * dy) / length
            d2 = abs((bottom - top) * (right - dx) - right * dy) / length
            colours[y][x] = WHITE if min(d1, d2) <= half_width else BLUE
    return colours, mask


def icon_image(size, top, height, half_width):
    colours, mask = flag_image(size, top, height, half_width)
    xor = pack_4bit(colours)
    andmask = pack_1bit(mask)
    return info_header(size, size * 2, 4, len(xor) + len(andmask)) + palette_bytes() + xor + andmask


def write_ico(path, images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(directory + entries + b"".join(data for _, data in images))


# Flag geometry per icon size: top row, height and half the width of the cross's bars.
FLAGS = {16: (3, 10, 0.5), 32: (6, 20, 0.75), 48: (9, 30, 1.0)}


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def write_png(path, size):
    """The icon's flag as an RGBA PNG, transparent where the icon's mask is."""
    colours, mask = flag_image(size, *FLAGS[size])
    raw = bytearray()
    for colour_row, mask_row in zip(colours, mask):
        raw.append(0)  # filter type: none
        for colour, transparent in zip(colour_row, mask_row):
            raw.extend(bytes(PALETTE[colour]) + (b"\0" if transparent else b"\xff"))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
                + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def main():
    write_bmp(os.path.join(RESOURCES, "tree_normal.bmp"), tree_normal())
    write_bmp(os.path.join(RESOURCES, "tree_selected.bmp"), tree_selected())
    write_ico(os.path.join(RESOURCES, "app.ico"), [
        (32, icon_image(32, *FLAGS[32])),
        (16, icon_image(16, *FLAGS[16])),
    ])
    os.makedirs(os.path.join(RESOURCES, "icons"), exist_ok=True)
    for size in sorted(FLAGS):
        write_png(os.path.join(RESOURCES, "icons", "corvane-%d.png" % size), size)


if __name__ == "__main__":
    main()
