#!/usr/bin/python3
# What a screen reader finds of serbox on the accessibility bus.
#   a11y.py names          the names of the main window's text components, one a line
#   a11y.py text NAME      the text of the component named NAME
# Exit status 1 while serbox or the component is not on the bus yet.
import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

TEXT_ROLES = {Atspi.Role.TEXT, Atspi.Role.PARAGRAPH, Atspi.Role.ENTRY, Atspi.Role.PASSWORD_TEXT}


def serbox():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == "serbox":
            return app
    return None


def main_window(app):
    for i in range(app.get_child_count()):
        w = app.get_child_at_index(i)
        if w is not None and w.get_role() == Atspi.Role.FRAME:
            return w
    return None


def text_components(node, found):
    if node is None:
        return found
    if node.get_role() in TEXT_ROLES:
        found.append(node)
    for i in range(node.get_child_count()):
        text_components(node.get_child_at_index(i), found)
    return found


def main():
    app = serbox()
    window = main_window(app) if app else None
    if window is None:
        return 1
    components = text_components(window, [])
    if sys.argv[1] == "names":
        if not components:
            return 1
        for c in components:
            print(c.get_name())
        return 0
    for c in components:
        if c.get_name() == sys.argv[2]:
            print(Atspi.Text.get_text(c, 0, -1))
            return 0
    return 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except gi.repository.GLib.Error:
        sys.exit(1)
