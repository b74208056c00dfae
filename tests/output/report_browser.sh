#!/usr/bin/env bash
# Opens a vantor HTML report in headless Chromium: checks that the page is
# well-formed XML, that every section survives the browser's parse with the
# expected numbers of histogram bars, heat-map cells and score points, that
# it needs no horizontal scroll bar at 1280 px, and that a screenshot of it
# is not blank.
#
#   report_browser.sh FILE BARS CELLS POINTS [TEXT...]
#
# Each TEXT must appear in the page as the browser parsed it.
# Exit 0 on success, 1 on a failed check, 2 on wrong use, 77 (skip) when
# Chromium is not installed.
set -u

if [ $# -lt 4 ]; then
  echo "usage: $0 FILE BARS CELLS POINTS [TEXT...]" >&2
  exit 2
fi
file=$1 want_bars=$2 want_cells=$3 want_points=$4
shift 4
if [ ! -r "$file" ]; then
  echo "FAIL: cannot read $file" >&2
  exit 1
fi

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# A strict XML parser accepts the page or names the first fault.
if command -v python3 >/dev/null 2>&1; then
  if ! python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$file"; then
    fail "the page is not well-formed XML"
  fi
else
  echo "note: python3 missing, XML parse not checked"
fi

# The build names the browser it found; by hand, the one on the PATH.
browser=${VANTOR_CHROMIUM:-$(command -v chromium || command -v chromium-browser || true)}
if [ -z "$browser" ] || [ ! -x "$browser" ]; then
  echo "SKIP: chromium not installed"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
url="file://$(cd "$(dirname "$file")" && pwd)/$(basename "$file")"
flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run
       --disable-background-networking --disable-component-update --disable-sync)

# Each run gets a fresh profile; a hung browser is stopped after a minute.
run_browser() {
  timeout 120 "$browser" "${flags[@]}" --user-data-dir="$(mktemp -d -p "$work")" "$@" \
    2>>"$work/browser.log"
}

run_browser --dump-dom "$url" >"$work/dom.html"
if [ ! -s "$work/dom.html" ]; then
  fail "--dump-dom produced nothing (see below)"
  tail -n 20 "$work/browser.log" >&2
fi

for id in overview alerts variables correlation pca; do
  grep -q "id=\"$id\"" "$work/dom.html" || fail "section id=\"$id\" missing from the DOM"
done

# At 1280 px the page needs no horizontal scroll bar: a copy of it that
# writes its own width into the DOM is opened in a window that wide.
sed 's#</body>#<script>document.body.dataset.width=document.documentElement.scrollWidth</script></body>#' \
  "$file" >"$work/width.html"
run_browser --window-size=1280,900 --dump-dom "file://$work/width.html" >"$work/width.dom"
width=$(grep -o 'data-width="[0-9]*"' "$work/width.dom" | grep -o '[0-9][0-9]*')
[ -n "$width" ] && [ "$width" -le 1280 ] || fail "the page is ${width:-?} px wide in a 1280 px window"

count() { grep -o "$1" "$work/dom.html" | wc -l; }
bars=$(count 'class="bar"')
cells=$(count 'class="cell ')
points=$(count 'class="pt[" ]')  # a group's point is "pt g<k>"
echo "bars=$bars cells=$cells points=$points"
[ "$bars" -eq "$want_bars" ] || fail "bars: $bars, expected $want_bars"
[ "$cells" -eq "$want_cells" ] || fail "cells: $cells, expected $want_cells"
[ "$points" -eq "$want_points" ] || fail "points: $points, expected $want_points"
for want in "$@"; do
  grep -qF -- "$want" "$work/dom.html" || fail "the page does not say: $want"
done

# At 1280 px the page fits its width: a copy that writes the overflow into
# the DOM, read back as the browser laid it out.
probe="$work/probe.html"
sed 's|</body>|<script>document.body.setAttribute("data-overflow", String(document.documentElement.scrollWidth - document.documentElement.clientWidth))</script></body>|' \
  "$file" >"$probe"
overflow=$(run_browser --window-size=1280,1000 --dump-dom "file://$probe" |
  grep -o 'data-overflow="[^"]*"' | head -n 1)
[ "$overflow" = 'data-overflow="0"' ] || fail "wider than 1280 px: $overflow"

shot="$file.png"
rm -f "$shot"
run_browser --screenshot="$shot" --window-size=1200,2000 "$url" >/dev/null
if [ ! -s "$shot" ]; then
  fail "no screenshot written"
else
  size=$(wc -c <"$shot")
  # A blank 1200x2000 PNG compresses to well under 10 KB.
  [ "$size" -gt 10000 ] || fail "screenshot is only $size bytes: blank page?"
  if command -v python3 >/dev/null 2>&1; then
    colours=$(python3 - "$shot" <<'PY'
import struct, sys, zlib
# Distinct colours in a PNG, read with the standard library only (8-bit
# RGB or RGBA, non-interlaced: what Chromium writes).
data = open(sys.argv[1], 'rb').read()
pos, idat, width, height, kind = 8, b'', 0, 0, 0
while pos < len(data):
    length, tag = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if tag == b'IHDR':
        width, height, depth, kind = struct.unpack('>IIBB', body[:10])
    elif tag == b'IDAT':
        idat += body
    pos += 12 + length
bpp = {2: 3, 6: 4}.get(kind)
if bpp is None:
    print(-1)
    sys.exit()
raw = zlib.decompress(idat)
stride = width * bpp
prev = bytearray(stride)
seen = set()
for y in range(height):
    f = raw[y * (stride + 1)]
    line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        if f == 1: line[i] = (line[i] + a) & 255
        elif f == 2: line[i] = (line[i] + b) & 255
        elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    prev = line
    if y % 8 == 0:
        for x in range(0, stride, bpp * 4):
            seen.add(bytes(line[x:x + 3]))
print(len(seen))
PY
)
    echo "screenshot: $size bytes, $colours colours sampled"
    [ "$colours" = -1 ] || [ "$colours" -gt 10 ] || fail "screenshot has $colours colours: blank page?"
  fi
fi

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "PASS: $file"
