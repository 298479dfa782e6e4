"""The list of pictures the resources are built from.

A picture is a function decorated with @picture("name.bmp") (returns an Image, written as a
24-bit bitmap) or @picture("name.ico") (returns a list of square Images, written as one icon).
Pictures that carry text are marked per_language=True: the function is then called once per
language with its code and each result is written to that language's folder, so the built-in
resources and the language library include files of the same name from different folders.
"""

import os
import re

import raster

LANGUAGES = ("ja", "en")
_NAME = re.compile(r"^[a-z0-9_]+\.(bmp|ico)$")
_pictures = []


def picture(file_name, per_language=False):
    if not _NAME.match(file_name):
        raise ValueError("picture names are lower-case words with .bmp or .ico: %r" % file_name)
    if any(p[0] == file_name for p in _pictures):
        raise ValueError("two pictures named %r" % file_name)

    def register(function):
        _pictures.append((file_name, function, per_language))
        return function
    return register


def outputs():
    """Every (relative path, function, language or None) the registered pictures produce."""
    result = []
    for file_name, function, per_language in _pictures:
        if per_language:
            result.extend((lang + "/" + file_name, function, lang) for lang in LANGUAGES)
        else:
            result.append((file_name, function, None))
    return result


def encode(file_name, drawn):
    """The file bytes of a drawn picture, by the name's extension."""
    if file_name.endswith(".bmp"):
        if not isinstance(drawn, raster.Image):
            raise TypeError("%s: a bitmap picture returns one Image" % file_name)
        return raster.bmp_bytes(drawn)
    images = list(drawn)
    for image in images:
        if image.width != image.height:
            raise ValueError("%s: icon images are square" % file_name)
    return raster.ico_bytes(images)


def write_all(out_dir, only=None):
    """Draws every picture (or those whose relative paths are in only) into out_dir; files whose
    bytes did not change are left untouched, so the resources are not rebuilt needlessly.
    Returns the number of files rewritten."""
    written = 0
    for relative, function, lang in outputs():
        if only is not None and relative not in only:
            continue
        drawn = function(lang) if lang else function()
        data = encode(relative, drawn)
        path = os.path.join(out_dir, *relative.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        try:
            with open(path, "rb") as existing:
                if existing.read() == data:
                    continue
        except FileNotFoundError:
            pass
        temporary = path + ".tmp"
        with open(temporary, "wb") as out:
            out.write(data)
        os.replace(temporary, path)
        written += 1
    return written
