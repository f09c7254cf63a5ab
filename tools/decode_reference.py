#!/usr/bin/env python3
"""Prints, for every message file in a folder, the raw Subject and From values of its top-level
header block and what Python's email package decodes them to, as one JSON object per line.

The raw values are unfolded (RFC 5322 2.2.3: a line break directly before white space is
removed) and given base64-encoded so that 8-bit bytes survive exactly. Python's decoding is
str(make_header(decode_header(value))) applied to the value read as ASCII with surrogate
escapes, the way the email package itself reads 8-bit headers; it is given as UTF-8 (base64),
with any raw byte that Python left undecoded written back as that byte.

    decode_reference.py <message folder>

Each line: {"file": name, "header": "subject" | "from", "raw": b64, "python": b64 | null,
"error": text | null}. A header that is absent gives no line.
"""

import base64
import email.header
import json
import pathlib
import sys

WANTED = ("subject", "from")


def header_block(data: bytes) -> bytes:
    """The top-level header block: everything before the first empty line."""
    end = len(data)
    for separator in (b"\r\n\r\n", b"\n\n"):
        position = data.find(separator)
        if position != -1:
            end = min(end, position)
    return data[:end]


def unfold(value: bytes) -> bytes:
    """RFC 5322 2.2.3: a CR LF (or bare LF) directly before a blank or tab is removed."""
    out = bytearray()
    index = 0
    while index < len(value):
        if value.startswith(b"\r\n", index) and index + 2 < len(value) and value[index + 2] in b" \t":
            index += 2
            continue
        if value[index : index + 1] == b"\n" and index + 1 < len(value) and value[index + 1] in b" \t":
            index += 1
            continue
        out.append(value[index])
        index += 1
    return bytes(out)


def first_fields(block: bytes) -> dict:
    """The first occurrence of each wanted field, value unfolded and trimmed."""
    found = {}
    lines = block.split(b"\n")
    index = 0
    while index < len(lines):
        line = lines[index]
        index += 1
        colon = line.find(b":")
        if colon <= 0 or line[:1] in (b" ", b"\t"):
            continue
        name = line[:colon].strip().lower().decode("ascii", "replace")
        value = [line[colon + 1 :]]
        while index < len(lines) and lines[index][:1] in (b" ", b"\t"):
            value.append(lines[index])
            index += 1
        if name in WANTED and name not in found:
            found[name] = unfold(b"\n".join(value)).strip(b" \t\r\n")
    return found


def python_decoding(raw: bytes) -> bytes:
    text = raw.decode("ascii", "surrogateescape")
    decoded = str(email.header.make_header(email.header.decode_header(text)))
    return decoded.encode("utf-8", "surrogateescape")


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = pathlib.Path(sys.argv[1])
    for path in sorted(folder.iterdir()):
        if not path.is_file():
            continue
        fields = first_fields(header_block(path.read_bytes()))
        for name in WANTED:
            if name not in fields:
                continue
            raw = fields[name]
            record = {"file": path.name, "header": name,
                      "raw": base64.b64encode(raw).decode("ascii"), "python": None, "error": None}
            try:
                record["python"] = base64.b64encode(python_decoding(raw)).decode("ascii")
            except Exception as error:  # any failure of the reference is reported, not fatal
                record["error"] = f"{type(error).__name__}: {error}"
            print(json.dumps(record))
    return 0


if __name__ == "__main__":
    sys.exit(main())
