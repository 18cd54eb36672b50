#!/usr/bin/env python3
"""Checks the two Windows packages: the zip holds exactly the files named, its text files have
CR LF line ends, every message its example "Block.txt" names is there too, and the installer's
file table (as 7-Zip lists it) holds the same files.

    check_packages.py [--7z 7z] ZIP INSTALLER FILE...
"""
import argparse
import subprocess
import sys
import zipfile

# What an NSIS installer holds of its own besides the files of the package: its script, its
# plug-ins and the uninstaller it writes.
INSTALLER_OWN = ("[NSIS].nsi", "$PLUGINSDIR", "Uninstall.exe")


def differences(path, names, expected):
    """What a package holds that it should not, and what it lacks."""
    problems = []
    extra = sorted(set(names) - set(expected))
    missing = sorted(set(expected) - set(names))
    if extra:
        problems.append("%s holds files it should not: %s" % (path, ", ".join(extra)))
    if missing:
        problems.append("%s lacks %s" % (path, ", ".join(missing)))
    return problems


def zip_problems(path, expected):
    problems = []
    with zipfile.ZipFile(path) as package:
        names = package.namelist()
        problems += differences(path, names, expected)
        if len(names) != len(set(names)):
            problems.append("%s holds a file twice" % path)
        for name in names:
            if name.endswith(".txt"):
                text = package.read(name)
                if text.count(b"\n") != text.count(b"\r\n") or not text:
                    problems.append("%s: %s is empty or not all CR LF" % (path, name))
        if "Block.txt" in names:
            for message in named_messages(package.read("Block.txt")):
                if message not in names:
                    problems.append("%s: Block.txt names %s, which it lacks" % (path, message))
    return problems


def named_messages(block_list):
    """The message files that the entries of a block list name after "@"."""
    messages = []
    for line in block_list.decode("latin-1").splitlines():
        line = line.strip()
        if not line.startswith("//") and "@" in line:
            messages.append(line.split("@", 1)[1].strip())
    return [m for m in messages if m]


def installer_files(path, sevenzip):
    """The files of the installer's table, as 7-Zip's technical listing gives them."""
    listing = subprocess.run([sevenzip, "l", "-slt", path], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True, check=True).stdout
    entries = listing.split("----------", 1)[-1]
    return [line[len("Path = "):].replace("\\", "/") for line in entries.splitlines()
            if line.startswith("Path = ")]


def installer_problems(path, expected, sevenzip):
    files = [f for f in installer_files(path, sevenzip) if not f.startswith(INSTALLER_OWN)]
    return differences(path, files, expected)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--7z", dest="sevenzip", default="7z")
    parser.add_argument("zip")
    parser.add_argument("installer")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args(argv)
    problems = zip_problems(args.zip, args.files)
    problems += installer_problems(args.installer, args.files, args.sevenzip)
    for problem in problems:
        print("packages: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
