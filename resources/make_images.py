#!/usr/bin/env python3
"""Draws the program's icon and bitmaps and writes them as XPM files.

Pure Python 3, standard library only. Run from anywhere:
    python3 resources/make_images.py
The XPM files it writes are committed and compiled into the executable.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

PALETTE = {
    ' ': None,          # transparent
    'k': '#000000',
    'w': '#FFFFFF',
    'g': '#808080',
    'l': '#C0C0C0',
    'd': '#404040',
    'b': '#1E50B4',
    'c': '#78B4F0',
    'r': '#C81E1E',
    'n': '#1E9632',
    'y': '#F0C828',
    'o': '#E08020',
    's': '#2A2A30',     # chip body
    't': '#D8D8D8',     # pin metal
    'p': '#EDE6D2',     # paper
}

# 5x7 capitals and digits for the labels.
FONT = {
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'C': ["01111", "10000", "10000", "10000", "10000", "10000", "01111"],
    'H': ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    'I': ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    'J': ["00111", "00010", "00010", "00010", "00010", "10010", "01100"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'M': ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'P': ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    'S': ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    'Y': ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    'Z': ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    '1': ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    '2': ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    '9': ["01110", "10001", "10001", "01111", "00001", "00001", "01110"],
    '(': ["00010", "00100", "01000", "01000", "01000", "00100", "00010"],
    ')': ["01000", "00100", "00010", "00010", "00010", "00100", "01000"],
    '?': ["01110", "10001", "00001", "00110", "00100", "00000", "00100"],
    ' ': ["00000"] * 7,
}


class Canvas:
    def __init__(self, width, height, fill=' '):
        self.w, self.h = width, height
        self.px = [[fill] * width for _ in range(height)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        """Filled, inclusive corners."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.set(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), c)

    def text(self, x, y, s, c, scale=1):
        for ch in s:
            glyph = FONT[ch]
            for gy, row in enumerate(glyph):
                for gx, bit in enumerate(row):
                    if bit == '1':
                        self.rect(x + gx * scale, y + gy * scale,
                                  x + gx * scale + scale - 1, y + gy * scale + scale - 1, c)
            x += 6 * scale

    @staticmethod
    def text_width(s, scale=1):
        return len(s) * 6 * scale - scale

    def write_xpm(self, name):
        used = sorted({c for row in self.px for c in row})
        ident = name.lower() + '_xpm'
        lines = ['/* XPM */', '/* Drawn by make_images.py; do not edit by hand. */',
                 'static const char* const %s[] = {' % ident,
                 '"%d %d %d 1",' % (self.w, self.h, len(used))]
        for c in used:
            colour = PALETTE[c]
            lines.append('"%s c %s",' % (c, colour if colour else 'None'))
        rows = ['"%s"' % ''.join(row) for row in self.px]
        lines.append(',\n'.join(rows))
        lines.append('};')
        with open(os.path.join(HERE, name.lower() + '.xpm'), 'w', encoding='ascii') as f:
            f.write('\n'.join(lines) + '\n')


def chip(c, x0, y0, x1, y1, pins_lr, pin_len, body='s'):
    """A chip body with pins on the left and right sides."""
    c.rect(x0, y0, x1, y1, body)
    span = y1 - y0
    for i in range(pins_lr):
        py = y0 + 2 + i * (span - 4) // max(pins_lr - 1, 1)
        c.rect(x0 - pin_len, py, x0 - 1, py, 't')
        c.rect(x1 + 1, py, x1 + pin_len, py, 't')


def icon():
    c = Canvas(32, 32)
    chip(c, 8, 5, 23, 26, 7, 4)
    c.set(10, 7, 'l')
    c.text(10, 12, '1', 'y')
    c.text(16, 12, '2', 'y')
    c.rect(9, 22, 22, 23, 'b')
    c.write_xpm('IDI_ICON')


def tool_new():
    c = Canvas(16, 16)
    c.rect(3, 1, 11, 14, 'w')
    c.frame(3, 1, 12, 14, 'k')
    c.line(10, 1, 12, 3, 'k')
    for y in (5, 7, 9, 11):
        c.line(5, y, 10, y, 'c')
    c.rect(11, 10, 14, 10, 'n')
    c.rect(12, 9, 13, 12, 'n')
    c.rect(11, 11, 14, 11, 'n')
    c.write_xpm('new')


def tool_open():
    c = Canvas(16, 16)
    c.rect(1, 4, 6, 5, 'y')
    c.rect(1, 5, 13, 13, 'o')
    c.frame(1, 5, 13, 13, 'd')
    c.rect(3, 8, 15, 13, 'y')
    c.line(3, 8, 15, 8, 'd')
    c.line(15, 8, 13, 13, 'd')
    c.line(8, 1, 8, 4, 'n')
    c.line(6, 2, 8, 0, 'n')
    c.line(10, 2, 8, 0, 'n')
    c.write_xpm('open')


