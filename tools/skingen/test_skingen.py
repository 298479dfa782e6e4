"""Tests of the picture generator: file formats, drawing and the picture registry."""

import os
import re
import struct
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import glyphs  # noqa: E402
import layout  # noqa: E402
import pictures  # noqa: E402,F401
import raster  # noqa: E402
import registry  # noqa: E402


def bitmap_header(data):
    """(pixel offset, width, height, bit count, image size) of a bitmap file."""
    magic, file_size, _, _, offset = raster.BITMAP_FILE_HEADER.unpack_from(data, 0)
    fields = raster.BITMAP_INFO_HEADER.unpack_from(data, raster.BITMAP_FILE_HEADER.size)
    assert magic == b"BM" and file_size == len(data)
    return offset, fields[1], fields[2], fields[4], fields[6]


class BitmapFiles(unittest.TestCase):
    def test_rows_are_bottom_up_bgr_and_padded_to_four_bytes(self):
        image = raster.Image(3, 2, (0, 0, 0))
        image.fill(lambda x, y: (10 * int(x), 100 + int(y), 200))  # every pixel different
        data = raster.bmp_bytes(image)
        offset, width, height, bits, size = bitmap_header(data)
        self.assertEqual((54, 3, 2, 24), (offset, width, height, bits))
        self.assertEqual(12, raster.row_stride(3, 24))
        self.assertEqual(24, size)
        self.assertEqual(54 + 24, len(data))
        first_row = data[offset:offset + 12]
        # The first stored row is the bottom row (y = 1), blue first, then three padding bytes.
        self.assertEqual(bytes((200, 101, 0, 200, 101, 10, 200, 101, 20, 0, 0, 0)), first_row)
        self.assertEqual(bytes((200, 100, 0)), data[offset + 12:offset + 15])

    def test_channels_are_rounded_and_clamped_to_bytes(self):
        image = raster.Image(1, 1)
        image.fill(lambda x, y: (-20.0, 127.6, 300.0))
        offset = bitmap_header(raster.bmp_bytes(image))[0]
        self.assertEqual(bytes((255, 128, 0)), raster.bmp_bytes(image)[offset:offset + 3])


class IconFiles(unittest.TestCase):
    def test_directory_points_at_each_image_with_its_size(self):
        small = raster.Image(16, 16, (255, 0, 0))
        large = raster.Image(32, 32, (0, 0, 255))
        data = raster.ico_bytes([small, large])
        reserved, kind, count = raster.ICON_DIR.unpack_from(data, 0)
        self.assertEqual((0, 1, 2), (reserved, kind, count))
        expected_offset = raster.ICON_DIR.size + 2 * raster.ICON_DIR_ENTRY.size
        for index, side in enumerate((16, 32)):
            entry = raster.ICON_DIR_ENTRY.unpack_from(data, raster.ICON_DIR.size + index * raster.ICON_DIR_ENTRY.size)
            width, height, _, _, planes, bits, size, offset = entry
            self.assertEqual((side, side, 1, 32), (width, height, planes, bits))
            self.assertEqual(expected_offset, offset)
            header = raster.BITMAP_INFO_HEADER.unpack_from(data, offset)
            self.assertEqual((side, 2 * side, 32), (header[1], header[2], header[4]))
            mask_bytes = raster.row_stride(side, 1) * side
            self.assertEqual(40 + side * side * 4 + mask_bytes, size)
            expected_offset += size
        self.assertEqual(expected_offset, len(data))

    def test_transparent_pixels_are_set_in_the_mask_and_keep_zero_alpha(self):
        image = raster.Image(8, 1, alpha=0.0)
        image.blend(0, 0, (255, 255, 255), 1.0)  # only the leftmost pixel is opaque
        data = raster.ico_bytes([image])
        offset = raster.ICON_DIR.size + raster.ICON_DIR_ENTRY.size + raster.BITMAP_INFO_HEADER.size
        colour = data[offset:offset + 32]
        self.assertEqual(bytes((255, 255, 255, 255)), colour[0:4])
        self.assertEqual(0, colour[7])
        mask = data[offset + 32:offset + 36]
        self.assertEqual(bytes((0x7F, 0, 0, 0)), mask)

    def test_a_256_pixel_image_is_stored_as_zero_and_larger_ones_are_refused(self):
        data = raster.ico_bytes([raster.Image(256, 256)])
        self.assertEqual((0, 0), struct.unpack_from("<BB", data, raster.ICON_DIR.size))
        with self.assertRaises(ValueError):
            raster.ico_bytes([raster.Image(257, 257)])
        with self.assertRaises(ValueError):
            raster.ico_bytes([])


