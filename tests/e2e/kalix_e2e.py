"""Drives the real kalix program as a user of a screen reader would.

A session starts its own X server (Xvfb), its own D-Bus session bus and the
accessibility bus on it, then the kalix program from a scratch folder, and
talks to the program only through AT-SPI: widgets are found by role and
accessible name, buttons and menu items are pressed through their Action
interface, text is typed through the EditableText interface and labels,
edits and table cells are read through the Text and Table interfaces.

Every wait polls with a deadline; nothing sleeps a fixed time to let the
program catch up. Every process the session starts is ended when the session
closes, whatever happened before.
"""

import contextlib
import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# CTest treats this exit status as "skipped".
SKIP = 77

SCREEN = (1280, 1024)


class ScenarioFailed(AssertionError):
    """A check of a scenario failed; the message says what was expected."""


class ScenarioSkipped(Exception):
    """A scenario cannot run against this build (a window it needs is missing)."""


def fail(message):
    raise ScenarioFailed(message)


def check(condition, message):
    if not condition:
        fail(message)


def check_equal(actual, expected, what):
    if actual != expected:
        fail(f"{what}: expected {expected!r}, got {actual!r}")


def _die_with_parent():
    # The processes of a session end with the harness even if it is killed
    # outright (a CTest timeout), so no X server or bus outlives a test run.
    try:
        libc = ctypes.CDLL("libc.so.6", use_errno=True)
        libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except OSError:
        pass


# Called before each attempt of a poll: forgets what the accessibility
# library cached of the program, since not every change is announced.
_before_attempt = None


def poll(what, probe, timeout=10.0, interval=0.05):
    """Calls probe() until it returns something truthy; fails after timeout."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            if _before_attempt is not None:
                _before_attempt()
            result = probe()
            if result:
                return result
        except ScenarioFailed:
            raise
        except Exception as e:  # a widget going away while it is read
            last_error = e
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            fail(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


class Session:
    """One X server, one session bus, the accessibility bus and kalix."""

    def __init__(self, kalix, source_dir, artifacts, name):
        self.kalix = os.path.abspath(kalix)
        self.source_dir = os.path.abspath(source_dir)
        self.artifacts = os.path.abspath(artifacts)
        self.name = name
        self.processes = []  # (label, Popen), started in this order
        self.scratch = None
        self.display = None
        self.app_process = None
        self.app_log = None
        self.pyatspi = None
        self.Atspi = None
        self.began = time.monotonic()
        self.watchdog = None

    # -- processes ---------------------------------------------------------

    def _start(self, label, argv, **kwargs):
        process = subprocess.Popen(argv, preexec_fn=_die_with_parent, start_new_session=True, **kwargs)
        self.processes.append((label, process))
        self._tell_watchdog(f"group {process.pid}")
        return process

    # If this process is killed outright (a CTest timeout), the watchdog sees
    # its pipe close and ends every process group the session started (a
    # group holds what its process started, such as the accessibility bus
    # launcher's own bus daemon) and removes the scratch folder.
    _WATCHDOG = r"""
import os, shutil, signal, sys
groups, folders = [], []
for line in sys.stdin:
    kind, _, value = line.rstrip("\n").partition(" ")
    if kind == "group": groups.append(int(value))
    elif kind == "folder": folders.append(value)
    elif kind == "done": sys.exit(0)
for g in reversed(groups):
    try: os.killpg(g, signal.SIGKILL)
    except OSError: pass
