"""Sequential image writing with holes for zero stretches.

Zero runs are left as holes (seek instead of write), so an image with hundreds of mebibytes of
zeros between mails costs little disk space and little time. Positions handed to layouts are
relative to the origin, which lies `shift` bytes into the file; the truth reports absolute
positions.
"""

import os


class ImageWriter:
    def __init__(self, path, shift_noise=b""):
        self.path = path
        self.file = open(path, "wb")
        self.position = 0
        self.last_byte = None  # None: nothing written yet or the last byte is a hole's zero
        if shift_noise:
            self.write(shift_noise)
        self.origin = self.position

    @property
    def relative(self):
        return self.position - self.origin

    def write(self, data):
        if not data:
            return
        self.file.write(data)
        self.position += len(data)
        self.last_byte = data[-1]

    def hole(self, size):
        if size <= 0:
            return
        self.file.seek(size, os.SEEK_CUR)
        self.position += size
        self.last_byte = 0

    def fill(self, data_or_none, size):
        """Writes `data` or, when it is None, a hole of `size` bytes."""
        if data_or_none is None:
            self.hole(size)
        else:
            assert len(data_or_none) == size
            self.write(data_or_none)

    def hole_to(self, relative_position):
        assert relative_position >= self.relative, "layout went backwards"
        self.hole(relative_position - self.relative)

    def padding_to_multiple(self, alignment):
        return -self.relative % alignment

    def close(self):
        # A trailing hole only exists once the file is extended to its full length.
        self.file.truncate(self.position)
        self.file.close()
        return self.position
