#!/usr/bin/env python3
"""Build-time checks of the launcher's configuration and string table.

The two printf-format texts of the string table are formatted with one int,
so each must hold exactly one %d and no other conversion. The product name
and the update-server host names are turned into UTF-16 from the ANSI code
page, which agrees with UTF-8 only for ASCII, so they must be ASCII. Both
documents start with a UTF-8 byte-order mark.

usage: check_config.py <strings.xml> <stamp file> <config.xml>...
"""
import re
import sys
import xml.etree.ElementTree as ET

FORMAT_IDS = ("update_resource_progress", "loading_game_error")
BOM = b"\xef\xbb\xbf"


def load(path, root_name, errors):
    data = open(path, "rb").read()
    if not data.startswith(BOM):
        errors.append(f"{path}: no UTF-8 byte-order mark")
    # Bare '&' is allowed in the launcher's documents (its parser keeps it).
    text = re.sub(r"&(?![a-zA-Z]+;|#[0-9]+;|#x[0-9a-fA-F]+;)", "&amp;",
                  data[len(BOM):].decode("utf-8") if data.startswith(BOM) else data.decode("utf-8"))
    root = ET.fromstring(text)
    if root.tag != root_name:
        errors.append(f"{path}: root is {root.tag}, not {root_name}")
    return root


def conversions(text):
    return re.findall(r"%(?:%|[-+ #0]*\d*(?:\.\d+)?[hlL]*[a-zA-Z])", text)


def check_strings(path, errors):
    root = load(path, "String", errors)
    texts = {child.tag: (child.text or "") for child in root}
    for key in FORMAT_IDS:
        if key not in texts:
            errors.append(f"{path}: {key} is missing")
            continue
        found = [c for c in conversions(texts[key]) if c != "%%"]
        if found != ["%d"]:
            errors.append(f"{path}: {key} must hold exactly one %d, holds {found}")


def check_config(path, errors):
    root = load(path, "Config", errors)
    names = []
    for update in root.findall("Update"):
        names.append(("ProductName", update.get("ProductName", "")))
        for server in update.findall("UpdateServers/UpdateServer"):
            names.append(("UpdateServer Server", server.get("Server", "")))
    for what, value in names:
        if not value.isascii():
            errors.append(f"{path}: {what} {value!r} is not ASCII")


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    errors = []
    check_strings(sys.argv[1], errors)
    for path in sys.argv[3:]:
        check_config(path, errors)
    for error in errors:
        print("error:", error, file=sys.stderr)
    if errors:
        return 1
    open(sys.argv[2], "w").write("checked\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
