#!/usr/bin/env python3
"""Writes a deterministic binary payload: every byte value, line ends and end-of-file marks, so
that any text-mode or partial copy of it shows.

Usage: payload.py <out> <size in bytes>
"""
import sys


def payload(size: int) -> bytes:
    pattern = bytes(range(256)) + b"\r\n\n\r\x1a\x00\xff" * 7
    data = bytearray()
    state = 0x2545F491
    while len(data) < size:
        data += pattern
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        data += state.to_bytes(4, "little")
    return bytes(data[:size])


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(payload(int(sys.argv[2])))
