# Reads the voice list of the running program through the accessibility bus,
# as a screen reader does: presses "Choose voice", finds the list's window
# among the application's windows, reads its table (rows, the selected row,
# cells), and picks the next voice with the keyboard (Down, Enter). Prints
# one line per finding, with screen positions; the test compares them.
import sys
import time

import pyatspi

from atspi_common import application, find


def extents(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return "%d %d %d %d" % (e.x, e.y, e.width, e.height)


def voices_window(app):
    # The list's window: one of the application's own windows, not found
    # anywhere deeper.
    for i in range(app.childCount):
        child = app.getChildAtIndex(i)
        if child is not None and child.name == "Voices":
            return child
    return None


def key(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    time.sleep(0.3)


app = application()
if app is None:
    print("no application")
    sys.exit(1)
# The voice box: the read-only edit, shown instead of the drop-down list.
edit = None
for _ in range(50):
    edit = find(app, lambda n: n.getRoleName() == "text" and n.name == "Voice")
    if edit is not None and edit.getState().contains(pyatspi.STATE_SHOWING):
        break
    time.sleep(0.1)
if edit is None:
    print("no voice box")
    sys.exit(1)
print("voicebox " + extents(edit))
before = edit.queryText().getText(0, -1)
print("voice before |%s|" % before)
button = find(app, lambda n: n.name == "Choose voice")
if button is None:
    print("no button")
    sys.exit(1)
try:
    button.queryAction().doAction(0)  # the list is modal: no reply comes while it is open
except Exception:
    pass
window = None
for _ in range(50):
    window = voices_window(application())
    if window is not None:
        break
    time.sleep(0.1)
if window is None:
    print("no voices window")
    sys.exit(0)
print("window %s %s" % (window.getRoleName(), extents(window)))
table = find(window, lambda n: n.getRoleName() == "table")
if table is None:
    print("no table")
    sys.exit(0)
t = table.queryTable()
print("table %s rows %d columns %d" % (table.name, t.nRows, t.nColumns))
for row in range(t.nRows):
    if t.isRowSelected(row):
        print("selected %d |%s|" % (row, t.getAccessibleAt(row, 1).name))
for row in (0, 1):
    print("row %d |%s|%s|" % (row, t.getAccessibleAt(row, 0).name, t.getAccessibleAt(row, 1).name))
# Down, then Enter: the next voice is chosen and the list closes.
key(0xFF54)
key(0xFF0D)
for _ in range(50):
    if voices_window(application()) is None:
        break
    time.sleep(0.1)
print("closed %s" % ("yes" if voices_window(application()) is None else "no"))
time.sleep(1.0)
print("voice after |%s|" % edit.queryText().getText(0, -1))
