#!/usr/bin/python3
"""Drives the monitor through the accessibility interface (AT-SPI), as a screen reader would.

  atspi_driver.py add VALUE   presses New on the anti spam tab, types VALUE, presses Apply
  atspi_driver.py delete      marks every entry of the sender list, presses Delete, answers Yes
  atspi_driver.py shown       waits until the main window shows
  atspi_driver.py hidden      waits until the main window no longer shows

Exits 0 when every step was done, 1 with a message on stderr otherwise.
"""
import sys
import time

import pyatspi
from gi.repository import Atspi, GLib

LIMIT_S = 20


def fail(message):
    sys.stderr.write(message + "\n")
    sys.exit(1)


def poll(find, what):
    deadline = time.monotonic() + LIMIT_S
    while time.monotonic() < deadline:
        try:
            found = find()
        except Exception:  # objects come and go while windows open and close
            found = None
        if found is not None:
            return found
        time.sleep(0.1)
    fail("not found: " + what)


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def first(root, role, name=None):
    for node in descendants(root):
        if node.getRoleName() == role and (name is None or node.name == name):
            return node
    return None


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "quillmere":
            return app
    return None


def press(node):
    """Runs the node's press action. A press that opens a modal dialog is answered only once that
    dialog closes, so a missing answer is not a failure: the caller polls for the effect."""
    action = node.queryAction()
    index = 0
    for i in range(action.nActions):
        if action.getName(i).lower() in ("press", "click", "toggle"):
            index = i
            break
    Atspi.set_timeout(1000, 0)
    try:
        action.doAction(index)
    except GLib.GError:
        pass
    finally:
        Atspi.set_timeout(25000, 15000)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def window(app, title):
    """The shown top-level window of that title; the program keeps its dialogs when they close."""
    return next((w for w in app if w is not None and w.name == title and showing(w)), None)


def main_window(app):
    return poll(lambda: window(app, "Quillmere32"), "main window")


def sender_list(app):
    main = main_window(app)
    press(poll(lambda: first(main, "page tab", "anti spam"), "anti spam tab"))
    return main, poll(lambda: first(main, "list", "Anti-spam sender list"), "sender list")


def add(app, value):
    main, _ = sender_list(app)
    # The first New of the tab belongs to the sender list.
    press(poll(lambda: first(main, "push button", "New"), "New button"))
    dialog = poll(lambda: window(app, "address or its part"), "value dialog")
    field = poll(lambda: first(dialog, "text"), "value field")
    field.queryEditableText().setTextContents(value)
    press(poll(lambda: first(dialog, "push button", "Apply"), "Apply button"))
    poll(lambda: None if window(app, "address or its part") else True, "value dialog closed")


def delete(app):
    main, entries = sender_list(app)
    press(poll(lambda: first(main, "push button", "Select all"), "Select all button"))
    press(poll(lambda: first(main, "push button", "Delete"), "Delete button"))
    box = poll(lambda: next((w for w in app if w is not None and showing(w) and first(w, "label", "Are you sure?")),
                            None), "confirmation")
    press(poll(lambda: first(box, "push button", "Yes"), "Yes button"))
    poll(lambda: True if first(entries, "list item") is None else None, "empty sender list")


def run():
    commands = ("add", "delete", "shown", "hidden")
    if len(sys.argv) < 2 or sys.argv[1] not in commands or len(sys.argv) != (3 if sys.argv[1] == "add" else 2):
        fail("usage: atspi_driver.py add VALUE | delete | shown | hidden")
    app = poll(application, "the monitor on the accessibility bus")
    if sys.argv[1] == "add":
        add(app, sys.argv[2])
    elif sys.argv[1] == "delete":
        delete(app)
    elif sys.argv[1] == "shown":
        main_window(app)
    else:
        poll(lambda: None if window(app, "Quillmere32") else True, "main window hidden")


run()
