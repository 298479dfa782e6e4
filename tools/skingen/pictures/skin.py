"""The skin of the main window and its two panels: backgrounds, tabs and buttons.

One dark-grey look: the tab strip is the darkest, the panels a mid grey (74, the colour the main
window paints beyond its bitmaps), with sunken panes, a black picture well and a lighter control
deck. Every pane and well takes exactly the background colour of the texts the panels draw on
it, so their labels melt into the picture. Buttons are dark rounded keys with a light pictogram.
"""

import functools

import layout
import pictograms
from raster import Image, clamp, mix, rounded_rect, subtract
from registry import picture

TEXT = (240, 240, 240)
STRIP_TOP = (46, 46, 46)
STRIP_BOTTOM = (30, 30, 30)
PANEL = (74, 74, 74)
PANE = (73, 73, 73)             # behind file name, recordable time, history, drop count
PANE_ROW = (91, 91, 91)         # behind the record mode, the folders and the file list caption
PANE_ROW_ALT = (85, 85, 85)     # behind the file format
WELL = (27, 27, 27)             # the preview and the time code
DECK = (110, 110, 110)          # the control deck with the F5, F6, F9 keys and the slider
MESSAGE = (192, 192, 192)       # the announcement bar
SHADE = (44, 44, 44)            # the dark edge of a sunken rectangle
LIGHT = (108, 108, 108)         # its light edge
RECORD_ACCENT = (214, 64, 52)
PLAY_ACCENT = (64, 178, 186)
FOCUS = (96, 204, 214)

ROLE_COLOURS = {
    "ink": (236, 236, 236),
    "record": (226, 50, 44),
    "drop": (214, 110, 72),     # brighter than the slider's dropped cells, same hue
    "folder": (232, 196, 112),
    "folder_dark": (176, 140, 68),
    "good": (118, 214, 124),
    "warn": (240, 178, 60),
    "dark": (30, 30, 30),
}


def bevel(image, x0, y0, x1, y1, fill, sunken=True):
    """A flat rectangle inside a one-pixel edge: dark above and left when sunken, light when raised.
    The fill covers x0 + 1 .. x1 - 1, y0 + 1 .. y1 - 1 exactly."""
    upper, lower = (SHADE, LIGHT) if sunken else (LIGHT, SHADE)
    image.fill_rect(x0, y0, x1, y1, lower)
    image.fill_rect(x0, y0, x1 - 1, y0 + 1, upper)
    image.fill_rect(x0, y0, x0 + 1, y1 - 1, upper)
    image.fill_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)


def _panel_base():
    image = Image(layout.MAIN_WIDTH, layout.PANEL_HEIGHT, PANEL)
    # A faint lighter band at the very top, where the selected tab joins the panel.
    for y in range(4):
        image.fill_rect(0, y, layout.MAIN_WIDTH, y + 1, mix(PANEL, (96, 96, 96), (4 - y) / 8.0))
    return image


def _preview_well(image):
    bevel(image, 8, 13, 377, 292, WELL)
    bevel(image, 9, 14, 376, 291, WELL)


def _deck(image, accent):
    """The control deck across the bottom: raised, with a thin accent line along its top."""
    bevel(image, 8, 297, 639, 377, DECK, sunken=False)
    image.fill_rect(9, 298, 638, 299, mix(DECK, accent, 0.55))
    bevel(image, 10, 308, 83, 331, WELL)    # time code 14 .. 78, 312 .. 326


def _message_bar(image):
    bevel(image, 8, 381, 640, 411, MESSAGE)   # the announcement at 9, 382, 630 x 28


@functools.lru_cache(maxsize=None)
def surface(name):
    """The drawn background a control lies on: "strip", "record" or "play"."""
    if name == "strip":
        return _strip(RECORD_ACCENT)
    return record_background() if name == "record" else play_background()


@picture("record_background.bmp")
def record_background():
    """Bitmap 238: the record panel."""
    image = _panel_base()
    _preview_well(image)
    bevel(image, 380, 7, 639, 33, PANE)           # next file name, recordable time
    bevel(image, 380, 38, 639, 91, PANE_ROW)      # record mode, file format, folder
    image.fill_rect(381, 57, 638, 72, PANE_ROW_ALT)
    bevel(image, 380, 106, 639, 293, PANE)        # history, its play button and the drop count
    bevel(image, 384, 126, 631, 264, SHADE)       # the frame of the history list
    _deck(image, RECORD_ACCENT)
    image.fill_rect(84, 349, 102, 371, DECK)      # F5 and F6 sit on the deck itself
    _message_bar(image)
    return image


