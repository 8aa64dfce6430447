#!/usr/bin/env python3
"""Draws wizard.bmp, the picture beside the setup's finish page (164x314, the
size NSIS's modern pages show): the program's woven hanging on a woven
ground, in the 16 colours res/make_resources.py draws everything with.

    python3 installer/make_wizard_bitmap.py
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "res"))
import make_resources as r  # noqa: E402

WIDTH, HEIGHT = 164, 314


def ground():
    """A plain weave of navy and black, three pixels a thread."""
    return [[r.NAVY if ((x // 3) + (y // 3)) % 2 else r.BLACK for x in range(WIDTH)] for y in range(HEIGHT)]


def main():
    g = ground()
    hanging = r.tapestry(96)
    left, top = (WIDTH - 96) // 2, 48
    # A white card behind the hanging, so it reads as a picture on a wall.
    r.fill(g, left - 8, top - 8, left + 96 + 7, top + 96 + 7, r.WHITE)
    for y, row in enumerate(hanging):
        for x, c in enumerate(row):
            if c != r.CLEAR:
                g[top + y][left + x] = c
    r.write_bmp(os.path.join(HERE, "wizard.bmp"), g)


if __name__ == "__main__":
    main()
