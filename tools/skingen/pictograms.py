"""The pictograms of the skin's buttons and indicators, as shapes.

A pictogram is a function (cx, cy, s) -> list of (shape, role): shape is a signed distance
function (raster.py) centred on (cx, cy) and scaled to the nominal size s in pixels (the height
the symbol fills); role names the colour the caller paints it in: "ink" (the symbol's own light
colour) or one of the accent roles ("record", "drop", "folder", "good", "warn", "dark").
Symbols sit on whole or half pixels so that their straight edges stay sharp at small sizes.
"""

import math

from raster import capsule, circle, polygon, ring, rounded_rect, subtract, union


def _rect(x0, y0, x1, y1):
    return rounded_rect(x0, y0, x1, y1, 0.0)


def triangle_right(cx, cy, s):
    half = s / 2.0
    return polygon([(cx - half * 0.8, cy - half), (cx + half * 0.9, cy), (cx - half * 0.8, cy + half)])


def triangle_left(cx, cy, s):
    half = s / 2.0
    return polygon([(cx + half * 0.8, cy - half), (cx - half * 0.9, cy), (cx + half * 0.8, cy + half)])


def record(cx, cy, s):
    return [(circle(cx, cy, s * 0.42), "record")]


def stop(cx, cy, s):
    h = round(s * 0.78) / 2.0
    return [(_rect(cx - h, cy - h, cx + h, cy + h), "ink")]


def finalize(cx, cy, s):
    """A check mark: the file is closed and complete."""
    w = max(1.0, s * 0.11)
    a = (cx - s * 0.38, cy + s * 0.02)
    b = (cx - s * 0.1, cy + s * 0.32)
    c = (cx + s * 0.42, cy - s * 0.34)
    return [(union(capsule(a[0], a[1], b[0], b[1], w), capsule(b[0], b[1], c[0], c[1], w)), "good")]


def play(cx, cy, s):
    return [(triangle_right(cx + s * 0.06, cy, s * 0.9), "ink")]


def pause(cx, cy, s):
    h = round(s * 0.8) / 2.0
    bar = max(2.0, round(s * 0.26))
    gap = max(2.0, round(s * 0.2))
    left = math.floor(cx - gap / 2.0 - bar)
    return [(union(_rect(left, cy - h, left + bar, cy + h),
                   _rect(left + bar + gap, cy - h, left + 2 * bar + gap, cy + h)), "ink")]


def play_from_start(cx, cy, s):
    """A bar and a play triangle: play the file from its start."""
    h = round(s * 0.8) / 2.0
    bar_left = math.floor(cx - s * 0.45)
    return [(_rect(bar_left, cy - h, bar_left + 2, cy + h), "ink"),
            (triangle_right(cx + s * 0.18, cy, s * 0.8), "ink")]


def play_drop(cx, cy, s):
    """A drop mark (the slider's colour for dropped frames) and a play triangle."""
    h = round(s * 0.8) / 2.0
    bar_left = math.floor(cx - s * 0.5)
    return [(_rect(bar_left, cy - h, bar_left + 3, cy + h), "drop"),
            (triangle_right(cx + s * 0.2, cy, s * 0.8), "ink")]


def previous_drop(cx, cy, s):
    """Back to the previous dropped scene: the drop mark, then a triangle pointing at it."""
    h = round(s * 0.8) / 2.0
    bar_left = math.floor(cx - s * 0.45)
    return [(_rect(bar_left, cy - h, bar_left + 3, cy + h), "drop"),
            (triangle_left(cx + s * 0.2, cy, s * 0.8), "ink")]


def next_drop(cx, cy, s):
    """On to the next dropped scene: a triangle pointing at the drop mark."""
    h = round(s * 0.8) / 2.0
    bar_right = math.ceil(cx + s * 0.45)
    return [(triangle_right(cx - s * 0.2, cy, s * 0.8), "ink"),
            (_rect(bar_right - 3, cy - h, bar_right, cy + h), "drop")]


def to_start(cx, cy, s):
    """A bar and two triangles pointing at it: to the start of the file."""
    h = round(s * 0.8) / 2.0
    bar_left = math.floor(cx - s * 0.55)
    return [(_rect(bar_left, cy - h, bar_left + 2, cy + h), "ink"),
            (triangle_left(cx - s * 0.02, cy, s * 0.7), "ink"),
            (triangle_left(cx + s * 0.42, cy, s * 0.7), "ink")]


def _magnifier(cx, cy, s):
    r = s * 0.3
    gx, gy = cx - s * 0.1, cy - s * 0.1
    lens = ring(gx, gy, r, max(0.7, s * 0.06))
    handle = capsule(gx + r * 0.75, gy + r * 0.75, cx + s * 0.42, cy + s * 0.42, max(1.0, s * 0.09))
    return gx, gy, r, union(lens, handle)


def zoom_out(cx, cy, s):
    gx, gy, r, glass = _magnifier(cx, cy, s)
    minus = _rect(gx - r * 0.55, gy - 0.5, gx + r * 0.55, gy + 0.5)
    return [(glass, "ink"), (minus, "ink")]


def zoom_in(cx, cy, s):
    gx, gy, r, glass = _magnifier(cx, cy, s)
    arm = r * 0.55
    plus = union(_rect(gx - arm, gy - 0.5, gx + arm, gy + 0.5), _rect(gx - 0.5, gy - arm, gx + 0.5, gy + arm))
    return [(glass, "ink"), (plus, "ink")]


