"""Where the skin's pictures lie and how large they are.

The main window, the record panel and the play panel place their controls on a fixed pixel grid
(the layout tables of the skinned controls). A skinned button has five bitmaps (normal, pressed,
focused, disabled, hot) of the button's size; a picture static has one bitmap of its row's size.
The generator draws every picture at the size given here and blends the corners of a picture
into the background bitmap that lies under it, so the position counts as well as the size.

Panel coordinates: the main window's rows are in its client area; the record and play panels
lie at (0, 29) in it and their rows are in the panel's own client area.
"""

from collections import namedtuple

MAIN_WIDTH = 646
STRIP_HEIGHT = 29           # the tab strip of the main window, above both panels
PANEL_HEIGHT = 411          # each panel, below the strip

# One skinned button: its five bitmap ids (0 = none) and its rectangle on its surface.
Button = namedtuple("Button", "name surface x y width height normal pressed focused disabled hot")
# One single picture: its bitmap id and its rectangle (the surface None: it lies on none of ours).
Picture = namedtuple("Picture", "name surface x y width height id")

BUTTON_STATES = ("normal", "pressed", "focused", "disabled", "hot")

BUTTONS = (
    # Main window: the tabs' unselected look (the selected look is a picture below) and options.
    Button("record_tab", "strip", 4, 4, 155, 25, 158, 256, 160, 159, 256),
    Button("play_tab", "strip", 159, 4, 160, 25, 164, 257, 166, 165, 257),
    Button("options", "strip", 605, 2, 34, 27, 233, 236, 235, 234, 251),
    # Record panel.
    Button("play_file", "record", 384, 268, 30, 20, 282, 279, 280, 283, 281),
    Button("play_drop", "record", 384, 268, 30, 20, 277, 274, 275, 278, 276),
    Button("record", "record", 12, 349, 69, 22, 167, 172, 171, 170, 252),
    Button("stop", "record", 12, 349, 69, 22, 173, 176, 175, 174, 253),
    Button("finalize", "record", 124, 349, 37, 22, 177, 180, 179, 178, 254),
    Button("meter_hide", "record", 124, 310, 12, 20, 339, 336, 337, 335, 338),
    Button("meter_show", "record", 124, 310, 12, 20, 334, 331, 332, 330, 333),
    # Play panel.
    Button("play", "play", 12, 349, 69, 22, 197, 200, 199, 198, 243),
    Button("pause", "play", 12, 349, 69, 22, 201, 204, 203, 202, 244),
    Button("sort", "play", 560, 68, 34, 24, 311, 308, 309, 307, 310),
    Button("folder", "play", 595, 68, 34, 24, 221, 224, 223, 222, 249),
    Button("zoom_out", "play", 588, 299, 20, 19, 301, 298, 299, 297, 300),
    Button("zoom_in", "play", 612, 299, 20, 19, 306, 303, 304, 302, 305),
    Button("next_drop", "play", 104, 309, 25, 20, 272, 269, 270, 273, 271),
    Button("previous_drop", "play", 104, 330, 25, 20, 264, 267, 268, 265, 266),
    Button("to_start", "play", 104, 351, 25, 20, 287, 284, 285, 288, 286),
)

# The status icon's eight variants, in variant order: what the camcorder and its tape are doing.
STATUS_VARIANTS = ("no_cassette", "ready", "recording", "playing", "tape_protected", "tape_end",
                   "winding", "no_camcorder")
STATUS_IDS = (290, 295, 293, 294, 292, 291, 289, 296)
RECORDING_FRAMES = 9        # variant 0 idle, 1..8 the animation
RECORDING_FIRST_ID = 185

PICTURES = (
    Picture("main_record_background", None, 0, 0, MAIN_WIDTH, STRIP_HEIGHT, 161),
    Picture("main_play_background", None, 0, 0, MAIN_WIDTH, STRIP_HEIGHT, 162),
    Picture("record_tab_selected", "strip", 4, 4, 155, 25, 157),
    Picture("play_tab_selected", "strip", 159, 4, 160, 25, 163),
    Picture("record_background", None, 0, 0, MAIN_WIDTH, PANEL_HEIGHT, 238),
    Picture("play_background", None, 0, 0, MAIN_WIDTH, PANEL_HEIGHT, 239),
) + tuple(
    Picture("status_" + name, "strip", 336, 3, 44, 26, id_) for name, id_ in zip(STATUS_VARIANTS, STATUS_IDS)
) + tuple(
    Picture("recording_%d" % frame, "record", 88, 306, 30, 30, RECORDING_FIRST_ID + frame)
    for frame in range(RECORDING_FRAMES)
) + (
    # The audio level meter (control at 136, 310 of the record panel) and its parts.
    Picture("meter_background", "record", 136, 310, 129, 20, 316),
    Picture("meter_label_1", None, 0, 0, 19, 9, 320),
    Picture("meter_label_2", None, 0, 0, 19, 9, 322),
    Picture("meter_lit", None, 0, 0, 2, 4, 329),        # segments 1 to 16
    Picture("meter_lit_high", None, 0, 0, 2, 4, 319),   # segments 17 to 23
    Picture("meter_lit_top", None, 0, 0, 4, 4, 328),    # segment 24
    # The time slider's thumb; its bottom-right pixel is the transparent colour.
    Picture("slider_thumb", None, 0, 0, 11, 50, 130),
    # The file list: placeholders at the play panel's thumbnail size, and the 24p badge, whose
    # magenta pixels are transparent.
    Picture("thumb_no_picture", None, 0, 0, 52, 39, 132),
    Picture("thumb_pending", None, 0, 0, 52, 39, 134),
    Picture("thumb_24p_badge", None, 0, 0, 18, 18, 313),
)

# Where each surface lies in the main window's client area.
SURFACE_ORIGIN = {"strip": (0, 0), "record": (0, STRIP_HEIGHT), "play": (0, STRIP_HEIGHT)}


def button_bitmaps(button):
    """(bitmap id, look) of each distinct bitmap of a button. Where one bitmap serves several
    states (a tab's pressed and hot), it is drawn in the hot look."""
    states = {}
    for state in BUTTON_STATES:
        states.setdefault(getattr(button, state), []).append(state)
    return [(id_, "hot" if "hot" in group else group[0]) for id_, group in states.items() if id_]


def button_file(button, look):
    """File name of a button's bitmap in one look."""
    return button.name + ("" if look == "normal" else "_" + look) + ".bmp"


def bitmap_files():
    """Every skin bitmap id with its file name."""
    files = {}
    for button in BUTTONS:
        for id_, look in button_bitmaps(button):
            files[id_] = button_file(button, look)
    for item in PICTURES:
        files[item.id] = item.name + ".bmp"
    return files


def bitmap_sizes():
    """Every skin bitmap id with its (width, height), from the button and picture rows."""
    sizes = {}
    for button in BUTTONS:
        for state in BUTTON_STATES:
            sizes[getattr(button, state)] = (button.width, button.height)
    for item in PICTURES:
        sizes[item.id] = (item.width, item.height)
    return sizes
