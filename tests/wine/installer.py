"""Tests of the Windows installer under Wine, run by run.py: a silent install for the current
user, its files and its Start-menu shortcut (with the working folder) where they belong, the
installed program started through that shortcut and writing its logs in its folder, an
uninstall that keeps the lists, messages and logs, and a second install over an edited
"Block.txt". The packages are made from the 32-bit build, whose dist target also checks what
each holds; where Wine cannot run 32-bit programs only that check runs.
"""
import glob
import os
import shutil
import struct
import subprocess
import time

PACKAGE = ["ringward.exe", "ringward-check.exe", "README.txt", "Accept Always.txt", "Block.txt",
           "ZapMessage.wav", "AnonCallerMessage.wav", "Go Away.wav"]
USER_FILES = ["Accept Always.txt", "Block.txt", "ZapMessage.wav", "AnonCallerMessage.wav",
              "Go Away.wav"]
LOGS = ["EventLog.txt", "Calls Received.txt"]
UNINSTALLER = "Uninstall.exe"
SHORTCUT = os.path.join("AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs",
                        "Ringward.lnk")
# Wine would otherwise copy every shortcut into the desktop's menus of this machine.
NO_MENUS = "mscoree,mshtml=;winemenubuilder.exe=d"

harness = None  # run.py, whose helpers the tests use


def prepare(run_module, suite, arch):
    """Makes the packages; gives the installer tests where 32-bit programs run under Wine."""
    global harness
    harness = run_module
    build_dir = os.path.join(harness.ROOT, "build-wine-i686")
    if arch != "i686":
        harness.build("i686", build_dir)
    subprocess.run(["cmake", "--build", build_dir, "--target", "dist"], check=True,
                   stdout=subprocess.DEVNULL)
    if arch != "i686":
        print("wine tests: the installer tests are skipped: this machine cannot run 32-bit "
              "programs under Wine (the packages' contents were checked)")
        return []
    suite.installer = glob.glob(os.path.join(build_dir, "dist", "*-setup.exe"))[0]
    suite.stage = os.path.join(build_dir, "dist", "stage")
    return [test_install_run_uninstall, test_install_over_edited_lists]


# ---- Helpers --------------------------------------------------------------------------------


