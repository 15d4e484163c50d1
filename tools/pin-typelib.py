#!/usr/bin/env python3
"""Pins the time widl writes into a type library: the text "Created by WIDL
version V at <time>" and the same time as a number, both set to the start
of 1970, as the DLL's PE header has it; so two builds give the same library
and the same DLL. widl must run with TZ=UTC, so that the text and the number
agree.
    pin-typelib.py TLB
"""
import calendar
import re
import struct
import sys
import time

VT_UI4 = 0x13


def main(path):
    with open(path, "rb") as f:
        data = f.read()
    text = re.findall(rb"Created by WIDL version [^\n]* at (.{24})\n", data)
    if len(text) != 1:
        sys.exit("pin-typelib: %s has no single creation text of widl" % path)
    made = calendar.timegm(time.strptime(text[0].decode("ascii"), "%a %b %d %H:%M:%S %Y"))
    number = struct.pack("<HI", VT_UI4, made)
    if data.count(number) != 1:
        sys.exit("pin-typelib: %s has no single creation time of widl" % path)
    data = data.replace(text[0], time.strftime("%a %b %e %H:%M:%S %Y", time.gmtime(0)).encode("ascii"))
    data = data.replace(number, struct.pack("<HI", VT_UI4, 0))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: pin-typelib.py TLB")
    main(sys.argv[1])