class Drawing(unittest.TestCase):
    def test_a_circle_is_solid_inside_untouched_outside_and_smooth_at_its_edge(self):
        image = raster.Image(21, 21, (0, 0, 0))
        image.draw(raster.circle(10.5, 10.5, 6.0), None, (255, 255, 255))
        self.assertEqual(255, image.pixel(10, 10)[0])
        self.assertEqual(0, image.pixel(1, 1)[0])
        edge = image.pixel(16, 10)[0]  # centre 6.0 from the circle's centre: half covered
        self.assertTrue(100 < edge < 160, edge)
        self.assertEqual(image.pixel(4, 10), image.pixel(16, 10))  # symmetric

    def test_painting_on_a_transparent_pixel_keeps_the_colour_and_takes_the_coverage(self):
        image = raster.Image(1, 1, (0, 0, 0), alpha=0.0)
        image.blend(0, 0, (200, 100, 50), 0.5)
        self.assertEqual((200, 100, 50, 128), image.pixel(0, 0))
        image.blend(0, 0, (0, 0, 0), 1.0)
        self.assertEqual((0, 0, 0, 255), image.pixel(0, 0))

    def test_a_box_outside_the_image_is_clipped(self):
        image = raster.Image(4, 4, (0, 0, 0))
        image.draw(lambda x, y: -1.0, (-10, -10, 2, 100), (255, 0, 0))
        self.assertEqual(255, image.pixel(1, 3)[0])
        self.assertEqual(0, image.pixel(2, 0)[0])

    def test_a_polygon_fills_its_inside_by_the_even_odd_rule(self):
        triangle = raster.polygon([(0, 0), (10, 0), (0, 10)])
        self.assertLess(triangle(2, 2), 0)
        self.assertGreater(triangle(8, 8), 0)
        self.assertAlmostEqual(2.0, triangle(-2, 5))


class Lettering(unittest.TestCase):
    def ink_columns(self, image):
        return [x for x in range(image.width) if any(image.pixel(x, y)[0] > 128 for y in range(image.height))]

    def test_stroke_text_stays_within_its_measured_width(self):
        image = raster.Image(400, 120, (0, 0, 0))
        size, half = 60, 4
        width = glyphs.stroke_text_width("Plover", size)
        end = glyphs.draw_stroke_text(image, "Plover", 20, 100, size, half, (255, 255, 255))
        self.assertAlmostEqual(20 + width, end, places=6)
        columns = self.ink_columns(image)
        self.assertGreaterEqual(min(columns), 20 - half - 1)
        self.assertLessEqual(max(columns), 20 + width + half + 1)
        self.assertGreater(max(columns), 20 + width * 0.9)

    def test_dot_text_lights_exactly_the_cells_of_its_glyph(self):
        image = raster.Image(12, 16, (0, 0, 0))
        glyphs.draw_dot_text(image, "l", 0, 0, 2, 0.9, (255, 255, 255))  # lower case maps to L
        for row, pattern in enumerate(glyphs.DOT_GLYPHS["L"]):
            for column, cell in enumerate(pattern):
                lit = image.pixel(column * 2, row * 2)[0] > 128
                self.assertEqual(cell == "#", lit, (row, column))
        self.assertEqual(29 * 2, glyphs.dot_text_width("HELLO", 2))

    def test_every_glyph_has_the_declared_grid(self):
        for ch, rows in glyphs.DOT_GLYPHS.items():
            self.assertEqual(glyphs.DOT_ROWS, len(rows), ch)
            self.assertTrue(all(len(r) == glyphs.DOT_COLUMNS for r in rows), ch)


