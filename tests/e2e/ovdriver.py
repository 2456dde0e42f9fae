#!/usr/bin/python3
"""Drives the real console program the way an operator does.

Everything runs on a private Xvfb display: one or more CG server simulators,
one or more consoles (each in a folder of its own, with its own log and its own
single-instance socket), X clients for keys and pictures. Widgets are found by
their accessible names over AT-SPI and pressed with real mouse clicks; keys go
through the X server. A scenario is judged by what the operator and the server
see: the console's log file, the simulator's record of frames, the widgets on
screen and screenshots.

Run it inside a private network namespace and a D-Bus session:
  scripts/netns-run dbus-run-session -- /usr/bin/python3 tests/e2e/ovdriver.py \
      --bin build/bin --sim build/bin/ovcg-sim --work DIR SCENARIO
A scenario is a list of steps (tests/e2e/scenarios.py); each step is a tuple
(verb, arguments...) and every verb is a method step_<verb> below.
"""

import argparse
import glob
import json
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # nothing left behind in the source tree

# Slower machines and sanitizer builds stretch every wait by this factor.
SCALE = float(os.environ.get("OV_E2E_TIMEOUT_SCALE", "1"))
WAIT = 10.0
CONVERT = "/usr/bin/convert"  # another convert may come first on PATH
WELCOME = "系统:欢迎使用TolvaCGVestrel"


class StepFailed(Exception):
    pass


class StepSkipped(Exception):
    """A step whose tool is missing: the scenario counts as skipped, not failed."""


def log(text):
    print(f"e2e {time.strftime('%H:%M:%S')} {text}", flush=True)


