#!/usr/bin/python3
# Listens on the accessibility bus as a screen reader does and writes one line an event:
# "focus<TAB>role<TAB>name" for what takes the focus (a highlighted menu item among them),
# "menu<TAB>shown|hidden<TAB>name" for menus. The first line, "ready", says it listens.
import sys

import pyatspi

out = open(sys.argv[1], "a", buffering=1)


def heard(event):
    try:
        source = event.source
        role = source.getRoleName()
        name = source.name or ""
        if event.type.startswith("object:state-changed:focused"):
            if event.detail1:
                out.write("focus\t%s\t%s\n" % (role, name))
        elif event.type.startswith("focus"):
            out.write("focus\t%s\t%s\n" % (role, name))
        elif event.type.startswith("object:state-changed:showing") and role in ("menu", "popup menu"):
            out.write("menu\t%s\t%s\n" % ("shown" if event.detail1 else "hidden", name))
    except Exception as error:  # an object gone meanwhile
        out.write("error\t%s\n" % error)


pyatspi.Registry.registerEventListener(heard, "focus:", "object:state-changed:focused",
                                       "object:state-changed:showing")
out.write("ready\n")
pyatspi.Registry.start()
