#!/usr/bin/env python3
"""End-to-end tests of the real Windows program, ringward.exe, under Wine on an X server of its
own (Xvfb), driven as a person would drive it: xdotool clicks its buttons and presses keys,
ImageMagick takes screenshots, and ALSA's file plugin records what the program played.

    python3 tests/wine/run.py [--arch i686|x86_64] [--out DIR] [--keep]

Builds ringward.exe and the test telephony DLL with the MinGW-w64 toolchain of the chosen
architecture (the 32-bit program by default; the 64-bit one where this machine cannot run
32-bit code), makes one fresh Wine prefix, copies it for every test, and ends with a line
"wine: N passed, N failed". Screenshots, logs and recordings stay in DIR (default
build-wine-ARCH/results). Needs Debian's wine, xvfb, xdotool and imagemagick.
"""
import argparse
import calendar
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no __pycache__ in the source tree

import fixtures  # noqa: E402  (beside this file)
import installer  # noqa: E402

WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
WINE_FONTS = "/usr/share/wine/fonts"
MODEM_KEY = r"HKLM\SYSTEM\CurrentControlSet\Control\Class\{4D36E96D-E325-11CE-BFC1-08002BE10318}\0000"
CTIME = r"(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d\d \d\d:\d\d:\d\d \d{4}"

WINDOW_WAIT_S = 45  # Wine's first start in a prefix can take a while on a busy machine
EXIT_WAIT_S = 30
PADDING_LIMIT_S = 0.1  # of silence that the sound system may add after a message


class TestFailure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise TestFailure(what)


