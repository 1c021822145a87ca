# What both accessibility probes share: the search of the accessibility
# tree, and the running program's application node.
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
    # A sanitised build starting beside other tests may take a good while
    # to show on the bus; the test itself gives the probe a minute.
    desktop = pyatspi.Registry.getDesktop(0)
    deadline = time.monotonic() + 45
    while time.monotonic() < deadline:
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == "Parlino":
                return app
        time.sleep(0.1)
    return None