def read_shortcut(path):
    """The target and the working folder of a shell link (.lnk) file."""
    data = harness.read_bytes(path)
    harness.check(data[:4] == b"\x4c\0\0\0", "%s is a shell link" % path)
    flags = struct.unpack_from("<I", data, 0x14)[0]
    pos = 0x4C
    if flags & 0x1:  # an item id list
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    target = None
    if flags & 0x2:  # link information, with the target's local path
        size = struct.unpack_from("<I", data, pos)[0]
        base = struct.unpack_from("<I", data, pos + 16)[0]
        if base:
            target = data[pos + base:data.index(b"\0", pos + base)].decode("latin-1")
        pos += size
    strings = {}
    wide = flags & 0x80
    for bit, name in ((0x4, "description"), (0x8, "relative path"), (0x10, "working folder"),
                      (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, pos)[0] * (2 if wide else 1)
            text = data[pos + 2:pos + 2 + count].decode("utf-16-le" if wide else "latin-1")
            strings[name] = text.rstrip("\0")
            pos += 2 + count
    return target, strings.get("working folder")


def windows_path_in(prefix, path):
    """The Windows path of a file of the prefix's drive C."""
    relative = os.path.relpath(path, os.path.join(prefix, "drive_c"))
    return "C:\\" + relative.replace("/", "\\")


def install(run):
    extra = {"DISPLAY": run.desktop.display, "WINEDLLOVERRIDES": NO_MENUS}
    result = run.wine.run(run.prefix, [run.suite.installer, "/S"], extra)
    harness.check(result.returncode == 0, "the silent install failed: %s" % result.stdout)
    folders = glob.glob(os.path.join(run.prefix, "drive_c", "users", "*", "AppData", "Local",
                                     "Ringward"))
    harness.check(len(folders) == 1, "one Ringward folder in the user's local data: %r" % folders)
    return folders[0]


def uninstall(run, folder):
    extra = {"DISPLAY": run.desktop.display, "WINEDLLOVERRIDES": NO_MENUS}
    result = run.wine.run(run.prefix, [os.path.join(folder, UNINSTALLER), "/S"], extra)
    harness.check(result.returncode == 0, "the silent uninstall failed: %s" % result.stdout)
    # The uninstaller runs a copy of itself and returns at once: wait until that one has ended.
    run.wine.wait_server(run.prefix, extra)


def same_file(path, staged):
    return harness.read_bytes(path) == harness.read_bytes(staged)


# ---- The tests ------------------------------------------------------------------------------


def test_install_run_uninstall(suite):
    """A silent install puts the package's files into the user's local data and the shortcut
    into the Start menu; the program started through the shortcut writes its logs in its
    folder; uninstalling removes the program and the shortcut and keeps the lists, the
    messages and the logs."""
    run = harness.ProgramRun(suite, "installer", with_test_dll=True)
    check = harness.check
    try:
        folder = install(run)
        check(sorted(os.listdir(folder)) == sorted(PACKAGE + [UNINSTALLER]),
              "the installed files: %r" % sorted(os.listdir(folder)))
        check(all(same_file(os.path.join(folder, name), os.path.join(suite.stage, name))
                  for name in PACKAGE), "each is the package's file")
        shortcut = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(folder))),
                                SHORTCUT)
        target, working_folder = read_shortcut(shortcut)
        check(target == windows_path_in(run.prefix, os.path.join(folder, "ringward.exe")),
              "the shortcut starts the installed program: %r" % target)
        check(working_folder == windows_path_in(run.prefix, folder),
              "the shortcut's working folder is the program's: %r" % working_folder)

        # Started as the user would, through the shortcut and from elsewhere, with the test
        # telephony DLL beside the program for this test only.
        shutil.copy(suite.dll, folder)
        suite.wine.reg_add(run.prefix, harness.MODEM_KEY, "Manufacturer", "Agere Systems")
        run.work = folder
        run.start(command=[suite.wine.loader, "start", "/wait", "/unix", shortcut], cwd=run.out)
        main = run.wait_main()
        check(run.message_boxes() == [], "no report at start-up: %r" % run.message_boxes())
        size = suite.desktop.size(main)
        suite.desktop.click(main, *harness.button_position(size, harness.START_BUTTON))
        harness.wait_for("the start line in the folder's EventLog.txt", lambda: b"Starting "
                         b"screening calls at " in harness.read_bytes(run.path("EventLog.txt")),
                         harness.WINDOW_WAIT_S)
        suite.desktop.click(main, *harness.button_position(size, harness.START_BUTTON))
        time.sleep(0.5)  # now "Start" again: Exit is no longer refused
        suite.desktop.click(main, *harness.button_position(size, harness.EXIT_BUTTON))
        # The shell starts the program apart from start itself: its orderly end shows in the
        # telephony log and in its window going away.
        harness.wait_for("the program to end", lambda: main not in suite.desktop.windows(
            "Ringward") and any("call lineShutdown(" in line and line.endswith("= 0")
                                for line in run.tapi_lines()), harness.EXIT_WAIT_S)
        check(any("test telephony service loaded" in line for line in run.tapi_lines()),
              "the test telephony DLL beside the program was the one loaded")
        run.wine.wait_server(run.prefix)
        check(all(os.path.isfile(run.path(log)) for log in LOGS), "both logs in the folder")
        check(not any(os.path.exists(os.path.join(run.out, log)) for log in LOGS),
              "no log where the shortcut was started from")
        os.remove(os.path.join(folder, "tapi32.dll"))

        kept = {name: harness.read_bytes(run.path(name)) for name in USER_FILES + LOGS}
        uninstall(run, folder)
        check(os.path.isdir(folder), "the folder of the user's files stays")
        check(sorted(os.listdir(folder)) == sorted(USER_FILES + LOGS),
              "only the lists, the messages and the logs are left: %r" % os.listdir(folder))
        check(all(harness.read_bytes(run.path(name)) == kept[name] for name in kept),
              "each as it was")
        check(not os.path.exists(shortcut), "the shortcut is gone")
    finally:
        run.finish()


def test_install_over_edited_lists(suite):
    """A second install over the first keeps the user's edited "Block.txt" and own message,
    and brings back the program's own files."""
    run = harness.ProgramRun(suite, "reinstall", with_test_dll=False)
    check = harness.check
    try:
        folder = install(run)
        edited = b"// My own list.\r\n555-0100 @ ZapMessage.wav\r\nP\r\n"
        with open(os.path.join(folder, "Block.txt"), "wb") as f:
            f.write(edited)
        own_message = harness.read_bytes(os.path.join(folder, "Go Away.wav"))
        with open(os.path.join(folder, "ZapMessage.wav"), "wb") as f:
            f.write(own_message)
        os.remove(os.path.join(folder, "ringward.exe"))
        os.remove(os.path.join(folder, "README.txt"))

        install(run)
        check(harness.read_bytes(os.path.join(folder, "Block.txt")) == edited,
              "the edited Block.txt is kept")
        check(harness.read_bytes(os.path.join(folder, "ZapMessage.wav")) == own_message,
              "the user's ZapMessage.wav is kept")
        check(all(same_file(os.path.join(folder, name), os.path.join(suite.stage, name))
                  for name in ("ringward.exe", "README.txt")), "the program's files are back")
    finally:
        run.finish()