for f in folders: shutil.rmtree(f, ignore_errors=True)
"""

    def _start_watchdog(self):
        self.watchdog = subprocess.Popen([sys.executable, "-c", self._WATCHDOG], stdin=subprocess.PIPE,
                                         start_new_session=True, text=True)

    def _tell_watchdog(self, line):
        if self.watchdog is not None and self.watchdog.poll() is None:
            self.watchdog.stdin.write(line + "\n")
            self.watchdog.stdin.flush()

    def _read_line_from_fd(self, fd, what, timeout=20.0):
        deadline = time.monotonic() + timeout
        data = b""
        os.set_blocking(fd, False)
        while b"\n" not in data:
            try:
                chunk = os.read(fd, 4096)
                if chunk == b"":
                    break
                data += chunk
            except BlockingIOError:
                pass
            if time.monotonic() >= deadline:
                break
            for label, process in self.processes:
                if process.poll() is not None:
                    fail(f"{label} ended with status {process.returncode} before giving {what}")
            time.sleep(0.02)
        os.close(fd)
        line = data.split(b"\n")[0].decode().strip()
        check(line, f"no {what} within {timeout:.0f} s")
        return line

    def step(self, what):
        """Prints the step being run, with the time since the session began."""
        print(f"[{time.monotonic() - self.began:6.1f} s] {what}", flush=True)

    def start(self):
        self.step("starting Xvfb, D-Bus and the accessibility bus")
        os.makedirs(self.artifacts, exist_ok=True)
        self._start_watchdog()
        self.scratch = tempfile.mkdtemp(prefix=f"kalix-e2e-{self.name}-")
        if os.environ.get("KALIX_E2E_KEEP") != "1":
            self._tell_watchdog(f"folder {self.scratch}")
        env = dict(os.environ)
        for key in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS",
                    "XAUTHORITY", "QT_QPA_PLATFORM"):
            env.pop(key, None)
        env["XDG_RUNTIME_DIR"] = os.path.join(self.scratch, "runtime")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        env["HOME"] = os.path.join(self.scratch, "home")
        os.makedirs(env["HOME"])
        env["NO_AT_BRIDGE"] = "0"
        env["GTK_A11Y"] = ""

        # X server on the first free display.
        read_fd, write_fd = os.pipe()
        self._start("Xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                             f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp", "-noreset"],
                    pass_fds=(write_fd,), env=env, stdout=subprocess.DEVNULL,
                    stderr=open(os.path.join(self.artifacts, "xvfb.log"), "wb"))
        os.close(write_fd)
        self.display = ":" + self._read_line_from_fd(read_fd, "the X display number")
        env["DISPLAY"] = self.display

        # Private session bus.
        read_fd, write_fd = os.pipe()
        self._start("dbus-daemon", ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                    f"--print-address={write_fd}"],
                    pass_fds=(write_fd,), env=env, stdout=subprocess.DEVNULL,
                    stderr=open(os.path.join(self.artifacts, "dbus.log"), "wb"))
        os.close(write_fd)
        env["DBUS_SESSION_BUS_ADDRESS"] = self._read_line_from_fd(read_fd, "the session bus address")

        # Accessibility bus, registered on the session bus.
        launcher = shutil.which("at-spi-bus-launcher") or "/usr/libexec/at-spi-bus-launcher"
        check(os.access(launcher, os.X_OK), f"{launcher} not found (Debian package at-spi2-core)")
        self._start("at-spi-bus-launcher", [launcher, "--launch-immediately"], env=env,
                    stdout=subprocess.DEVNULL,
                    stderr=open(os.path.join(self.artifacts, "at-spi.log"), "wb"))
        self.env = env

        # From here on this process talks to the private buses.
        os.environ.update({k: env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                                               "XDG_RUNTIME_DIR")})
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        poll("the accessibility bus on the session bus", self._a11y_bus_ready, timeout=20)
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi
        import pyatspi
        self.Atspi = Atspi
        self.pyatspi = pyatspi
        Atspi.set_timeout(5000, 5000)

    def _a11y_bus_ready(self):
        out = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                              "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                             capture_output=True, timeout=5)
        return out.returncode == 0 and b"unix:" in out.stdout

    def prepare_folder(self, files, ini=None):
        """Copies files (paths relative to the source folder) into the scratch
        folder, and the program itself, so that its kalix.ini is the scratch
        folder's and never the build folder's."""
        for rel in files:
            shutil.copy(os.path.join(self.source_dir, rel), self.scratch)
        self.program = os.path.join(self.scratch, os.path.basename(self.kalix))
        shutil.copy(self.kalix, self.program)
        if ini is None:
            ini = ("[Window]\r\nState=0\r\nTop=0\r\nLeft=0\r\nWidth=1200\r\nHeight=900\r\n"
                   "GridSplitter=330\r\nFootnoteSplitter=120\r\nPictureSplitter=400\r\n")
        with open(os.path.join(self.scratch, "kalix.ini"), "w", newline="") as f:
            f.write(ini)
        return self.scratch

    def launch(self, *args):
        self.step(f"starting kalix {' '.join(args)}")
        env = dict(self.env)
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env["QT_ACCESSIBILITY"] = "1"
        env["QT_QPA_PLATFORM"] = "xcb"
        env.setdefault("ASAN_OPTIONS", "detect_leaks=0")
        self.app_log = os.path.join(self.artifacts, "kalix.log")
        self.app_process = self._start("kalix", [self.program, *args], cwd=self.scratch, env=env,
                                       stdout=subprocess.DEVNULL, stderr=open(self.app_log, "wb"))
        self.app = poll('the application "kalix" on the accessibility bus', self._find_app, timeout=60)
        global _before_attempt
        _before_attempt = self.forget_cache
        return self.app

    def forget_cache(self):
        with contextlib.suppress(Exception):
            self.app.clear_cache()

    def _find_app(self):
        self.check_running()
        desktop = self.pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == "kalix":
                with contextlib.suppress(Exception):
                    if app.get_process_id() != self.app_process.pid:
                        continue
                return app
        return None

    def check_running(self):
        if self.app_process is not None and self.app_process.poll() is not None:
            fail(f"kalix ended with status {self.app_process.returncode}; see {self.app_log}:\n"
                 + self.log_tail())

    def log_tail(self, lines=30):
        if not self.app_log or not os.path.exists(self.app_log):
            return ""
        with open(self.app_log, "rb") as f:
            return b"\n".join(f.read().splitlines()[-lines:]).decode(errors="replace")

    def wait_exit(self, timeout=20):
        def ended():
            return self.app_process.poll() is not None
        poll("kalix to end", ended, timeout=timeout)
        return self.app_process.returncode

    def screenshot(self, name):
        """Saves the whole screen under the artifacts folder; returns the path."""
        path = os.path.join(self.artifacts, name + ".png")
        with contextlib.suppress(Exception):
            subprocess.run(["import", "-display", self.display, "-window", "root", path],
                           timeout=20, check=True, capture_output=True)
            return path
        return None

    def close(self):
        for label, process in reversed(self.processes):
            if process.poll() is None:
                with contextlib.suppress(ProcessLookupError):
                    os.killpg(process.pid, signal.SIGTERM)
        deadline = time.monotonic() + 5
        for label, process in reversed(self.processes):
            try:
                process.wait(timeout=max(0.1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                with contextlib.suppress(ProcessLookupError):
                    os.killpg(process.pid, signal.SIGKILL)
                process.wait()
            # Whatever a process left in its group (the accessibility bus
            # launcher's own bus daemon and registry) goes with it.
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGKILL)
        self.processes.clear()
        if self.scratch and os.environ.get("KALIX_E2E_KEEP") != "1":
            shutil.rmtree(self.scratch, ignore_errors=True)
        if self.watchdog is not None:
            with contextlib.suppress(Exception):
                self._tell_watchdog("done")
                self.watchdog.stdin.close()
            self.watchdog.wait()

    # -- the accessibility tree ---------------------------------------------

    # Roles whose children are items, never controls to look for: walking a
    # table of thousands of cells to find a button would be slow.
    _LEAF_CONTAINERS = ("table", "tree table", "list", "list box", "tree")

    def role(self, acc):
        return acc.getRoleName()

    def describe(self, acc):
        try:
            return f"{acc.getRoleName()} {acc.name!r}"
        except Exception:
            return "<gone>"

    # Menus are reached through menu_item(), never by walking a window: their
    # items are many and each one read is a round trip to the program.
    _MENUS = ("menu bar", "menu", "popup menu")

    def walk(self, root, into_items=False):
        stack = [root]
        while stack:
            acc = stack.pop()
            if acc is None:
                continue
            yield acc
            if acc is not root:
                with contextlib.suppress(Exception):
                    role = acc.getRoleName()
                    if role in self._MENUS or (not into_items and role in self._LEAF_CONTAINERS):
                        continue
            try:
                n = acc.childCount
            except Exception:
                continue
            children = []
            for i in range(n):
                with contextlib.suppress(Exception):
                    children.append(acc.getChildAtIndex(i))
            stack.extend(reversed(children))

    def find_all(self, root, role=None, name=None, predicate=None):
        found = []
        for acc in self.walk(root):
            try:
                if role is not None and acc.getRoleName() not in (role if isinstance(role, tuple) else (role,)):
                    continue
                if name is not None:
                    actual = acc.name
                    if callable(name):
                        if not name(actual):
                            continue
                    elif actual != name:
                        continue
                if predicate is not None and not predicate(acc):
                    continue
            except Exception:
                continue
            found.append(acc)
        return found

    def names_present(self, root, role=None):
        seen = []
        for acc in self.walk(root):
            with contextlib.suppress(Exception):
                if role is None or acc.getRoleName() == role:
                    seen.append(self.describe(acc))
        return seen

    def find(self, root, role=None, name=None, timeout=10.0, what=None, predicate=None):
        """Polls until one widget of this role and name is under root."""
        label = what or f"{role or 'widget'} named {name!r}"

        def probe():
            self.check_running()
            found = self.find_all(root, role, name, predicate)
            return found[0] if found else None

        try:
            return poll(label, probe, timeout=timeout)
        except ScenarioFailed as e:
            present = self.names_present(root, role)
            fail(f"{e}; present under {self.describe(root)}: "
                 + ", ".join(present[:80]) + (" ..." if len(present) > 80 else ""))

    def try_find(self, root, role=None, name=None, timeout=10.0, predicate=None):
        """As find, but returns None at the timeout."""
        def probe():
            self.check_running()
            found = self.find_all(root, role, name, predicate)
            return found[0] if found else None
        try:
            return poll(f"{role} {name!r}", probe, timeout=timeout)
        except ScenarioFailed:
            return None

    def window(self, name, timeout=10.0):
        """A top-level window (frame or dialog) of the application."""
        def probe():
            self.check_running()
            for i in range(self.app.childCount):
                top = self.app.getChildAtIndex(i)
                if top is None:
                    continue
                actual = top.name
                if (name(actual) if callable(name) else actual == name):
                    if top.getState().contains(self.pyatspi.STATE_SHOWING):
                        return top
            return None
        try:
            return poll(f"the window {name if not callable(name) else '(predicate)'}", probe, timeout=timeout)
        except ScenarioFailed as e:
            tops = []
            with contextlib.suppress(Exception):
                tops = [self.describe(self.app.getChildAtIndex(i)) for i in range(self.app.childCount)]
            fail(f"{e}; top-level windows: {', '.join(tops)}")

    def try_window(self, name, timeout):
        try:
            return self.window(name, timeout)
        except ScenarioFailed:
            return None

    def is_enabled(self, acc):
        return acc.getState().contains(self.pyatspi.STATE_ENABLED)

    def is_checked(self, acc):
        return acc.getState().contains(self.pyatspi.STATE_CHECKED)

    def wait_enabled(self, acc, enabled=True, timeout=10.0):
        poll(f"{self.describe(acc)} to be {'enabled' if enabled else 'disabled'}",
             lambda: self.is_enabled(acc) == enabled, timeout=timeout)

    # -- acting -------------------------------------------------------------

    def press(self, acc, action=None):
        """Runs the widget's first action (or the one named): press, click,
        toggle. A press that opens a modal window may not answer before that
        window closes: the call then times out on our side, which is fine,
        as every effect is awaited by polling afterwards."""
        self.check_running()
        check(self.is_enabled(acc), f"{self.describe(acc)} is disabled, cannot press it")
        iface = acc.queryAction()
        names = [iface.getName(i) for i in range(iface.nActions)]
        check(names, f"{self.describe(acc)} has no action")
        lower = [n.lower() for n in names]
        index = 0
        if action is not None:
            check(action.lower() in lower, f"{self.describe(acc)} has no action {action!r} (has {names})")
            index = lower.index(action.lower())
        else:
            for preferred in ("press", "click", "toggle"):
                if preferred in lower:
                    index = lower.index(preferred)
                    break
        self.Atspi.set_timeout(1500, 5000)
        try:
            iface.doAction(index)
        except Exception as e:
            if "imeout" not in str(e) and "NoReply" not in str(e):
                raise
        finally:
            self.Atspi.set_timeout(5000, 5000)

    def set_text(self, acc, text):
        """Replaces an edit's text, as typing it would, and waits until the
        edit shows it."""
        self.check_running()
        acc.queryEditableText().setTextContents(text)
        poll(f"{self.describe(acc)} to read {text!r}", lambda: self.text(acc) == text, timeout=5)

    def key(self, acc, keysym):
        """Gives the widget the focus and sends it one key (an X keysym, e.g.
        0xff0d Return) as the keyboard would."""
        self.check_running()
        with contextlib.suppress(Exception):
            acc.queryComponent().grabFocus()
        poll(f"{self.describe(acc)} to take the focus",
             lambda: acc.getState().contains(self.pyatspi.STATE_FOCUSED), timeout=5)
        self.Atspi.generate_keyboard_event(keysym, None, self.Atspi.KeySynthType.SYM)

    def text(self, acc):
        t = acc.queryText()
        return t.getText(0, -1)

    def child(self, parent, role, name, what, timeout=10.0):
        """A direct child of parent by role and name, polled."""
        roles = role if isinstance(role, tuple) else (role,)

        def probe():
            self.check_running()
            for i in range(parent.childCount):
                c = parent.getChildAtIndex(i)
                if c is not None and c.getRoleName() in roles and (name is None or c.name == name):
                    return c
            return None
        try:
            return poll(what, probe, timeout=timeout)
        except ScenarioFailed as e:
            present = []
            with contextlib.suppress(Exception):
                present = [self.describe(parent.getChildAtIndex(i)) for i in range(parent.childCount)]
            fail(f"{e}; children of {self.describe(parent)}: {', '.join(present)}")

    def menu_item(self, frame, menu, item):
        """The item of a menu of the window's menu bar, by the captions a user
        reads (without the "&" mnemonic markers)."""
        bar = self.child(frame, "menu bar", None, "the menu bar")
        top = self.child(bar, ("menu", "menu item"), menu, f'the menu "{menu}"')
        if top.childCount == 1 and top.getChildAtIndex(0).getRoleName() in self._MENUS:
            top = top.getChildAtIndex(0)  # the menu item's pull-down menu
        return self.child(top, "menu item", item, f'the item "{item}" of the menu "{menu}"')

    def find_named(self, root, role, names, timeout=10.0):
        """Polls until a widget of role for each of names is under root (one
        walk per attempt); returns them by name, or fails naming the missing."""
        found = {}

        def probe():
            nonlocal found
            self.check_running()
            found = self.named_children(root, role)
            return all(n in found for n in names)
        try:
            poll(f"{role}s named {', '.join(names)}", probe, timeout=timeout)
        except ScenarioFailed as e:
            missing = [n for n in names if n not in found]
            fail(f"{e}; missing: {missing}; present: {sorted(k for k in found if k)}")
        return {n: found[n] for n in names}

    def named_children(self, root, role):
        """Every widget of a role under root, by name (one walk)."""
        out = {}
        for acc in self.find_all(root, role):
            with contextlib.suppress(Exception):
                out.setdefault(acc.name, acc)
        return out

    def choose_menu(self, frame, menu, item):
        self.press(self.menu_item(frame, menu, item))

    def table(self, acc):
        """Headers and rows of a table, read through the Table interface."""
        t = acc.queryTable()
        headers = []
        for c in range(t.nColumns):
            h = t.getColumnHeader(c)
            headers.append(h.name if h is not None else t.getColumnDescription(c))
        rows = []
        for r in range(t.nRows):
            row = []
            for c in range(t.nColumns):
                cell = t.getAccessibleAt(r, c)
                value = cell.name if cell is not None else None
                if not value and cell is not None:
                    with contextlib.suppress(Exception):
                        value = self.text(cell)
                row.append(value or "")
            rows.append(row)
        return headers, rows

