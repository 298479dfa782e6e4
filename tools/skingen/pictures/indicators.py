"""Indicators and small pictures: the camcorder status icon, the recording icon's animation, the
audio level meter's parts, the time slider's thumb and the file list's placeholder pictures."""

import math

import layout
import pictograms
from glyphs import DOT_GLYPHS
from raster import Image, capsule, circle, mix, polygon, ring, rounded_rect
from registry import picture

from pictures.skin import ROLE_COLOURS, surface

KEY = (255, 0, 255)          # the transparent colour of the thumb and the badge
LCD = (22, 22, 22)           # the plate of the status icon (drawn into the strip)
DIM = (92, 92, 92)
METER_UNLIT = (35, 35, 35)   # the meter paints unlit segments in this colour itself
METER_WHITE = (236, 236, 236)
METER_ORANGE = (244, 150, 40)
METER_RED = (236, 40, 32)


def _picture(name):
    return next(p for p in layout.PICTURES if p.name == name)


def _under(item):
    return surface(item.surface).copy(item.x, item.y, item.width, item.height)


def block_text(image, text, left, top, colour, scale=1):
    """Text in the 5 x 7 dot font drawn as square pixels (crisp at one pixel a dot)."""
    x = left
    for ch in text.upper():
        for r, row in enumerate(DOT_GLYPHS.get(ch, DOT_GLYPHS[" "])):
            for c, cell in enumerate(row):
                if cell == "#":
                    image.fill_rect(x + c * scale, top + r * scale, x + (c + 1) * scale, top + (r + 1) * scale, colour)
        x += 6 * scale


# The status icon (44 x 26): a camcorder on the left, what it is doing on the right.

def _cassette(cx, cy, s):
    """A tape cassette with its two reels."""
    shell = rounded_rect(cx - s * 0.55, cy - s * 0.36, cx + s * 0.55, cy + s * 0.36, 1.5)
    return [(shell, "ink"), (circle(cx - s * 0.24, cy - s * 0.02, s * 0.13), "dark"),
            (circle(cx + s * 0.24, cy - s * 0.02, s * 0.13), "dark")]


STATUS_SYMBOLS = {
    "no_cassette": lambda cx, cy: pictograms.eject(cx, cy, 13.0),
    "ready": lambda cx, cy: _cassette(cx, cy, 16.0) + [(circle(cx + 6.5, cy + 6.5, 3.2), "good")],
    "recording": lambda cx, cy: pictograms.record(cx, cy, 15.0),
    "playing": lambda cx, cy: [(s, "good") for s, _ in pictograms.play(cx, cy, 13.0)],
    "tape_protected": lambda cx, cy: _cassette(cx - 2, cy - 2, 14.0) + pictograms.lock(cx + 5, cy + 3, 10.0),
    "tape_end": lambda cx, cy: pictograms.to_end(cx, cy, 13.0),
    "winding": lambda cx, cy: pictograms.wind(cx, cy, 13.0),
    "no_camcorder": None,
}


def status_icon(name):
    item = _picture("status_" + name)
    image = _under(item)
    usable = name != "no_camcorder"
    body = pictograms.camcorder(11.5, 13.5, 15.0)
    for shape, _ in body:
        image.draw(shape, None, ROLE_COLOURS["ink"] if usable else DIM)
    if usable:
        for shape, role in STATUS_SYMBOLS[name](32.5, 13.5):
            image.draw(shape, None, ROLE_COLOURS[role])
    else:  # a crossed-out camcorder: nothing usable is connected
        image.draw(capsule(3.5, 21.5, 20.5, 5.5, 1.0), None, (150, 60, 52))
    return image


for _name in layout.STATUS_VARIANTS:
    picture("status_%s.bmp" % _name)(lambda name=_name: status_icon(name))


# The recording icon (30 x 30): a tape reel. Idle it is dark; recording, a red lamp burns in its
# hub and the reel turns 15 degrees a frame, so eight frames make one seamless third of a turn.

def recording_frame(frame):
    item = _picture("recording_%d" % frame)
    image = _under(item)
    cx = cy = 15.0
    active = frame > 0
    image.draw(circle(cx, cy, 13.5), None, (24, 24, 24))
    image.draw(ring(cx, cy, 13.0, 0.9), None, (150, 150, 150) if active else (84, 84, 84))
    angle = (frame - 1) * 15.0 if active else 0.0
    spoke_colour = (222, 222, 222) if active else (90, 90, 90)
    for k in range(3):
        a = math.radians(angle + k * 120.0 - 90.0)
        image.draw(capsule(cx + math.cos(a) * 6.2, cy + math.sin(a) * 6.2,
                           cx + math.cos(a) * 11.0, cy + math.sin(a) * 11.0, 1.6), None, spoke_colour)
    if active:
        # The trail of the turning reel: a fading arc behind the leading spoke.
        for step in range(6):
            a = math.radians(angle - 90.0 - step * 5.0)
            image.draw(circle(cx + math.cos(a) * 11.2, cy + math.sin(a) * 11.2, 1.0), None, (226, 50, 44),
                       0.6 - step * 0.09)
    image.draw(circle(cx, cy, 5.0), None, (226, 50, 44) if active else (80, 36, 34))
    if active:
        image.draw(circle(cx - 1.4, cy - 1.4, 1.6), None, (255, 170, 160), 0.8)
    return image


