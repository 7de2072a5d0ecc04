#!/bin/sh
# Checks the DLL's tables: the export table holds exactly the names of the
# module-definition file, and every imported DLL is a Windows system DLL.
# Usage: check_dll_tables.sh OBJDUMP DLL DEF
set -eu
objdump=$1
dll=$2
def=$3
tmp=${TMPDIR:-/tmp}/morvex-dll-tables.$$
mkdir -p "$tmp"
trap 'rm -rf "$tmp"' EXIT

"$objdump" -p "$dll" >"$tmp/dump"

sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' "$tmp/dump" |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*\([^[:space:]]*\).*/\1/p' | sort >"$tmp/exported"
sed -n 's/^[[:space:]]*\(Morvex_[A-Za-z0-9_]*\).*/\1/p' "$def" | sort >"$tmp/expected"

status=0
count=$(wc -l <"$tmp/exported")
if [ "$count" -ne 149 ]; then
  echo "export table holds $count names, expected 149"
  status=1
fi
if ! diff -u "$tmp/expected" "$tmp/exported"; then
  echo "export table differs from $def"
  status=1
fi

sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*\(.*\)$/\1/p' "$tmp/dump" | tr 'A-Z' 'a-z' | tr -d '\r' >"$tmp/imports"
system_dlls="kernel32.dll user32.dll gdi32.dll advapi32.dll setupapi.dll winmm.dll comctl32.dll msvcrt.dll
msvfw32.dll ole32.dll oleaut32.dll shell32.dll comdlg32.dll ntdll.dll ws2_32.dll shlwapi.dll version.dll"
while read -r name; do
  case " $(echo $system_dlls) " in
    *" $name "*) ;;
    *) case "$name" in
         api-ms-win-*) ;;
         *) echo "imports non-system DLL: $name"; status=1 ;;
       esac ;;
  esac
done <"$tmp/imports"
echo "imports: $(tr '\n' ' ' <"$tmp/imports")"
[ "$status" -eq 0 ] && echo "export table: $count names as defined"
exit "$status"
