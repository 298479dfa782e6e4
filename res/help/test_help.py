"""Checks the built help files: every page is compiled in and listed in the contents, the pages
link only to pages that exist, and the troubleshooting page explains every message the program
can show, in the words of that language's string table.

The built files are named by the environment: PLOVER_HELP_JA (beside Plover.exe) and
PLOVER_HELP_EN (beside the language library).
"""

import html
import os
import re
import sys
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import make_chm  # noqa: E402

RES = os.path.dirname(HERE)
# The style sheet every language's help file is built with.
SHARED_STYLE = os.path.join(HERE, "style.css")
LANGUAGES = {
    "ja": ("PLOVER_HELP_JA", os.path.join(RES, "Plover.rc")),
    "en": ("PLOVER_HELP_EN", os.path.join(RES, "lang", "PLVRLang.rc")),
}
# The string-table texts a user meets as a message box, a balloon, an announcement or a verdict.
MESSAGE_IDS = (
    "IDS_FOLDER_PATH_TOO_LONG", "IDS_FILE_NAME_TOO_LONG", "IDS_FILE_NAME_BAD_CHARACTER", "IDS_SETTING_EMPTY",
    "IDS_CAMCORDER_NOT_CONNECTED", "IDS_DISK_FULL", "IDS_FILE_NAMES_EXHAUSTED", "IDS_VIDEO_FOLDER_CHANGED",
    "IDS_CONFIRM_QUIT_RECORDING", "IDS_FILE_UNREADABLE", "IDS_CAMCORDER_IN_USE", "IDS_CAMCORDER_CARD_MODE",
    "IDS_CAMCORDER_NOT_CAMERA_MODE", "IDS_CAMCORDER_DV_CONTROL_OFF", "IDS_CAMCORDER_NOT_SUPPORTED",
    "IDS_TOO_MANY_1394_DEVICES", "IDS_PERF_SUFFICIENT", "IDS_PERF_INSUFFICIENT", "IDS_PERF_RUNNING",
    "IDS_PERF_INTERRUPTED", "IDS_CONFIRM_DELETE_FILE", "IDS_FILE_NOT_FOUND", "IDS_QUIT_OTHER_TAVIN_APP",
    "IDS_FOLDER_NOT_NTFS", "IDS_RESOLUTION_CHANGED", "IDS_RECORD_WRITE_ERROR", "IDS_RECORD_START_FAILED",
    "IDS_DELETE_FILE_FAILED",
)


def read(path):
    with open(path, encoding="utf-8") as stream:
        return stream.read()


def project_pages(folder):
    text = read(os.path.join(folder, "Plover.hhp"))
    return [line.strip() for line in text.split("[FILES]")[1].splitlines() if line.strip()]


def string_table(script):
    """The texts of a resource script's string table, unescaped, by identifier."""
    table = read(script).split("STRINGTABLE", 1)[1]
    texts = {}
    for name, literal in re.findall(r'^\s*(IDS_\w+)\s+"((?:[^"]|"")*)"\s*$', table, re.M):
        texts[name] = literal.replace('""', '"').replace("\\n", "\n").replace("\\r", "").replace("\\\\", "\\")
    return texts


def visible_text(page):
    """A page's text without tags and white space, as a reader sees it."""
    body = re.sub(r"<[^>]+>", "", page)
    return re.sub(r"\s+", "", html.unescape(body))


class HelpFiles(unittest.TestCase):
    def test_every_page_is_compiled_into_the_help_file(self):
        for lang, (variable, _) in LANGUAGES.items():
            chm = os.environ.get(variable)
            self.assertTrue(chm and os.path.isfile(chm), "%s: no help file at %r" % (lang, chm))
            stored = set(make_chm.list_chm(chm))
            folder = os.path.join(HERE, lang)
            sources = [name for name in os.listdir(folder) if name.endswith((".html", ".css", ".hhc"))]
            sources.append(os.path.basename(SHARED_STYLE))
            self.assertIn("index.html", sources)
            for name in sources:
                self.assertIn("/" + name, stored, (lang, name))
            self.assertIn("/#SYSTEM", stored)

    def test_contents_and_links_reach_every_page_and_only_existing_ones(self):
        for lang in LANGUAGES:
            folder = os.path.join(HERE, lang)
            pages = {name for name in os.listdir(folder) if name.endswith(".html")}
            self.assertEqual(pages, {p for p in project_pages(folder) if p.endswith(".html")}, lang)
            contents = re.findall(r'name="Local" value="([^"]+)"', read(os.path.join(folder, "Plover.hhc")))
            self.assertEqual(sorted(pages), sorted(contents), lang)
            for page in pages:
                for target in re.findall(r'href="([^"#]+)', read(os.path.join(folder, page))):
                    self.assertIn(target, pages | {"style.css"}, (lang, page, target))

    def test_japanese_pages_fit_the_japanese_code_page(self):
        folder = os.path.join(HERE, "ja")
        for path in [os.path.join(folder, name) for name in os.listdir(folder)] + [SHARED_STYLE]:
            if path.endswith(make_chm.TEXT_SUFFIXES):
                read(path).encode("cp932")  # raises on a character it lacks

    def test_troubleshooting_explains_every_message_in_its_own_words(self):
        for lang, (_, script) in LANGUAGES.items():
            texts = string_table(script)
            page = visible_text(read(os.path.join(HERE, lang, "trouble.html")))
            for name in MESSAGE_IDS:
                self.assertIn(name, texts, (lang, name))
                for piece in re.split(r"%s", texts[name]):
                    piece = re.sub(r"\s+", "", piece)
                    self.assertIn(piece, page, (lang, name, piece))


if __name__ == "__main__":
    unittest.main()
