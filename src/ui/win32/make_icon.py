#!/usr/bin/env python3
"""Writes an .ico file of the given PNG images, each one stored whole as a
PNG entry (which Windows reads since Vista): make_icon.py OUT.ico IMAGE.png..."""
import struct
import sys

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_size(data, name):
    """Width and height from the IHDR chunk, which comes first."""
    if data[:8] != PNG_SIGNATURE or data[12:16] != b"IHDR":
        sys.exit(f"make_icon: {name} is not a PNG image")
    width, height = struct.unpack(">II", data[16:24])
    if not (0 < width <= 256 and 0 < height <= 256):
        sys.exit(f"make_icon: {name} is {width} x {height}; an icon image is 1 to 256 pixels a side")
    return width, height


def main(out, images):
    entries = []
    for name in images:
        with open(name, "rb") as f:
            data = f.read()
        entries.append((png_size(data, name), data))
    offset = 6 + 16 * len(entries)
    directory = struct.pack("<HHH", 0, 1, len(entries))
    for (width, height), data in entries:
        # 256 is written as 0; the colour count and reserved byte are 0; one
        # plane of 32 bits per pixel.
        directory += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(out, "wb") as f:
        f.write(directory)
        for _, data in entries:
            f.write(data)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: make_icon.py OUT.ico IMAGE.png...")
    main(sys.argv[1], sys.argv[2:])
