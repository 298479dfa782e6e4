#!/usr/bin/env python3
"""Draws the program's bitmaps and icons from code.

  skingen.py --out DIR   writes every picture into DIR (language pictures into DIR/ja and DIR/en)
  skingen.py --list      prints the relative path of every picture, one a line
"""

import argparse
import os
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import pictures  # noqa: E402,F401  (registers the pictures)
import registry  # noqa: E402


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--out", help="folder to write the pictures into")
    group.add_argument("--list", action="store_true", help="print the pictures' relative paths")
    args = parser.parse_args(argv)
    if args.list:
        for relative, _, _ in registry.outputs():
            print(relative)
        return 0
    registry.write_all(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
