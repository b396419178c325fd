"""Sets the creation and last-save times in a Windows Installer package's summary information.

wixl stamps both with the time of the build; a reproducible package needs the release's time
instead. The package is a compound file (the OLE structured storage format); the summary
information is its stream "\\x05SummaryInformation", a property set whose properties 12 (created)
and 13 (last saved) are FILETIMEs. They are overwritten in place, so nothing else in the file
moves.
"""
import struct

ENDOFCHAIN = 0xFFFFFFFE
SUMMARY_STREAM = "\x05SummaryInformation"
VT_FILETIME = 64
TIME_PROPERTIES = (12, 13)
FILETIME_EPOCH_OFFSET = 11644473600  # seconds from 1601-01-01 to 1970-01-01


class Package:
    def __init__(self, data):
        if data[:8] != bytes.fromhex("d0cf11e0a1b11ae1"):
            raise ValueError("not a compound file")
        self.data = data
        self.sector_size = 1 << struct.unpack_from("<H", data, 0x1E)[0]
        self.mini_sector_size = 1 << struct.unpack_from("<H", data, 0x20)[0]
        self.mini_cutoff = struct.unpack_from("<I", data, 0x38)[0]
        self.fat = self._read_fat()
        self.directory = self._stream_bytes(struct.unpack_from("<I", data, 0x30)[0])
        first_mini_fat = struct.unpack_from("<I", data, 0x3C)[0]
        mini_fat_bytes = self._stream_bytes(first_mini_fat) if first_mini_fat != ENDOFCHAIN else b""
        self.mini_fat = list(struct.unpack(f"<{len(mini_fat_bytes) // 4}I", mini_fat_bytes))
        root_start = struct.unpack_from("<I", self.directory, 116)[0]
        self.mini_stream_sectors = self._chain(root_start, self.fat)

    def _sector_offset(self, sector):
        return (sector + 1) * self.sector_size

    def _read_fat(self):
        difat = list(struct.unpack_from("<109I", self.data, 0x4C))
        next_difat = struct.unpack_from("<I", self.data, 0x44)[0]
        per_sector = self.sector_size // 4 - 1
        while next_difat != ENDOFCHAIN and next_difat < 0xFFFFFFFA:
            offset = self._sector_offset(next_difat)
            difat += struct.unpack_from(f"<{per_sector}I", self.data, offset)
            next_difat = struct.unpack_from("<I", self.data, offset + per_sector * 4)[0]
        fat = []
        for sector in difat:
            if sector >= 0xFFFFFFFA:
                continue
            offset = self._sector_offset(sector)
            fat += struct.unpack_from(f"<{self.sector_size // 4}I", self.data, offset)
        return fat

    @staticmethod
    def _chain(start, table):
        chain = []
        while start != ENDOFCHAIN:
            if start >= len(table) or len(chain) > len(table):
                raise ValueError("broken sector chain")
            chain.append(start)
            start = table[start]
        return chain

    def _stream_bytes(self, start):
        return b"".join(
            self.data[self._sector_offset(s) : self._sector_offset(s) + self.sector_size]
            for s in self._chain(start, self.fat)
        )

    def stream_offsets(self, name):
        """File offsets of each byte of the named stream at the top of the storage."""
        for entry in range(len(self.directory) // 128):
            raw = self.directory[entry * 128 : entry * 128 + 128]
            name_length = struct.unpack_from("<H", raw, 64)[0]
            if raw[66] != 2 or raw[: max(name_length - 2, 0)].decode("utf-16-le") != name:
                continue
            start, size = struct.unpack_from("<IQ", raw, 116)
            if self.sector_size == 512:  # version 3 files: the high half is undefined
                size &= 0xFFFFFFFF
            if size >= self.mini_cutoff:
                pieces = [(self._sector_offset(s), self.sector_size) for s in self._chain(start, self.fat)]
            else:
                pieces = []
                per_sector = self.sector_size // self.mini_sector_size
                for mini in self._chain(start, self.mini_fat):
                    container = self.mini_stream_sectors[mini // per_sector]
                    inside = (mini % per_sector) * self.mini_sector_size
                    pieces.append((self._sector_offset(container) + inside, self.mini_sector_size))
            offsets = [base + i for base, length in pieces for i in range(length)]
            return offsets[:size]
        raise ValueError(f"no stream {name!r}")


def time_property_positions(summary):
    """Positions in the summary stream of the FILETIME values of the time properties."""
    section = struct.unpack_from("<I", summary, 44)[0]
    count = struct.unpack_from("<I", summary, section + 4)[0]
    positions = {}
    for index in range(count):
        pid, offset = struct.unpack_from("<II", summary, section + 8 + index * 8)
        if pid in TIME_PROPERTIES:
            if struct.unpack_from("<I", summary, section + offset)[0] != VT_FILETIME:
                raise ValueError(f"summary property {pid} is not a time")
            positions[pid] = section + offset + 4
    missing = [pid for pid in TIME_PROPERTIES if pid not in positions]
    if missing:
        raise ValueError(f"summary information lacks properties {missing}")
    return positions


def stamp(path, unix_time):
    """Writes the time into the package's creation and last-save times."""
    with open(path, "rb") as file:
        data = bytearray(file.read())
    package = Package(data)
    offsets = package.stream_offsets(SUMMARY_STREAM)
    summary = bytes(data[o] for o in offsets)
    filetime = struct.pack("<Q", (unix_time + FILETIME_EPOCH_OFFSET) * 10_000_000)
    for position in time_property_positions(summary).values():
        for i, byte in enumerate(filetime):
            data[offsets[position + i]] = byte
    with open(path, "r+b") as file:
        file.write(data)

