#!/usr/bin/env python3
"""Draws the program's pictures: the tool-button strips, the Run button and
OK button pictures (24-bit BMP on a teal background that the program draws
transparent) and the program icon (16 colours, 32x32 and 16x16).
Run it from this folder; the files it writes are committed."""
import struct

TEAL = (0, 128, 128)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
GREY = (128, 128, 128)
LIGHT = (192, 192, 192)
YELLOW = (255, 255, 0)
DARK_YELLOW = (128, 128, 0)
NAVY = (0, 0, 128)
BLUE = (0, 0, 255)
RED = (255, 0, 0)
MAROON = (128, 0, 0)
GREEN = (0, 128, 0)


def canvas(w, h, colour=TEAL):
    return [[colour] * w for _ in range(h)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def frame(img, x0, y0, x1, y1, colour):
    for x in range(x0, x1 + 1):
        img[y0][x] = img[y1][x] = colour
    for y in range(y0, y1 + 1):
        img[y][x0] = img[y][x1] = colour


def grey_of(img):
    """The disabled look: every drawn pixel in grey, the outline darker."""
    out = canvas(len(img[0]), len(img))
    for y, row in enumerate(img):
        for x, c in enumerate(row):
            if c != TEAL:
                out[y][x] = GREY if sum(c) < 300 else LIGHT
    return out


def strip(images):
    h = len(images[0])
    out = canvas(sum(len(i[0]) for i in images), h)
    x = 0
    for img in images:
        for y in range(h):
            out[y][x:x + len(img[0])] = img[y]
        x += len(img[0])
    return out


def write_bmp(name, img):
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) & ~3
    data = b''
    for row in reversed(img):
        line = b''.join(bytes((c[2], c[1], c[0])) for c in row)
        data += line + b'\0' * (stride - len(line))
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(name, 'wb') as f:
        f.write(header + info + data)


def folder(img, x, y, fill):
    rect(img, x, y + 2, x + 9, y + 8, fill)
    rect(img, x, y + 1, x + 4, y + 1, fill)
    frame(img, x, y + 2, x + 9, y + 8, DARK_YELLOW)
    for i in range(x, x + 5):
        img[y + 1][i] = DARK_YELLOW


def folders():
    img = canvas(16, 16)
    folder(img, 1, 2, YELLOW)
    folder(img, 5, 6, YELLOW)
    return img


def page(img, x, y, w, h):
    rect(img, x, y, x + w - 1, y + h - 1, WHITE)
    frame(img, x, y, x + w - 1, y + h - 1, NAVY)


def caption_bar(img, x, y, w):
    rect(img, x, y, x + w - 1, y, NAVY)


def large_icons():
    img = canvas(16, 16)
    for x in (1, 9):
        page(img, x, 2, 6, 7)
        caption_bar(img, x, 11, 6)
    return img


def small_icons():
    img = canvas(16, 16)
    for x, y in ((1, 2), (8, 5), (1, 9), (8, 12)):
        page(img, x, y, 3, 3)
        caption_bar(img, x + 4, y + 1, 3)
    return img


def list_view():
    img = canvas(16, 16)
    for y in (2, 6, 10):
        for x in (1, 9):
            page(img, x, y, 3, 3)
            caption_bar(img, x + 4, y + 1, 3)
    return img


def details():
    img = canvas(16, 16)
    rect(img, 1, 2, 14, 3, GREY)
    for y in (6, 9, 12):
        page(img, 1, y - 1, 3, 3)
        caption_bar(img, 5, y, 5)
        caption_bar(img, 11, y, 3)
    return img


def four(img, pressed_grey=False):
    """Normal, disabled, pressed, down."""
    disabled = grey_of(img)
    return strip([img, disabled, disabled if pressed_grey else img, img])


def disc(size, colour, ring=False):
    img = canvas(size, size)
    c = (size - 1) / 2
    r = size / 2 - 0.5
    for y in range(size):
        for x in range(size):
            d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
            if d <= r:
                if not ring or d >= r - 1.5:
                    img[y][x] = colour
    return img


def check(colour):
    img = canvas(18, 18)
    points = [(3, 9), (4, 10), (5, 11), (6, 12), (7, 13), (8, 12), (9, 11), (10, 10),
              (11, 9), (12, 8), (13, 7), (14, 6), (15, 5)]
    for x, y in points:
        for dy in (-1, 0, 1):
            img[y + dy][x] = colour
    return img


def page_icon(size):
    """The program icon: a white page with grey and black text lines."""
    img = [[None] * size for _ in range(size)]
    s = size / 32
    x0, y0, x1, y1 = int(6 * s), int(2 * s), int(25 * s), int(29 * s)
    rect(img, x0, y0, x1, y1, WHITE)
    frame(img, x0, y0, x1, y1, BLACK)
    step = max(2, int(3 * s))
    for i, y in enumerate(range(y0 + step, y1 - 1, step)):
        colour = BLACK if i % 3 == 0 else GREY
        end = x1 - int((4 if i % 2 else 2) * s) - 1
        for x in range(x0 + int(3 * s), end):
            img[y][x] = colour
    return img


VGA = [BLACK, MAROON, GREEN, DARK_YELLOW, NAVY, (128, 0, 128), TEAL, LIGHT, GREY, RED,
       (0, 255, 0), YELLOW, BLUE, (255, 0, 255), (0, 255, 255), WHITE]


def icon_image(img):
    size = len(img)
    pixels = b''
    for row in reversed(img):
        line = []
        for c in row:
            line.append(VGA.index(c) if c is not None else 0)
        pixels += bytes((line[i] << 4) | line[i + 1] for i in range(0, size, 2))
        pixels += b'\0' * ((4 - (size // 2) % 4) % 4)
    mask = b''
    for row in reversed(img):
        bits = 0
        out = b''
        for i, c in enumerate(row):
            bits = (bits << 1) | (1 if c is None else 0)
            if i % 8 == 7:
                out += bytes((bits,))
                bits = 0
        mask += out + b'\0' * ((4 - len(out) % 4) % 4)
    palette = b''.join(bytes((c[2], c[1], c[0], 0)) for c in VGA)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, len(pixels) + len(mask),
                         0, 0, 16, 0)
    return header + palette + pixels + mask


def write_icon(name, images):
    blobs = [icon_image(i) for i in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, blobs):
        size = len(img)
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(name, 'wb') as f:
        f.write(out + b''.join(blobs))


write_bmp('folders.bmp', four(folders(), pressed_grey=True))
write_bmp('largeicons.bmp', four(large_icons()))
write_bmp('smallicons.bmp', four(small_icons()))
write_bmp('list.bmp', four(list_view()))
write_bmp('details.bmp', four(details()))
write_bmp('run.bmp', strip([disc(12, RED), disc(12, GREY, ring=True)]))
write_bmp('ok.bmp', strip([check(GREEN), check(BLUE), check(BLUE), check(BLUE)]))
write_icon('kalvera.ico', [page_icon(32), page_icon(16)])
