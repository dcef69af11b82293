#!/usr/bin/env python3
"""What a screen reader finds of the program PID, over the accessibility bus (AT-SPI).
  atspi_probe.py PID tree   each object of its windows: role "name" [focusable] [labelled "l"]
                            [value=V range=MIN..MAX]
  atspi_probe.py PID focus  the active window > the object with the keyboard focus
Exits 1 while the program is not on the bus or has no active window."""
import sys

import pyatspi


def describe(o):
    # The role by its number: newer AT-SPI libraries call ROLE_PUSH_BUTTON "button".
    role = "push button" if o.getRole() == pyatspi.ROLE_PUSH_BUTTON else o.getRoleName()
    line = '%s "%s"' % (role, o.name)
    line += " focusable" if o.getState().contains(pyatspi.STATE_FOCUSABLE) else ""
    labels = [r.getTarget(0) for r in o.getRelationSet()
              if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
    if labels and labels[0].getRole() == pyatspi.ROLE_LABEL:  # its own label, not its group's
        line += ' labelled "%s"' % labels[0].name
    if "Value" in pyatspi.listInterfaces(o):
        v = o.queryValue()
        line += " value=%g range=%g..%g" % (v.currentValue, v.minimumValue, v.maximumValue)
    return line


def walk(o, parent_focused=False):
    yield o, parent_focused
    for c in o:
        if c is not None and c.getState().contains(pyatspi.STATE_VISIBLE):
            yield from walk(c, o.getState().contains(pyatspi.STATE_FOCUSED))


pid, command = int(sys.argv[1]), sys.argv[2]
apps = [a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.get_process_id() == pid]
windows = [w for a in apps for w in a if w is not None and w.getState().contains(pyatspi.STATE_SHOWING)]
if command == "tree":
    print("\n".join(describe(o) for w in windows for o, _ in walk(w)))
    sys.exit(0 if windows else 1)
for w in (w for w in windows if w.getState().contains(pyatspi.STATE_ACTIVE)):
    # A list's current item says it is focused also while the focus is elsewhere.
    focused = [o for o, in_focused in walk(w) if o.getState().contains(pyatspi.STATE_FOCUSED)
               and (o.getRole() != pyatspi.ROLE_LIST_ITEM or in_focused)]
    print(describe(w) + "".join(" > " + describe(o) for o in focused[:1]))
    sys.exit(0)
sys.exit(1)
