#!/usr/bin/env python3
"""What a screen reader finds of a running program, read over the accessibility bus (AT-SPI).

    atspi_probe.py PID tree     every object of its windows, one a line, indented by depth:
                                role "name" [focusable] [labelled "label"]
                                [value=V range=MIN..MAX]
    atspi_probe.py PID focus    the active window and the object that has the keyboard focus:
                                role "name" > role "name"

Exits 1 while the program is not (yet) on the bus or has no active window.
"""
import sys

import pyatspi


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:  # an application that left the bus while we looked
            continue
    return None


def describe(obj):
    line = '%s "%s"' % (obj.getRoleName(), obj.name)
    states = obj.getState()
    if states.contains(pyatspi.STATE_FOCUSABLE):
        line += " focusable"
    # The label a reader says before a drop-down's value (the first is the control's own label;
    # its group box follows).
    labels = [r.getTarget(0) for r in obj.getRelationSet()
              if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
    if labels and labels[0].getRole() == pyatspi.ROLE_LABEL:
        line += ' labelled "%s"' % labels[0].name
    value = obj.queryValue() if "Value" in pyatspi.listInterfaces(obj) else None
    if value is not None:
        line += " value=%g range=%g..%g" % (
            value.currentValue, value.minimumValue, value.maximumValue)
    return line


def visible_children(obj):
    return [c for c in obj if c is not None and c.getState().contains(pyatspi.STATE_VISIBLE)]


def tree(obj, depth):
    print("  " * depth + describe(obj))
    for child in visible_children(obj):
        tree(child, depth + 1)


def focused(obj, parent_focused=False):
    # A list's current item says it is focused also while the focus is elsewhere.
    if obj.getState().contains(pyatspi.STATE_FOCUSED) and (
            obj.getRole() != pyatspi.ROLE_LIST_ITEM or parent_focused):
        return obj
    for child in visible_children(obj):
        found = focused(child, obj.getState().contains(pyatspi.STATE_FOCUSED))
        if found is not None:
            return found
    return None


def main():
    pid, command = int(sys.argv[1]), sys.argv[2]
    app = application(pid)
    if app is None:
        return 1
    windows = [w for w in app if w is not None and w.getState().contains(pyatspi.STATE_SHOWING)]
    if command == "tree":
        for window in windows:
            tree(window, 0)
        return 0 if windows else 1
    active = [w for w in windows if w.getState().contains(pyatspi.STATE_ACTIVE)]
    if not active:
        return 1
    inside = focused(active[0])
    print(describe(active[0]) + (" > " + describe(inside) if inside is not None else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
