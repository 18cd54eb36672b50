#!/usr/bin/env python3
"""Differential test: one set of calls and user actions through the Linux program on its
simulated machine and through ringward.exe under Wine with the test telephony DLL.

    python3 tests/wine/differential.py [--arch i686|x86_64] [--out DIR] [--keep]

"EventLog.txt" and "Calls Received.txt" must agree line by line, times masked and CR LF read
as LF, and the messages the Linux program played must be the samples Wine's sound system
recorded, in order, with at most a little silence after each. Wine records faster than real
time, so nothing here depends on how long a message takes to play. Both runs also have to be
free of reports, release every call and end with exit code 0. Builds build/ringward and the
Windows program; uses run.py's Wine, desktop and program runs.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True

import fixtures  # noqa: E402
import run  # noqa: E402

LINUX_WAIT_S = 120

# The line: the default modem's key and maker, on a provider that answers a too small block
# with the error alone, so that both programs must grow the records to the version's sizes.
DEVICE = ("device name='Agere Systems HDA Modem' key='%s' manufacturer='Agere Systems' wave=0 "
          "toosmall=untouched" % run.MODEM_KEY.split("\\", 1)[1])

# Seconds from the moment screening is on. A blocked caller with its own message, an allowed
# caller, a private one, callers without caller ID ringing once and twice, and a blocked caller
# who hangs up after the message.
CALLS = [
    (1, 'call number="555-019-8811" name="PEST, INC" rings=4'),
    (8, 'call number="555-010-4477" name="MOM" rings=1'),
    (15, 'call number="P" name="PRIVATE" rings=4'),
    (22, "call no-callerid rings=1"),
    (29, "call no-callerid rings=2"),
    (42, 'call number="1-900-555-0142" name="PRIZE LINE" rings=4 hangup-after=5'),
]
LAST_CALL_DONE_S = 55

# After a click on Start: Enter presses nothing (the click made no button the default), Tab to
# Exit, Tab back to the Start/Stop button, which Enter then presses (screening stops), Tab to
# Exit, which Enter presses. Script key names and xdotool key names.
KEYS = [("enter", "Return"), ("tab", "Tab"), ("tab", "Tab"), ("enter", "Return"),
        ("tab", "Tab"), ("enter", "Return")]

STAMP = re.compile(rb"\d\d/\d\d/\d{4} \d\d:\d\d:\d\d")
CTIME = re.compile(run.CTIME.encode())


def linux_script():
    lines = [DEVICE, "at 1 press start"]
    lines += ["at %g %s" % (2 + t, what) for t, what in CALLS]
    lines += ["at %d %s" % (2 + LAST_CALL_DONE_S + i, key) for i, (key, _) in enumerate(KEYS)]
    return "\n".join(lines) + "\n"


def wine_script():
    return "\n".join([DEVICE] + ["at %g %s" % (t, what) for t, what in CALLS]) + "\n"


def normalised(data):
    """A log as both programs' logs are compared: LF line ends, times masked."""
    data = CTIME.sub(b"<ctime>", STAMP.sub(b"<time>", data.replace(b"\r\n", b"\n")))
    return data.decode("latin-1").split("\n")


class LinuxRun:
    """The Linux program on the same scenario, in a directory of its own."""

    def __init__(self, out):
        self.work = tempfile.mkdtemp(prefix="ringward-differential-")
        self.played = os.path.join(self.work, "played")
        os.makedirs(self.played)
        fixtures.write_lists(self.work)
        fixtures.write_messages(self.work)
        script = os.path.join(out, "linux.script")
        with open(script, "w") as f:
            f.write(linux_script())
        result = subprocess.run([os.path.join(run.LINUX_BUILD, "ringward"), "--script", script,
                                 "--played", self.played], cwd=self.work,
                                env=dict(os.environ, TZ="UTC"), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=LINUX_WAIT_S)
        self.code = result.returncode
        self.notes = result.stdout.decode("latin-1")
        self.boxes = result.stderr.decode("latin-1")
        for name in ("EventLog.txt", "Calls Received.txt"):
            shutil.copy(os.path.join(self.work, name), os.path.join(out, "linux-" + name))

    def file(self, name):
        return run.read_bytes(os.path.join(self.work, name))

    def messages(self):
        """The samples of each message played, in order, and their format."""
        played = sorted(os.listdir(self.played), key=lambda n: int(n.split("-", 1)[0]))
        messages = []
        for name in played:
            with wave.open(os.path.join(self.played, name)) as w:
                messages.append((name, w.getparams()[:3], w.readframes(w.getnframes())))
        return messages

    def close(self):
        shutil.rmtree(self.work, ignore_errors=True)


