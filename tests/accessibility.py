#!/usr/bin/python3
# The program as a screen reader meets it through AT-SPI, on an X server, window manager and
# session bus of its own: every control shown says what it is, and keys alone save and open.
import os, shutil, subprocess, sys, tempfile, time


def fail(why):
    sys.exit("accessibility: " + why)


def wait(what, find):
    for _ in range(100):
        if found := find():
            return found
        time.sleep(0.1)
    fail("never found: " + what)


if sys.argv[2:] != ["inside"]:
    # A copy of the program beside an empty hive, so System Info has nothing to start; no printer.
    home = tempfile.mkdtemp()
    os.mkdir(home + "/bin"), os.mkdir(home + "/work")
    shutil.copy(sys.argv[1], home + "/bin")
    open(home + "/bin/hklm.reg", "w").write("REGEDIT4\n")
    env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home, XDG_CACHE_HOME=home + "/cache",
               QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", CUPS_SERVER=home + "/no")
    read, write = os.pipe()
    servers = [subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp"],
                                pass_fds=[write], stderr=subprocess.DEVNULL)]
    try:
        os.close(write)
        env["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
        servers.append(subprocess.Popen(["openbox"], env=env, stderr=subprocess.DEVNULL))
        wait("a window manager", lambda: b"window id" in subprocess.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env, capture_output=True).stdout)
        sys.exit(subprocess.run(["dbus-run-session", "--", "/usr/bin/python3", __file__, home +
                                 "/bin/" + os.path.basename(sys.argv[1]), "inside"],
                                env=env, cwd=home + "/work").returncode)
    except OSError as e:
        fail(f"cannot start {e.filename}: {e.strerror}")
    finally:
        [server.kill() for server in servers], shutil.rmtree(home)

try:
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, GLib
except (ImportError, ValueError) as e:
    fail(f"no AT-SPI bindings for /usr/bin/python3 (gir1.2-atspi-2.0, python3-gi): {e}")
Atspi.set_timeout(1000, -1)  # an action that opens a modal box waits for it to close
program = subprocess.Popen([sys.argv[1]])
SHOWING, FOCUSED, STRING = Atspi.StateType.SHOWING, Atspi.StateType.FOCUSED, Atspi.KeySynthType.STRING


def nodes(root, hidden=False):
    yield root
    for child in map(root.get_child_at_index, range(root.get_child_count())):
        if child and (hidden or child.get_state_set().contains(SHOWING)):
            yield from nodes(child, hidden)


def find(role, name, hidden=False):
    return wait(f"{role} {name!r}", lambda: next((n for n in nodes(app, hidden) if (
        n.get_role_name(), n.get_name()) == (role, name)), None))


def check(role, name):  # says what it is in words, or nothing: a container, a rule, an empty label
    for n in nodes(find(role, name)):
        said, kind = n.get_name(), n.get_role_name()
        if kind in ("unknown", "invalid") or "__" in said or not (
                said or n.get_child_count() or kind in ("filler", "separator", "label")):
            fail(f"in the {role} {name!r}, a {kind} says {said!r}")


def key(sym):
    Atspi.generate_keyboard_event(sym, None, Atspi.KeySynthType.SYM)


def press(item, role="menu item"):
    try:
        Atspi.Action.do_action(find(role, item, hidden=True), 0)
    except GLib.Error:
        pass


def focus():
    wait("the focus in the text", lambda: x.get_state_set().contains(FOCUSED))


def answer(box, title, text="", back=True):
    check(box, title)
    text and Atspi.generate_keyboard_event(0, text, STRING)
    key(0xff0d)  # Return
    back and focus()


try:
    desktop = Atspi.get_desktop(0)
    app = wait("the program on the accessibility bus", lambda: next((a for a in map(
        desktop.get_child_at_index, range(desktop.get_child_count())) if a.get_name() == "Brindlehof"), None))
    check("frame", "Kalvenmark")
    x = find("text", "Source text")
    press("New"), focus(), Atspi.generate_keyboard_event(0, "ld a,1 ; demo", STRING)
    press("Save"), answer("dialog", "Save As", "demo")
    press("New"), press("Open"), answer("dialog", "Open", "demo")
    if Atspi.Text.get_text(x, 0, -1) != "ld a,1 ; demo\n":
        fail(f"Open gave back {Atspi.Text.get_text(x, 0, -1)!r}")
    press("Print"), answer("alert", "Brindlehof")
    press("About"), check("dialog", "About Brindlehof")
    press("System Info...", "push button"), answer("alert", "Brindlehof", back=False)
    press("File"), check("popup menu", "")
finally:
    program.kill()
