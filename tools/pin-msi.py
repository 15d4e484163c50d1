#!/usr/bin/env python3
"""Pins what wixl makes anew on every run in a Windows Installer package's
summary information: the package code (its revision number) and the times
the package was created and last saved, so that two builds of one commit
give the same bytes. The stream keeps its size, so it is rewritten in place
in the package's compound file.
    pin-msi.py MSI PACKAGE-CODE EPOCH    (EPOCH: seconds since 1970, UTC)
"""
import struct
import sys

STREAM = "\x05SummaryInformation"
PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM = 9, 12, 13
VT_LPSTR, VT_FILETIME = 30, 64
END_OF_CHAIN = 0xFFFFFFFE


def fail(message):
    sys.exit("pin-msi: " + message)


class CompoundFile:
    """The sectors of a compound file, enough to find one stream's bytes."""

    def __init__(self, data):
        if data[:8] != bytes.fromhex("d0cf11e0a1b11ae1"):
            fail("not a compound file")
        self.data = data
        self.sector = 1 << struct.unpack_from("<H", data, 0x1E)[0]
        self.mini = 1 << struct.unpack_from("<H", data, 0x20)[0]
        fat_count, directory, _, self.cutoff, minifat, _, difat, difat_count = struct.unpack_from("<8I", data, 0x2C)
        fat_sectors = list(struct.unpack_from("<109I", data, 0x4C))
        for sector in self.chain_of_difat(difat, difat_count):
            fat_sectors += struct.unpack_from("<%dI" % (self.sector // 4 - 1), data, self.offset(sector))
        self.fat = []
        for sector in fat_sectors[:fat_count]:
            self.fat += struct.unpack_from("<%dI" % (self.sector // 4), data, self.offset(sector))
        self.minifat = []
        for sector in self.chain(minifat):
            self.minifat += struct.unpack_from("<%dI" % (self.sector // 4), data, self.offset(sector))
        entries = b"".join(self.read(sector) for sector in self.chain(directory))
        self.entries = [entries[i:i + 128] for i in range(0, len(entries), 128)]
        self.ministream = self.chain(struct.unpack_from("<I", self.entries[0], 0x74)[0])

    def offset(self, sector):
        return (sector + 1) * self.sector

    def read(self, sector):
        return self.data[self.offset(sector):self.offset(sector) + self.sector]

    def chain_of_difat(self, sector, count):
        for _ in range(count):
            yield sector
            sector = struct.unpack_from("<I", self.data, self.offset(sector) + self.sector - 4)[0]

    def chain(self, sector, table=None):
        table = self.fat if table is None else table
        sectors = []
        while sector != END_OF_CHAIN:
            if sector >= len(table) or len(sectors) > len(table):
                fail("a broken sector chain")
            sectors.append(sector)
            sector = table[sector]
        return sectors

    def pieces(self, name):
        """The file offsets and lengths that hold the named stream, in order."""
        for entry in self.entries:
            length = struct.unpack_from("<H", entry, 0x40)[0]
            if length < 2 or entry[:length - 2].decode("utf-16-le") != name:
                continue
            start, size = struct.unpack_from("<II", entry, 0x74)
            if size >= self.cutoff:
                return [(self.offset(s), self.sector) for s in self.chain(start)], size
            pieces = []
            for mini in self.chain(start, self.minifat):
                position = mini * self.mini
                sector = self.ministream[position // self.sector]
                pieces.append((self.offset(sector) + position % self.sector, self.mini))
            return pieces, size
        fail("no stream " + repr(name))


def pin(summary, code, epoch):
    """The summary information with the package code and both times set."""
    text = ("{%s}" % code.upper()).encode("ascii") + b"\0"
    filetime = (epoch + 11644473600) * 10 ** 7
    section = struct.unpack_from("<I", summary, 44)[0]
    pinned = set()
    for i in range(struct.unpack_from("<I", summary, section + 4)[0]):
        pid, offset = struct.unpack_from("<II", summary, section + 8 + 8 * i)
        at = section + offset
        kind = struct.unpack_from("<I", summary, at)[0]
        if pid == PID_REVNUMBER and kind == VT_LPSTR:
            if struct.unpack_from("<I", summary, at + 4)[0] != len(text):
                fail("the package code is not where wixl puts it")
            summary[at + 8:at + 8 + len(text)] = text
        elif pid in (PID_CREATE_DTM, PID_LASTSAVE_DTM) and kind == VT_FILETIME:
            struct.pack_into("<Q", summary, at + 4, filetime)
        else:
            continue
        pinned.add(pid)
    if pinned != {PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM}:
        fail("the summary information lacks the package code or its times")


def main(path, code, epoch):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    pieces, size = CompoundFile(data).pieces(STREAM)
    summary = bytearray(b"".join(data[at:at + length] for at, length in pieces)[:size])
    pin(summary, code, int(epoch))
    position = 0
    for at, length in pieces:
        chunk = summary[position:position + length]
        data[at:at + len(chunk)] = chunk
        position += length
    with open(path, "r+b") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: pin-msi.py MSI PACKAGE-CODE EPOCH")
    main(*sys.argv[1:])
