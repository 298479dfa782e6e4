"""A small anti-aliased raster canvas and the Windows picture formats the resources need.

Shapes are given as signed distance functions (negative inside, in pixels); a pixel's coverage is
taken from the distance at its centre, which gives one pixel of smooth edge without supersampling.
Colours are (r, g, b) triples of 0..255; alpha is 0..1.
"""

import math
import struct

# BITMAPFILEHEADER: "BM", file size, two reserved words, offset of the pixel data.
BITMAP_FILE_HEADER = struct.Struct("<2sIHHI")
# BITMAPINFOHEADER: size, width, height, planes, bit count, compression, image size,
# x and y pixels per metre, colours used, colours important.
BITMAP_INFO_HEADER = struct.Struct("<IiiHHIIiiII")
# ICONDIR: reserved, type (1 = icon), count.
ICON_DIR = struct.Struct("<HHH")
# ICONDIRENTRY: width, height, colour count, reserved, planes, bit count, bytes, offset.
ICON_DIR_ENTRY = struct.Struct("<BBBBHHII")

BI_RGB = 0
PIXELS_PER_METRE_96_DPI = 3780
ICON_TYPE = 1
LARGEST_ICON_SIDE = 256  # stored as 0 in an ICONDIRENTRY


def clamp(value, low=0.0, high=1.0):
    return low if value < low else high if value > high else value


