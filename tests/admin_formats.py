#!/usr/bin/env python3
"""velvarin-admin's CSV and JSON, read back by Python's own csv and json
modules, must give the field texts that a plain reading of the ticket file
gives. Usage: admin_formats.py PATH-TO-velvarin-admin"""
import csv
import io
import json
import os
import random
import re
import subprocess
import sys
import tempfile

WHITE = b" \t\n\v\f\r"


def records(data):
    """The records of a ticket file: the booking-number word, then the next
    eight lines without their line breaks; missing lines are empty."""
    found = []
    at = 0
    while True:
        while at < len(data) and data[at] in WHITE:
            at += 1
        if at == len(data):
            return found
        end = at
        while end < len(data) and data[end] not in WHITE:
            end += 1
        fields = [data[at:end]]
        line_end = data.find(b"\n", end)
        at = len(data) if line_end < 0 else line_end + 1
        for _ in range(8):
            line_end = data.find(b"\n", at)
            if line_end < 0:
                fields.append(data[at:])
                at = len(data)
            else:
                fields.append(data[at:line_end])
                at = line_end + 1
        found.append(fields)


def ticket_file(rng):
    """Bookings as velvarin writes them, mixed with what hands leave."""
    pieces = [b"", b"Ada", b"Bob, \"B\"", b"a,b", b"\"", b"x\ry", b"Jos\xc3\xa9",
              b"\xff\xfe", b"\xe2\x82", b"\xed\xa0\x80", b"NUL\x00", b"tab\there",
              b"42", b"-0", b"007", b"-2147483648", b"2147483648", b"\x01\x1f\x7f",
              b"\xf0\x9f\x8e\xac", "é".encode() * 40]
    out = bytearray()
    for _ in range(300):
        out += str(rng.randint(-5, 10000)).encode() if rng.random() < 0.8 else rng.choice(pieces)
        out += b"\n"
        for _ in range(8):
            out += rng.choice(pieces) + (b"\r\n" if rng.random() < 0.1 else b"\n")
        out += rng.choice([b"\n", b"\n", b"\n", b"", b"\n\n", b"  \n"])
    return bytes(out) + b"99\nlast\ncut"


def main():
    admin = sys.argv[1]
    names = ["booking", "customer", "movie", "date", "time", "guests", "house", "type", "fee"]
    plain = re.compile(rb"-?(0|[1-9][0-9]*)\Z")
    for seed in range(5):
        data = ticket_file(random.Random(seed))
        expected = records(data)
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "ticket.txt")
            with open(path, "wb") as f:
                f.write(data)
            run = lambda fmt: subprocess.run([admin, "-f", path, "list", "--format", fmt],
                                             check=True, capture_output=True).stdout

            rows = list(csv.reader(io.StringIO(run("csv").decode("utf-8", "surrogateescape"),
                                               newline="")))
            assert rows[0] == names, rows[0]
            got = [[cell.encode("utf-8", "surrogateescape") for cell in row] for row in rows[1:]]
            assert got == expected, f"seed {seed}: CSV differs"

            lines = run("json").decode("utf-8").splitlines()
            assert len(lines) == len(expected), f"seed {seed}: {len(lines)} JSON lines"
            for line, fields in zip(lines, expected):
                obj = json.loads(line)
                assert list(obj) == ["line"] + names, list(obj)
                for name, text in zip(names, fields):
                    value = obj[name]
                    number = plain.match(text) and -2**31 <= int(text) < 2**31
                    if number:
                        assert isinstance(value, int) and value == int(text), (name, text, value)
                    else:
                        assert value == text.decode("utf-8", "replace"), (name, text, value)
            # The line numbers: each record's word stands on that line.
            for line in lines:
                obj = json.loads(line)
                text_line = data.split(b"\n")[obj["line"] - 1]
                assert text_line.split()[0] == records(text_line)[0][0], (obj["line"], text_line)
    print("CSV and JSON read back to the same field texts")


if __name__ == "__main__":
    main()
