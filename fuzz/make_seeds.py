#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets: fuzz_replies into seeds/ (see the layout in
fuzz_replies.cpp), the others into seeds_<name>/."""
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


PARAMETER_FILE = (
    "[IDENT]\r\nVERSION=KELVRA20 [V.1.0]\r\n"
    "[COMP]\r\nSP=1,5\r\nSP_L=2,5\r\nSP_H=3,5\r\n"
    "[ALARM1]\r\nRALA=3\r\nRELE=1\r\nSPLO=4,5\r\nSPHI=5,5\r\nHYST=6,5\r\n"
    "[PID]\r\nPB=7,5\r\nTI=8,5\r\nTD=9,5\r\nTUNE=1\r\n"
    "[REGO]\r\nFEED=3\r\nF2=16\r\nDSER=10,5\r\nDEAD=11,5\r\nTPID=9\r\n"
    "[SENS]\r\nSTRS=12,5\r\nENDS=13,5\r\nOFFS=14,5\r\nTYPE=14\r\nDP=2\r\nKOMP=4\r\n"
    "[DACO]\r\nAIN=1\r\nAOUT=3\r\nASTR=15,5\r\nAEND=16,5\r\n"
    "[ERRO]\r\nRE12=4\r\nRE-3=2\r\nYOUT=2\r\n"
    "[OSTAT]\r\nPASS=17,5\r\nFILT=8\r\nLOCK=1\r\nLEVEL=1\r\n"
    "[ADD]\r\nADRESA=18,5\r\n").encode("ascii")


def private_profile_seeds():
    yield "saved", PARAMETER_FILE
    yield "by_hand", ("; ruční úprava\n[ident]\nversion = KELVRA20 [V.1.0] kopie\n"
                      "[Comp]\n  sp = \"  25,00 \" \nSP_H='x'\n\n[pid]\nTUNE=0x1\nPB=\"\n"
                      "[JINÉ]\nklíč=hodnota\r\n[COMP]\nSP_L=pozdě").encode("cp1250")
    yield "wrong_signature", b"[IDENT]\r\nVERSION=KELVRA20 [V.2.0]\r\n[COMP]\r\nSP=1\r\n"


def cp1250_seeds():
    yield "czech", "Žluťoučký kůň úpěl ďábelské ódy °C €".encode("cp1250")
    yield "all_bytes", bytes(range(256))
    yield "utf16", "Teplota 25,0 °C ř 😀".encode("utf-16-le") + b"\x00\xd8x\x00"


def framer_seeds():
    read0 = sd2(bytes([0x01, 0, 12]), da=1, sa=0, fc=0x6C)
    status = bytes([0x10, 0x01, 0x00, 0x49, 0x4A, 0x16])

    def chunks(stream, size, quiet=False):
        out = bytearray()
        for i in range(0, len(stream), size):
            part = stream[i:i + size]
            out += bytes([len(part) | (0x80 if quiet and i else 0)]) + part
        return bytes(out)

    yield "whole", chunks(read0 + status, 63)
    yield "byte_by_byte", chunks(read0 + status, 1)
    yield "noise_first", chunks(bytes([0x00, 0x68, 0xFF, 0x10, 0x16]) + read0[:11] + read0, 7)
    yield "cut_short", chunks(read0[:6], 6) + bytes([0x80 | len(status)]) + status


def log_reader_seeds():
    # The first byte picks the split point and the current locale.
    header = ("Začátek měření na regulátoru KELVRA 20   09.12.26     23:59:58\r\n"
              "Naměřená hodnota; Žádaná hodnota;Akční zásah; Porucha; čas; datum\r\n"
              + "-" * 65 + "\r\n")
    czech = ("21,46; 55,00; 65,5; není porucha;   23:59:58;   09.12.26\r\n"
             "-3,20; 55,00; 100,0; PORUCHA;   23:59:59;   09.12.26\r\n"
             "1,2346E8; NAN; -INF; není porucha;   0:00:00;   10.12.26\r\n")
    us = ("21.46; 55.00; 65.5; není porucha;   11:59:58 PM;   12/9/26\r\n"
          "21.47; 55.00; 65.5; PORUCHA;   12:00:01 AM;   12/10/26\r\n")
    yield "czech", bytes([40]) + (header + czech).encode("cp1250")
    yield "czech_no_header_lf", bytes([3]) + czech.replace("\r\n", "\n").encode("cp1250")
    yield "us_12_hour", bytes([1]) + us.encode("cp1250")
    yield "utf8", bytes([200]) + (header + czech).encode("utf-8")
    yield "month_names_iso", bytes([2]) + (
        "1.5; 2.5; 3.5; PORUCHA;   07:08:09;   9 Dec 2026\r\n"
        "1.5; 2.5; 3.5; PORUCHA;   07:08:10;   2026-12-09\r\n").encode("ascii")
    yield "clock_back_and_cut", bytes([90]) + (
        "1,00; 1,00; 1,0; není porucha;   2:59:59;   25.10.26\r\n"
        "2,00; 2,00; 2,0; není porucha;   2:00:00;   25.10.26\r\n"
        "3,00; 3,0").encode("cp1250")


def write_all(folder, items):
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), folder)
    os.makedirs(here, exist_ok=True)
    for name, data in items:
        with open(os.path.join(here, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write_all("seeds", seeds())
    write_all("seeds_bus", bus_seeds())
    write_all("seeds_private_profile", private_profile_seeds())
    write_all("seeds_cp1250", cp1250_seeds())
    write_all("seeds_request_framer", framer_seeds())
    write_all("seeds_log_reader", log_reader_seeds())