def mix(a, b, t):
    """Linear blend of two colours, t = 0 gives a, t = 1 gives b."""
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def row_stride(width, bits_per_pixel):
    """Bytes in one stored row: DIB rows are padded to a multiple of four bytes."""
    return ((width * bits_per_pixel + 31) // 32) * 4


class Image:
    """An RGBA picture with floating-point channels, origin at the top left."""

    def __init__(self, width, height, colour=(0, 0, 0), alpha=1.0):
        if width <= 0 or height <= 0:
            raise ValueError("an image needs a positive size")
        self.width = width
        self.height = height
        count = width * height
        self.red = [float(colour[0])] * count
        self.green = [float(colour[1])] * count
        self.blue = [float(colour[2])] * count
        self.alpha = [float(alpha)] * count

    def pixel(self, x, y):
        """The colour at (x, y) rounded to bytes: (r, g, b, a) with a in 0..255."""
        i = y * self.width + x
        return (_byte(self.red[i]), _byte(self.green[i]), _byte(self.blue[i]), _byte(self.alpha[i] * 255.0))

    def blend(self, x, y, colour, coverage):
        """Paints colour over the pixel with the given coverage (source-over compositing)."""
        if coverage <= 0.0:
            return
        i = y * self.width + x
        a = clamp(coverage)
        below = self.alpha[i]
        out = a + below * (1.0 - a)
        if out <= 0.0:
            return
        keep = below * (1.0 - a) / out
        take = a / out
        self.red[i] = colour[0] * take + self.red[i] * keep
        self.green[i] = colour[1] * take + self.green[i] * keep
        self.blue[i] = colour[2] * take + self.blue[i] * keep
        self.alpha[i] = out

    def fill(self, shader, box=None):
        """Sets every pixel of the box (x0, y0, x1, y1; default the whole image) to shader(x, y),
        which returns a colour; x and y are the pixel's centre."""
        x0, y0, x1, y1 = self._clip(box)
        for y in range(y0, y1):
            cy = y + 0.5
            base = y * self.width
            for x in range(x0, x1):
                r, g, b = shader(x + 0.5, cy)
                i = base + x
                self.red[i], self.green[i], self.blue[i], self.alpha[i] = r, g, b, 1.0

    def draw(self, distance, box, colour, opacity=1.0):
        """Paints the shape whose signed distance (pixels, negative inside) is distance(x, y).
        colour is a colour or a function (x, y) -> colour. Only the box is visited."""
        x0, y0, x1, y1 = self._clip(box)
        shade = colour if callable(colour) else None
        for y in range(y0, y1):
            cy = y + 0.5
            for x in range(x0, x1):
                cx = x + 0.5
                coverage = 0.5 - distance(cx, cy)
                if coverage <= 0.0:
                    continue
                self.blend(x, y, shade(cx, cy) if shade else colour, min(coverage, 1.0) * opacity)

    def copy(self, x=0, y=0, width=None, height=None):
        """A new image of the rectangle at (x, y) of this one (default: all of it)."""
        width = self.width - x if width is None else width
        height = self.height - y if height is None else height
        if x < 0 or y < 0 or x + width > self.width or y + height > self.height:
            raise ValueError("the rectangle lies outside the image")
        out = Image(width, height)
        for row in range(height):
            src = (y + row) * self.width + x
            dst = row * width
            for channel in ("red", "green", "blue", "alpha"):
                getattr(out, channel)[dst:dst + width] = getattr(self, channel)[src:src + width]
        return out

    def paste(self, other, x, y):
        """Paints another image over this one with its top-left corner at (x, y), by its alpha."""
        for row in range(other.height):
            ty = y + row
            if not 0 <= ty < self.height:
                continue
            for column in range(other.width):
                tx = x + column
                if not 0 <= tx < self.width:
                    continue
                i = row * other.width + column
                self.blend(tx, ty, (other.red[i], other.green[i], other.blue[i]), other.alpha[i])

    def fill_rect(self, x0, y0, x1, y1, colour):
        """Sets the pixels of the whole-pixel rectangle x0 <= x < x1, y0 <= y < y1 to a flat colour."""
        x0, y0, x1, y1 = self._clip((x0, y0, x1, y1))
        for y in range(y0, y1):
            base = y * self.width
            self.red[base + x0:base + x1] = [float(colour[0])] * (x1 - x0)
            self.green[base + x0:base + x1] = [float(colour[1])] * (x1 - x0)
            self.blue[base + x0:base + x1] = [float(colour[2])] * (x1 - x0)
            self.alpha[base + x0:base + x1] = [1.0] * (x1 - x0)

    def keyed(self, key, backing):
        """The image made opaque for drawing with a transparent colour: pixels at least half
        covered are laid over the backing colour, the others become the key colour."""
        out = Image(self.width, self.height, key)
        for y in range(self.height):
            for x in range(self.width):
                i = y * self.width + x
                a = self.alpha[i]
                if a >= 0.5:
                    colour = mix(backing, (self.red[i], self.green[i], self.blue[i]), a)
                    out.blend(x, y, colour, 1.0)
        return out

    def _clip(self, box):
        if box is None:
            return 0, 0, self.width, self.height
        x0, y0, x1, y1 = box
        return (max(0, int(math.floor(x0))), max(0, int(math.floor(y0))),
                min(self.width, int(math.ceil(x1))), min(self.height, int(math.ceil(y1))))


def _byte(value):
    return int(clamp(round(value), 0, 255))


# Signed distance functions. Each returns a function (x, y) -> distance in pixels.

def circle(cx, cy, radius):
    return lambda x, y: math.hypot(x - cx, y - cy) - radius


def ring(cx, cy, radius, half_width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - radius) - half_width


def rounded_rect(x0, y0, x1, y1, radius):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - radius, (y1 - y0) / 2.0 - radius

    def distance(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return distance


def segment_distance(x, y, ax, ay, bx, by):
    """Distance from a point to the segment a-b."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0.0 else clamp(((x - ax) * dx + (y - ay) * dy) / length2)
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def capsule(ax, ay, bx, by, half_width):
    return lambda x, y: segment_distance(x, y, ax, ay, bx, by) - half_width


def polygon(points):
    """A closed polygon (any winding), inside by the even-odd rule."""
    edges = list(zip(points, points[1:] + points[:1]))

    def distance(x, y):
        nearest = min(segment_distance(x, y, ax, ay, bx, by) for (ax, ay), (bx, by) in edges)
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                inside = not inside
        return -nearest if inside else nearest
    return distance


def ellipse(cx, cy, rx, ry):
    """Approximate distance to an ellipse (exact on the axes, good enough for edges)."""
    scale = min(rx, ry)
    return lambda x, y: (math.hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * scale


def union(*shapes):
    return lambda x, y: min(shape(x, y) for shape in shapes)


def subtract(shape, cut):
    return lambda x, y: max(shape(x, y), -cut(x, y))


# File formats.

def bmp_bytes(image):
    """A 24-bit bottom-up Windows bitmap file of the image (alpha ignored)."""
    stride = row_stride(image.width, 24)
    pixels = bytearray(stride * image.height)
    for row in range(image.height):
        y = image.height - 1 - row  # DIB rows are stored bottom-up
        offset = row * stride
        for x in range(image.width):
            r, g, b, _ = image.pixel(x, y)
            pixels[offset:offset + 3] = bytes((b, g, r))
            offset += 3
    headers = BITMAP_FILE_HEADER.size + BITMAP_INFO_HEADER.size
    file_header = BITMAP_FILE_HEADER.pack(b"BM", headers + len(pixels), 0, 0, headers)
    info = BITMAP_INFO_HEADER.pack(BITMAP_INFO_HEADER.size, image.width, image.height, 1, 24, BI_RGB,
                                   len(pixels), PIXELS_PER_METRE_96_DPI, PIXELS_PER_METRE_96_DPI, 0, 0)
    return file_header + info + bytes(pixels)


def _icon_image_bytes(image):
    """One icon image: a 32-bit DIB of double height (colour then mask) with an AND mask."""
    colour_stride = row_stride(image.width, 32)
    mask_stride = row_stride(image.width, 1)
    colour = bytearray(colour_stride * image.height)
    mask = bytearray(mask_stride * image.height)
    for row in range(image.height):
        y = image.height - 1 - row
        for x in range(image.width):
            r, g, b, a = image.pixel(x, y)
            at = row * colour_stride + x * 4
            colour[at:at + 4] = bytes((b, g, r, a))
            if a == 0:  # transparent pixels are set in the AND mask for old display paths
                mask[row * mask_stride + x // 8] |= 0x80 >> (x % 8)
    info = BITMAP_INFO_HEADER.pack(BITMAP_INFO_HEADER.size, image.width, image.height * 2, 1, 32, BI_RGB,
                                   len(colour) + len(mask), 0, 0, 0, 0)
    return info + bytes(colour) + bytes(mask)


def ico_bytes(images):
    """A Windows icon file holding the given square images (each side at most 256)."""
    if not images:
        raise ValueError("an icon needs at least one image")
    blobs = []
    for image in images:
        if image.width > LARGEST_ICON_SIDE or image.height > LARGEST_ICON_SIDE:
            raise ValueError("icon images are at most 256 pixels on a side")
        blobs.append(_icon_image_bytes(image))
    offset = ICON_DIR.size + ICON_DIR_ENTRY.size * len(images)
    out = bytearray(ICON_DIR.pack(0, ICON_TYPE, len(images)))
    for image, blob in zip(images, blobs):
        out += ICON_DIR_ENTRY.pack(image.width % LARGEST_ICON_SIDE, image.height % LARGEST_ICON_SIDE,
                                   0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)
