#!/usr/bin/env python3
"""Builds a compiled help file from one language's HTML sources, and lists a help file's pages.

  make_chm.py build SOURCE_DIR OUTPUT.chm [--codepage CP] [--shared FILE]...
  make_chm.py list FILE.chm

Each --shared file (the style sheet of every language) is compiled in beside the folder's own
files; a file of the folder with the same name takes its place. The sources are kept in UTF-8. The help viewer reads the table of contents in the code page of
the help file's language, so with --codepage every text file is converted to it first (and its
charset declaration with it); a character the code page lacks stops the build. chmcmd then
compiles the project file Plover.hhp of the folder.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

TEXT_SUFFIXES = (".html", ".hhc", ".hhk", ".hhp", ".css")
CHARSET_NAMES = {"cp932": "Shift_JIS"}
PROJECT = "Plover.hhp"

# ITSF header: signature, version, header length, unknown, time stamp, language, two GUIDs;
# then the header section table, of which entry 1 is the directory (offset, length).
ITSF_HEADER = struct.Struct("<4sIIIII16s16s")
SECTION_ENTRY = struct.Struct("<QQ")
# ITSP directory header: signature, version, header length, unknown, chunk size, density, depth,
# root index chunk, first and last listing chunks, unknown, chunk count, language, GUID, length.
ITSP_HEADER = struct.Struct("<4sIIIIIiiiiiII16sI12x")
# PMGL listing chunk header: signature, free space at the end of the chunk, unknown, previous and
# next chunk.
PMGL_HEADER = struct.Struct("<4sIIii")


def _convert(source, target, codepage):
    with open(source, encoding="utf-8") as stream:
        text = stream.read()
    if codepage:
        text = text.replace("charset=utf-8", "charset=" + CHARSET_NAMES.get(codepage, codepage))
        try:
            data = text.encode(codepage)
        except UnicodeEncodeError as error:
            sys.exit("%s: %r is not in code page %s" % (source, error.object[error.start:error.end], codepage))
    else:
        data = text.encode("utf-8")
    with open(target, "wb") as stream:
        stream.write(data)


def build(source_dir, output, codepage=None, shared=()):
    with tempfile.TemporaryDirectory() as work:
        own = [os.path.join(source_dir, name) for name in sorted(os.listdir(source_dir))]
        for path in list(shared) + own:
            name = os.path.basename(path)
            if not os.path.isfile(path):
                continue
            if name.endswith(TEXT_SUFFIXES):
                _convert(path, os.path.join(work, name), codepage)
            else:
                shutil.copyfile(path, os.path.join(work, name))
        result = subprocess.run(["chmcmd", "--verbosity", "1", PROJECT], cwd=work,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
        compiled = os.path.join(work, "Plover.chm")
        if result.returncode != 0 or not os.path.isfile(compiled):
            sys.exit("chmcmd failed for %s:\n%s" % (source_dir, result.stdout))
        os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
        shutil.copyfile(compiled, output + ".tmp")
        os.replace(output + ".tmp", output)


def _encint(data, at):
    """A variable-length integer: seven bits a byte, most significant first, high bit = more."""
    value = 0
    while True:
        byte = data[at]
        at += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, at


def list_chm(path):
    """The names of every object stored in a compiled help file, from its directory listing."""
    with open(path, "rb") as stream:
        data = stream.read()
    signature = ITSF_HEADER.unpack_from(data, 0)[0]
    if signature != b"ITSF":
        raise ValueError("%s is not a compiled help file" % path)
    directory_offset, _ = SECTION_ENTRY.unpack_from(data, ITSF_HEADER.size + SECTION_ENTRY.size)
    itsp = ITSP_HEADER.unpack_from(data, directory_offset)
    if itsp[0] != b"ITSP":
        raise ValueError("%s: no directory header" % path)
    header_length, chunk_size, chunk_count = itsp[2], itsp[4], itsp[11]
    first_chunk = directory_offset + header_length
    names = []
    for index in range(chunk_count):
        chunk = data[first_chunk + index * chunk_size:first_chunk + (index + 1) * chunk_size]
        signature, free, _, _, _ = PMGL_HEADER.unpack_from(chunk, 0)
        if signature != b"PMGL":
            continue  # an index chunk
        at, end = PMGL_HEADER.size, chunk_size - free
        while at < end:
            length, at = _encint(chunk, at)
            name = chunk[at:at + length].decode("utf-8")
            at += length
            for _ in range(3):  # content section, offset, length
                _, at = _encint(chunk, at)
            names.append(name)
    return names


def main(argv):
    if len(argv) >= 3 and argv[0] == "build":
        options = {"--codepage": [], "--shared": []}
        rest = argv[3:]
        if len(rest) % 2 or any(option not in options for option in rest[0::2]):
            sys.exit(__doc__)
        for option, value in zip(rest[0::2], rest[1::2]):
            options[option].append(value)
        if len(options["--codepage"]) > 1:
            sys.exit(__doc__)
        build(argv[1], argv[2], (options["--codepage"] or [None])[0], options["--shared"])
    elif len(argv) == 2 and argv[0] == "list":
        for name in list_chm(argv[1]):
            print(name)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
