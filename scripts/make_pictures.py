#!/usr/bin/env python3
"""Draws every picture and icon of Purgebox (BMP and ICO files) into a folder.

Standard library only, so the build needs nothing beyond python3.
Usage: make_pictures.py OUTPUT_DIR
"""
import os
import struct
import sys

# A 5x7 capital font, one string of 7 rows of 5 columns per glyph.
FONT = {
    'A': "01110100011000111111100011000110001", 'B': "11110100011000111110100011000111110",
    'C': "01110100011000010000100001000101110", 'D': "11110100011000110001100011000111110",
    'E': "11111100001000011110100001000011111", 'F': "11111100001000011110100001000010000",
    'G': "01110100011000010111100011000101111", 'H': "10001100011000111111100011000110001",
    'I': "01110001000010000100001000010001110", 'J': "00111000100001000010000101001001100",
    'K': "10001100101010011000101001001010001", 'L': "10000100001000010000100001000011111",
    'M': "10001110111010110101100011000110001", 'N': "10001100011100110101100111000110001",
    'O': "01110100011000110001100011000101110", 'P': "11110100011000111110100001000010000",
    'Q': "01110100011000110001101011001001101", 'R': "11110100011000111110101001001010001",
    'S': "01111100001000001110000010000111110", 'T': "11111001000010000100001000010000100",
    'U': "10001100011000110001100011000101110", 'V': "10001100011000110001100010101000100",
    'W': "10001100011000110101101011010101010", 'X': "10001100010101000100010101000110001",
    'Y': "10001100010101000100001000010000100", 'Z': "11111000010001000100010001000011111",
    '1': "00100011000010000100001000010001110", '0': "01110100011001110101110011000101110",
    '.': "00000000000000000000000000110001100", '!': "00100001000010000100001000000000100",
    ' ': "00000000000000000000000000000000000",
}

NAVY = (24, 48, 112)
BLUE = (60, 110, 200)
SKY = (190, 215, 250)
WHITE = (255, 255, 255)
LIGHT = (0xC0, 0xC0, 0xFF)
GREEN = (40, 150, 80)
ORANGE = (240, 150, 40)


