#!/usr/bin/env python3
"""The real window as assistive tools see it, over AT-SPI.

Run under a private D-Bus session and a virtual display:
    xvfb-run -a dbus-run-session -- python3 atspi_window.py UPLARK

Starts `uplark FILE` on first start with an account stored, reads the window
through AT-SPI (pyatspi) as a screen reader does, uses it by AT-SPI actions
alone, and starts uplark a second time with another file, which the open
window takes. Checks that the intro text, the file field ("Video file",
read-only), the progress bar and the result address field have names of
their own, and that nothing a screen reader meets is off the window or a
decoration. Exits 0 when every check holds, 1 when one fails, 77 (skipped)
when AT-SPI cannot run here.
"""
import os
import subprocess
import sys
import tempfile
import time

try:
    import pyatspi
except ImportError:
    print("SKIP: pyatspi is missing (Debian package python3-pyatspi)")
    sys.exit(77)

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def wait_for(find, what, timeout=20.0):
    """Polls `find` until it returns something; a failure after `timeout`."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            found = find()
        except Exception:  # an object that went away while it was read
            found = None
        if found:
            return found
        time.sleep(0.1)
    failures.append("timed out waiting for " + what)
    print("FAIL: timed out waiting for", what)
    return None


def nodes(root):
    """Every node under root, root first; not the list of a drop-down,
    which is a pop-up of its own."""
    out = [root]
    if root.getRole() == pyatspi.ROLE_COMBO_BOX:
        return out
    for i in range(root.childCount):
        child = root.getChildAtIndex(i)
        if child is not None:
            out.extend(nodes(child))
    return out


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def app(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.get_process_id() == pid:
            return a
    return None


def windows(application):
    return [application.getChildAtIndex(i) for i in range(application.childCount)]


def find(application, role, name=None, shown=True):
    for window in windows(application):
        for node in nodes(window):
            if node.getRole() == role and (name is None or node.name == name) \
                    and (not shown or showing(node)):
                return node
    return None


def press(node):
    actions = node.queryAction()
    for i in range(actions.nActions):
        if actions.getName(i) in ("Press", "press", "click", "SetFocus") and \
                actions.getName(i) != "SetFocus":
            actions.doAction(i)
            return
    actions.doAction(0)


def extents(node):
    return node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def check_screen_reader_view(application, where):
    """What a screen reader meets in every open window: nothing off the
    window, no decoration, no control left without a name."""
    for window in windows(application):
        if not showing(window):
            continue
        w = extents(window)
        for node in nodes(window)[1:]:
            if not showing(node):
                continue
            e = extents(node)
            inside = e.width > 0 and e.height > 0 and e.x < w.x + w.width and \
                e.y < w.y + w.height and e.x + e.width > w.x and e.y + e.height > w.y
            check(inside, "%s: %s %r lies off its window" % (where, node.getRoleName(), node.name))
            check(node.name != "Text", "%s: the decoration 'Text' is exposed" % where)
            if node.getRole() in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TEXT,
                                  pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_CHECK_BOX,
                                  pyatspi.ROLE_LINK, pyatspi.ROLE_COMBO_BOX):
                check(bool(node.name), "%s: a %s has no name" % (where, node.getRoleName()))


def text_of(node):
    t = node.queryText()
    return t.getText(0, t.characterCount)


def main():
    program = sys.argv[1]
    scratch = tempfile.mkdtemp(prefix="uplark-atspi-")
    config = os.path.join(scratch, "config")
    runtime = os.path.join(scratch, "runtime")
    os.makedirs(os.path.join(config, "uplark"))
    os.makedirs(runtime, mode=0o700)
    # First start (the intro shows) with an account stored.
    with open(os.path.join(config, "uplark", "uplark.conf"), "w") as f:
        f.write("[uplark]\nun=someone\npw=secret\n")
    first = os.path.join(scratch, "first clip.mp4")
    second = os.path.join(scratch, "second.webm")
    for path in (first, second):
        with open(path, "wb") as f:
            f.write(b"\0" * 5000)

    # The desktop's keyring, unlocked as a login leaves it: otherwise the bus
    # starts one that asks, on the display, for a password nobody types.
    keyring = subprocess.Popen(
        ["gnome-keyring-daemon", "--unlock", "--components=secrets", "--foreground"],
        stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
        env=dict(os.environ, XDG_RUNTIME_DIR=runtime,
                 XDG_DATA_HOME=os.path.join(scratch, "data")))
    keyring.stdin.write(b"unlock-pw")
    keyring.stdin.close()
    wait_for(lambda: subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
         "string:org.freedesktop.secrets"],
        capture_output=True, text=True).stdout.strip().endswith("true"),
        "the keyring on the session bus", 20)

    env = dict(os.environ, XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime,
               QT_QPA_PLATFORM="xcb", QT_MEDIA_BACKEND="ffmpeg",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    window = subprocess.Popen([program, first], env=env)
    try:
        application = wait_for(lambda: app(window.pid), "Uplark on the AT-SPI bus", 60)
        if application is None:
            print("SKIP: the window never appeared on the AT-SPI bus")
            return 77
        intro = wait_for(lambda: find(application, pyatspi.ROLE_TEXT, "Introduction"),
                         "the intro text named 'Introduction'")
        if intro:
            check("upload your video files" in text_of(intro), "the intro text's content")
        check_screen_reader_view(application, "intro")

        # Only by AT-SPI actions: leave the intro; the file given on the
        # command line is then taken.
        understood = wait_for(lambda: find(application, pyatspi.ROLE_PUSH_BUTTON,
                                           "Understood sir!"), "'Understood sir!'")
        if understood:
            press(understood)
        field = wait_for(lambda: find(application, pyatspi.ROLE_TEXT, "Video file"),
                         "the file field named 'Video file'")
        if field:
            check(text_of(field).startswith("first clip.mp4 ("), "the file field shows the file")
            check(field.getState().contains(pyatspi.STATE_READ_ONLY),
                  "the file field is read-only")
        for role, name in ((pyatspi.ROLE_PROGRESS_BAR, "Upload progress"),
                           (pyatspi.ROLE_TEXT, "Your video URL")):
            check(find(application, role, name, shown=False) is not None,
                  "a %s named %r" % (pyatspi.Atspi.Role(role).value_nick, name))
        check(find(application, pyatspi.ROLE_PUSH_BUTTON, "Upload Video", shown=False) is None
              and find(application, pyatspi.ROLE_TEXT, "Upload Video", shown=False) is None,
              "a control still named after its group, 'Upload Video'")
        check_screen_reader_view(application, "file chosen")

        # The video information dialog holds a decoration and a button
        # never on screen; neither may be met.
        upload = find(application, pyatspi.ROLE_PUSH_BUTTON, "UPLOAD!")
        if upload:
            press(upload)
            if wait_for(lambda: find(application, pyatspi.ROLE_PUSH_BUTTON, "OK"),
                        "the video information dialog"):
                check_screen_reader_view(application, "video information")
                for w in windows(application):
                    cancels = [n for n in nodes(w) if n.name == "Cancel"
                               and n.getRole() == pyatspi.ROLE_PUSH_BUTTON]
                    check(len(cancels) <= 1, "the dialog exposes its hidden Esc button")
                press(find(application, pyatspi.ROLE_PUSH_BUTTON, "Cancel"))
                wait_for(lambda: find(application, pyatspi.ROLE_PUSH_BUTTON, "OK") is None,
                         "the dialog to close")

        # A second start hands its file to the open window and ends.
        again = subprocess.run([program, second], env=env, timeout=30,
                               capture_output=True, text=True)
        check(again.returncode == 0, "the second start ended with %d: %s"
              % (again.returncode, again.stderr.strip()))
        wait_for(lambda: field and text_of(field).startswith("second.webm ("),
                 "the open window to take the second start's file")
        check(window.poll() is None, "the window is still open")

        # The account dialog holds a button off its client area.
        clear = find(application, pyatspi.ROLE_PUSH_BUTTON, "Clear")
        if clear:
            press(clear)
            account = wait_for(lambda: find(application, pyatspi.ROLE_PUSH_BUTTON, "My account"),
                               "the account button")
            if account:
                press(account)
                if wait_for(lambda: find(application, pyatspi.ROLE_PUSH_BUTTON, "Save"),
                            "the account dialog"):
                    check_screen_reader_view(application, "account dialog")
                    press(find(application, pyatspi.ROLE_PUSH_BUTTON, "Cancel"))
        # The password the file held has moved into the keyring.
        with open(os.path.join(config, "uplark", "uplark.conf")) as f:
            settings = f.read()
        check("pw=secret" not in settings and "keyring=" in settings,
              "the password moved from the settings file into the keyring")
    finally:
        for process in (window, keyring):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
