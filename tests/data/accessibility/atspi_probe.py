# Reads the running program through the accessibility bus, as a screen
# reader does: the "Speed" slider's value and range, then presses the player
# hint's "?" button and reads the information box's message. Prints one
# line per finding; the test compares them.
import sys
import time

import pyatspi

pyatspi.setTimeout(2000, 15000)


def find(node, pred, depth=0):
    if node is None or depth > 40:
        return None
    try:
        if pred(node):
            return node
        for i in range(node.childCount):
            found = find(node.getChildAtIndex(i), pred, depth + 1)
            if found is not None:
                return found
    except Exception:
        pass
    return None


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for _ in range(150):
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == "Parlino":
                return app
        time.sleep(0.1)
    return None


app = application()
if app is None:
    print("no application")
    sys.exit(1)
speed = find(app, lambda n: n.getRoleName() == "slider" and n.name == "Speed")
if speed is not None:
    value = speed.queryValue()
    print("slider %s %g %g %g" % (speed.name, value.currentValue, value.minimumValue, value.maximumValue))
hint = find(app, lambda n: n.name == "About the video player")
if hint is not None:
    action = hint.queryAction()
    try:
        action.doAction(0)  # the box is modal: no reply comes while it is open
    except Exception:
        pass
    for _ in range(50):
        label = find(application(), lambda n: n.getRoleName() == "label" and "Play the film" in (n.name or ""))
        if label is not None:
            print("message " + label.name.replace("\n", "|"))
            break
        time.sleep(0.1)
