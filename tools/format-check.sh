#!/usr/bin/env bash
# Checks that the C and C++ files changed since the last formatting commit
# (the last revision in .git-blame-ignore-revs), committed or not, are as
# clang-format leaves them.
#
#   tools/format-check.sh          check; prints the files that differ
#   tools/format-check.sh --fix    format those files in place
#
# Ends with "format: N files checked, N need clang-format".
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

fix=0
[ "${1:-}" = --fix ] && fix=1
if ! command -v clang-format >/dev/null; then
  echo "format: clang-format is not installed (tools/setup.sh installs it)" >&2
  exit 1
fi

base=$(grep -E '^[0-9a-f]{40}$' .git-blame-ignore-revs 2>/dev/null | tail -n 1)
if [ -n "$base" ] && git cat-file -e "$base^{commit}" 2>/dev/null; then
  mapfile -t files < <({ git diff --name-only "$base" --; git ls-files --others --exclude-standard; } |
    grep -E '\.(c|cc|cpp|h|hpp)$' | sort -u)
else
  # A shallow clone without the formatting commit checks everything.
  mapfile -t files < <(git ls-files '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
fi

checked=0
unformatted=()
for file in "${files[@]}"; do
  [ -f "$file" ] || continue
  checked=$((checked + 1))
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    unformatted+=("$file")
    [ "$fix" -eq 1 ] && clang-format -i "$file"
  fi
done

for file in "${unformatted[@]}"; do echo "  $file"; done
if [ "$fix" -eq 1 ]; then
  echo "format: $checked files checked, ${#unformatted[@]} formatted"
  exit 0
fi
echo "format: $checked files checked, ${#unformatted[@]} need clang-format"
[ ${#unformatted[@]} -eq 0 ]