def run_on_wine(suite):
    """ringward.exe through the same scenario; returns the finished ProgramRun."""
    wine_run = run.ProgramRun(suite, "differential", with_test_dll=True)
    fixtures.write_lists(wine_run.work)
    fixtures.write_messages(wine_run.work)
    suite.wine.reg_add(wine_run.prefix, run.MODEM_KEY, "Manufacturer", "Agere Systems")
    go = os.path.join(wine_run.out, "go")
    wine_run.capture = os.path.join(wine_run.out, "played.raw")
    wine_run.start(script=wine_script(), start_file=go, every_message=True)
    main = wine_run.wait_main()
    size = suite.desktop.size(main)
    suite.desktop.click(main, *run.button_position(size, run.START_BUTTON))
    run.wait_for("the start line", lambda: b"Starting screening calls" in
                 run.read_bytes(wine_run.path("EventLog.txt")), run.WINDOW_WAIT_S)
    open(go, "w").close()
    last = "Call %d released" % len(CALLS)
    run.wait_for(last, lambda: any(last in line for line in wine_run.tapi_lines()),
                 LAST_CALL_DONE_S + 60)
    time.sleep(1)
    suite.desktop.keys(main, *[key for _, key in KEYS])
    run.check(wine_run.wait_exit() == 0, "Wine: exit code 0")
    return wine_run


def compare_lines(what, linux, wine):
    for number, (a, b) in enumerate(zip(linux, wine), 1):
        run.check(a == b, "%s line %d differs:\n  Linux: %r\n  Wine:  %r" % (what, number, a, b))
    run.check(len(linux) == len(wine), "%s: %d lines on Linux, %d under Wine" %
              (what, len(linux), len(wine)))


def compare_audio(messages, capture):
    """Wine's recording holds the raw samples of every message in the messages' own format."""
    heard = run.read_bytes(capture)
    run.check(heard, "Wine played something")
    limit = int(run.PADDING_LIMIT_S * fixtures.RATE * 2)
    at = 0
    for name, format, samples in messages:
        run.check(format == (1, 2, fixtures.RATE), "%s is 8 kHz mono 16-bit: %s" % (name, format))
        found = heard.find(samples, at, at + limit + len(samples))
        run.check(found >= 0 and not heard[at:found].strip(b"\0"),
                  "%s is next in what Wine played, after at most a little silence" % name)
        at = found + len(samples)
    rest = heard[at:]
    run.check(len(rest) <= limit and not rest.strip(b"\0"),
              "nothing but a little silence after the last message: %d bytes" % len(rest))


def check_common(log, linux, wine_run):
    """What both runs must show, beyond agreeing: no report, no ring message, offering and
    connected modes ACTIVE, one start of screening, every call released."""
    run.check(not any("GLE =" in line for line in log), "no report in EventLog.txt")
    run.check(not any("dwMsg = 8," in line for line in log), "no ring messages")
    offers = [line for line in log if "dwMsg = 2, dwParam1 = 2," in line]
    run.check(len(offers) == len(CALLS) and all(line.endswith("dwParam2 = 1") for line in offers),
              "every call offered in the active mode: %r" % offers)
    run.check(sum("Starting screening calls" in line for line in log) == 1,
              "screening started once: Enter after the click pressed nothing")
    for n in range(1, len(CALLS) + 1):
        note = "Call %d released" % n
        run.check(note in linux.notes, "Linux: " + note)
        run.check(any(note in line for line in wine_run.tapi_lines()), "Wine: " + note)
    run.check(linux.boxes == "" and wine_run.message_boxes() == [],
              "no message box: %r %r" % (linux.boxes, wine_run.message_boxes()))


def test_differential(suite):
    """The Linux program and ringward.exe on the same calls and keys agree."""
    run.build_linux("ringward")
    out = os.path.join(suite.out, "differential-linux")
    os.makedirs(out, exist_ok=True)
    linux = LinuxRun(out)
    wine_run = None
    try:
        run.check(linux.code == 0, "Linux: exit code 0, not %d: %s" % (linux.code, linux.boxes))
        wine_run = run_on_wine(suite)
        log = normalised(linux.file("EventLog.txt"))
        compare_lines("EventLog.txt", log,
                      normalised(run.read_bytes(wine_run.path("EventLog.txt"))))
        compare_lines("Calls Received.txt", normalised(linux.file("Calls Received.txt")),
                      normalised(run.read_bytes(wine_run.path("Calls Received.txt"))))
        compare_audio(linux.messages(), wine_run.capture)
        check_common(log, linux, wine_run)
    finally:
        linux.close()
        if wine_run:
            wine_run.finish()


if __name__ == "__main__":
    sys.exit(run.main(sys.argv[1:], [test_differential]))
