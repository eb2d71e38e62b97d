#!/usr/bin/python3
"""Checks the version reader against an independent one on real executables.

    pe_versions.py VERSION_INFO_TOOL PACKAGE_OR_FOLDER...

Every PE file the Debian PACKAGEs install, and every one in a FOLDER (an
argument that is a folder), is read twice: by the program's own
reader (through VERSION_INFO_TOOL, tools/version_info.cpp) and by pefile. The
values of the eight names the program reports must agree, entry by entry,
once pefile's are put through the program's deliberate rules:

  * the string table read is the one the first "\\VarFileInfo\\Translation"
    pair names (language, code page); other tables are not looked at, and a
    file without a translation states no version;
  * only the eight names are reported (CompanyName, FileDescription,
    FileVersion, InternalName, LegalCopyright, OriginalFileName, ProductName,
    ProductVersion); names compare without regard to ASCII case and a name
    the table lacks reads as empty;
  * a value ends at its first NUL and keeps at most 127 characters;
  * a file whose product version is empty or only spaces states no version.

A file in which pefile finds no version after giving up on its section table
(too many warnings, such as a section past the end of the file) is not
compared: pefile then misses the sections after the damaged one, while the
program finds the resource directory through the section that holds it,
whatever another section's header says.

Exit status: 0 when every file agrees, 1 on a difference (each is printed),
77 (the test is skipped) when pefile or a package is not installed.
"""
import os
import subprocess
import sys

NAMES = ["CompanyName", "FileDescription", "FileVersion", "InternalName",
         "LegalCopyright", "OriginalFileName", "ProductName", "ProductVersion"]
LABELS = ["Company Name:    ", "File Description:    ", "File Version:    ",
          "Internal Name:    ", "Legal Copyright:    ", "Original FileName:    ",
          "Product Name:    ", "Product Version:    "]
NO_VERSION = "No version information available for this file."
NOT_COMPARED = "pefile gave up on the section table"


def skip(reason):
    print("skipped: " + reason)
    sys.exit(77)


try:
    import pefile
except ImportError:
    skip("pefile is not installed (Debian package python3-pefile)")


def pe_files(paths):
    for path in paths:
        if os.path.isfile(path) and not os.path.islink(path):
            with open(path, "rb") as f:
                if f.read(2) == b"MZ":
                    yield path


def package_files(package):
    if os.path.isdir(package):
        return pe_files(sorted(os.path.join(package, name) for name in os.listdir(package)))
    status = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package],
                            capture_output=True, text=True)
    if "install ok installed" not in status.stdout:
        skip(package + " is not installed")
    listing = subprocess.run(["dpkg-query", "-L", package], capture_output=True, text=True)
    return pe_files(listing.stdout.splitlines())


def expected(path):
    """The eight values pefile reads, after the rules; None for no version."""
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError:
        return None  # not a PE image (a damaged input of the fuzz corpus)
    gave_up = any(w.startswith("Too many warnings parsing section") for w in pe.get_warnings())
    translation, tables = None, {}
    for info in getattr(pe, "FileInfo", None) or []:
        for block in info:
            if block.Key == b"VarFileInfo":
                for var in block.Var:
                    pair = var.entry.get(b"Translation")
                    if pair and translation is None:
                        language, code_page = (int(x, 16) for x in pair.split()[:2])
                        translation = "%04x%04x" % (language, code_page)
            elif block.Key == b"StringFileInfo":
                for table in getattr(block, "StringTable", []):
                    tables.setdefault(table.LangID.decode().lower(), table.entries)
    if translation is None:
        return NOT_COMPARED if gave_up else None
    entries = {k.decode().lower(): v.decode("utf-8") for k, v in
               tables.get(translation, {}).items()}
    values = [entries.get(name.lower(), "").split("\0")[0][:127] for name in NAMES]
    return None if not values[-1].strip(" ") else values


def reported(tool, path):
    """The eight values the program reports; None for no version."""
    out = subprocess.run([tool, path], capture_output=True, text=True).stdout
    if out.strip("\n") == NO_VERSION:
        return None
    lines = out.split("\n")
    values = []
    for label, line in zip(LABELS, lines):
        if not line.startswith(label):
            return ["unreadable output: " + out]
        values.append(line[len(label):])
    return values


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    tool, packages = sys.argv[1], sys.argv[2:]
    files = [path for package in packages for path in package_files(package)]
    if not files:
        print("no PE file in " + " ".join(packages))
        return 1
    differences = 0
    not_compared = 0
    for path in files:
        want, got = expected(path), reported(tool, path)
        if want == NOT_COMPARED:
            # pefile's "no version" says nothing here; the program's agrees anyway.
            not_compared += got is not None
            continue
        if want is None or got is None:
            if want != got:
                differences += 1
                print("%s: pefile %s, the program %s" % (
                    path, "no version" if want is None else "a version",
                    "no version" if got is None else "a version"))
            continue
        for name, w, g in zip(NAMES, want, got):
            if w != g:
                differences += 1
                print("%s: %s: pefile %r, the program %r" % (path, name, w, g))
    print("%d files, %d differences, %d not compared (%s)" % (
        len(files), differences, not_compared, NOT_COMPARED))
    return 1 if differences else 0


sys.exit(main())
