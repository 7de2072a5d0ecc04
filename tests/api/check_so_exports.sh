#!/bin/sh
# Checks that the shared object's dynamic symbol table defines exactly the
# names of the module-definition file: the Morvex_* exports and nothing else.
# Usage: check_so_exports.sh NM LIBRARY DEF
set -eu
nm_tool=$1
library=$2
def=$3
tmp=${TMPDIR:-/tmp}/morvex-so-exports.$$
mkdir -p "$tmp"
trap 'rm -rf "$tmp"' EXIT

# Defined dynamic symbols, without the versioning and loader entries.
"$nm_tool" -D --defined-only "$library" | awk '{print $NF}' | grep -v '^_init$' | grep -v '^_fini$' |
  grep -v '^_edata$' | grep -v '^_end$' | grep -v '^__bss_start$' | sort -u >"$tmp/exported"
sed -n 's/^[[:space:]]*\(Morvex_[A-Za-z0-9_]*\).*/\1/p' "$def" | sort >"$tmp/expected"
if ! diff -u "$tmp/expected" "$tmp/exported"; then
  echo "dynamic symbols differ from $def"
  exit 1
fi
echo "dynamic symbols: $(wc -l <"$tmp/exported") names as defined"
