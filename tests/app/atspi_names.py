"""Reads the running program's accessibility tree over AT-SPI and checks that
every control a screen reader meets is named as the skin shows it.

    atspi_names.py STAGE    STAGE: main | config-rv80
Exits 0 when every name is as expected, 1 (with the differences) otherwise."""
import sys
import time

import pyatspi


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and (app.name or "").lower() == "tavrolin":
            return app
    return None


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def walk(node, depth=0):
    if node is None or depth > 12:
        return
    yield node
    for child in node:
        yield from walk(child, depth + 1)


# A single-line edit is "text" or "entry", depending on the Qt version.
SAME_ROLES = {pyatspi.ROLE_TEXT: (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)}


def visible_named(window, role):
    roles = SAME_ROLES.get(role, (role,))
    return [n.name for n in walk(window) if n.getRole() in roles and showing(n)]


def window_named(app, name):
    for window in app:
        if window is not None and window.name == name and showing(window):
            return window
    return None


EXPECTED = {
    "main": {
        "window": "Tavrolin presenter key setup",
        pyatspi.ROLE_PUSH_BUTTON: ["EXIT", "HELP", "OK"],
        pyatspi.ROLE_IMAGE: ["RV-80"],
    },
    "config-rv80": {
        "window": "RV-80 key settings",
        pyatspi.ROLE_PUSH_BUTTON: ["BACK", "LOAD", "OK", "RESET"],
        pyatspi.ROLE_TEXT: ["BLACK SCREEN", "DOWN", "END", "NEXT", "PREVIOUS", "START", "UP"],
    },
}


def main():
    expected = EXPECTED[sys.argv[1]]
    problems = ["no answer"]
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline:
        problems = []
        app = application()
        window = app and window_named(app, expected["window"])
        if not window:
            names = [w.name for w in app] if app else "no application"
            problems.append(f"no window named {expected['window']!r} (have {names})")
        else:
            for role, want in expected.items():
                if role == "window":
                    continue
                have = sorted(visible_named(window, role))
                if have != want:
                    problems.append(f"{role}: "
                                    f"{have} instead of {want}")
        if not problems:
            print(f"{sys.argv[1]}: names as shown")
            return 0
        time.sleep(0.3)
    print("\n".join(problems), file=sys.stderr)
    return 1


sys.exit(main())
