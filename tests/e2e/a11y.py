#!/usr/bin/python3
"""Reads a control of the running Varnolix window through the accessibility
tree (AT-SPI), as a screen reader does.

    a11y.py X Y name|role|text

prints the name, role or text of the innermost accessible object at the screen
point X, Y in the window titled "Varnolix1.0"; exits 1 when there is none yet.

    a11y.py find NAME

prints the role of the first object named NAME in that window, then
"enabled" or "disabled", then "checked" and "focused" if it is; exits 1 when
there is none.

    a11y.py size NAME | match REGEX

prints the width and height on the screen (WIDTHxHEIGHT) of the first object
named NAME, or the name of the first object on the screen whose name REGEX
matches from its start.
"""
import re
import sys

import pyatspi


def window():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "varnolix":
            for frame in app:
                if frame is not None and frame.name == "Varnolix1.0":
                    return frame
    return None


def contains(accessible, x, y):
    try:
        box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    except NotImplementedError:
        return False
    return box.width > 0 and box.height > 0 and box.x <= x < box.x + box.width \
        and box.y <= y < box.y + box.height


def innermost(accessible, x, y):
    for child in accessible:
        if child is not None and contains(child, x, y):
            return innermost(child, x, y)
    return accessible


def named(accessible, name):
    if accessible.name == name:
        return accessible
    for child in accessible:
        found = named(child, name) if child is not None else None
        if found is not None:
            return found
    return None


def find(name):
    top = window()
    found = named(top, name) if top is not None else None
    if found is None:
        return 1
    states = found.getState()
    words = [found.getRoleName(),
             "enabled" if states.contains(pyatspi.STATE_ENABLED) else "disabled"]
    if states.contains(pyatspi.STATE_CHECKED):
        words.append("checked")
    if states.contains(pyatspi.STATE_FOCUSED):
        words.append("focused")
    sys.stdout.write(" ".join(words))
    return 0


def first(accessible, test):
    if test(accessible):
        return accessible
    for child in accessible:
        found = first(child, test) if child is not None else None
        if found is not None:
            return found
    return None


def size_or_match(what, argument):
    """The size of the object named ARGUMENT, or the name of the first one on
    the screen that the regular expression ARGUMENT matches."""
    pattern = re.compile(argument)
    top = window()
    found = first(top, (lambda a: a.name == argument) if what == "size" else (
        lambda a: a.getState().contains(pyatspi.STATE_SHOWING) and pattern.match(a.name)
    )) if top is not None else None
    if found is None:
        return 1
    box = found.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    sys.stdout.write(f"{box.width}x{box.height}" if what == "size" else found.name)
    return 0


def main():
    if sys.argv[1] == "find":
        return find(sys.argv[2])
    if sys.argv[1] in ("size", "match"):
        return size_or_match(sys.argv[1], sys.argv[2])
    x, y, what = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    top = window()
    if top is None or not contains(top, x, y):
        return 1
    found = innermost(top, x, y)
    if what == "name":
        value = found.name
    elif what == "role":
        value = found.getRoleName()
    else:
        text = found.queryText()
        value = text.getText(0, text.characterCount)
    sys.stdout.write(value)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Exception as error:  # the tree is still being built, or the window went away
        print(f"a11y.py: {error}", file=sys.stderr)
        sys.exit(1)
