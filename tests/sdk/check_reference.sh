#!/bin/sh
# Every export declared in the public header carries a reference comment
# (a /** ... */ block right above it with @return) and is documented in the
# generated API reference.
# Usage: check_reference.sh HEADER REFERENCE-HTML-DIR
set -eu
header=$1
html=$2/MorvexSdk_8h.html
[ -f "$html" ] || { echo "no API reference at $html"; exit 1; }
status=0
count=0
# awk remembers the last comment block and checks it at each declaration.
awk '
  /^\/\*\*/ { block = ""; in_block = 1 }
  in_block { block = block $0 "\n" }
  in_block && /\*\// { in_block = 0; last = NR; text = block }
  /MORVEX_CALL Morvex_[A-Za-z0-9_]*\(/ {
    match($0, /Morvex_[A-Za-z0-9_]*\(/)
    name = substr($0, RSTART, RLENGTH - 1)
    if (last != NR - 1) print "uncommented " name
    else if (text !~ /@return/) print "no @return " name
    print "export " name
  }
' "$header" >"${TMPDIR:-/tmp}/morvex-reference.$$"
while read -r kind name; do
  case $kind in
    export)
      count=$((count + 1))
      if ! grep -q "memname\">[^<]* $name " "$html"; then
        echo "not in the reference: $name"
        status=1
      fi ;;
    *) echo "$kind $name"; status=1 ;;
  esac
done <"${TMPDIR:-/tmp}/morvex-reference.$$"
rm -f "${TMPDIR:-/tmp}/morvex-reference.$$"
if [ "$count" -ne 149 ]; then
  echo "the header declares $count exports, expected 149"
  status=1
fi
[ "$status" -eq 0 ] && echo "$count exports commented and in the reference"
exit "$status"
