#!/usr/bin/python3
# The real program as a screen reader meets it (AT-SPI) in CTest's session bus and home: a control
# shown says what it is, or nothing; keys alone save and open, the focus back in the text each time.
import contextlib, os, shutil, subprocess, sys, time


def wait(what, find):
    for _ in range(100):
        if found := find() or time.sleep(0.1):
            return found
    sys.exit("accessibility: never found " + what)


shutil.rmtree(home := os.environ["HOME"], True), os.makedirs(home, 0o700), os.mkdir(home + "/bin")
open(home + "/bin/hklm.reg", "w").write("REGEDIT4\n")  # the copy below has no System Info to start
read, write = os.pipe()
up = [subprocess.Popen(["Xvfb", "-displayfd", f"{write}", "-nolisten", "tcp"], pass_fds=[write])]
try:
    os.environ["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
    subprocess.run(["dbus-update-activation-environment", "DISPLAY"], check=True)  # keys go here
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, GLib
    Atspi.set_timeout(1000, -1)  # an action that opens a modal box waits until the box closes
    up.append(subprocess.Popen(["openbox"], stderr=subprocess.DEVNULL))  # it gives the focus
    wait("a window manager", lambda: b"window id" in subprocess.run(
        ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], capture_output=True).stdout)
    program = shutil.copy(sys.argv[1], home + "/bin")  # "-platform none", read, would end it:
    up.append(subprocess.Popen([program, "-platform", "none"], cwd=home))
    def nodes(root, hidden=False):
        yield root
        for child in map(root.get_child_at_index, range(root.get_child_count())):
            if child and (hidden or child.get_state_set().contains(Atspi.StateType.SHOWING)):
                yield from nodes(child, hidden)

    def find(role, name, hidden=False, root=None):
        return wait(f"{role} {name!r}", lambda: next((n for n in nodes(root or app, hidden) if (
            n.get_role_name(), n.get_name()) == (role, name)), None))

    def check(role, name):  # in words, or nothing at all: a container, a rule, an empty label
        for n in nodes(find(role, name)):
            said, kind = n.get_name(), n.get_role_name()
            if kind in ("unknown", "invalid") or "__" in said or not (
                    said or n.get_child_count() or kind in ("filler", "separator", "label")):
                sys.exit(f"accessibility: in the {role} {name!r}, a {kind} says {said!r}")

    app = find("application", "Brindlehof", True, Atspi.get_desktop(0))  # on the bus at all

    def act(name, box=None, title=None, answer="", says=None, role="menu item"):  # keys answer
        with contextlib.suppress(GLib.Error):  # a modal box's action returns as it closes
            Atspi.Action.do_action(find(role, name, hidden=True), 0)
        if box:
            check(box, title), says and find("label", says), answer and typed(answer)
            Atspi.generate_keyboard_event(0xff0d, None, Atspi.KeySynthType.SYM)  # Return
        role == "menu item" and wait("the focus in the text", lambda: x.get_state_set().contains(
            Atspi.StateType.FOCUSED))

    typed = lambda text: Atspi.generate_keyboard_event(0, text, Atspi.KeySynthType.STRING)
    check("frame", "Kalvenmark"), (x := find("text", "Source text")), act("New"), typed("ld a,1")
    act("Save", "dialog", "Save As", "demo"), act("New"), act("Open", "dialog", "Open", "demo")
    wait("the text back", lambda: Atspi.Text.get_text(x, 0, -1) == "ld a,1\n")
    act("Print", "alert", "Brindlehof", says="Run-time error '482':\n\nPrinter error")
    Atspi.Action.do_action(find("menu item", "About"), 0), check("dialog", "About Brindlehof")
    act("System Info...", "alert", "Brindlehof", "", "System Information Is Unavailable At This "
        "Time", "push button")
    Atspi.Action.do_action(find("menu item", "File"), 0), check("popup menu", "")
finally:
    [process.kill() for process in reversed(up)]
