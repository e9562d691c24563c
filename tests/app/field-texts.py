#!/usr/bin/python3
"""Prints, for each screen point given, the text of the program's text field
that covers it, read through AT-SPI; "<none>" where no field does.

    field-texts.py PID X,Y [X,Y ...]
"""
import sys

import pyatspi

TEXT_ROLES = {pyatspi.ROLE_ENTRY, pyatspi.ROLE_TEXT, pyatspi.ROLE_PASSWORD_TEXT}


def fields(node, found, depth=0):
    if node is None or depth > 40:
        return
    try:
        role = node.getRole()
        if role in TEXT_ROLES:
            box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            text = node.queryText()
            found.append((box, text.getText(0, text.characterCount)))
            return
        children = list(node)
    except Exception:  # a widget that went away while being read
        return
    for child in children:
        fields(child, found, depth + 1)


def main():
    pid = int(sys.argv[1])
    points = [tuple(int(v) for v in arg.split(",")) for arg in sys.argv[2:]]
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            found = []
            fields(app, found)
            for x, y in points:
                texts = [t for b, t in found
                         if b.x <= x < b.x + b.width and b.y <= y < b.y + b.height]
                print(texts[0] if texts else "<none>")
            return 0
    print(f"no accessible application with process id {pid}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