def sort(cx, cy, s):
    """Lines of falling length beside a down arrow: put the list in order."""
    shapes = []
    left = math.floor(cx - s * 0.5)
    for i, length in enumerate((0.55, 0.42, 0.29, 0.16)):
        y = math.floor(cy - s * 0.4) + i * max(2, round(s * 0.26))
        shapes.append((_rect(left, y, left + round(s * length * 1.2), y + 1.4), "ink"))
    ax = cx + s * 0.33
    shaft = _rect(ax - 0.8, cy - s * 0.45, ax + 0.8, cy + s * 0.15)
    head = polygon([(ax - s * 0.22, cy + s * 0.05), (ax + s * 0.22, cy + s * 0.05), (ax, cy + s * 0.45)])
    shapes.append((union(shaft, head), "ink"))
    return shapes


def folder(cx, cy, s):
    w, h = s * 1.2, s * 0.8
    x0, y0 = cx - w / 2.0, cy - h / 2.0 + s * 0.06
    tab = rounded_rect(x0, y0 - s * 0.14, x0 + w * 0.42, y0 + s * 0.2, 1.0)
    body = rounded_rect(x0, y0, x0 + w, y0 + h, 1.2)
    flap = rounded_rect(x0, y0 + h * 0.3, x0 + w, y0 + h, 1.2)
    return [(union(tab, body), "folder_dark"), (flap, "folder")]


def gear(cx, cy, s):
    """A cog wheel: the options."""
    outer, inner, hole = s * 0.5, s * 0.34, s * 0.15
    teeth = []
    for k in range(8):
        a = math.radians(k * 45.0 + 22.5)
        ex, ey = cx + math.cos(a) * outer * 0.86, cy + math.sin(a) * outer * 0.86
        teeth.append(capsule(cx, cy, ex, ey, s * 0.1))
    wheel = union(circle(cx, cy, inner + s * 0.04), *teeth)
    return [(subtract(wheel, circle(cx, cy, hole)), "ink")]


def chevron_left(cx, cy, s):
    return [(triangle_left(cx, cy, s * 0.6), "ink")]


def chevron_right(cx, cy, s):
    return [(triangle_right(cx, cy, s * 0.6), "ink")]


def eject(cx, cy, s):
    h = s * 0.5
    roof = polygon([(cx - h, cy + s * 0.05), (cx + h, cy + s * 0.05), (cx, cy - s * 0.45)])
    base = _rect(cx - h, cy + s * 0.2, cx + h, cy + s * 0.38)
    return [(union(roof, base), "ink")]


def lock(cx, cy, s):
    body = rounded_rect(cx - s * 0.36, cy - s * 0.05, cx + s * 0.36, cy + s * 0.48, 1.0)
    shackle = subtract(ring(cx, cy - s * 0.12, s * 0.22, max(0.8, s * 0.07)), _rect(cx - s, cy - s * 0.1, cx + s, cy + s))
    legs = union(_rect(cx - s * 0.29, cy - s * 0.14, cx - s * 0.15, cy), _rect(cx + s * 0.15, cy - s * 0.14, cx + s * 0.29, cy))
    return [(union(shackle, legs), "warn"), (body, "warn")]


def to_end(cx, cy, s):
    h = round(s * 0.8) / 2.0
    bar_right = math.ceil(cx + s * 0.5)
    return [(triangle_right(cx - s * 0.15, cy, s * 0.8), "warn"),
            (_rect(bar_right - 2, cy - h, bar_right, cy + h), "warn")]


def wind(cx, cy, s):
    return [(triangle_right(cx - s * 0.22, cy, s * 0.7), "warn"),
            (triangle_right(cx + s * 0.25, cy, s * 0.7), "warn")]


def question(cx, cy, s):
    w = max(1.0, s * 0.09)
    hook = subtract(ring(cx, cy - s * 0.2, s * 0.22, w), polygon(
        [(cx, cy - s * 0.2), (cx - s, cy + s * 0.2), (cx - s, cy + s)]))
    stem = capsule(cx, cy + s * 0.02, cx, cy + s * 0.14, w)
    link = capsule(cx + s * 0.16, cy - s * 0.05, cx, cy + s * 0.02, w)
    dot = circle(cx, cy + s * 0.36, w * 1.3)
    return [(union(hook, stem, link, dot), "ink")]


def stopwatch(cx, cy, s):
    r = s * 0.38
    oy = cy + s * 0.06
    face = ring(cx, oy, r, max(0.8, s * 0.05))
    crown = union(_rect(cx - s * 0.06, oy - r - s * 0.14, cx + s * 0.06, oy - r), _rect(cx - s * 0.14, oy - r - s * 0.2, cx + s * 0.14, oy - r - s * 0.13))
    hand = capsule(cx, oy, cx + r * 0.45, oy - r * 0.6, max(0.7, s * 0.04))
    ticks = [capsule(cx + math.cos(math.radians(a)) * r * 0.72, oy + math.sin(math.radians(a)) * r * 0.72,
                     cx + math.cos(math.radians(a)) * r * 0.85, oy + math.sin(math.radians(a)) * r * 0.85, 0.6)
             for a in range(0, 360, 90)]
    return [(union(face, crown, *ticks), "ink"), (hand, "drop"), (circle(cx, oy, s * 0.04 + 0.6), "ink")]


def camcorder(cx, cy, s):
    """A video camera seen from the side: a body and the lens hood widening to the right."""
    body = rounded_rect(cx - s * 0.6, cy - s * 0.32, cx + s * 0.18, cy + s * 0.32, 1.5)
    hood = polygon([(cx + s * 0.14, cy - s * 0.08), (cx + s * 0.6, cy - s * 0.32),
                    (cx + s * 0.6, cy + s * 0.32), (cx + s * 0.14, cy + s * 0.08)])
    return [(union(body, hood), "ink")]