for _frame in range(layout.RECORDING_FRAMES):
    picture("recording_%d.bmp" % _frame)(lambda frame=_frame: recording_frame(frame))


# The audio level meter. Segments lie at x = 28 + 4 (i - 1), y = 3 (upper row) and 13 (lower).

@picture("meter_background.bmp")
def meter_background():
    """Bitmap 316 (129 x 20): the meter's plate; the program paints every segment over it."""
    item = _picture("meter_background")
    image = _under(item)
    image.draw(rounded_rect(0.5, 0.5, 128.5, 19.5, 2.5), None, (18, 18, 18))
    image.fill_rect(1, 1, 128, 2, (12, 12, 12))
    for top in (3, 13):
        for i in range(1, 25):
            left = 28 + 4 * (i - 1)
            image.fill_rect(left, top, left + (4 if i == 24 else 2), top + 4, METER_UNLIT)
    # Scale marks between the rows where the colours change: 16 (orange from 17) and 23 (red).
    for i, colour in ((1, (90, 90, 90)), (17, METER_ORANGE), (24, METER_RED)):
        left = 28 + 4 * (i - 1)
        image.fill_rect(left, 9, left + 2, 11, mix((18, 18, 18), colour, 0.6))
    return image


def _meter_label(digit):
    image = Image(19, 9, (18, 18, 18))
    image.fill_rect(0, 0, 17, 9, (18, 18, 18))
    block_text(image, digit, 6, 1, (200, 200, 200))
    return image


@picture("meter_label_1.bmp")
def meter_label_1():
    """Bitmap 320: channel 1 (the left channel), drawn 17 x 9 at (3, 1)."""
    return _meter_label("1")


@picture("meter_label_2.bmp")
def meter_label_2():
    """Bitmap 322: channel 2 (the right channel), drawn 17 x 9 at (3, 10)."""
    return _meter_label("2")


@picture("meter_lit.bmp")
def meter_lit():
    """Bitmap 329: a lit segment of 1 to 16."""
    return Image(2, 4, METER_WHITE)


@picture("meter_lit_high.bmp")
def meter_lit_high():
    """Bitmap 319: a lit segment of 17 to 23."""
    return Image(2, 4, METER_ORANGE)


@picture("meter_lit_top.bmp")
def meter_lit_top():
    """Bitmap 328: segment 24, lit."""
    return Image(4, 4, METER_RED)


# The time slider's thumb (11 x 50): a head at the top and a needle down the middle column, the
# column that stands on the current cell's left edge. Everything else is the transparent colour.

@picture("slider_thumb.bmp")
def slider_thumb():
    """Bitmap 130."""
    shape = Image(11, 50, KEY, alpha=0.0)
    outline = (20, 20, 20)
    head = polygon([(0.5, 0.5), (10.5, 0.5), (10.5, 9.5), (5.5, 14.5), (0.5, 9.5)])
    shape.draw(head, None, outline)
    shape.draw(polygon([(1.5, 1.5), (9.5, 1.5), (9.5, 9.1), (5.5, 13.1), (1.5, 9.1)]), None, (250, 226, 120))
    shape.fill_rect(2, 2, 9, 3, (255, 246, 200))
    image = shape.keyed(KEY, outline)
    image.fill_rect(4, 14, 7, 50, outline)
    image.fill_rect(5, 12, 6, 50, (250, 226, 120))
    image.fill_rect(10, 49, 11, 50, KEY)
    return image


# The file list's pictures.

def _placeholder(symbol):
    image = Image(52, 39, (10, 10, 10))
    image.fill(lambda x, y: mix((70, 70, 70), (46, 46, 46), y / 39.0))
    image.fill_rect(0, 0, 52, 1, (96, 96, 96))
    for shape, role in symbol(26.0, 19.5, 22.0):
        image.draw(shape, None, ROLE_COLOURS[role])
    return image


@picture("thumb_pending.bmp")
def thumb_pending():
    """Bitmap 134: the thumbnail is still being made (a stopwatch)."""
    return _placeholder(pictograms.stopwatch)


@picture("thumb_no_picture.bmp")
def thumb_no_picture():
    """Bitmap 132: no picture could be taken from the file (a question mark)."""
    return _placeholder(pictograms.question)


@picture("thumb_24p_badge.bmp")
def thumb_24p_badge():
    """Bitmap 313: the "24" badge of 24p material, drawn with magenta as the transparent colour."""
    shape = Image(18, 18, KEY, alpha=0.0)
    shape.draw(rounded_rect(0.5, 2.5, 17.5, 15.5, 3.0), None, (250, 250, 250))
    shape.draw(rounded_rect(1.5, 3.5, 16.5, 14.5, 2.0), None, (232, 96, 40))
    image = shape.keyed(KEY, (250, 250, 250))
    block_text(image, "24", 3, 5, (255, 255, 255))
    return image
