# Reads the running program through the accessibility bus, as a screen
# reader does: the "Speed" slider's value and range, then presses the player
# hint's "?" button and reads the information box's message. Prints one
# line per finding; the test compares them.
import sys
import time

import pyatspi

from atspi_common import application, find


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