class Registry(unittest.TestCase):
    def test_the_program_pictures_have_the_sizes_the_program_expects(self):
        drawn = {relative: function(lang) if lang else function() for relative, function, lang in registry.outputs()}
        splash = drawn["splash.bmp"]
        self.assertEqual((500, 300), (splash.width, splash.height))
        sides = sorted(image.width for image in drawn["plover.ico"])
        for side in (16, 32, 48):
            self.assertIn(side, sides)

    def test_language_pictures_are_written_for_every_language(self):
        @registry.picture("test_caption.bmp", per_language=True)
        def caption(lang):
            return raster.Image(2, 2, (0, 0, 0) if lang == "ja" else (255, 255, 255))
        try:
            paths = [relative for relative, _, _ in registry.outputs()]
            self.assertIn("ja/test_caption.bmp", paths)
            self.assertIn("en/test_caption.bmp", paths)
            with self.assertRaises(ValueError):
                registry.picture("test_caption.bmp")
        finally:
            registry._pictures[:] = [p for p in registry._pictures if p[0] != "test_caption.bmp"]

    def test_names_must_be_plain_bitmap_or_icon_files(self):
        for bad in ("Splash.bmp", "dir/splash.bmp", "splash.png", "splash"):
            with self.assertRaises(ValueError):
                registry.picture(bad)

    def test_unchanged_pictures_are_not_rewritten(self):
        chosen = {"splash.bmp", "plover.ico", "record.bmp"}
        with tempfile.TemporaryDirectory() as folder:
            self.assertEqual(len(chosen), registry.write_all(folder, chosen))
            self.assertEqual(sorted(chosen), sorted(os.listdir(folder)))
            splash = os.path.join(folder, "splash.bmp")
            os.utime(splash, (1000000, 1000000))
            self.assertEqual(0, registry.write_all(folder, chosen))
            self.assertEqual(1000000, int(os.path.getmtime(splash)))
            with open(splash, "r+b") as damaged:
                damaged.seek(100)
                damaged.write(b"\x01\x02\x03")
            self.assertEqual(1, registry.write_all(folder, chosen))
            with open(splash, "rb") as written:
                _, width, height, bits, _ = bitmap_header(written.read())
            self.assertEqual((500, 300, 24), (width, height, bits))


HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "..", "res")

# The sizes of the skin's bitmaps as the layout tables of the main window and the panels, the
# level meter, the time slider and the file list use them: a button's five bitmaps have the
# button's size, a picture its row's size.
LAYOUT_SIZES = {
    (646, 29): (161, 162),
    (155, 25): (158, 256, 160, 159, 157),
    (160, 25): (164, 257, 166, 165, 163),
    (44, 26): (290, 295, 293, 294, 292, 291, 289, 296),
    (34, 27): (233, 236, 235, 234, 251),
    (646, 411): (238, 239),
    (30, 20): (282, 279, 280, 283, 281, 277, 274, 275, 278, 276),
    (69, 22): (167, 172, 171, 170, 252, 173, 176, 175, 174, 253, 197, 200, 199, 198, 243, 201, 204, 203, 202, 244),
    (37, 22): (177, 180, 179, 178, 254),
    (30, 30): tuple(range(185, 194)),
    (12, 20): (339, 336, 337, 335, 338, 334, 331, 332, 330, 333),
    (34, 24): (311, 308, 309, 307, 310, 221, 224, 223, 222, 249),
    (20, 19): (301, 298, 299, 297, 300, 306, 303, 304, 302, 305),
    (25, 20): (272, 269, 270, 273, 271, 264, 267, 268, 265, 266, 287, 284, 285, 288, 286),
    (129, 20): (316,),
    (19, 9): (320, 322),
    (2, 4): (329, 319),
    (4, 4): (328,),
    (11, 50): (130,),
    (18, 18): (313,),
    (52, 39): (132, 134),
}


def read_bitmap(data):
    """(width, height, bits, pixel function (x, y) -> (r, g, b)) of a 24-bit bitmap file."""
    offset, width, height, bits, _ = bitmap_header(data)
    stride = raster.row_stride(width, 24)

    def pixel(x, y):
        at = offset + (height - 1 - y) * stride + 3 * x
        b, g, r = data[at:at + 3]
        return r, g, b
    return width, height, bits, pixel


def difference(a, b):
    """Mean absolute channel difference of two pictures of one size."""
    total = 0
    for y in range(a[1]):
        for x in range(a[0]):
            total += sum(abs(p - q) for p, q in zip(a[3](x, y), b[3](x, y)))
    return total / (3.0 * a[0] * a[1])


def luminance_spread(picture, inset=3):
    """Standard deviation of the luminance inside the edge: how much a button's pictogram stands
    out from its face."""
    values = [0.3 * r + 0.59 * g + 0.11 * b for y in range(inset, picture[1] - inset)
              for x in range(inset, picture[0] - inset) for r, g, b in [picture[3](x, y)]]
    mean = sum(values) / len(values)
    return (sum((v - mean) ** 2 for v in values) / len(values)) ** 0.5


