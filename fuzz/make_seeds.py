#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_replies into seeds/ and of fuzz_bus into seeds_bus/ (see
the layouts in the targets)."""
import os
import struct

TABLE_LEN = [12, 14, 15, 13, 12, 10, 3, 6, 1, 4, 21, 86]
ACK = bytes.fromhex("100001000116")


def sd2(data, da=0, sa=1, fc=0x08):
    le = len(data) + 3
    body = bytes([da, sa, fc]) + data
    return bytes([0x68, le, le, 0x68]) + body + bytes([sum(body) & 0xFF, 0x16])


def rec(reply, count=None):
    return bytes([len(reply) if count is None else count]) + reply


def table_data(t):
    if t == 10:  # MEAS 55.0, YOUT 65535
        return struct.pack(">fBfHfBHHB", 55.0, 5, 60.0, 0xFFFF, 23.0, 0, 500, 0, 0)
    if t == 0:  # SP 55.0, SP_L 0.0, SP_H 100.0
        return bytes.fromhex("425C00000000000042C80000")
    if t == 8:
        return bytes([7])
    return bytes(range(1, TABLE_LEN[t] + 1))


def all_valid(foreign=True):
    out = bytearray([0])
    for t in range(12):
        out += rec(sd2(table_data(t)))
    for _ in range(9 + 2):  # writes, EEPROM, probe
        out += rec(ACK)
    out += rec(sd2(b"KELVRA 20"))
    out += rec(sd2(b"FW-R-18-02 sim"))
    if foreign:
        out += rec(bytes.fromhex("680909680001054142434445460016"))
    return bytes(out)


def seeds():
    yield "all_valid", all_valid()
    # Silent reads cost two reads per table, per acknowledgement and per text.
    # Wrong checksum on a right-length reply, then silence.
    bad = bytearray(sd2(table_data(10)))
    bad[-2] ^= 0xFF
    yield "bad_checksum", bytes([0]) + bytes([0] * 20) + rec(bytes(bad))
    # Two short replies in a row for every read.
    yield "short_replies", bytes([0]) + b"".join(rec(sd2(table_data(t))[:5]) * 2 for t in range(12))
    # A refusal (function code 5) for every acknowledgement.
    yield "refusals", bytes([0]) + bytes([0] * 24) + rec(bytes.fromhex("100001050616")) * 22
    # Length bytes of 255 and 128 on the text reads.
    yield "long_length", bytes([0]) + bytes([0] * 45) + rec(bytes([0x68, 0xFF, 0xFF, 0x68]) + bytes(250)) + \
        rec(bytes([0x68, 0x80, 0x80, 0x68]) + bytes(130))
    yield "foreign_only", bytes([0]) + bytes([0] * 49) + rec(bytes.fromhex("680909680001054142434445460016"))
    yield "failed_reads", bytes([0]) + bytes([0xFF] * 40)
    yield "broadcast", bytes([2]) + all_valid()[1:]
    yield "failed_writes", bytes([1]) + all_valid()[1:]


def bus_seeds():
    read10 = sd2(bytes([1, 10, 21, 0]), da=1, sa=0, fc=0x6C)
    reply = sd2(table_data(10))
    status = bytes.fromhex("100500694616")
    # A master and its controller, noise between frames, a frame cut short.
    stream = read10 + reply + bytes([0x00, 0x10, 0x68, 0x07]) + status + ACK + read10[:7] + read10 + reply
    yield "exchange", bytes([0, len(read10)]) + read10 + reply
    yield "noisy_stream", bytes([0, 0]) + stream
    yield "bytewise_with_gaps", bytes([1, 0]) + stream
    yield "length_255", bytes([7, 4]) + bytes([0x68, 0xFF, 0xFF, 0x68]) + bytes(300)


def write_all(folder, items):
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), folder)
    os.makedirs(here, exist_ok=True)
    for name, data in items:
        with open(os.path.join(here, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write_all("seeds", seeds())
    write_all("seeds_bus", bus_seeds())