def tool_save():
    c = Canvas(16, 16)
    c.rect(1, 1, 14, 14, 'b')
    c.frame(1, 1, 14, 14, 'k')
    c.rect(4, 2, 11, 6, 'w')
    c.rect(9, 3, 10, 5, 'b')
    c.rect(3, 9, 12, 14, 'l')
    c.line(4, 11, 11, 11, 'g')
    c.write_xpm('save')


def tool_close():
    c = Canvas(16, 16)
    c.rect(3, 1, 11, 14, 'w')
    c.frame(3, 1, 12, 14, 'k')
    for y in (5, 7, 9):
        c.line(5, y, 10, y, 'c')
    for d in range(-1, 1):
        c.line(8 + d, 8, 14 + d, 14, 'r')
        c.line(14 + d, 8, 8 + d, 14, 'r')
    c.write_xpm('close')


def tool_help():
    c = Canvas(16, 16)
    for y in range(16):
        for x in range(16):
            if (x - 7.5) ** 2 + (y - 7.5) ** 2 <= 56:
                c.set(x, y, 'b')
    c.text(5, 4, '?', 'w')
    c.set(8, 11, 'w')
    c.write_xpm('help')


def button_face(name, label, pictogram):
    c = Canvas(80, 40, 'l')
    c.frame(0, 0, 79, 39, 'g')
    pictogram(c)
    width = Canvas.text_width(label)
    c.text(40 - width // 2, 30, label, 'k')
    c.write_xpm(name)


def pict_connect(c):
    # A plug going into a socket.
    c.rect(14, 10, 30, 20, 'd')
    c.rect(31, 12, 37, 13, 't')
    c.rect(31, 17, 37, 18, 't')
    c.line(2, 15, 13, 15, 'k')
    c.line(2, 16, 13, 16, 'k')
    c.rect(42, 8, 58, 22, 'g')
    c.rect(44, 11, 46, 14, 'k')
    c.rect(44, 16, 46, 19, 'k')
    c.line(59, 15, 77, 15, 'k')
    c.line(59, 16, 77, 16, 'k')
    c.rect(64, 5, 70, 11, 'n')


def pict_read(c):
    # From the chip into the buffer.
    chip(c, 8, 6, 24, 22, 5, 3)
    c.line(30, 14, 48, 14, 'n')
    c.line(30, 15, 48, 15, 'n')
    c.line(44, 10, 49, 14, 'n')
    c.line(44, 19, 49, 15, 'n')
    c.rect(54, 4, 72, 24, 'w')
    c.frame(54, 4, 72, 24, 'k')
    for y in (8, 12, 16, 20):
        c.line(57, y, 69, y, 'b')


def pict_write(c):
    # From the buffer into the chip.
    c.rect(7, 4, 25, 24, 'w')
    c.frame(7, 4, 25, 24, 'k')
    for y in (8, 12, 16, 20):
        c.line(10, y, 22, y, 'b')
    c.line(30, 14, 48, 14, 'r')
    c.line(30, 15, 48, 15, 'r')
    c.line(44, 10, 49, 14, 'r')
    c.line(44, 19, 49, 15, 'r')
    chip(c, 56, 6, 72, 22, 5, 3)


def chip_picture():
    c = Canvas(87, 178, 'n')          # a green board
    c.frame(0, 0, 86, 177, 'd')
    for x in range(4, 84, 8):         # edge connector at the bottom
        c.rect(x, 170, x + 4, 176, 'y')
    chip(c, 18, 12, 68, 120, 20, 6)
    c.set(21, 15, 'l')
    c.rect(20, 14, 22, 16, 'l')
    c.text(43 - Canvas.text_width('MC') // 2, 40, 'MC', 'w')
    c.text(43 - Canvas.text_width('9S12') // 2, 52, '9S12', 'w')
    c.text(43 - Canvas.text_width('HC12', 2) // 2, 70, 'HC12', 'y', 2)
    c.text(43 - Canvas.text_width('HC12') // 2, 96, 'HC12', 'w')
    # quartz
    c.rect(20, 132, 40, 142, 't')
    c.frame(20, 132, 40, 142, 'g')
    # a few passive parts
    for x in (50, 58, 66):
        c.rect(x, 132, x + 4, 144, 'o')
    c.rect(20, 150, 66, 160, 's')
    c.write_xpm('HC12BMP')


def main():
    icon()
    tool_new()
    tool_open()
    tool_save()
    tool_close()
    tool_help()
    button_face('connect', 'POLACZ', pict_connect)
    button_face('read', 'CZYTAJ', pict_read)
    button_face('write', 'ZAPISZ', pict_write)
    chip_picture()


if __name__ == '__main__':
    main()