class Skin(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        registry.write_all(cls.folder.name)
        with open(os.path.join(RES, "resource.h"), encoding="utf-8") as header:
            cls.defines = re.findall(r"^#define (IDB_\w+) (\d+)", header.read(), re.M)
        with open(os.path.join(RES, "Pictures.rc"), encoding="utf-8") as script:
            cls.listed = re.findall(r'^(IDB_\w+) BITMAP "([^"]+)"', script.read(), re.M)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def load(self, file_name):
        with open(os.path.join(self.folder.name, file_name), "rb") as drawn:
            return read_bitmap(drawn.read())

    def by_id(self, bitmap_id):
        return self.load(layout.bitmap_files()[bitmap_id])

    def test_every_bitmap_id_is_defined_once_and_listed_once_with_a_drawn_file(self):
        names = [name for name, _ in self.defines]
        ids = [int(value) for _, value in self.defines]
        self.assertEqual(len(names), len(set(names)))
        self.assertEqual(len(ids), len(set(ids)), "two bitmaps share an id")
        listed = dict(self.listed)
        self.assertEqual(len(listed), len(self.listed), "a bitmap is listed twice")
        self.assertEqual(set(names), set(listed))
        drawn = {relative for relative, _, _ in registry.outputs()}
        for name, file_name in listed.items():
            self.assertIn(file_name, drawn, name)

    def test_every_skin_bitmap_has_its_layout_size_and_24_bits(self):
        expected = {i: size for size, ids in LAYOUT_SIZES.items() for i in ids}
        defined = {int(value): name for name, value in self.defines}
        listed = dict(self.listed)
        self.assertEqual(set(expected), set(defined) - {102}, "ids of the layout and of resource.h differ")
        for bitmap_id, size in expected.items():
            width, height, bits, _ = self.load(listed[defined[bitmap_id]])
            self.assertEqual(size + (24,), (width, height, bits), defined[bitmap_id])

    def test_button_states_look_different_and_disabled_is_dimmed(self):
        for button in layout.BUTTONS:
            normal = self.by_id(button.normal)
            for state in ("pressed", "focused", "hot"):
                if getattr(button, state) != button.normal:
                    self.assertGreater(difference(normal, self.by_id(getattr(button, state))), 2.0,
                                       (button.name, state))
            disabled = self.by_id(button.disabled)
            self.assertLess(luminance_spread(disabled), 0.8 * luminance_spread(normal), button.name)

    def test_a_disabled_play_tab_matches_the_strip_under_its_caption(self):
        # While recording the play tab is disabled. Its caption (170, 12, 100 x 14 in the window)
        # is a transparent label the button does not paint under, so the record tab's strip shows
        # through it; the disabled face must not frame it in another shade.
        tab = next(button for button in layout.BUTTONS if button.name == "play_tab")
        disabled = self.by_id(tab.disabled)
        strip = self.by_id(161)
        left, top = 170 - tab.x, 12 - tab.y
        total = 0
        for y in range(top, top + 14):
            for x in range(left, left + 100):
                total += sum(abs(p - q) for p, q in zip(disabled[3](x, y), strip[3](tab.x + x, tab.y + y)))
        self.assertLess(total / (3.0 * 100 * 14), 1.0)

    def test_the_eight_status_icons_can_be_told_apart(self):
        icons = [self.by_id(i) for i in layout.STATUS_IDS]
        for a in range(len(icons)):
            for b in range(a + 1, len(icons)):
                self.assertGreater(difference(icons[a], icons[b]), 3.0,
                                   (layout.STATUS_VARIANTS[a], layout.STATUS_VARIANTS[b]))

    def test_the_recording_icon_is_dark_when_idle_and_moves_in_every_frame(self):
        frames = [self.by_id(layout.RECORDING_FIRST_ID + f) for f in range(layout.RECORDING_FRAMES)]
        red = [frame[3](15, 15)[0] for frame in frames]
        self.assertTrue(all(red[0] + 80 < r for r in red[1:]), red)
        for f in range(1, len(frames)):
            following = frames[f + 1] if f + 1 < len(frames) else frames[1]
            self.assertGreater(difference(frames[f], following), 1.0, f)

    def test_transparent_pictures_carry_magenta_where_the_background_shows(self):
        key = (255, 0, 255)
        width, height, _, pixel = self.by_id(130)
        self.assertEqual(key, pixel(width - 1, height - 1))   # the program takes this pixel as the key
        self.assertEqual(key, pixel(0, height - 1))
        self.assertTrue(all(pixel(5, y) != key for y in range(height - 1)), "the needle has a gap")
        width, height, _, pixel = self.by_id(313)
        for corner in ((0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1)):
            self.assertEqual(key, pixel(*corner))
        self.assertNotEqual(key, pixel(width // 2, height // 2))

    def test_meter_segments_are_white_orange_and_red(self):
        white, orange, red = (self.by_id(i)[3](0, 0) for i in (329, 319, 328))
        self.assertTrue(min(white) > 200, white)
        self.assertTrue(orange[0] > 200 and 80 < orange[1] < 200 and orange[2] < 80, orange)
        self.assertTrue(red[0] > 200 and red[1] < 80, red)


if __name__ == "__main__":
    unittest.main()