@picture("play_background.bmp")
def play_background():
    """Bitmap 239: the play panel."""
    image = _panel_base()
    _preview_well(image)
    bevel(image, 380, 7, 639, 49, PANE)           # file name, total time
    bevel(image, 380, 60, 639, 293, PANE_ROW)     # file list caption, sort, folder, the list
    bevel(image, 384, 105, 631, 288, SHADE)       # the frame of the file list
    _deck(image, PLAY_ACCENT)
    bevel(image, 147, 318, 633, 371, SHADE)       # the frame of the time slider
    _message_bar(image)
    return image


def _strip(accent):
    image = Image(layout.MAIN_WIDTH, layout.STRIP_HEIGHT)
    image.fill(lambda x, y: mix(STRIP_TOP, STRIP_BOTTOM, y / layout.STRIP_HEIGHT))
    # The panel's edge under the strip and a short accent under the status area.
    image.fill_rect(0, layout.STRIP_HEIGHT - 1, layout.MAIN_WIDTH, layout.STRIP_HEIGHT, mix(PANEL, (96, 96, 96), 0.5))
    image.fill_rect(386, layout.STRIP_HEIGHT - 1, 600, layout.STRIP_HEIGHT, mix(PANEL, accent, 0.6))
    # The status icon's plate.
    image.draw(rounded_rect(333.5, 1.5, 382.5, 28.5, 3.0), (332, 0, 384, 29), (22, 22, 22))
    return image


def _strip_with_tabs(accent, record_look, play_look):
    """The strip with both tab faces drawn in: the tab captions are transparent labels that the tab
    buttons leave uncovered, so what shows through them is this background, not the button."""
    image = _strip(accent)
    for name, look in (("record_tab", record_look), ("play_tab", play_look)):
        item = next(button for button in layout.BUTTONS if button.name == name)
        image.paste(_tab(item, look, *TAB_ACCENTS[name]), item.x, item.y)
    return image


@picture("main_record_background.bmp")
def main_record_background():
    """Bitmap 161: the strip above the panels while the record tab is selected."""
    return _strip_with_tabs(RECORD_ACCENT, "selected", "normal")


@picture("main_play_background.bmp")
def main_play_background():
    """Bitmap 162: the strip while the play tab is selected."""
    return _strip_with_tabs(PLAY_ACCENT, "normal", "selected")


def _under(item):
    """A copy of the background under a control of the layout."""
    return surface(item.surface).copy(item.x, item.y, item.width, item.height)


# Tabs. The labels are text controls over the tab; a small pictogram sits at the tab's right end.

TAB_LOOKS = {
    # face top, face bottom, edge, pictogram opacity. A disabled tab keeps the normal face: its
    # caption is a transparent label that the button leaves uncovered, so the strip's normal face
    # shows through it, and a darker face would frame the caption in a lighter box.
    "selected": (mix(PANEL, (100, 100, 100), 0.6), mix(PANEL, (96, 96, 96), 0.45), (120, 120, 120), 1.0),
    "normal": ((58, 58, 58), (44, 44, 44), (82, 82, 82), 0.8),
    "hot": ((96, 96, 96), (68, 68, 68), (140, 140, 140), 1.0),
    "focused": ((58, 58, 58), (44, 44, 44), (82, 82, 82), 0.8),
    "disabled": ((58, 58, 58), (44, 44, 44), (64, 64, 64), 0.3),
}


def _tab(item, look, accent, symbol):
    image = _under(item)
    w, h = item.width, item.height
    top, bottom, edge, strength = TAB_LOOKS[look]
    lift = 0 if look == "selected" else 2     # unselected tabs stand a little lower
    shape = rounded_rect(0.5, lift + 0.5, w - 0.5, h + 8, 5.0)
    image.draw(shape, None, edge)
    inner = rounded_rect(1.5, lift + 1.5, w - 1.5, h + 8, 4.0)
    image.draw(inner, None, lambda x, y: mix(top, bottom, clamp((y - lift) / (h - lift))))
    if look == "selected":
        image.draw(subtract(rounded_rect(1.5, 1.5, w - 1.5, 8, 4.0), rounded_rect(1.5, 3.5, w - 1.5, 12, 4.0)),
                   None, accent)
        image.fill_rect(1, h - 1, w - 1, h, PANEL)   # joins the panel below
    else:
        image.fill_rect(0, h - 1, w, h, mix(PANEL, (96, 96, 96), 0.5))
    if look == "focused":
        image.draw(subtract(rounded_rect(3.5, lift + 3.5, w - 3.5, h - 2.5, 3.0),
                            rounded_rect(4.5, lift + 4.5, w - 4.5, h - 3.5, 2.0)), None, FOCUS, 0.9)
    cx, cy = w - 18.0, (h + lift) / 2.0 + 0.5
    for shape, role in symbol(cx, cy, 10.0):
        colour = ROLE_COLOURS[role] if look != "disabled" else mix(top, ROLE_COLOURS[role], 0.35)
        image.draw(shape, None, colour, strength if look != "disabled" else 1.0)
    return image


