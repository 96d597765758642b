#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: valid and near-valid command sequences in
the fuzzer's record format (see command_fuzz.cpp)."""

import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def datagram(command, port=b""):
    return b"VQM" + command.ljust(15) + port.ljust(15)


def record(payload, sender=(198, 18, 0, 2), step=20000, launches=True, stored=None):
    flags = (1 if launches else 0) | (2 if stored is not None else 0)
    out = bytes([flags])
    if stored is not None:
        out += bytes([len(stored)]) + stored
    return out + bytes(sender) + struct.pack("<I", step) + bytes([len(payload)]) + payload


SEEDS = {
    "start": record(datagram(b"start", b"5555")),
    "stop": record(datagram(b"stop")),
    "start-repeated": record(datagram(b"start", b"5555")) + record(datagram(b"start", b"5555"), step=10000)
    + record(datagram(b"start", b"5555"), step=1),
    "start-same-port-other-device": record(datagram(b"start", b"5555"))
    + record(datagram(b"start", b"5555"), sender=(198, 18, 1, 2), step=5),
    "start-stop-start": record(datagram(b"start", b"5555")) + record(datagram(b"stop"), step=5)
    + record(datagram(b"start", b"5555"), step=5),
    "invalid-ports": b"".join(record(datagram(b"start", p)) for p in (b"", b"0", b"65536", b"05555", b"5\t5",
                                                                     b"55\"5", b"5;5")),
    "unknown-command": record(datagram(b"Start", b"5555")) + record(b"VQMrestart"),
    "no-separator": record(b"VQMstop") + record(b"VQMstart" + b" " * 10 + b"7000"),
    "oversized": record(datagram(b"stop").ljust(60, b"x")),
    "not-a-command": record(b"vqmstart") + record(b"") + record(b"\0VQMstop"),
    "stored-paths": record(datagram(b"stop"), stored=b"C:\\Android SDK\\adb.exe")
    + record(datagram(b"stop"), stored=b"C:\\a\nb") + record(datagram(b"stop"), stored=b"x" * 255),
    "launch-fails": record(datagram(b"start", b"5555"), launches=False),
    "tick-wraps": record(datagram(b"start", b"5555"), step=0xFFFFF000)
    + record(datagram(b"start", b"5555"), step=0x2000) + record(datagram(b"start", b"6000"), step=0x100),
}

if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
