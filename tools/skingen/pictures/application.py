"""The application's own pictures: the start-up splash (bitmap 102) and the program icon (icon 261)."""

import math

from glyphs import dot_text_width, draw_dot_text, draw_stroke_text, stroke_text_width
from raster import (Image, capsule, circle, clamp, ellipse, mix, polygon, ring, rounded_rect, subtract)
from registry import picture

SPLASH_WIDTH = 500
SPLASH_HEIGHT = 300
ICON_SIDES = (16, 24, 32, 48, 64)

NIGHT = (14, 26, 48)
TEAL = (16, 96, 116)
GLOW = (40, 150, 165)
WHITE = (246, 249, 252)
MIST = (168, 208, 222)
ACCENT = (96, 204, 214)
RECORD_RED = (226, 52, 48)
SAND = (206, 178, 134)
SAND_DARK = (120, 92, 60)


def _backdrop(width, height):
    """A diagonal night-to-teal gradient with a soft glow behind the lens."""
    image = Image(width, height)
    gx, gy, reach = width * 0.8, height * 0.35, width * 0.55

    def shade(x, y):
        base = mix(NIGHT, TEAL, clamp(0.55 * x / width + 0.45 * y / height))
        glow = clamp(1.0 - math.hypot(x - gx, y - gy) / reach) ** 2
        return mix(base, GLOW, 0.45 * glow)
    image.fill(shade)
    return image


def _lens(image, cx, cy, scale):
    """Concentric rings like a camcorder lens, with the red recording dot in its centre."""
    for radius, opacity in ((1.0, 0.07), (0.78, 0.10), (0.58, 0.14), (0.40, 0.22)):
        r = radius * scale
        image.draw(ring(cx, cy, r, 1.2), (cx - r - 3, cy - r - 3, cx + r + 3, cy + r + 3), WHITE, opacity)
    glass = 0.34 * scale
    box = (cx - glass - 2, cy - glass - 2, cx + glass + 2, cy + glass + 2)
    image.draw(circle(cx, cy, glass), box, (6, 14, 28), 0.55)
    image.draw(circle(cx - glass * 0.35, cy - glass * 0.35, glass * 0.22), box, WHITE, 0.16)
    dot = 0.11 * scale
    image.draw(ring(cx, cy, dot * 1.9, 1.0), box, RECORD_RED, 0.5)
    image.draw(circle(cx, cy, dot), box, RECORD_RED)


def _plover(image, left, ground):
    """A small shore bird standing on the line at y = ground, facing right."""
    body_x, body_y = left + 26, ground - 24
    legs = [(body_x - 4, ground - 14, body_x - 6, ground), (body_x + 4, ground - 14, body_x + 6, ground)]
    for x0, y0, x1, y1 in legs:
        image.draw(capsule(x0, y0, x1, y1, 1.1), (x0 - 4, y0 - 2, x1 + 4, y1 + 2), SAND_DARK)
    tail = polygon([(body_x - 14, body_y - 6), (body_x - 30, body_y - 12), (body_x - 16, body_y + 6)])
    image.draw(tail, (body_x - 32, body_y - 14, body_x - 10, body_y + 8), SAND_DARK)
    image.draw(ellipse(body_x, body_y, 20, 12), (body_x - 22, body_y - 14, body_x + 22, body_y + 14), SAND)
    belly = subtract(ellipse(body_x + 2, body_y + 4, 16, 8), ellipse(body_x - 2, body_y - 4, 22, 10))
    image.draw(belly, (body_x - 20, body_y - 6, body_x + 20, body_y + 14), WHITE)
    head_x, head_y = body_x + 17, body_y - 15
    image.draw(circle(head_x, head_y, 8), (head_x - 10, head_y - 10, head_x + 10, head_y + 10), SAND)
    collar = subtract(ring(head_x - 2, head_y + 4, 9, 1.6), circle(head_x - 2, head_y - 6, 10))
    image.draw(collar, (head_x - 14, head_y - 8, head_x + 10, head_y + 16), (40, 32, 26), 0.8)
    beak = polygon([(head_x + 6, head_y - 2), (head_x + 16, head_y + 1), (head_x + 6, head_y + 3)])
    image.draw(beak, (head_x + 4, head_y - 4, head_x + 18, head_y + 5), (40, 32, 26))
    image.draw(circle(head_x + 2.5, head_y - 2, 1.6), (head_x, head_y - 5, head_x + 5, head_y + 1), (20, 16, 14))


@picture("splash.bmp")
def splash():
    """Bitmap 102: shown centred on the screen while the program starts."""
    width, height = SPLASH_WIDTH, SPLASH_HEIGHT
    image = _backdrop(width, height)
    _lens(image, 438, 86, 112)

    title_size, title_left, baseline = 78, 44, 150
    title_width = stroke_text_width("Plover", title_size)
    draw_stroke_text(image, "Plover", title_left + 3, baseline + 3, title_size, 6.5, (0, 0, 0), 0.3)
    draw_stroke_text(image, "Plover", title_left, baseline, title_size, 6.5, WHITE)

    ground = baseline + 28
    line_end = title_left + title_width + 96
    image.draw(capsule(title_left + 2, ground, line_end, ground, 1.6),
               (title_left - 2, ground - 4, line_end + 4, ground + 4), ACCENT)
    _plover(image, title_left + title_width + 34, ground - 1)
    draw_dot_text(image, "DV VIDEO RECORDER", title_left + 2, ground + 14, 3, 1.15, MIST)

    band_top = height - 40
    image.draw(lambda x, y: band_top - y, (0, band_top - 1, width, height), (0, 0, 0), 0.28)
    for x in range(14, width - 10, 18):  # sprocket-like holes along the band, like a tape edge
        image.draw(rounded_rect(x, band_top + 6, x + 9, band_top + 11, 2.0),
                   (x - 1, band_top + 5, x + 11, band_top + 12), WHITE, 0.10)
    info = "AVI TYPE 1 / TYPE 2"
    draw_dot_text(image, info, title_left + 2, band_top + 18, 2, 0.8, MIST, 0.9)
    version = "VERSION 1.0"
    draw_dot_text(image, version, width - 30 - dot_text_width(version, 2), band_top + 18, 2, 0.8, MIST, 0.9)
    return image


def _icon(side):
    image = Image(side, side, alpha=0.0)
    s = float(side)
    inset = max(0.5, s / 32.0)
    gradient = (lambda x, y: mix(NIGHT, TEAL, clamp(0.5 * x / s + 0.5 * y / s)))
    image.draw(rounded_rect(inset, inset, s - inset, s - inset, s * 0.2), None, gradient)
    cx = cy = s / 2.0
    image.draw(ring(cx, cy, s * 0.29, max(0.75, s * 0.055)), None, WHITE)
    if side >= 32:
        image.draw(ring(cx, cy, s * 0.19, s * 0.015), None, WHITE, 0.35)
    image.draw(circle(cx, cy, s * 0.13), None, RECORD_RED)
    return image


@picture("plover.ico")
def application_icon():
    """Icon 261: the window's big and small icon and the program file's icon."""
    return [_icon(side) for side in ICON_SIDES]
