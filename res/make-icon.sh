#!/bin/sh
# Turns velmora.svg into velmora.ico: 16, 32, 48, 64, 128 and 256 pixels,
# 32 bits with alpha, each size drawn from the SVG rather than scaled from a
# large bitmap. The two small sizes are bitmaps, the others PNG (which every
# Windows since Vista reads), keeping the program file small. The .ico is
# committed, so a build needs none of this.
# Needs rsvg-convert (librsvg2-bin), ImageMagick and python3.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" velmora.svg -o "$work/$size.png"
done
/usr/bin/convert "$work/16.png" "$work/32.png" "$work/small.ico"
python3 - "$work" <<'PY'
import struct, sys
work = sys.argv[1]
small = open(work + "/small.ico", "rb").read()
count = struct.unpack("<H", small[4:6])[0]
entries = []  # (width, height, bit count, data)
for i in range(count):
    w, h, _, _, _, bits, size, offset = struct.unpack("<BBBBHHII", small[6 + 16 * i:22 + 16 * i])
    entries.append((w, h, bits, small[offset:offset + size]))
for size in (48, 64, 128, 256):
    entries.append((size % 256, size % 256, 32, open("%s/%d.png" % (work, size), "rb").read()))
out = struct.pack("<HHH", 0, 1, len(entries))
offset = 6 + 16 * len(entries)
for w, h, bits, data in entries:
    out += struct.pack("<BBBBHHII", w, h, 0, 0, 1, bits, len(data), offset)
    offset += len(data)
out += b"".join(data for _, _, _, data in entries)
open("velmora.ico", "wb").write(out)
PY
/usr/bin/identify velmora.ico