def wait_for(what, predicate, timeout, interval=0.2):
    """Polls predicate until it gives a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TestFailure("timed out waiting for " + what)
        time.sleep(interval)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def ctime_seconds(text):
    """The epoch seconds of a run-time ctime text, read as UTC (the tests run with TZ=UTC)."""
    return calendar.timegm(time.strptime(text, "%a %b %d %H:%M:%S %Y"))


# ---- Wine and the desktop -------------------------------------------------------------------


class Wine:
    def __init__(self, arch):
        self.arch = arch
        self.loader = WINE64_LOADER if arch == "x86_64" else WINE32_LOADER

    def env(self, prefix, extra=None):
        env = dict(os.environ)
        env.update({
            "WINEPREFIX": prefix,
            "WINELOADER": self.loader,
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "TZ": "UTC",
            # Wine must not find a sound server: the tests record through ALSA's file plugin.
            "PULSE_SERVER": "unix:/nonexistent",
        })
        env.update(extra or {})
        return env

    def run(self, prefix, args, extra_env=None, timeout=120):
        return subprocess.run([self.loader] + args, env=self.env(prefix, extra_env),
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)

    def reg_add(self, prefix, key, name, value):
        result = self.run(prefix, ["reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value,
                                   "/f"])
        check(result.returncode == 0, "reg add %s %s failed with status %d: %s"
              % (key, name, result.returncode, result.stdout))

    @staticmethod
    def server_root(prefix):
        """The folder of the prefix's wineserver. Debian's Wine makes one under $TMPDIR with a
        random name and writes that name into the prefix's file "wineserver"; the server's
        socket lies in it, in a folder named by the prefix's device and inode."""
        try:
            with open(os.path.join(prefix, "wineserver")) as f:
                name = f.read().strip()
        except OSError:
            return None
        return os.path.join(os.environ.get("TMPDIR", "/tmp"), name) if name else None

    @staticmethod
    def forget_server(prefix):
        """A copied prefix must get a wineserver of its own. The copy names the template's
        server folder, and a prefix made where the last one was deleted gets its inode back:
        the two would share one socket, and a server of the test before, still shutting down,
        would take this test's first command (a "reg add" then fails without a word)."""
        try:
            os.remove(os.path.join(prefix, "wineserver"))
        except FileNotFoundError:
            pass

    def wait_server(self, prefix, extra=None):
        """Waits until the prefix's wineserver has ended by itself, its programs with it."""
        subprocess.run([WINESERVER, "-w"], env=self.env(prefix, extra), timeout=120)

    def stop_server(self, prefix):
        """Ends the prefix's wineserver and waits until it has gone, then removes its folder."""
        for option in ("-k", "-w"):
            subprocess.run([WINESERVER, option], env=self.env(prefix), stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
        root = self.server_root(prefix)
        if root:
            shutil.rmtree(root, ignore_errors=True)

    def make_template(self, prefix):
        result = self.run(prefix, ["wineboot", "-i"], timeout=300)
        check(result.returncode == 0, "wineboot failed: %s" % result.stdout[-2000:])
        # Wine's own fonts (Debian's fonts-wine) where its programs look for them: the dialog
        # font and the caption buttons' symbols.
        fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
        for name in sorted(os.listdir(WINE_FONTS)) if os.path.isdir(WINE_FONTS) else []:
            if name.endswith(".ttf"):
                shutil.copy(os.path.join(WINE_FONTS, name), fonts)
        # Without a window manager Wine draws the captions itself, as on Windows.
        self.reg_add(prefix, r"HKCU\Software\Wine\X11 Driver", "Decorated", "N")
        self.reg_add(prefix, r"HKCU\Software\Wine\Drivers", "Audio", "alsa")
        self.wait_server(prefix)
        self.stop_server(prefix)
        self.forget_server(prefix)


class Desktop:
    """An X server of the tests' own, and what a person does on it."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()
        check(number.isdigit(), "Xvfb did not start")
        self.display = ":" + number

    def close(self):
        self.server.terminate()
        self.server.wait(timeout=10)

    def tool(self, *args):
        return subprocess.run(list(args), env=dict(os.environ, DISPLAY=self.display),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                              timeout=30)

    def windows(self, name):
        """Visible windows whose title is exactly name, oldest first."""
        result = self.tool("xdotool", "search", "--onlyvisible", "--name",
                           "^" + re.escape(name) + "$")
        return [w for w in result.stdout.split()]

    def size(self, window):
        result = self.tool("xdotool", "getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in result.stdout.split() if "=" in line)
        return int(values.get("WIDTH", 0)), int(values.get("HEIGHT", 0))

    def keys(self, window, *keys):
        self.tool("xdotool", "windowfocus", "--sync", window)
        self.tool("xdotool", "key", "--delay", "150", *keys)

    def click(self, window, x, y):
        self.tool("xdotool", "mousemove", "--window", window, str(x), str(y), "click", "1")

    def screenshot(self, window, path):
        # The window in front, its caption active, as the user sees it.
        self.tool("xdotool", "windowfocus", "--sync", window)
        time.sleep(0.3)
        self.tool("import", "-window", window, path)
        check(os.path.getsize(path) > 0 if os.path.exists(path) else False,
              "no screenshot " + path)


# The main dialog is 119 x 65 dialog units; its buttons' centres, in those units.
DIALOG_UNITS = (119, 65)
START_BUTTON = (25 + 73 / 2, 17 + 16 / 2)
EXIT_BUTTON = (63 + 50 / 2, 43 + 16 / 2)
FRAME = 3  # pixels of a modal frame


def button_position(size, button):
    """Where a button of the main dialog is, in pixels of its window, from the window's size:
    the client area fills the width inside the frame and ends at the bottom frame; a dialog
    unit is 1/4 of the font's average width across and 1/8 of its height down (7 by 13 pixels
    for the 8-point dialog font: 13/14 of a unit across)."""
    width, height = size
    across = (width - 2 * FRAME) / DIALOG_UNITS[0]
    down = across * 13 / 14
    x = FRAME + button[0] * across
    y = height - FRAME - (DIALOG_UNITS[1] - button[1]) * down
    return int(round(x)), int(round(y))


# ---- One run of the program -------------------------------------------------------------


class ProgramRun:
    """The program in a working directory of its own, in a copy of the template prefix."""

    def __init__(self, suite, name, with_test_dll):
        self.suite = suite
        self.wine = suite.wine
        self.desktop = suite.desktop
        self.out = os.path.join(suite.out, name)
        shutil.rmtree(self.out, ignore_errors=True)
        os.makedirs(self.out)
        self.scratch = tempfile.mkdtemp(prefix="ringward-wine-" + name + "-")
        self.prefix = os.path.join(self.scratch, "prefix")
        self.work = os.path.join(self.scratch, "work")
        subprocess.run(["cp", "-a", suite.template, self.prefix], check=True)
        self.wine.forget_server(self.prefix)
        os.makedirs(self.work)
        shutil.copy(suite.exe, self.work)
        if with_test_dll:
            shutil.copy(suite.dll, self.work)
        self.with_test_dll = with_test_dll
        self.stderr_path = os.path.join(self.out, "wine-stderr.txt")
        self.tapi_log = os.path.join(self.out, "tapi.log")
        self.capture = os.path.join(self.out, "played.wav")
        self.process = None
        self.started = None

    def path(self, name):
        return os.path.join(self.work, name)

    def start(self, script=None, start_file=None, command=None, cwd=None, every_message=False):
        """Starts the program in its working directory, or runs command from cwd. The sound
        system records what it plays into self.capture: as a WAVE file, which each opening of
        the device rewrites, or with every_message as the raw samples of every message, one
        after another."""
        asound = os.path.join(self.out, "asound.conf")
        target, form = (("|cat >> " + self.capture, "raw") if every_message else
                        (self.capture, "wav"))
        with open(asound, "w") as f:
            f.write('pcm.!default { type file slave.pcm "null" file "%s" format "%s" }\n'
                    % (target, form))
        extra = {
            "DISPLAY": self.desktop.display,
            "WINEDEBUG": "fixme-all,trace+msgbox",  # every message box's text, on stderr
            "ALSA_CONFIG_PATH": "/usr/share/alsa/alsa.conf:" + asound,
            "RINGWARD_TAPI_LOG": windows_path(self.tapi_log),
        }
        if self.with_test_dll:
            extra["WINEDLLOVERRIDES"] = "mscoree,mshtml=;tapi32=n"
        if script is not None:
            script_path = os.path.join(self.out, "calls.txt")
            with open(script_path, "w") as f:
                f.write(script)
            extra["RINGWARD_TAPI_SCRIPT"] = windows_path(script_path)
        if start_file:
            extra["RINGWARD_TAPI_START"] = windows_path(start_file)
        self.started = time.time()
        self.stderr = open(self.stderr_path, "wb")
        self.process = subprocess.Popen(command or [self.wine.loader, "ringward.exe"],
                                        cwd=cwd or self.work,
                                        env=self.wine.env(self.prefix, extra),
                                        stdout=subprocess.DEVNULL, stderr=self.stderr)

    def running(self):
        return self.process.poll() is None

    def message_boxes(self):
        """The texts of the message boxes shown so far, from Wine's trace."""
        texts = []
        for line in read_bytes(self.stderr_path).decode("utf-8", "replace").splitlines():
            found = re.search(r'trace:msgbox:MSGBOX_OnInit L"(.*)"\s*$', line)
            if found:
                texts.append(unescape(found.group(1)))
        return texts

    def wait_box(self, count):
        """Waits for the count-th message box; returns its text and window."""
        texts = wait_for("message box %d" % count,
                         lambda: self.message_boxes() if len(self.message_boxes()) >= count
                         else None, WINDOW_WAIT_S)
        window = wait_for("the box's window", lambda: self.box_window(), WINDOW_WAIT_S)
        return texts[count - 1], window

    def box_window(self):
        # Boxes carry the program's name, like its main window; the newest one is the box.
        main = getattr(self, "main", None)
        boxes = [w for w in self.desktop.windows("Ringward") if w != main]
        return boxes[-1] if boxes else None

    def wait_main(self):
        self.main = wait_for("the main dialog", lambda: (self.desktop.windows("Ringward") or
                                                         [None])[0], WINDOW_WAIT_S)
        time.sleep(0.5)  # let it paint
        return self.main

    def answer_box(self, window):
        self.desktop.keys(window, "Return")
        wait_for("the box to close", lambda: window not in self.desktop.windows("Ringward"),
                 WINDOW_WAIT_S)

    def wait_exit(self):
        try:
            return self.process.wait(timeout=EXIT_WAIT_S)
        except subprocess.TimeoutExpired:
            raise TestFailure("the program did not end")

    def tapi_lines(self):
        return read_bytes(self.tapi_log).decode("latin-1").splitlines()

    def finish(self):
        if self.process and self.running():
            self.process.kill()
            self.process.wait(timeout=10)
        if self.process:
            self.stderr.close()
        self.wine.stop_server(self.prefix)
        if not self.suite.keep:
            shutil.rmtree(self.scratch, ignore_errors=True)


