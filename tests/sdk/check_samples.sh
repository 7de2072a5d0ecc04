#!/bin/sh
# The samples as a user meets them: installed SDK tree alone, built with the
# MinGW compiler outside the source tree, run under Wine against one
# emulated camera. Checks exit codes and output files; an unplug during the
# callback preview must show error 13; the viewer's screenshot must show a
# picture.
# Usage: check_samples.sh BUILD-DIR SCREENSHOT-DIR
set -u
build=$(cd "$1" && pwd)
screenshots=$2
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../tools/wine-run.sh
ns=${MORVEX_TEST_NAMESPACE:?CTest sets the namespace}
emulator_key="HKCU\\Software\\Quisto\\MorvexEmulator.$ns"
settings_key="HKCU\\Software\\Quisto\\MorvexVelsaTEC3T2Sdk.$ns"
work=$(mktemp -d /tmp/morvex-samples.XXXXXX)
status=0
fail() { echo "FAIL: $*"; status=1; }
reg() { bash "$wine_run" reg "$@" >/dev/null 2>&1; }
cleanup() {
  reg delete "$emulator_key" /f
  reg delete "$settings_key" /f
  rm -rf "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$work/sdk" >/dev/null || { echo "install failed"; exit 1; }
cp -r "$work/sdk/samples" "$work/user"
if ! make -s -C "$work/user" SDK="$work/sdk" >"$work/make.log" 2>&1; then
  cat "$work/make.log"
  echo "FAIL: the samples do not build from the SDK tree"
  exit 1
fi
[ ! -s "$work/make.log" ] || { cat "$work/make.log"; fail "building the samples gave warnings"; }
reg add "$emulator_key" /v Cameras /t REG_DWORD /d 1 /f || fail "cannot configure the emulated camera"
cd "$work/user" || exit 1

# capture: every still format at 8 and 16 bits, and a finished AVI.
bash "$wine_run" morvex-capture.exe out >capture.log 2>&1
code=$?
cat capture.log
[ "$code" -eq 0 ] || fail "morvex-capture exited with $code"
python3 - out <<'PY' || status=1
import os, struct, sys
magic = {".png": b"\x89PNG", ".tif": b"II*\0", ".jpg": b"\xff\xd8\xff", ".bmp": b"BM"}
bad = []
for bits, size in ((8, 640 * 512), (16, 640 * 512 * 2)):
    for suffix in (".png", ".tif", ".jpg", "_normal.jpg", "_small.jpg", ".bmp", ".raw"):
        path = os.path.join(sys.argv[1], f"snapshot_{bits}bit{suffix}")
        data = open(path, "rb").read() if os.path.exists(path) else b""
        want = magic.get(os.path.splitext(suffix)[1])
        if not data or (want and not data.startswith(want)) or (suffix == ".raw" and len(data) != size):
            bad.append(path)
avi = os.path.join(sys.argv[1], "recording.avi")
data = open(avi, "rb").read() if os.path.exists(avi) else b""
if len(data) < 224 or data[:4] != b"RIFF" or data[8:12] != b"AVI " or struct.unpack_from("<I", data, 4)[0] != len(data) - 8:
    bad.append(avi + " (missing or unfinished)")
elif struct.unpack_from("<I", data, 48)[0] < 2:
    bad.append(avi + " (fewer than 2 frames)")
for b in bad:
    print("FAIL: bad or missing output", b)
sys.exit(1 if bad else 0)
PY

# callback: frames arrive, then the camera is unplugged.
bash "$wine_run" morvex-callback.exe 20 >callback.log 2>&1 &
callback=$!
# Unplug once frames flow (Wine may take a while to start the program).
for _ in $(seq 600); do
  grep -q '^[1-9][0-9]* frames in the last second' callback.log && break
  kill -0 "$callback" 2>/dev/null || break
  sleep 0.1
done
reg add "$emulator_key\\Camera_00" /v Present /t REG_DWORD /d 0 /f
wait "$callback"
code=$?
reg delete "$emulator_key\\Camera_00" /f
cat callback.log
[ "$code" -eq 2 ] || fail "morvex-callback exited with $code, expected 2 after the unplug"
grep -q '^[1-9][0-9]* frames in the last second' callback.log || fail "morvex-callback counted no frames"
grep -q 'error 13' callback.log || fail "morvex-callback did not report error 13"

# viewer: runs a few seconds, its screenshot shows a picture.
mkdir -p "$screenshots"
shot=$screenshots/sdk_viewer.png
rm -f "$shot"
# Wine shows the host's root as drive Z:.
bash "$wine_run" morvex-viewer.exe --seconds 4 --screenshot "Z:$(echo "$shot" | tr / '\\')" >viewer.log 2>&1
code=$?
cat viewer.log
[ "$code" -eq 0 ] || fail "morvex-viewer exited with $code"
python3 - "$shot" <<'PY' || status=1
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
pos, idat, width, height = 8, b"", 0, 0
while pos < len(data):
    size, kind = struct.unpack_from(">I4s", data, pos)
    body = data[pos + 8 : pos + 8 + size]
    if kind == b"IHDR":
        width, height = struct.unpack_from(">II", body)
    elif kind == b"IDAT":
        idat += body
    pos += 12 + size
raw = zlib.decompress(idat)
row = width * 3 + 1
# The preview area: the middle of the window, away from menu and status bar.
values = set()
for y in range(height // 4, 3 * height // 4, 4):
    line = raw[y * row + 1 : (y + 1) * row]
    values.update(line[width * 3 // 4 : width * 9 // 4 : 3])
if len(values) < 16:
    sys.exit(f"FAIL: the viewer screenshot is blank ({len(values)} grey levels in the preview area)")
print(f"viewer screenshot {width} x {height}, {len(values)} grey levels in the preview area")
PY
exit "$status"
