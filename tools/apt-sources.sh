#!/usr/bin/env bash
# Prints apt entries derived from the machine's own configured Debian
# sources, so the project names no package host of its own:
#   apt-sources.sh deb-src    the source twins of every deb entry
#   apt-sources.sh backports  <codename>-backports on the main archive(s)
# Entries the project wrote itself (morvex-*) are left out. Prints nothing
# when the machine has no deb entries.
set -eu
what=${1:?deb-src or backports}
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")

# One stanza per line: the deb822 files, then the one-line format as stanzas.
stanzas() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case $(basename "$f") in morvex-*) continue ;; esac
    awk 'BEGIN { s = "" }
         /^[ \t]*#/ { next }
         /^[ \t]*$/ { if (s != "") print s; s = ""; next }
         { s = s (s == "" ? "" : "\x1f") $0 }
         END { if (s != "") print s }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    case $(basename "$f") in morvex-*) continue ;; esac
    awk '$1 == "deb" {
           i = 2; opts = ""
           if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts " " $i; i++ } opts = opts " " $i; i++ }
           comps = ""; for (k = i + 2; k <= NF; k++) comps = comps " " $k
           s = "Types: deb\x1fURIs: " $i "\x1fSuites: " $(i + 1) "\x1fComponents:" comps
           if (opts ~ /signed-by=/) { sb = opts; sub(/.*signed-by=/, "", sb); sub(/[] ].*/, "", sb); s = s "\x1fSigned-By: " sb }
           print s
         }' "$f"
  done
}

stanzas | awk -v what="$what" -v codename="$codename" '
  BEGIN { FS = "\x1f" }
  {
    types = ""; suites = ""; n = 0
    for (i = 1; i <= NF; i++) {
      line = $i
      if (line ~ /^Types:/) types = line
      if (line ~ /^Suites:/) suites = line
    }
    if (types !~ /(^Types:|[ \t])deb([ \t]|$)/) next
    split(suites, s, /[ \t]+/)
    main = 0
    for (k in s) if (s[k] == codename) main = 1
    if (what == "backports" && !main) next
    out = ""
    for (i = 1; i <= NF; i++) {
      line = $i
      if (line ~ /^Types:/) line = (what == "deb-src") ? "Types: deb-src" : "Types: deb"
      else if (line ~ /^Suites:/ && what == "backports") line = "Suites: " codename "-backports"
      else if (line ~ /^Components:/ && what == "backports") line = "Components: main"
      out = out line "\n"
    }
    printf "%s\n", out
  }'
