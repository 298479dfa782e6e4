"""Lettering drawn from code: a stroke font for large titles and a 5 x 7 dot font for small texts.

Stroke glyphs live in a box whose cap height is 1.0: y = 0 is the cap line, y = 1 the baseline,
y grows downwards. A stroke is a line ("line", x0, y0, x1, y1) or an arc
("arc", cx, cy, radius, from_degrees, to_degrees), angles measured with y pointing down
(0 = right, 90 = down, 270 = up), the arc running from the first angle to the second.
"""

import math

from raster import segment_distance

X_HEIGHT_TOP = 0.36  # the top of the lower-case letters in the stroke box

STROKE_GLYPHS = {
    "P": (0.66, [("line", 0.0, 0.0, 0.0, 1.0), ("line", 0.0, 0.0, 0.36, 0.0),
                 ("arc", 0.36, 0.255, 0.255, 270.0, 450.0), ("line", 0.36, 0.51, 0.0, 0.51)]),
    "l": (0.26, [("line", 0.0, -0.06, 0.0, 1.0)]),
    "o": (0.66, [("arc", 0.32, 0.68, 0.32, 0.0, 360.0)]),
    "v": (0.62, [("line", 0.0, X_HEIGHT_TOP, 0.3, 1.0), ("line", 0.3, 1.0, 0.6, X_HEIGHT_TOP)]),
    "e": (0.66, [("line", 0.0, 0.68, 0.64, 0.68), ("arc", 0.32, 0.68, 0.32, 40.0, 360.0)]),
    "r": (0.44, [("line", 0.0, X_HEIGHT_TOP, 0.0, 1.0), ("arc", 0.3, 0.66, 0.3, 180.0, 300.0)]),
    " ": (0.35, []),
}

DOT_COLUMNS = 5
DOT_ROWS = 7
DOT_GLYPHS = {
    "A": (".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"),
    "B": ("####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."),
    "C": (".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."),
    "D": ("####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."),
    "E": ("#####", "#....", "#....", "####.", "#....", "#....", "#####"),
    "F": ("#####", "#....", "#....", "####.", "#....", "#....", "#...."),
    "G": (".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"),
    "H": ("#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"),
    "I": (".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."),
    "J": ("..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."),
    "K": ("#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"),
    "L": ("#....", "#....", "#....", "#....", "#....", "#....", "#####"),
    "M": ("#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"),
    "N": ("#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"),
    "O": (".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."),
    "P": ("####.", "#...#", "#...#", "####.", "#....", "#....", "#...."),
    "Q": (".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"),
    "R": ("####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"),
    "S": (".####", "#....", "#....", ".###.", "....#", "....#", "####."),
    "T": ("#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."),
    "U": ("#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."),
    "V": ("#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."),
    "W": ("#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."),
    "X": ("#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"),
    "Y": ("#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."),
    "Z": ("#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"),
    "0": (".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."),
    "1": ("..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."),
    "2": (".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"),
    "3": ("#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."),
    "4": ("...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."),
    "5": ("#####", "#....", "####.", "....#", "....#", "#...#", ".###."),
    "6": ("..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."),
    "7": ("#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."),
    "8": (".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."),
    "9": (".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."),
    ".": (".....", ".....", ".....", ".....", ".....", ".....", "..#.."),
    "-": (".....", ".....", ".....", ".###.", ".....", ".....", "....."),
    "/": ("....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."),
    ":": (".....", "..#..", ".....", ".....", ".....", "..#..", "....."),
    " ": (".....", ".....", ".....", ".....", ".....", ".....", "....."),
}


def _arc_distance(x, y, cx, cy, radius, start, end):
    angle = math.degrees(math.atan2(y - cy, x - cx))
    if (angle - start) % 360.0 <= end - start or end - start >= 360.0:
        return abs(math.hypot(x - cx, y - cy) - radius)
    ends = []
    for a in (start, end):
        ex = cx + radius * math.cos(math.radians(a))
        ey = cy + radius * math.sin(math.radians(a))
        ends.append(math.hypot(x - ex, y - ey))
    return min(ends)


def _stroke_distance(stroke, x, y):
    if stroke[0] == "line":
        return segment_distance(x, y, *stroke[1:])
    return _arc_distance(x, y, *stroke[1:])


def stroke_text_width(text, size, tracking=0.12):
    """Width in pixels of text set in the stroke font at the given cap height."""
    advances = [STROKE_GLYPHS[ch][0] for ch in text]
    return size * (sum(advances) + tracking * max(len(text) - 1, 0))


def draw_stroke_text(image, text, left, baseline, size, half_width, colour, opacity=1.0, tracking=0.12):
    """Draws text in the stroke font; size is the cap height in pixels, half_width the half
    thickness of the strokes. Returns the x just after the last glyph."""
    top = baseline - size
    x = left
    for ch in text:
        advance, strokes = STROKE_GLYPHS[ch]
        if strokes:
            scaled = [_scale_stroke(s, x, top, size) for s in strokes]

            def distance(px, py, scaled=scaled):
                return min(_stroke_distance(s, px, py) for s in scaled) - half_width
            margin = half_width + 2
            box = (x - margin, top - 0.1 * size - margin, x + advance * size + margin, baseline + margin)
            image.draw(distance, box, colour, opacity)
        x += (advance + tracking) * size
    return x - tracking * size


def _scale_stroke(stroke, left, top, size):
    if stroke[0] == "line":
        _, x0, y0, x1, y1 = stroke
        return ("line", left + x0 * size, top + y0 * size, left + x1 * size, top + y1 * size)
    _, cx, cy, radius, start, end = stroke
    return ("arc", left + cx * size, top + cy * size, radius * size, start, end)


def dot_text_width(text, pitch):
    """Width in pixels of text in the dot font: five columns and one column of space per glyph."""
    return max(len(text) * (DOT_COLUMNS + 1) - 1, 0) * pitch


def draw_dot_text(image, text, left, top, pitch, radius, colour, opacity=1.0):
    """Draws text in the 5 x 7 dot font, each lit cell a round dot of the given radius on a grid
    of pitch pixels. Letters without a glyph are drawn as spaces."""
    x = left
    for ch in text.upper():
        rows = DOT_GLYPHS.get(ch, DOT_GLYPHS[" "])
        for r, row in enumerate(rows):
            for c, cell in enumerate(row):
                if cell != "#":
                    continue
                cx = x + (c + 0.5) * pitch
                cy = top + (r + 0.5) * pitch
                image.draw(lambda px, py, cx=cx, cy=cy: math.hypot(px - cx, py - cy) - radius,
                           (cx - radius - 1, cy - radius - 1, cx + radius + 1, cy + radius + 1), colour, opacity)
        x += (DOT_COLUMNS + 1) * pitch