def wait_for(cond, what, timeout=WAIT, interval=0.1):
    """Polls cond until it returns something true; that value, or StepFailed."""
    deadline = time.monotonic() + timeout * SCALE
    last_error = None
    while True:
        try:
            value = cond()
            if value:
                return value
        except StepFailed:
            raise
        except Exception as e:  # AT-SPI objects vanish while windows close
            last_error = e
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise StepFailed(f"timed out after {timeout * SCALE:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


def run(args, env=None, timeout=20, check=True):
    r = subprocess.run(args, env=env, capture_output=True, text=True, timeout=timeout * SCALE)
    if check and r.returncode != 0:
        raise StepFailed(f"{' '.join(args)} failed ({r.returncode}): {r.stderr.strip()}")
    return r.stdout


class Display:
    """Xvfb with -noreset (the accessibility bus address lives on its root window), on a
    display number that this driver holds a lock for: parallel tests in other network
    namespaces do not see each other's abstract X sockets, so Xvfb alone could pick the same
    number twice."""

    def __init__(self, work):
        import fcntl
        import random
        start = random.randrange(100, 900)
        for n in [start + i for i in range(200)]:
            self.lock = open(f"/tmp/.ov-e2e-X{n}.lock", "w")
            try:
                fcntl.flock(self.lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            except OSError:
                self.lock.close()
                continue
            if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
                self.lock.close()
                continue
            self.proc = subprocess.Popen(
                ["Xvfb", f":{n}", "-screen", "0", "1600x1000x24", "-noreset", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "xvfb.log"), "w"))
            deadline = time.monotonic() + 10 * SCALE
            while self.proc.poll() is None and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
                if time.monotonic() > deadline:
                    break
                time.sleep(0.05)
            if self.proc.poll() is None and os.path.exists(f"/tmp/.X11-unix/X{n}"):
                self.name = f":{n}"
                return
            self.stop()
            self.lock.close()
        raise StepFailed("no free X display for Xvfb (see xvfb.log)")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Simulator:
    """One ovcg-sim process, commanded over its control socket; its log is the record of frames."""

    def __init__(self, driver, name, args):
        self.name = name
        self.args = list(args)
        self.log_path = os.path.join(driver.work, f"sim-{name}.log")
        cmd = [driver.sim_bin, "--control-port", "0", "--log", self.log_path, "--name", name] + list(args)
        self.proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, text=True, env=driver.env)
        ready = self.proc.stdout.readline()
        m = re.search(r"control 127\.0\.0\.1:(\d+)", ready)
        if not m:
            raise StepFailed(f"simulator {name} did not start: {ready.strip()} {self.proc.stdout.read()}")
        self.control_port = int(m.group(1))
        self.control = socket.create_connection(("127.0.0.1", self.control_port), timeout=10)
        self.reader = self.control.makefile("r", encoding="utf-8")
        log(f"simulator {name}: {ready.strip()}")

    def command(self, line):
        self.control.sendall((line + "\n").encode())
        reply = []
        while True:
            text = self.reader.readline()
            if not text:
                raise StepFailed(f"simulator {self.name} closed its control socket during '{line}'")
            reply.append(text.rstrip("\n"))
            if text.startswith("ok") or text.startswith("error"):
                return reply

    def record(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    def stop(self):
        if self.proc.poll() is None:
            try:
                self.command("quit")
                self.proc.wait(5)
            except Exception:
                self.kill()


class Console:
    """One console process in a folder of its own (program, library, qss/, log/, config.ini)."""

    def __init__(self, driver, name, program=None, config=None):
        self.driver = driver
        self.name = name
        self.home = os.path.join(driver.work, name)
        self.tmp = os.path.join(self.home, "tmp")
        os.makedirs(self.tmp, exist_ok=True)
        # The single-instance socket lives in the user's private runtime folder:
        # consoles that run side by side each get one of their own.
        self.runtime = os.path.join(self.home, "xdg")
        os.makedirs(self.runtime, mode=0o700, exist_ok=True)
        os.chmod(self.runtime, 0o700)
        if program:
            self.program = program
        else:
            self.program = driver.copy_program(os.path.join(self.home, "app"))
        self.appdir = os.path.dirname(os.path.realpath(self.program))
        if config is not None:
            with open(os.path.join(self.appdir, "config.ini"), "w", encoding="utf-8") as f:
                f.write(config)
        self.env = dict(driver.env, TMPDIR=self.tmp, XDG_RUNTIME_DIR=self.runtime)
        if "ASAN_OPTIONS" in self.env:
            # The accessibility bridge allocates from libdbus, which has no frame
            # pointers: only the slow unwinder gives stacks the suppressions match.
            self.env["ASAN_OPTIONS"] += ":fast_unwind_on_malloc=0"
        self.proc = None
        self.out_path = os.path.join(self.home, "console.out")

    def start(self):
        self.proc = subprocess.Popen([self.program], env=self.env, stdin=subprocess.DEVNULL,
                                     stdout=open(self.out_path, "a"), stderr=subprocess.STDOUT)
        return self.proc

    def log_path(self):
        return os.path.join(self.appdir, "log", "log.txt")

    def log_lines(self):
        try:
            with open(self.log_path(), "rb") as f:
                data = f.read()
        except FileNotFoundError:
            return []
        # Each line ends in CR LF; a line without one is still being written.
        return [line[17:] for line in data.decode("utf-8", errors="replace").split("\r\n")[:-1]]

    def close(self):
        """Asks the running console to end, as a later copy could; its exit code."""
        path = os.path.join(self.runtime, "OvCG_Vestrel")
        if self.proc.poll() is None:
            try:
                with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
                    s.connect(path)
                    s.sendall(b"close")
                    time.sleep(0.2)
            except OSError as e:
                log(f"console {self.name}: no single-instance socket ({e}); killing it")
                self.proc.kill()
        try:
            return self.proc.wait(15 * SCALE)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise StepFailed(f"console {self.name} did not end when asked to")


class Driver:
    def __init__(self, args):
        self.bin = os.path.abspath(args.bin)
        self.sim_bin = os.path.abspath(args.sim)
        self.work = os.path.abspath(args.work)
        self.shots = os.path.abspath(args.shots) if args.shots else os.path.join(self.work, "shots")
        self.installed = os.path.abspath(args.installed) if args.installed else None
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        os.makedirs(self.shots, exist_ok=True)
        self.sims = {}
        self.consoles = {}
        self.extra = []
        self.oscdumps = {}
        self.display = None
        self.atspi = None

    # --- set-up -------------------------------------------------------------

    def start_session(self):
        self.display = Display(self.work)
        xdg = os.path.join(self.work, "xdg")
        os.makedirs(xdg, mode=0o700, exist_ok=True)
        self.env = dict(os.environ)
        self.env.update({
            "DISPLAY": self.display.name,
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "XDG_RUNTIME_DIR": xdg,
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "QT_LOGGING_RULES": "qt.accessibility.atspi=false;qt.qpa.*=false",
        })
        os.environ["DISPLAY"] = self.display.name
        # The session bus must know the display before the accessibility bus starts.
        run(["dbus-update-activation-environment", f"DISPLAY={self.display.name}"], env=self.env)
        run(["dbus-send", "--session", "--print-reply=literal", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], env=self.env)
        import pyatspi  # only now: it reads the accessibility bus address when first used
        self.atspi = pyatspi
        log(f"display {self.display.name}")

    def copy_program(self, dest):
        os.makedirs(os.path.join(dest, "log"), exist_ok=True)
        for entry in os.listdir(self.bin):
            src = os.path.join(self.bin, entry)
            if entry == "OvCGVestrel" or entry.startswith("libOvUIUtility.so"):
                shutil.copy2(src, dest, follow_symlinks=False)
            elif entry in ("qss", "help", "Resources", "language") and os.path.isdir(src):
                shutil.copytree(src, os.path.join(dest, entry), dirs_exist_ok=True)
        return os.path.join(dest, "OvCGVestrel")

    def cleanup(self):
        for c in self.consoles.values():
            if c.proc and c.proc.poll() is None:
                c.proc.kill()
                c.proc.wait()
        for p in self.extra:
            if p.poll() is None:
                p.kill()
                p.wait()
        for s in self.sims.values():
            s.kill()
        if self.display:
            self.display.stop()

    def report_failure(self):
        """Leaves what is needed to see why: a picture, the widget trees, the logs."""
        try:
            self.screenshot(os.path.join(self.work, "failure.png"))
            log(f"screen at failure: {os.path.join(self.work, 'failure.png')}")
        except Exception as e:
            log(f"no screenshot: {e}")
        for c in self.consoles.values():
            log(f"--- console {c.name} log:")
            for line in c.log_lines()[-20:]:
                print("    " + line)
            try:
                with open(c.out_path, errors="replace") as f:
                    out = f.read()[-3000:]
                if out.strip():
                    log(f"--- console {c.name} output:\n{out}")
            except OSError:
                pass
            try:
                app = self.app(c, timeout=1)
                log(f"--- console {c.name} widgets:")
                self.dump(app)
            except Exception as e:
                log(f"--- console {c.name}: no widget tree ({e})")
        for s in self.sims.values():
            log(f"--- simulator {s.name} record (last lines):")
            print("\n".join("    " + line for line in s.record().splitlines()[-25:]))

    # --- accessibility --------------------------------------------------------

    def app(self, console, timeout=WAIT):
        pid = console.proc.pid

        def find():
            desktop = self.atspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                a = desktop.getChildAtIndex(i)
                if a is not None and a.get_process_id() == pid:
                    return a
            return None
        return wait_for(find, f"console {console.name} on the accessibility bus", timeout)

    def shown(self, accessible):
        # Hidden widgets and closed windows stay in the tree.
        return accessible.getState().contains(self.atspi.STATE_SHOWING)

    def windows(self, console):
        app = self.app(console)
        result = []
        for i in range(app.childCount):
            w = app.getChildAtIndex(i)
            # Windows that were shown once stay in the tree after they close.
            if w is not None and self.shown(w):
                result.append(w)
        return result

    def window(self, console, title, timeout=WAIT):
        """The dialog whose title bar (or window title) reads title: a top-level window,
        or a panel inside one (the about box)."""
        def find():
            for w in self.windows(console):
                if w.name == title:
                    return w
                label = self.atspi.findDescendant(
                    w, lambda a: a.getRoleName() == "label" and a.name == title and self.shown(a))
                if label is not None:
                    node = label.parent
                    while node is not None and node.getRoleName() != "dialog":
                        node = node.parent
                    return node or w
            return None
        return wait_for(find, f"window '{title}' of console {console.name}", timeout)

    def control(self, console, name, role="push button", within=None, timeout=WAIT):
        def find():
            # A window that is not there yet is waited for as long as the control.
            try:
                roots = [self.window(console, within, timeout=0.5)] if within else self.windows(console)
            except StepFailed:
                return None
            for root in roots:
                found = self.atspi.findDescendant(
                    root, lambda a: (name is None or a.name == name) and (role is None or a.getRoleName() == role)
                    and self.shown(a))
                if found is not None:
                    return found
            return None
        where = f" in '{within}'" if within else ""
        return wait_for(find, f"{role or 'widget'} '{name}'{where} of console {console.name}", timeout)

    def extents(self, accessible):
        e = accessible.queryComponent().getExtents(self.atspi.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height

    def click_at(self, accessible):
        x, y, w, h = self.extents(accessible)
        if w <= 0 or h <= 0:
            raise StepFailed(f"'{accessible.name}' has no area on screen")
        run(["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + h // 2), "click", "1"], env=self.env)

    def dump(self, accessible, depth=0):
        try:
            state = "" if accessible.getState().contains(self.atspi.STATE_ENABLED) else " (disabled)"
            print(f"    {'  ' * depth}[{accessible.getRoleName()}] {accessible.name!r}"
                  f"{' ' + repr(accessible.description) if accessible.description else ''}{state}")
            for i in range(accessible.childCount):
                child = accessible.getChildAtIndex(i)
                if child is not None:
                    self.dump(child, depth + 1)
        except Exception as e:
            print(f"    {'  ' * depth}(gone: {e})")

    # --- X windows and pictures ---------------------------------------------------

    def x_window(self, console, title):
        """The X window of a console's top-level, matched by position and size."""
        x, y, w, h = self.extents(self.window(console, title))
        ids = run(["xdotool", "search", "--onlyvisible", "--pid", str(console.proc.pid)],
                  env=self.env, check=False).split()
        for wid in ids:
            geometry = dict(line.split("=", 1) for line in
                            run(["xdotool", "getwindowgeometry", "--shell", wid], env=self.env).split())
            if (int(geometry["X"]), int(geometry["Y"]), int(geometry["WIDTH"]), int(geometry["HEIGHT"])) == (x, y, w, h):
                return wid
        raise StepFailed(f"no X window for '{title}' of console {console.name}")

    def screenshot(self, path, box=None):
        args = ["import", "-window", "root"]
        if box:
            x, y, w, h = box
            args += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        run(args + [path], env=self.env)

    @staticmethod
    def picture_facts(path):
        out = run([CONVERT, path, "-format", "%w %h %k %[fx:standard_deviation]", "info:"])
        w, h, colours, deviation = out.split()
        return int(w), int(h), int(colours), float(deviation)

    # --- the steps ------------------------------------------------------------------

    def sim(self, name):
        if name not in self.sims:
            raise StepFailed(f"no simulator '{name}' in this scenario")
        return self.sims[name]

    def console(self, name):
        if name not in self.consoles:
            raise StepFailed(f"no console '{name}' in this scenario")
        return self.consoles[name]

    def step_simulator(self, name, *args):
        """Starts a simulator (extra arguments go to ovcg-sim)."""
        self.sims[name] = Simulator(self, name, args)

    def step_sim(self, name, line, expect="ok"):
        """Gives a simulator a command; its reply must begin with expect."""
        reply = self.sim(name).command(line)
        if not reply[-1].startswith(expect):
            raise StepFailed(f"simulator {name}: '{line}' answered '{reply[-1]}'")

    def step_kill_simulator(self, name):
        self.sim(name).kill()

    def step_oscdump(self, name, port):
        """Starts Debian's oscdump on port, as a button panel that shows the tally."""
        path = os.path.join(self.work, f"oscdump-{name}.txt")
        self.extra.append(subprocess.Popen(["oscdump", "-L", str(port)], stdout=open(path, "w"),
                                           stderr=subprocess.STDOUT, env=self.env))
        self.oscdumps[name] = path

    def step_oscsend(self, port, address, types=None, *values):
        """Sends one OSC message to 127.0.0.1:port with Debian's oscsend."""
        run(["oscsend", "127.0.0.1", str(port), address] + ([types, *map(str, values)] if types else []),
            env=self.env)

    def step_osc_seen(self, name, pattern, count=1):
        """Waits until the oscdump named name printed count lines matching pattern."""
        def lines():
            with open(self.oscdumps[name], encoding="utf-8", errors="replace") as f:
                return [line.rstrip("\n") for line in f if re.search(pattern, line)]
        wait_for(lambda: len(lines()) == count, f"{count} OSC message(s) /{pattern}/ at {name} (has {len(lines())})")

    def tiles(self, console):
        """The console's tiles in grid order, as (name, description) pairs."""
        grid = self.control(console, "CG列表", role=None, within="CGVestrel")
        found = []
        for i in range(grid.childCount):
            tile = grid.getChildAtIndex(i)
            if tile is not None and self.shown(tile):
                x, y, _, _ = self.extents(tile)
                found.append((y, x, tile.name, tile.description))
        return [(name, description) for _, _, name, description in sorted(found)]

    def sim_tiles(self, sim):
        """The simulator's list as the consoles should show it."""
        shown = {"0": "", "1": "PGM", "2": "PVW"}
        rows = [line.split(None, 3) for line in sim.command("list")[:-1]]
        return [(row[3] if len(row) > 3 else "", shown.get(row[2], row[2])) for row in rows]

    def step_soak(self, sim_name, consoles, seconds=120, restarts=2, size=(4, 10)):
        """Operators publish at random (clicks on tiles and on the control bar of consoles taken
        at random), the server changes its list at random and is killed and started again
        `restarts` times; afterwards every console shows the server's list. Prints the counts."""
        rng = random.Random(int(os.environ.get("OV_SOAK_SEED", time.time())))
        args = self.sim(sim_name).args
        counts = {"publishes": 0, "server changes": 0, "missed clicks": 0}
        reconnections = []
        started = time.monotonic()
        restart_at = [started + seconds * (i + 1) / (restarts + 1) for i in range(restarts)]
        names = iter(f"Soak {n:03}" for n in range(1000))
        last_change = time.monotonic()
        while time.monotonic() - started < seconds:
            if restart_at and time.monotonic() >= restart_at[0]:
                restart_at.pop(0)
                self.sim(sim_name).kill()  # a crash: no goodbye to anyone
                time.sleep(rng.uniform(0.5, 3.0))
                self.sims[sim_name] = Simulator(self, sim_name, args)
                listening = time.monotonic()
                for name in consoles:
                    self.control(self.console(name), "已连接", within="CGVestrel", timeout=20 * SCALE)
                reconnections.append(time.monotonic() - listening)
                last_change = time.monotonic()
                continue
            sim = self.sim(sim_name)
            items = self.sim_tiles(sim)
            if rng.random() < 0.5 and items:
                c = self.console(rng.choice(consoles))
                try:
                    run(["xdotool", "windowraise", self.x_window(c, "CGVestrel")], env=self.env)
                    self.click_at(self.control(c, rng.choice(items)[0], role="frame", timeout=1))
                    self.click_at(self.control(c, rng.choice(["PGM", "PVW", "取消"]), within="CGVestrel"))
                    counts["publishes"] += 1
                except StepFailed:
                    counts["missed clicks"] += 1  # the tile went away meanwhile
            else:
                n, i = len(items), rng.randrange(max(len(items), 1))
                change = rng.choice(["status", "rename", "move", "add", "remove"])
                if change == "add" or n <= size[0]:
                    line = f'add "{next(names)}"'
                elif change == "remove" or n >= size[1]:
                    line = f"remove {i}"
                elif change == "status":
                    line = f"status {i} {rng.randrange(3)}"
                elif change == "rename":
                    line = f'rename {i} "{next(names)}"'
                else:
                    line = f"move {i} {rng.randrange(n)}"
                self.step_sim(sim_name, line)
                counts["server changes"] += 1
            last_change = time.monotonic()
            time.sleep(rng.uniform(0.05, 0.4))
        want = self.sim_tiles(self.sim(sim_name))
        for name in consoles:
            c = self.console(name)
            wait_for(lambda: self.tiles(c) == want,
                     f"console {name} showing the server's list {want} (it shows {self.tiles(c)})", 2 * SCALE)
        agreed = time.monotonic() - last_change
        record = self.sim(sim_name).record()
        ids = re.findall(r'-> .*"cmd":"updateCG".*?"operationID":"([^"]+)"', record)
        if len(ids) != len(set(ids)):
            raise StepFailed("an updateCG was sent twice across a restart")
        times = ", ".join(f"{t:.2f} s" for t in reconnections)
        log(f"soak: {counts['publishes']} publishes, {counts['server changes']} server changes, "
            f"{counts['missed clicks']} missed clicks, {len(reconnections)} restarts; reconnected in {times}; "
            f"{len(ids)} updateCG; all consoles agreed {agreed:.2f} s after the last change")

    def step_console(self, name, config=None):
        """Starts a console in a folder of its own and waits for its main window."""
        c = Console(self, name, config=config)
        self.consoles[name] = c
        self._start_console(c)

    def step_installed_console(self, name):
        """Starts the installed program (--installed) with its own single-instance socket."""
        if not self.installed:
            raise StepFailed("no --installed program given")
        c = Console(self, name, program=self.installed)
        self.consoles[name] = c
        self._start_console(c)

    def _start_console(self, c):
        c.start()
        self.window(c, "CGVestrel", timeout=20)
        log(f"console {c.name} is up (pid {c.proc.pid})")

    def step_click(self, console, name, within=None, role="push button"):
        """Clicks a widget found by its accessible name, with the mouse."""
        self.click_at(self.control(self.console(console), name, role, within))

    def step_menu(self, console, button, entry, within=None):
        """Opens a menu button and picks its entry-th entry (from 1) with the keyboard: Qt
        keeps pop-up menus out of the accessibility tree, so the step after this one must
        check what the entry did."""
        self.click_at(self.control(self.console(console), button, "push button", within))
        time.sleep(0.3 * SCALE)
        self.step_key(" ".join(["Down"] * entry + ["Return"]))

    def step_described(self, console, name, description, role="frame"):
        """Waits until the widget named name says description (a tile says its state: "PGM",
        "PVW", "发送中", or nothing when off air)."""
        c = self.console(console)
        wait_for(lambda: self.control(c, name, role, timeout=1).description == description,
                 f"{role} '{name}' of console {console} described as '{description}'")

    def step_hover(self, console, name, role=None, within=None, dx=None):
        """Rests the mouse pointer on a widget's middle, or dx pixels right of its left edge."""
        x, y, w, h = self.extents(self.control(self.console(console), name, role, within))
        px = x + (w // 2 if dx is None else dx)
        # Two moves, so that the widget under the pointer sees motion.
        for step in (px - 3, px):
            run(["xdotool", "mousemove", "--sync", str(step), str(y + h // 2)], env=self.env)

    def step_program(self, name, title):
        """Starts another program of the build (from --bin) and waits for its window titled title."""
        p = subprocess.Popen([os.path.join(self.bin, name)], env=self.env, stdout=subprocess.DEVNULL,
                             stderr=open(os.path.join(self.work, name + ".out"), "w"))
        self.extra.append(p)
        wait_for(lambda: run(["xdotool", "search", "--onlyvisible", "--name", title], env=self.env,
                             check=False).split(), f"the window '{title}' of {name}", timeout=20)

    def step_window(self, console, title):
        """Waits until a window with this title shows."""
        self.window(self.console(console), title)

    def step_no_window(self, console, title):
        """Waits until no window with this title shows."""
        c = self.console(console)

        def gone():
            try:
                self.window(c, title, timeout=0)
                return False
            except StepFailed:
                return True
        wait_for(gone, f"window '{title}' of console {console} to close")

    def step_see(self, console, name, role=None, within=None):
        """Waits until a widget with this accessible name shows."""
        self.control(self.console(console), name, role, within)

    def step_not_see(self, console, name, role=None, settle=0.5):
        time.sleep(settle)
        c = self.console(console)
        for w in self.windows(c):
            if self.atspi.findDescendant(
                    w, lambda a: a.name == name and (role is None or a.getRoleName() == role) and self.shown(a)):
                raise StepFailed(f"console {console} still shows '{name}'")

    def step_log(self, console, text, count=1):
        """Waits until the console's log file holds exactly count lines "title:text" equal to text."""
        c = self.console(console)
        wait_for(lambda: c.log_lines().count(text) == count,
                 f"{count} log line(s) '{text}' in console {console} (has {c.log_lines().count(text)})")

    def step_log_has(self, console, pattern, count=1):
        """Like log, with a regular expression that must match whole lines."""
        c = self.console(console)
        rx = re.compile(pattern)

        def matches():
            return sum(1 for line in c.log_lines() if rx.fullmatch(line))
        wait_for(lambda: matches() == count, f"{count} log line(s) matching '{pattern}' in console {console}")

    def step_log_count(self, console, count, settle=0.5):
        """The log holds exactly count lines, also after a moment."""
        c = self.console(console)
        wait_for(lambda: len(c.log_lines()) == count, f"{count} lines in the log of console {console}")
        time.sleep(settle)
        lines = c.log_lines()
        if len(lines) != count:
            raise StepFailed(f"console {console} logged more: {lines[count:]}")

    def step_record(self, sim, pattern, count=None):
        """Waits until the simulator's record has a line matching pattern (count times when given)."""
        s = self.sim(sim)
        rx = re.compile(pattern)

        def seen():
            n = sum(1 for line in s.record().splitlines() if rx.search(line))
            return n == count if count is not None else n > 0
        wait_for(seen, f"'{pattern}' in the record of simulator {sim}")

    def step_focus(self, console, title="CGVestrel"):
        c = self.console(console)
        run(["xdotool", "windowfocus", "--sync", self.x_window(c, title)], env=self.env)

    def step_key(self, keys):
        """Keys through the X server, to whatever window has the focus."""
        run(["xdotool", "key", "--delay", "60"] + keys.split(), env=self.env)

    def step_sleep(self, seconds):
        time.sleep(seconds * SCALE)

    def step_shot(self, name, console=None, title=None, also=(), xwindow=None, min_colours=16):
        """A PNG of a window (or the whole screen), widened to take in the widgets named in also
        (a drop-down list, a menu); it must exist and not be blank."""
        path = os.path.join(self.shots, name + ".png")
        box = None
        if title:
            c = self.console(console)
            boxes = [self.extents(self.window(c, title))] + [self.extents(self.control(c, n, None)) for n in also]
            left, top = min(b[0] for b in boxes), min(b[1] for b in boxes)
            right, bottom = max(b[0] + b[2] for b in boxes), max(b[1] + b[3] for b in boxes)
            box = (left, top, right - left, bottom - top)
        elif xwindow:
            wid = run(["xdotool", "search", "--onlyvisible", "--name", xwindow], env=self.env).split()[0]
            g = dict(line.split("=", 1) for line in
                     run(["xdotool", "getwindowgeometry", "--shell", wid], env=self.env).split())
            box = (int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"]))
        time.sleep(0.4)  # the last paint lands
        self.screenshot(path, box)
        w, h, colours, deviation = self.picture_facts(path)
        if w < 50 or h < 50 or colours < min_colours or deviation < 0.02:
            raise StepFailed(f"{name}.png looks blank: {w}x{h}, {colours} colours, deviation {deviation:.3f}")
        log(f"screenshot {name}.png: {w}x{h}, {colours} colours")

    def step_second_start(self, console):
        """Starts the same program again (same single-instance socket): it must end at once with 0."""
        c = self.console(console)
        second = subprocess.Popen([c.program], env=c.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                  text=True)
        self.extra.append(second)
        try:
            code = second.wait(10 * SCALE)
        except subprocess.TimeoutExpired:
            raise StepFailed("a second start of the console did not end")
        if code != 0:
            raise StepFailed(f"a second start ended with {code}: {second.stderr.read()}")

    def step_cover(self, name="cover"):
        """Opens another X client over the whole screen (xmessage) and gives it the focus."""
        p = subprocess.Popen(["xmessage", "-geometry", "1600x1000+0+0", "-name", name, "covering the console"],
                             env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.extra.append(p)
        wid = wait_for(lambda: run(["xdotool", "search", "--onlyvisible", "--classname", name],
                                   env=self.env, check=False).split(), "the covering window")[0]
        run(["xdotool", "windowfocus", "--sync", wid], env=self.env)

    def step_on_top(self, console, title="CGVestrel", expect=True):
        """The console's window is (or with expect False, is not) the topmost visible window."""
        c = self.console(console)
        wid = int(self.x_window(c, title))

        def topmost():
            # xwininfo lists the root's children from the top of the stack down.
            tree = run(["xwininfo", "-root", "-children"], env=self.env)
            ids = [int(m.group(1), 16) for m in re.finditer(r"^\s+(0x[0-9a-f]+) ", tree, re.M)]
            for candidate in ids:
                if candidate == wid:
                    return expect
                state = run(["xwininfo", "-id", hex(candidate)], env=self.env, check=False)
                if "IsViewable" in state:
                    return not expect
            return not expect
        wait_for(topmost, f"console {console}'s window {'' if expect else 'not '}on top")

    def step_exit(self, console, code=0):
        """Ends the console as a later copy would; its exit code must be code."""
        c = self.console(console)
        got = c.close()
        if got != code:
            raise StepFailed(f"console {console} ended with {got}, not {code}")

    def step_running_order(self, sim, count, next_cue, server="10.77.0.1:19999"):
        """Writes the running order consoles read when they log in to server: count cues over the
        simulator's items in turn, cue next_cue (from 1) marked next."""
        rows = [line.split(None, 3) for line in self.sim(sim).command("list")[:-1]]
        cues = [{"guid": row[1], "name": row[3] if len(row) > 3 else "", "duration": 0}
                for row in (rows[i % len(rows)] for i in range(count))]
        data = self.env.get("XDG_DATA_HOME") or os.path.join(self.env["HOME"], ".local", "share")
        folder = os.path.join(data, "OvCGVestrel", "running-order")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, server.replace(":", "_") + ".json"), "w", encoding="utf-8") as f:
            json.dump({"version": 1, "next": next_cue - 1, "cues": cues}, f)

    def step_node_test(self, console, sim, folder, tests, port, token, seconds=90, view_token=""):
        """Runs the Node tests (node --test) in folder/tests against a console's remote API on port
        (with its view token, if any), the console's log file and a simulator's control socket, in
        this session (same display and network namespace)."""
        module = os.path.join(os.path.dirname(os.path.dirname(HERE)), folder)
        node = shutil.which("node")
        if not node or not os.path.isdir(os.path.join(module, "node_modules")):
            raise StepSkipped(f"node or {folder}/node_modules missing (npm ci there)")
        c = self.console(console)
        env = dict(self.env, OV_API_PORT=str(port), OV_API_TOKEN=token, OV_API_VIEW_TOKEN=view_token,
                   OV_CONSOLE_LOG=c.log_path(), OV_SIM_CONTROL=str(self.sim(sim).control_port),
                   OV_E2E_TIMEOUT_SCALE=str(SCALE))
        out_path = os.path.join(self.work, "node-test.out")
        with open(out_path, "w") as out:
            files = sorted(glob.glob(os.path.join(module, tests, "*.test.js")))
            r = subprocess.run([node, "--test", *files], cwd=module,
                               env=env, stdout=out, stderr=subprocess.STDOUT, timeout=seconds * SCALE)
        with open(out_path, errors="replace") as f:
            report = f.read()
        print("\n".join("    " + line for line in report.splitlines()[-60:]), flush=True)
        if r.returncode != 0:
            raise StepFailed(f"node --test in {folder} failed ({r.returncode}); whole output in {out_path}")

    def step_running(self, console):
        c = self.console(console)
        if c.proc.poll() is not None:
            raise StepFailed(f"console {console} ended with {c.proc.returncode}")

    # --- running ----------------------------------------------------------------------

    def run_steps(self, steps):
        for number, step in enumerate(steps, 1):
            verb, args = step[0], step[1:]
            kwargs = {}
            if args and isinstance(args[-1], dict):
                kwargs, args = args[-1], args[:-1]
            method = getattr(self, "step_" + verb, None)
            if method is None:
                raise StepFailed(f"step {number}: unknown verb '{verb}'")
            log(f"step {number}: {verb} {' '.join(str(a) for a in args)}"
                f"{' ' + str(kwargs) if kwargs else ''}")
            try:
                method(*args, **kwargs)
            except StepFailed as e:
                raise StepFailed(f"step {number} ({verb} {args}): {e}") from None


def main():
    import scenarios
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", required=True, help="folder with OvCGVestrel, its library and qss/")
    parser.add_argument("--sim", required=True, help="the ovcg-sim program")
    parser.add_argument("--work", required=True, help="scratch folder (emptied first)")
    parser.add_argument("--shots", help="folder for screenshots (default WORK/shots)")
    parser.add_argument("--installed", help="an installed console program, for installed_console steps")
    parser.add_argument("scenario", nargs="?", help="scenario name; none lists them")
    args = parser.parse_args()
    if not args.scenario:
        for name, steps in scenarios.SCENARIOS.items():
            print(f"{name}: {len(steps)} steps")
        return 0
    steps = {**scenarios.SCENARIOS, **scenarios.INSTALLED_SCENARIOS}.get(args.scenario)
    if steps is None:
        print(f"no scenario '{args.scenario}'; have {', '.join(scenarios.SCENARIOS)}", file=sys.stderr)
        return 2
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        print("run me inside dbus-run-session", file=sys.stderr)
        return 2

    for tool in ("Xvfb", "xdotool", "import", "xwininfo", "xmessage", "dbus-send"):
        if not shutil.which(tool):
            print(f"skipped: {tool} is not installed", file=sys.stderr)
            return 77
    import importlib.util
    if importlib.util.find_spec("pyatspi") is None:
        print("skipped: python3-pyatspi is not installed", file=sys.stderr)
        return 77

    driver = Driver(args)
    started = time.monotonic()
    try:
        driver.start_session()
        driver.run_steps(steps)
        log(f"scenario {args.scenario} passed in {time.monotonic() - started:.1f} s")
        return 0
    except StepSkipped as e:
        log(f"skipped: {e}")
        return 77
    except StepFailed as e:
        log(f"FAILED: {e}")
        driver.report_failure()
        return 1
    finally:
        driver.cleanup()


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(3))
    sys.exit(main())