def unescape(text):
    """Undoes Wine's escaping of a traced string: \\n, \\t, \\\\, \\" and \\xHHHH."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 >= len(text):
            out.append(c)
            i += 1
            continue
        e = text[i + 1]
        if e == "x":
            digits = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
            out.append(chr(int(digits.group(0), 16)))
            i += 2 + len(digits.group(0))
            continue
        out.append({"n": "\n", "r": "\r", "t": "\t"}.get(e, e))
        i += 2
    return "".join(out)


def snapshot(directory):
    """Every entry of a directory with its kind, size, time and content."""
    entries = {}
    for name in sorted(os.listdir(directory)):
        path = os.path.join(directory, name)
        info = os.stat(path)
        content = read_bytes(path) if os.path.isfile(path) else sorted(os.listdir(path))
        entries[name] = (os.path.isdir(path), info.st_size, info.st_mtime_ns, content)
    return entries


# ---- The tests --------------------------------------------------------------------------


def test_no_modem(suite):
    """Wine's own telephony library has no line devices: the program reports "IVM 580" in a
    box and in "EventLog.txt", and ends with exit code 0 once the box is answered."""
    run = ProgramRun(suite, "no-modem", with_test_dll=False)
    try:
        fixtures.write_lists(run.work)
        run.start()
        text, box = run.wait_box(1)
        suite.desktop.screenshot(box, os.path.join(run.out, "report.png"))
        report = re.fullmatch("(" + CTIME + ")\nRingward: 0, IVM 580: F - No Agere voice modem "
                              r"found or voice modem busy\.\nGLE = (-?\d+)", text)
        check(report, "the box shows the IVM 580 report: %r" % text)
        stamp = ctime_seconds(report.group(1))
        check(run.started - 2 <= stamp <= time.time() + 2,
              "the report's time %s is the time of the run" % report.group(1))
        # Text mode: the run-time writes each line feed as CR LF.
        expected = (text + "\n\n").replace("\n", "\r\n").encode("latin-1")
        check(read_bytes(run.path("EventLog.txt")) == expected,
              "EventLog.txt holds exactly the report: %r" % read_bytes(run.path("EventLog.txt")))
        check(run.running(), "the program waits while the box is open")
        run.answer_box(box)
        check(run.wait_exit() == 0, "exit code 0")
        check(read_bytes(run.path("EventLog.txt")) == expected, "nothing more in EventLog.txt")
        check(os.path.isfile(run.path("Calls Received.txt")) and
              read_bytes(run.path("Calls Received.txt")) == b"",
              "Calls Received.txt was opened and left empty")
        check(len(run.message_boxes()) == 1, "one box in all: %r" % run.message_boxes())
    finally:
        run.finish()


def test_unwritable_event_log(suite):
    """A directory named "EventLog.txt" cannot be opened for appending: the program says so in
    a box of its own and ends with exit code 0, without touching any other file or the
    telephony library."""
    run = ProgramRun(suite, "unwritable-event-log", with_test_dll=True)
    try:
        fixtures.write_lists(run.work)
        fixtures.write_messages(run.work)
        os.mkdir(run.path("EventLog.txt"))
        before = snapshot(run.work)
        run.start()
        text, box = run.wait_box(1)
        check(text == "Error opening event log file.  Shutting down.", "the box: %r" % text)
        run.answer_box(box)
        check(run.wait_exit() == 0, "exit code 0")
        after = snapshot(run.work)
        changed = sorted(n for n in set(after) | set(before) if after.get(n) != before.get(n))
        check(not changed, "the working directory is as it was; changed: %r" % changed)
        check(len(run.message_boxes()) == 1, "one box in all: %r" % run.message_boxes())
        lines = run.tapi_lines()
        check(any("test telephony service loaded" in line for line in lines),
              "the test telephony DLL was the one loaded")
        calls = [line for line in lines if "] call " in line]
        check(not calls, "no telephony call was made: %r" % calls)
    finally:
        run.finish()


# A blocked caller, whose entry names its own message, then a caller of the accept list. The
# script's times count from the start file, made once screening is on.
SESSION_SCRIPT = """\
at 1 call number="555-019-8811" name="PEST, INC" rings=4
at 10 call number="555-010-4477" name="MOM" rings=1
"""
# dwMsg, dwParam1, dwParam2 of every line message, in order: new call, offering (active),
# caller ID, the answer's reply, connected (active), idle ahead of the drop's reply, the reply;
# new call, offering, caller ID, idle. The drop of an idle call is refused at once, so the
# handler releases the call without a reply to wait for.
SESSION_MESSAGES = [(23, 0, 65537), (2, 2, 1), (1, 32768, 0), (12, 1, 0), (2, 256, 1), (2, 1, 0),
                    (12, 2, 0), (23, 0, 65538), (2, 2, 1), (1, 32768, 0), (2, 1, 0)]
SESSION_CALLS = ["lineGetCallInfoA", "lineAnswer", "lineGetIDA", "lineDrop",
                 "lineDeallocateCall", "lineGetCallInfoA", "lineDrop", "lineDeallocateCall"]


def test_screening_session(suite):
    """With the test telephony DLL and an "Agere Systems" modem in the registry: Start, a
    blocked call that hears its message, an allowed call, Exit refused while screening, the
    About box, Stop, Exit."""
    run = ProgramRun(suite, "screening-session", with_test_dll=True)
    try:
        fixtures.write_lists(run.work)
        fixtures.write_messages(run.work)
        suite.wine.reg_add(run.prefix, MODEM_KEY, "Manufacturer", "Agere Systems")
        go = os.path.join(run.out, "go")
        run.start(script=SESSION_SCRIPT, start_file=go)
        main = run.wait_main()
        check(run.message_boxes() == [], "no report at start-up: %r" % run.message_boxes())
        suite.desktop.screenshot(main, os.path.join(run.out, "main-dialog.png"))
        size = suite.desktop.size(main)

        suite.desktop.click(main, *button_position(size, START_BUTTON))
        started = wait_for("the start line in EventLog.txt", lambda: re.fullmatch(
            rb"\r\nStarting screening calls at (" + CTIME.encode() + rb")\r\n",
            read_bytes(run.path("EventLog.txt"))), WINDOW_WAIT_S)
        check(abs(ctime_seconds(started.group(1).decode()) - time.time()) < 30,
              "the start line has the time of the click")
        suite.desktop.screenshot(main, os.path.join(run.out, "main-dialog-screening.png"))

        open(go, "w").close()
        wait_for("both calls to be released",
                 lambda: any("Call 2 released" in line for line in run.tapi_lines()), 90)
        check_session_logs(run)

        # Exit is refused while screening; the program goes on.
        suite.desktop.click(main, *button_position(size, EXIT_BUTTON))
        text, box = run.wait_box(1)
        check(text == "Please stop screening calls first.", "the refusal: %r" % text)
        run.answer_box(box)
        check(run.running(), "the program goes on after the refusal")

        # The About box, from the system menu's last entry.
        suite.desktop.keys(main, "alt+space")
        time.sleep(0.7)
        suite.desktop.keys(main, "Up", "Return")
        about = wait_for("the About box", lambda: (suite.desktop.windows("About Quorvel") or
                                                   [None])[0], WINDOW_WAIT_S)
        time.sleep(0.5)
        suite.desktop.screenshot(about, os.path.join(run.out, "about-box.png"))
        suite.desktop.keys(about, "Return")
        wait_for("the About box to close", lambda: not suite.desktop.windows("About Quorvel"),
                 WINDOW_WAIT_S)

        suite.desktop.click(main, *button_position(size, START_BUTTON))  # now "Stop"
        time.sleep(0.5)
        suite.desktop.click(main, *button_position(size, EXIT_BUTTON))
        check(run.wait_exit() == 0, "exit code 0")
        check(len(run.message_boxes()) == 1, "one box in all: %r" % run.message_boxes())
        log = read_bytes(run.path("EventLog.txt"))
        check(log.count(b"Starting screening calls") == 1, "one start line")
        check(b"GLE =" not in log, "no failure report in EventLog.txt")
        ends = [line.split("] ", 1)[1] for line in run.tapi_lines() if "] call " in line][-2:]
        check([e.split("(")[0] for e in ends] == ["call lineClose", "call lineShutdown"] and
              all(e.endswith("= 0") for e in ends), "the line closed, then TAPI shut down")
    finally:
        run.finish()


def check_session_logs(run):
    # The decisions, in the record layout of "Calls Received.txt" (text mode: CR LF).
    calls = read_bytes(run.path("Calls Received.txt")).decode("latin-1")
    stamp = r"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d"
    check(re.fullmatch(stamp + r",   PEST; INC       ,   555-019-8811,   Blocked\r\n" +
                       stamp + r",   MOM             ,   555-010-4477,   Allowed\r\n", calls),
          "Calls Received.txt: %r" % calls)

    # What the blocked caller heard is the message file's samples, in its format.
    check(os.path.exists(run.capture), "something was played")
    with wave.open(run.capture) as played, wave.open(run.path(fixtures.OWN_MESSAGE)) as message:
        check(played.getparams()[:3] == message.getparams()[:3],
              "played in the file's format: %s" % (played.getparams(),))
        heard = played.readframes(played.getnframes())
        samples = message.readframes(message.getnframes())
        # The sound system may fill its last period with silence after the message.
        tail = heard[len(samples):]
        check(heard[:len(samples)] == samples, "the samples played are the file's")
        check(len(tail) <= PADDING_LIMIT_S * message.getframerate() * message.getsampwidth() and
              not tail.strip(b"\0"), "nothing but a little silence after the message: %d bytes"
              % len(tail))

    # One event-log line per line message, in the order they came.
    log = read_bytes(run.path("EventLog.txt")).decode("latin-1")
    seen = [(int(m), int(p1), int(p2)) for m, p1, p2 in re.findall(
        r"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d LineCallback event: dwMsg = (-?\d+), "
        r"dwParam1 = (-?\d+), dwParam2 = (-?\d+)\r\n", log)]
    check(seen == SESSION_MESSAGES, "line messages in EventLog.txt: %r" % seen)

    # The program's telephony calls on the two calls, repeats of one call merged.
    names = []
    opened = False
    for line in run.tapi_lines():
        found = re.search(r"\] call (\w+)\(", line)
        if found and found.group(1) == "lineOpenA":
            opened = True  # discovery is over
        elif opened and found and found.group(1) not in ("lineClose", "lineShutdown"):
            if not names or names[-1] != found.group(1):
                names.append(found.group(1))
    check(names == SESSION_CALLS, "telephony calls: %r" % names)
    check(any('lineGetIDA(' in line and '"wave/out") = 0' in line for line in run.tapi_lines()),
          "the wave-out device was asked for")


# The answer of a blocked call fails: the test DLL fails the call that the script names.
FAILED_ANSWER_SCRIPT = """\
at 0 fail lineAnswer LINEERR_OPERATIONFAILED
at 1 call number="1-900-555-0142" name="PRIZE LINE" rings=4
"""


def test_failed_answer(suite):
    """A blocked caller whose answer fails: the "Blocked" record is written first, then the
    "MLC 580" report; once it is answered the program releases the call, the line and the API
    and ends with exit code 0."""
    run = ProgramRun(suite, "failed-answer", with_test_dll=True)
    try:
        fixtures.write_lists(run.work)
        fixtures.write_messages(run.work)
        suite.wine.reg_add(run.prefix, MODEM_KEY, "Manufacturer", "Agere Systems")
        go = os.path.join(run.out, "go")
        run.start(script=FAILED_ANSWER_SCRIPT, start_file=go)
        main = run.wait_main()
        suite.desktop.click(main, *button_position(suite.desktop.size(main), START_BUTTON))
        wait_for("the start line", lambda: b"Starting screening calls" in
                 read_bytes(run.path("EventLog.txt")), WINDOW_WAIT_S)
        open(go, "w").close()
        text, box = run.wait_box(1)
        report = re.fullmatch("(" + CTIME + ")\nRingward: -2147483576, MLC 580: F - Error during "
                              r"lineAnswer\.\nGLE = -?\d+", text)
        check(report, "the box shows the MLC 580 report: %r" % text)
        check(re.fullmatch(r"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d,   PRIZE LINE      ,   "
                           r"900-555-0142,   Blocked\r\n",
                           read_bytes(run.path("Calls Received.txt")).decode("latin-1")),
              "the Blocked record is there before the report is answered")
        log = read_bytes(run.path("EventLog.txt"))
        check(log.endswith((text + "\n\n").replace("\n", "\r\n").encode("latin-1")),
              "the report is in EventLog.txt")
        run.answer_box(box)
        check(run.wait_exit() == 0, "exit code 0")
        calls = [re.search(r"\] call (\w+)\(.*\) = (-?\d+)$", line) for line in run.tapi_lines()]
        calls = [(c.group(1), int(c.group(2))) for c in calls if c]
        answer = [r for f, r in calls if f == "lineAnswer"]
        check(answer == [-2147483576], "lineAnswer failed as the script said: %r" % answer)
        release = [f for f, r in calls if f in ("lineDrop", "lineDeallocateCall", "lineClose",
                                                 "lineShutdown")]
        check(release == ["lineDrop", "lineDeallocateCall", "lineClose", "lineShutdown"],
              "the call, the line and the API released in order: %r" % release)
        check(len(run.message_boxes()) == 1, "one box in all: %r" % run.message_boxes())
    finally:
        run.finish()


# A folder with something to find in each list and among the messages.
CHECKER_ACCEPT = "// friends\n1-555-010-2233\n555-010\nPRIVATE\n555-010-4477\n"
CHECKER_BLOCK = ("\ufeff// pests\n555-019-8811 @ Go Away.wav\n555-019 @ Loud.wav\n555-019-2222\n"
                 "900 @ nul.wav\n901 @ Gone.wav\n555-010-4477\n" + "7" * 140 + "\n")


def test_checker(suite):
    """ringward-check.exe, the console program beside ringward.exe, on one folder: the same
    findings, summary and exit code as the Linux build; a message named after a device is not
    opened."""
    run = ProgramRun(suite, "checker", with_test_dll=False)
    try:
        fixtures.write_messages(run.work)
        fixtures.write_text(run.path("Accept Always.txt"), CHECKER_ACCEPT)
        with open(run.path("Block.txt"), "wb") as f:
            f.write(CHECKER_BLOCK.encode("utf-8"))
        with wave.open(run.path("Loud.wav"), "wb") as w:
            w.setnchannels(2)
            w.setsampwidth(2)
            w.setframerate(44100)
            w.writeframes(bytes(4000))
        with open(run.path("nul.wav"), "wb") as f:
            f.write(b"not a message")
        exe = suite.checker
        shutil.copy(exe, run.work)
        result = subprocess.run([suite.wine.loader, "ringward-check.exe"], cwd=run.work,
                                env=suite.wine.env(run.prefix), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=120)
        windows = result.stdout.decode("latin-1").replace("\r\n", "\n")
        with open(os.path.join(run.out, "findings.txt"), "w") as f:
            f.write(windows)
        linux = subprocess.run([build_linux("ringward-check")], cwd=run.work, stdout=subprocess.PIPE,
                               timeout=60)
        check(linux.returncode == 1 and result.returncode == 1,
              "both end with exit code 1: Linux %d, Windows %d" % (linux.returncode,
                                                                     result.returncode))
        check(windows == linux.stdout.decode("latin-1"),
              "the same findings as the Linux build:\n%s\n--- Linux:\n%s" %
              (windows, linux.stdout.decode("latin-1")))
        check("device NUL" in windows and "Loud.wav\" is 44100 Hz stereo" in windows,
              "the device name and the format are found: %s" % windows)
    finally:
        run.finish()


# One blocked and one allowed caller, each giving up after one ring, that the test DLL places on
# the watched line; their times count from the checker's registration with the API.
WATCH_SCRIPT = """\
at 1 call number="555-019-8811" name="PEST, INC" rings=1
at 8 call number="1-555-010-4477" name="MOM" rings=1
"""
WATCH_SECONDS = "25"  # the second call is over 13 s after registration
STAMP = re.compile(r"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d( \+\d+\.\d{3})?")


def masked(text):
    """Output lines with times and the system's version line masked, CR LF taken as LF."""
    lines = text.replace("\r\n", "\n").splitlines()
    return [STAMP.sub("TIME", line) for line in lines if not line.startswith("system:")]


