#!/bin/sh
# Installs the SDK into a private tree and checks it as shipped: the folder
# layout, the DLL stripped with exactly its 149 exports and only system DLL
# imports, its debug file matching its debug link, both import libraries,
# the licence notice and the zip of the whole tree.
# Usage: check_package.sh BUILD-DIR WORK-DIR OBJDUMP OBJCOPY NM DEF-FILE
set -eu
build=$1
work=$2
objdump=$3
objcopy=$4
nm=$5
def=$6
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work"
cmake --install "$build" --prefix "$work/win32" >/dev/null
sdk=$work/win32
status=0
fail() { echo "$*"; status=1; }

for f in bin/MorvexSdk.dll bin/morvex-capture.exe bin/morvex-callback.exe bin/morvex-viewer.exe \
         bin/morvex-version.exe include/MorvexSdk.h lib/libMorvexSdk.dll.a lib/MorvexSdk.lib \
         samples/Makefile samples/README.md samples/common/error_text.h samples/capture/capture.c \
         samples/callback/callback.c samples/viewer/viewer.c samples/viewer/png_writer.h \
         doc/user-guide.md doc/html/index.html doc/html/MorvexSdk_8h.html debug/MorvexSdk.dll.debug \
         THIRD-PARTY-NOTICES.txt; do
  [ -s "$sdk/$f" ] || fail "missing from the package: $f"
done

dll=$sdk/bin/MorvexSdk.dll
"$objdump" -h "$dll" | grep -q ' \.debug_' && fail "the packaged DLL still has debug sections"
"$objdump" -t "$dll" | grep -q '^no symbols' || fail "the packaged DLL still has a symbol table"
sh "$here/../api/check_dll_tables.sh" "$objdump" "$dll" "$def" || status=1

# The debug link names the debug file and carries its CRC-32.
"$objcopy" --dump-section .gnu_debuglink="$work/link" "$dll" "$work/dll-copy"
python3 - "$work/link" "$sdk/debug/MorvexSdk.dll.debug" <<'PY' || status=1
import struct, sys, zlib
link = open(sys.argv[1], "rb").read()
name = link[:link.index(b"\0")].decode()
crc = struct.unpack("<I", link[-4:])[0]
actual = zlib.crc32(open(sys.argv[2], "rb").read()) & 0xFFFFFFFF
if name != "MorvexSdk.dll.debug" or crc != actual:
    sys.exit(f"debug link {name!r} CRC {crc:08x} does not match MorvexSdk.dll.debug ({actual:08x})")
PY
"$objdump" -h "$sdk/debug/MorvexSdk.dll.debug" | grep -q ' \.debug_info' || fail "the debug file has no .debug_info"
text_of() { "$objdump" -h "$1" | awk '$2 == ".text" { print $3, $4 }'; }
[ "$(text_of "$dll")" = "$(text_of "$sdk/debug/MorvexSdk.dll.debug")" ] || fail "the debug file's .text differs from the DLL's"

for lib in libMorvexSdk.dll.a MorvexSdk.lib; do
  n=$("$nm" "$sdk/lib/$lib" | grep -c ' T _Morvex_' || true)
  [ "$n" -eq 149 ] || fail "lib/$lib defines $n Morvex_ entry points, expected 149"
done

for library in libjpeg-turbo libpng libtiff zlib "GCC runtime"; do
  grep -q "^  $library " "$sdk/THIRD-PARTY-NOTICES.txt" || fail "the licence notice lacks $library"
done

zip=$(ls "$work"/MorvexSdk-*-win32.zip 2>/dev/null | head -n 1)
if [ -z "$zip" ]; then
  fail "no zip beside the tree"
else
  (cd "$work" && find win32 -type f | sort) >"$work/tree"
  unzip -Z1 "$zip" | grep -v '/$' | sort >"$work/zipped"
  diff -u "$work/tree" "$work/zipped" >/dev/null || fail "the zip does not hold exactly the tree"
fi
[ "$status" -eq 0 ] && echo "package complete: $(wc -l <"$work/tree") files"
exit "$status"
