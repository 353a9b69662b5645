#!/usr/bin/python3
# The real program as a screen reader meets it through AT-SPI, in the session bus and home CTest
# gives it, on an X server of its own: every control shown says what it is in words, and keys
# alone save a source and open it again, the focus back in the text after each prompt.
import os, shutil, subprocess, sys, time


def fail(why):
    sys.exit("accessibility: " + why)


def wait(what, find):
    for _ in range(100):
        if found := find():
            return found
        time.sleep(0.1)
    fail("never found: " + what)


# A copy of the program beside an empty hive, so System Info has nothing to start.
home = os.environ["HOME"]
shutil.rmtree(home, ignore_errors=True), os.makedirs(home + "/bin", 0o700), os.chmod(home, 0o700)
open(home + "/bin/hklm.reg", "w").write("REGEDIT4\n")
read, write = os.pipe()
started = [subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp"], pass_fds=[write])]
try:
    os.environ["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
    # The accessibility bus, started on demand, types the keys on this display.
    subprocess.run(["dbus-update-activation-environment", "DISPLAY"], check=True)
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi, GLib
    except (ImportError, ValueError) as e:
        fail(f"no AT-SPI bindings for /usr/bin/python3 (gir1.2-atspi-2.0, python3-gi): {e}")
    Atspi.set_timeout(1000, -1)  # an action that opens a modal box waits until the box closes
    started.append(subprocess.Popen(["openbox"], stderr=subprocess.DEVNULL))  # it gives the focus
    wait("a window manager", lambda: b"window id" in subprocess.run(
        ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], capture_output=True).stdout)
    # Taken as Qt's options, these words would end the program at once.
    started.append(subprocess.Popen([shutil.copy(sys.argv[1], home + "/bin"), "-platform", "none"],
                                    cwd=home))
    desktop = Atspi.get_desktop(0)
    app = wait("the program on the accessibility bus", lambda: next((a for a in map(
        desktop.get_child_at_index, range(desktop.get_child_count())) if a.get_name() == "Brindlehof"), None))

    def nodes(root, hidden=False):
        yield root
        for child in map(root.get_child_at_index, range(root.get_child_count())):
            if child and (hidden or child.get_state_set().contains(Atspi.StateType.SHOWING)):
                yield from nodes(child, hidden)

    def find(role, name, hidden=False):
        return wait(f"{role} {name!r}", lambda: next((n for n in nodes(app, hidden) if (
            n.get_role_name(), n.get_name()) == (role, name)), None))

    def check(role, name):  # in words, or nothing at all: a container, a rule, an empty label
        for n in nodes(find(role, name)):
            said, kind = n.get_name(), n.get_role_name()
            if kind in ("unknown", "invalid") or "__" in said or not (
                    said or n.get_child_count() or kind in ("filler", "separator", "label")):
                fail(f"in the {role} {name!r}, a {kind} says {said!r}")

    def act(role, name):  # an action that opens a modal box returns only as the box closes
        try:
            Atspi.Action.do_action(find(role, name, hidden=True), 0)
        except GLib.Error:
            pass

    def command(name, box=None, title=None, answer=""):  # a menu item; keys answer its box
        act("menu item", name)
        if box:
            check(box, title), typed(answer), key(0xff0d)  # Return
        wait("the focus in the text", lambda: x.get_state_set().contains(Atspi.StateType.FOCUSED))

    key = lambda sym: Atspi.generate_keyboard_event(sym, None, Atspi.KeySynthType.SYM)
    typed = lambda text: text and Atspi.generate_keyboard_event(0, text, Atspi.KeySynthType.STRING)
    check("frame", "Kalvenmark")
    x = find("text", "Source text")
    command("New"), typed("ld a,1 ; demo")
    command("Save", "dialog", "Save As", "demo"), command("New")
    command("Open", "dialog", "Open", "demo")
    if (text := Atspi.Text.get_text(x, 0, -1)) != "ld a,1 ; demo\n":
        fail(f"Open gave back {text!r}")
    command("Print", "alert", "Brindlehof")  # no printer
    act("menu item", "About"), check("dialog", "About Brindlehof")
    find("label", "Kalvenmark (c) the developers")  # the banner, its rules left out
    act("push button", "System Info..."), check("alert", "Brindlehof"), key(0xff0d)
    act("menu item", "File"), check("popup menu", "")
finally:
    [process.kill() for process in reversed(started)]