def test_checker_telephony(suite):
    """ringward-check.exe modem and watch with the test telephony DLL and an "Agere Systems"
    modem in the registry: line by line what the Linux build prints on the same machine and
    calls (times and the system's version masked); the watch opens its line to monitor only,
    never answers or drops, and releases every call, then the line, then the API."""
    run = ProgramRun(suite, "checker-telephony", with_test_dll=True)
    try:
        fixtures.write_lists(run.work)
        suite.wine.reg_add(run.prefix, MODEM_KEY, "Manufacturer", "Agere Systems")
        shutil.copy(suite.checker, run.work)
        script = os.path.join(run.out, "calls.txt")
        with open(script, "w") as f:
            f.write(WATCH_SCRIPT)
        env = suite.wine.env(run.prefix, {"WINEDLLOVERRIDES": "mscoree,mshtml=;tapi32=n",
                                          "RINGWARD_TAPI_LOG": windows_path(run.tapi_log)})
        linux = build_linux("ringward-check")
        for args in (["modem"], ["watch", "--seconds", WATCH_SECONDS]):
            name = args[0]
            if name == "watch":
                env["RINGWARD_TAPI_SCRIPT"] = windows_path(script)
            windows = subprocess.run([suite.wine.loader, "ringward-check.exe"] + args,
                                     cwd=run.work, env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, timeout=120)
            shown = windows.stdout.decode("latin-1")
            with open(os.path.join(run.out, name + ".txt"), "w") as f:
                f.write(shown)
            options = ["--script", script] if name == "watch" else []
            here = subprocess.run([linux] + options + args, cwd=run.work,
                                  stdout=subprocess.PIPE, timeout=60)
            check(windows.returncode == 0 and here.returncode == 0,
                  "%s ends with 0: Windows %d, Linux %d" % (name, windows.returncode,
                                                              here.returncode))
            check(re.match(r"system:    Windows \d+\.\d+ build \d+", shown.splitlines()[1]),
                  "the system's version: %r" % shown.splitlines()[1])
            check(masked(shown) == masked(here.stdout.decode("latin-1")),
                  "%s prints what the Linux build prints:\n%s\n--- Linux:\n%s" %
                  (name, shown, here.stdout.decode("latin-1")))
        calls = [re.search(r"\] call (\w+)\((.*)\) = (-?\d+)$", line) for line in run.tapi_lines()]
        calls = [(c.group(1), c.group(2).split(", "), int(c.group(3))) for c in calls if c]
        watched = calls[[f for f, _, _ in calls].index("lineShutdown") + 1:]  # after modem's
        names = [f for f, _, _ in watched]
        check("lineAnswer" not in names and "lineDrop" not in names,
              "the watch never answers or drops: %r" % names)
        opens = [a for f, a, _ in watched if f == "lineOpenA"]
        check(len(opens) == 1 and opens[0][5] == "2", "opened to monitor only: %r" % opens)
        releases = [(f, r) for f, _, r in watched
                    if f in ("lineDeallocateCall", "lineClose", "lineShutdown")]
        check(releases == [("lineDeallocateCall", 0), ("lineDeallocateCall", 0), ("lineClose", 0),
                           ("lineShutdown", 0)],
              "both calls, then the line, then the API released: %r" % releases)
    finally:
        run.finish()