class Canvas:
    def __init__(self, w, h, bg=WHITE):
        self.w, self.h = w, h
        self.px = [[bg] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[y][x] = c

    def vgradient(self, top, bottom):
        for y in range(self.h):
            t = y / max(1, self.h - 1)
            c = tuple(int(a + (b - a) * t) for a, b in zip(top, bottom))
            self.px[y] = [c] * self.w

    def hgradient(self, left, right):
        for x in range(self.w):
            t = x / max(1, self.w - 1)
            c = tuple(int(a + (b - a) * t) for a, b in zip(left, right))
            for y in range(self.h):
                self.px[y][x] = c

    def disc(self, cx, cy, r, c):
        for y in range(int(cy - r), int(cy + r) + 1):
            for x in range(int(cx - r), int(cx + r) + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def text(self, x, y, s, c, scale=1):
        for ch in s.upper():
            glyph = FONT.get(ch, FONT[' '])
            for row in range(7):
                for col in range(5):
                    if glyph[row * 5 + col] == '1':
                        self.rect(x + col * scale, y + row * scale,
                                  x + (col + 1) * scale, y + (row + 1) * scale, c)
            x += 6 * scale
        return x

    @staticmethod
    def text_width(s, scale=1):
        return len(s) * 6 * scale - scale


def write_bmp(path, cv):
    row = (cv.w * 3 + 3) & ~3
    data = bytearray()
    for y in reversed(range(cv.h)):
        line = bytearray()
        for (r, g, b) in cv.px[y]:
            line += bytes((b, g, r))
        line += b'\0' * (row - len(line))
        data += line
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, cv.w, cv.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + data)


# The sixteen colours of the standard VGA palette, for 16-colour icons.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
       (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def nearest(c):
    return min(range(16), key=lambda i: sum((a - b) ** 2 for a, b in zip(c, VGA[i])))


def icon_image(cv, mask):
    """One 4-bit icon image: header, palette, XOR bits, AND mask (1 = transparent)."""
    n = cv.w
    xor_row = ((n * 4 + 31) // 32) * 4
    and_row = ((n + 31) // 32) * 4
    data = struct.pack('<IiiHHIIiiII', 40, n, n * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    data += b''.join(bytes((b, g, r, 0)) for (r, g, b) in VGA)
    for y in reversed(range(n)):
        line = bytearray()
        for x in range(0, n, 2):
            hi = nearest(cv.px[y][x]) if mask[y][x] else 0
            lo = nearest(cv.px[y][x + 1]) if mask[y][x + 1] else 0
            line.append((hi << 4) | lo)
        data += line + b'\0' * (xor_row - len(line))
    for y in reversed(range(n)):
        bits = bytearray(and_row)
        for x in range(n):
            if not mask[y][x]:
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bits
    return data


def write_ico(path, draw):
    images = []
    for n in (32, 16):
        cv, mask = draw(n)
        images.append((n, icon_image(cv, mask)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in images:
        out += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(d for _, d in images)
    with open(path, 'wb') as f:
        f.write(out)


def app_icon(n):
    """A blue shield with a white sweep: the program and tray icon."""
    cv = Canvas(n, n, (0, 0, 0))
    mask = [[False] * n for _ in range(n)]
    s = n / 32
    for y in range(n):
        for x in range(n):
            fx, fy = (x + 0.5) / s, (y + 0.5) / s
            half = 13 if fy < 18 else 13 - (fy - 18) * 0.95
            if 2 <= fy <= 31 and abs(fx - 16) <= half:
                mask[y][x] = True
                cv.px[y][x] = (0, 0, 128) if abs(fx - 16) > half - 2 or fy < 4 else (0, 0, 255)
    for i in range(int(6 * s), int(24 * s)):
        for w in range(max(1, int(2 * s))):
            x, y = i, int(n - 1 - i * 0.9 - 4 * s) + w
            if 0 <= y < n and mask[y][x]:
                cv.px[y][x] = WHITE
    return cv, mask


def about_icon(n):
    """A green disc with a white letter i: the About box's own icon."""
    cv = Canvas(n, n, (0, 0, 0))
    mask = [[False] * n for _ in range(n)]
    r = n / 2 - 1
    for y in range(n):
        for x in range(n):
            if (x + 0.5 - n / 2) ** 2 + (y + 0.5 - n / 2) ** 2 <= r * r:
                mask[y][x] = True
                cv.px[y][x] = (0, 128, 0)
    s = n / 32
    cv.rect(int(14 * s), int(13 * s), int(18 * s), int(26 * s), WHITE)
    cv.rect(int(14 * s), int(6 * s), int(18 * s), int(10 * s), WHITE)
    return cv, mask


def decor_icon(n):
    """A small broom over a page: the decoration beside the title."""
    cv = Canvas(n, n, (0, 0, 0))
    mask = [[False] * n for _ in range(n)]
    s = n / 32
    for y in range(int(3 * s), int(29 * s)):
        for x in range(int(6 * s), int(24 * s)):
            mask[y][x] = True
            cv.px[y][x] = (255, 255, 255) if (y // max(1, int(4 * s))) % 2 else (192, 192, 192)
    for i in range(int(12 * s), int(30 * s)):
        for w in range(max(1, int(2 * s))):
            x, y = i, int(i - 8 * s) + w
            if 0 <= x < n and 0 <= y < n:
                mask[y][x] = True
                cv.px[y][x] = (128, 128, 0)
    for y in range(int(20 * s), int(31 * s)):
        for x in range(int(22 * s), int(31 * s)):
            if 0 <= x < n and 0 <= y < n and (x - y) % 2 == 0:
                mask[y][x] = True
                cv.px[y][x] = (255, 255, 0)
    return cv, mask


def header():
    cv = Canvas(524, 135)
    cv.vgradient(NAVY, BLUE)
    for i, (x, y, r) in enumerate([(430, 30, 50), (480, 95, 35), (360, 110, 20), (60, 120, 25)]):
        cv.disc(x, y, r, tuple(min(255, c + 25 + 10 * i) for c in BLUE))
    cv.text(24, 22, "PURGEBOX", WHITE, scale=5)
    cv.text(26, 70, "CLEAN UP YOUR TRACES", SKY, scale=2)
    return cv


def banner_text(w, h, text, color, bg=WHITE, scale=2):
    cv = Canvas(w, h, bg)
    cv.rect(0, h - 2, w, h, LIGHT)
    cv.text(4, max(0, (h - 7 * scale) // 2), text, color, scale=scale)
    return cv


def strip():
    cv = Canvas(526, 18)
    cv.hgradient(SKY, LIGHT)
    cv.rect(0, 0, 526, 1, BLUE)
    return cv


def about_top():
    cv = Canvas(140, 33)
    cv.vgradient(NAVY, BLUE)
    cv.text((140 - Canvas.text_width("PURGEBOX", 3)) // 2, 6, "PURGEBOX", WHITE, scale=3)
    return cv


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    os.makedirs(out, exist_ok=True)
    pictures = {
        'header.bmp': header(),
        'title.bmp': banner_text(226, 25, "PRIVACY OPTIONS", NAVY),
        'option1.bmp': banner_text(225, 23, "TEMPORARY FILES", BLUE),
        'option2.bmp': banner_text(229, 29, "TYPED ADDRESSES", BLUE),
        'option3.bmp': banner_text(225, 28, "BROWSING HISTORY", BLUE),
        'option4.bmp': banner_text(225, 42, "RECENT ITEMS", GREEN, scale=3),
        'option5.bmp': banner_text(225, 30, "WINDOWS TEMP", ORANGE),
        'strip.bmp': strip(),
        'abouttop.bmp': about_top(),
    }
    for name, cv in pictures.items():
        write_bmp(os.path.join(out, name), cv)
    write_ico(os.path.join(out, 'app.ico'), app_icon)
    write_ico(os.path.join(out, 'about.ico'), about_icon)
    write_ico(os.path.join(out, 'decor.ico'), decor_icon)


if __name__ == '__main__':
    main()
