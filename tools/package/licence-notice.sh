#!/bin/sh
# Prints the licence notice of the libraries linked statically into
# MorvexSdk.dll and the sample programs, with the licence texts that the
# build machine's packages of those libraries carry.
# Usage: licence-notice.sh VERSIONS-FILE
set -eu
versions=$1
version_of() {  # source package name in the dependency cache, or a Debian package
  v=$(sed -n "s/^$1=//p" "$versions" 2>/dev/null | head -n 1)
  [ -n "$v" ] || v=$(dpkg-query -W -f '${Version}' "$2" 2>/dev/null || true)
  echo "${v:-unknown}"
}

cat <<NOTICE
Morvex SDK - third-party notices
================================

MorvexSdk.dll contains the following libraries, linked statically. Their
licences permit this use; each requires that its notice below accompany the
binary.

  libjpeg-turbo  $(version_of libjpeg-turbo libjpeg62-turbo)  JPEG writing (IJG licence, modified BSD licence, zlib licence)
  libpng         $(version_of libpng1.6 libpng16-16)  PNG writing (PNG Reference Library licence, version 2)
  libtiff        $(version_of tiff libtiff6)  TIFF writing (libtiff licence)
  zlib           $(version_of zlib libz-mingw-w64)  compression for PNG (zlib licence)
  GCC runtime    $(version_of gcc gcc-mingw-w64-i686-posix)  libgcc, libstdc++ (GPL 3 with the GCC Runtime Library Exception)
  MinGW-w64      $(version_of mingw-w64 mingw-w64-common)  C runtime start-up code and winpthreads (MIT-style and public domain)

This software is based in part on the work of the Independent JPEG Group.

The GCC Runtime Library Exception allows the runtime libraries to be linked
into programs and libraries under any licence; the full texts follow.
NOTICE

for entry in "libjpeg-turbo:libjpeg62-turbo" "libpng:libpng16-16" "libtiff:libtiff6" "zlib:libz-mingw-w64" \
             "GCC runtime:gcc-mingw-w64-base" "MinGW-w64:mingw-w64-common"; do
  name=${entry%%:*}
  package=${entry#*:}
  file=/usr/share/doc/$package/copyright
  printf '\n\n==============================================================================\n'
  printf '%s\n' "$name"
  printf '==============================================================================\n\n'
  if [ -f "$file" ]; then
    cat "$file"
  else
    echo "licence text: see the $name distribution ($file was not found on the build machine)" >&2
    exit 1
  fi
done