LINUX_BUILD = os.path.join(ROOT, "build")


def build_linux(target):
    """A program of the Linux build (build/, Debug), brought up to date; its path."""
    subprocess.run(["cmake", "-S", ROOT, "-B", LINUX_BUILD, "-DCMAKE_BUILD_TYPE=Debug"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", LINUX_BUILD, "--target", target, "-j",
                    str(os.cpu_count() or 2)], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(LINUX_BUILD, target)



TESTS = [test_no_modem, test_unwritable_event_log, test_screening_session, test_failed_answer,
         test_checker, test_checker_telephony]


# ---- Building and the suite -------------------------------------------------------------


PROBE_32_BIT = "int main(void) { return 0; }\n"


def kernel_runs_32_bit():
    """Whether this kernel runs 32-bit x86 programs, told by a static 32-bit Linux program (no
    library of the machine involved); None when no such program can be built here."""
    with tempfile.TemporaryDirectory(prefix="ringward-probe-") as scratch:
        source, program = os.path.join(scratch, "probe.c"), os.path.join(scratch, "probe")
        with open(source, "w") as f:
            f.write(PROBE_32_BIT)
        try:
            built = subprocess.run(["gcc", "-m32", "-static", source, "-o", program],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   timeout=120).returncode == 0
            if not built:
                return None
            return subprocess.run([program], timeout=30).returncode == 0
        except OSError:  # no compiler, or the kernel refuses the program's format
            return None if not os.path.exists(program) else False


def why_not_32_bit():
    """None when 32-bit Windows programs run under Wine here; otherwise why not, truly: the
    kernel, or the 32-bit half of Wine."""
    if os.environ.get("RINGWARD_WITHOUT_WINE32") == "1":
        return "RINGWARD_WITHOUT_WINE32=1 leaves the 32-bit half of Wine out"
    kernel = kernel_runs_32_bit()
    if kernel is False:
        return "this kernel cannot run 32-bit programs"
    if not os.access(WINE32_LOADER, os.X_OK):
        return "wine32 (the 32-bit half of Wine) is not installed"
    try:
        started = subprocess.run([WINE32_LOADER, "--version"], stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL, timeout=30).returncode == 0
    except OSError:
        started = False
    if not started:
        return "wine32 is installed but does not start" + (
            "" if kernel else " (whether this kernel runs 32-bit programs is unknown: "
            "gcc -m32 -static did not build)")
    return None


def build(arch, build_dir):
    toolchain = os.path.join(ROOT, "cmake", "mingw-%s.cmake" % arch)
    subprocess.run(["cmake", "-S", ROOT, "-B", build_dir, "-DCMAKE_TOOLCHAIN_FILE=" + toolchain],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j", str(os.cpu_count() or 2)], check=True)


class Suite:
    pass


def tapi_dll(build_dir):
    """The test telephony DLL of a Windows build: in a folder of its own, never beside the
    program; each test copies it where it needs it."""
    return os.path.join(build_dir, "test-tapi", "tapi32.dll")


def main(argv, tests=None):
    """Builds, makes the prefix and the desktop, and runs tests (this file's and the
    installer's by default)."""
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--arch", choices=("i686", "x86_64"))
    parser.add_argument("--out")
    parser.add_argument("--keep", action="store_true", help="keep the prefixes and folders")
    args = parser.parse_args(argv)

    for tool in ("Xvfb", "xdotool", "import", "cmake"):
        if not shutil.which(tool):
            print("wine tests: %s is not installed" % tool, file=sys.stderr)
            return 1
    arch = args.arch
    if not arch:
        reason = why_not_32_bit()
        arch = "x86_64" if reason else "i686"
        if reason:
            print("wine tests: %s; testing the 64-bit build of the same sources" % reason)
    if not os.access(WINE64_LOADER if arch == "x86_64" else WINE32_LOADER, os.X_OK):
        print("wine tests: Wine for %s is not installed" % arch, file=sys.stderr)
        return 1

    suite = Suite()
    suite.wine = Wine(arch)
    suite.keep = args.keep
    build_dir = os.path.join(ROOT, "build-wine-" + arch)
    build(arch, build_dir)
    suite.exe = os.path.join(build_dir, "ringward.exe")
    suite.dll = tapi_dll(build_dir)
    suite.checker = os.path.join(build_dir, "ringward-check.exe")
    suite.out = os.path.abspath(args.out or os.path.join(build_dir, "results"))
    os.makedirs(suite.out, exist_ok=True)
    if tests is None:
        tests = TESTS + installer.prepare(sys.modules[__name__], suite, arch)

    began = time.monotonic()
    scratch = tempfile.mkdtemp(prefix="ringward-wine-template-")
    suite.template = os.path.join(scratch, "prefix")
    passed = failed = 0
    suite.desktop = None
    try:
        suite.wine.make_template(suite.template)
        suite.desktop = Desktop()
        for test in tests:
            t0 = time.monotonic()
            try:
                test(suite)
                passed += 1
                verdict = "ok"
            except Exception as error:  # a failed check or a broken step: both fail the test
                failed += 1
                verdict = "FAILED: %s" % error
                if not isinstance(error, TestFailure):
                    traceback.print_exc()
            print("wine test %-28s %5.1f s  %s" % (test.__name__[5:], time.monotonic() - t0,
                                                   verdict), flush=True)
    finally:
        if suite.desktop:
            suite.desktop.close()
        suite.wine.stop_server(suite.template)
        shutil.rmtree(scratch, ignore_errors=True)
    print("wine tests of the %s build took %.0f s; results in %s" %
          (arch, time.monotonic() - began, suite.out))
    print("wine: %d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