def _tab_symbol_record(cx, cy, s):
    return pictograms.record(cx, cy, s * 0.8)


def _tab_symbol_play(cx, cy, s):
    return [(shape, "good") for shape, _ in pictograms.play(cx, cy, s * 0.9)]


# Buttons: a dark rounded key with a light pictogram.

KEY_LOOKS = {
    # face top, face bottom, edge, pictogram colour weight (1 = its own colour)
    "normal": ((98, 98, 98), (62, 62, 62), (26, 26, 26), 1.0),
    "hot": ((132, 132, 132), (86, 86, 86), (26, 26, 26), 1.0),
    "pressed": ((46, 46, 46), (66, 66, 66), (18, 18, 18), 1.0),
    "focused": ((98, 98, 98), (62, 62, 62), (26, 26, 26), 1.0),
    "disabled": ((78, 78, 78), (72, 72, 72), (58, 58, 58), 0.3),
}

# Each button's pictogram and its nominal size in pixels.
BUTTON_SYMBOLS = {
    "options": (pictograms.gear, 17.0),
    "play_file": (pictograms.play_from_start, 12.0),
    "play_drop": (pictograms.play_drop, 12.0),
    "record": (pictograms.record, 15.0),
    "stop": (pictograms.stop, 14.0),
    "finalize": (pictograms.finalize, 14.0),
    "meter_hide": (pictograms.chevron_left, 12.0),
    "meter_show": (pictograms.chevron_right, 12.0),
    "play": (pictograms.play, 14.0),
    "pause": (pictograms.pause, 14.0),
    "sort": (pictograms.sort, 15.0),
    "folder": (pictograms.folder, 14.0),
    "zoom_out": (pictograms.zoom_out, 15.0),
    "zoom_in": (pictograms.zoom_in, 15.0),
    "next_drop": (pictograms.next_drop, 12.0),
    "previous_drop": (pictograms.previous_drop, 12.0),
    "to_start": (pictograms.to_start, 11.0),
}


def _grey(colour):
    level = 0.3 * colour[0] + 0.59 * colour[1] + 0.11 * colour[2]
    return (level, level, level)


def button_face(item, look):
    """One state of a skinned button, drawn over the background it lies on."""
    image = _under(item)
    w, h = item.width, item.height
    top, bottom, edge, weight = KEY_LOOKS[look]
    radius = 3.0 if min(w, h) >= 18 else 2.0
    image.draw(rounded_rect(0.5, 0.5, w - 0.5, h - 0.5, radius), None, edge)
    image.draw(rounded_rect(1.5, 1.5, w - 1.5, h - 1.5, radius - 1.0), None,
               lambda x, y: mix(top, bottom, clamp(y / h)))
    if look != "pressed":   # a light rim along the top of a raised key
        image.fill_rect(3, 1, w - 3, 2, mix(top, (200, 200, 200), 0.35 if look != "disabled" else 0.1))
    if look == "focused":
        image.draw(subtract(rounded_rect(2.5, 2.5, w - 2.5, h - 2.5, radius - 1.0),
                            rounded_rect(3.5, 3.5, w - 3.5, h - 3.5, max(radius - 2.0, 0.0))), None, FOCUS)
    symbol, size = BUTTON_SYMBOLS[item.name]
    shift = 1.0 if look == "pressed" else 0.0
    for shape, role in symbol(w / 2.0 + shift, h / 2.0 + shift, size):
        colour = ROLE_COLOURS[role]
        if look == "hot":
            colour = mix(colour, (255, 255, 255), 0.3)
        elif look == "disabled":
            colour = mix(mix(top, bottom, 0.5), _grey(colour), weight + 0.2)
        image.draw(shape, None, colour)
    return image


def _register_buttons():
    for item in layout.BUTTONS:
        for _, look in layout.button_bitmaps(item):
            if item.name in TAB_ACCENTS:
                function = (lambda item=item, look=look: _tab(item, look, *TAB_ACCENTS[item.name]))
            else:
                function = (lambda item=item, look=look: button_face(item, look))
            picture(layout.button_file(item, look))(function)


TAB_ACCENTS = {"record_tab": (RECORD_ACCENT, _tab_symbol_record), "play_tab": (PLAY_ACCENT, _tab_symbol_play)}

_register_buttons()

for _selected in layout.PICTURES:
    if _selected.name.endswith("_tab_selected"):
        _tab_name = _selected.name[:-len("_selected")]
        picture(_selected.name + ".bmp")(
            lambda item=_selected, name=_tab_name: _tab(item, "selected", *TAB_ACCENTS[name]))
