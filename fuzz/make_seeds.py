#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

Each seed is a small, valid use of its target's input layout (see the
target's source); the hostile-port seeds come from make_driver_port_seeds,
which records an emulated camera. Regression inputs of fixed findings sit
beside the seeds under their own names and are never rewritten.
"""
import os
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
corpus = os.path.join(here, "corpus")


def put(target, name, data):
    folder = os.path.join(corpus, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(bytes(data))


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def boundary(v):
    """A FuzzInput.Value() that reads as any 32-bit number."""
    return bytes([0xFF]) + u32(v)


# Configuration files: whole records, a partial record, none.
put("config_file", "empty", b"")
put("config_file", "pairs", b"".join(u32(a) + u32(b) for a, b in [(1, 100), (2, -5), (0x7FFFFFFF, 0)]))
put("config_file", "partial", u32(7) + u32(8) + b"\x01\x02\x03")

# Still images: width, height (small), depth, format, significant bits, pixels.
for depth in range(6):
    for fmt in range(7):
        put("still_image", "d%d-f%d" % (depth, fmt),
            [12, 5, depth, fmt, 0, 0] + [(i * 37) & 0xFF for i in range(48)])
put("still_image", "palette", [3, 3, 0, 0, 0, 0, 1] + list(range(64)) + [0, 4, 1] + [7] * 9)
put("still_image", "no-image", [255, 0] + list(u32(0)) + [255] + list(u32(5)) + [0, 0])

# Stored settings: steps, camera, then key, name, type, (value | length, bytes).
KEYS = {"": 0, "Size_00": 1, "Size_01": 2, "Camera_00": 6, "Camera_00\\Size_00": 9,
        "Camera_00\\Gain": 11, "Camera_00\\Filter": 12, "Camera_00\\Gray": 13}
NAMES = ["Size", "Color", "SubSample", "WaitTime", "Clock", "TH", "TV", "EH", "EV", "EHS", "EVS", "Buf",
         "Global", "ColorG1", "ColorR", "ColorB", "ColorG2", "Exposure", "V_Mirror", "H_Mirror", "AutoIris",
         "GainMode", "BlackLevel", "ExposureEx"]


def dword(key, name, value):
    return [KEYS[key], NAMES.index(name), 0] + list(boundary(value))


def binary(key, name, data):
    return [KEYS[key], NAMES.index(name), 2, len(data)] + list(data)


size_entry = []
for name, value in zip(["TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"], [640, 512, 640, 512, 0, 0, 4]):
    size_entry += dword("Size_00", name, value)
    size_entry += dword("Camera_00\\Size_00", name, value)
put("settings", "first-use", [1, 1])
put("settings", "sizes", [1, 1] + size_entry + dword("Camera_00", "Size", 0) + dword("Camera_00", "Color", 1))
put("settings", "absurd-size", [1, 1] + dword("Camera_00\\Size_00", "EH", 0x7FFFFFFF) +
    dword("Camera_00\\Size_00", "Buf", -1) + dword("Camera_00", "Size", 99))
put("settings", "gains", [5, 1] + dword("Camera_00\\Gain", "Global", 100000) +
    binary("Camera_00\\Gain", "ExposureEx", struct.pack("<d", float("nan"))) +
    dword("Camera_00", "WaitTime", -1) + dword("Camera_00", "Color", 7))
put("settings", "wrong-types", [1, 1] + binary("Camera_00", "Size", b"\x01\x02") +
    [KEYS["Camera_00"], NAMES.index("Color"), 3, 3] + list(b"abc"))

# Export calls: the op byte, then its arguments (see exports_fuzz.cpp).
VALID = 200  # a buffer kind large enough for the call
put("exports", "snapshot", [20, 0, VALID, 0, 1] + [24, 0, VALID, 0, 1])
put("exports", "preview", [14, 0, 0, 2, 18, 0, VALID, 0, 0, 23, 0])
put("exports", "info-and-names", [8, 0, VALID, 8, 0, 40, 3, 0, VALID, 5, 0, 0, VALID, 39, 0, VALID])
put("exports", "save-image", [20, 0, VALID, 0, 1, 53, 0, 4, 1, 0, 5, 1])
put("exports", "release-twice", [1, 0, 1, 0, 2, 0, 0, 0, 0, 0, 20, 0, VALID, 0, 0])
put("exports", "capture", [19, 0, 20, 0, VALID, 0, 0, 23, 0, 9, 0])
# Mask files: the header, then a repeated body up to the file length.
def mask_header(magic=b"QUISTO MASK1000\0", width=640, height=512, blocks=(0x50000, 0x50000, 0xA0000, 0xA0000)):
    return magic + struct.pack("<II", width, height) + struct.pack("<4I", *blocks)


whole = 40 + 2 * 0x50000 + 2 * 0xA0000
put("mask_file", "whole", [1] + list(u32(whole)) + list(mask_header()) + [0, 0x10, 0xFF, 0x0F])
put("mask_file", "trailing", [1] + list(u32(whole + 100)) + list(mask_header()) + [0x80])
put("mask_file", "short-block", [1] + list(u32(whole - 1)) + list(mask_header()) + [7])
put("mask_file", "wrong-size", [1] + list(u32(whole)) + list(mask_header(width=320)) + [7])
put("mask_file", "header-only", [0] + list(mask_header()))
put("mask_file", "empty", [0])
print("seeds written under", corpus)
