#!/usr/bin/env bash
# Builds the static i686 MinGW image libraries (libjpeg-turbo with the jpeg 8
# API, libpng, libtiff) and GoogleTest from Debian 12 sources into a cache
# outside the repository, keyed by source version. A second run reuses it.
# The sources are unpacked with Debian's patches applied: the DLL links these
# libraries statically and ships them, security fixes included. Any failure
# stops the script with the tail of the failing step's log, and the cache is
# marked complete only after every library is installed.
set -euo pipefail
cache_root=${MORVEX_DEPS_CACHE:-/var/cache/morvex-deps}
triple=i686-w64-mingw32
jobs=$(nproc)
log() { printf '== %s\n' "$*"; }

# Every source version apt knows, newest first; the archive may no longer
# serve some of them (superseded security updates), so fetching tries each.
src_versions() { apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/{print $2}' | sort -rV | uniq; }
fetch_source() {
  local pkg=$1 v
  for v in $(src_versions "$pkg"); do
    if apt-get source -qq --download-only "$pkg=$v" >/dev/null 2>&1; then echo "$pkg=$v"; return 0; fi
    rm -f "${pkg}"_*
  done
  echo "cannot fetch the source of $pkg" >&2; return 1
}

for p in libjpeg-turbo libpng1.6 tiff; do
  [ -n "$(src_versions $p)" ] || { echo "deb-src lists missing: run tools/setup.sh" >&2; exit 1; }
done
v_gtest=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo none)
key=$( (src_versions libjpeg-turbo; src_versions libpng1.6; src_versions tiff; echo "$v_gtest"; \
        cat "$0") | md5sum | cut -c1-16)
prefix="$cache_root/$triple/$key"
if [ -f "$prefix/.complete" ]; then
  log "MinGW dependencies cached at $prefix"
  ln -sfn "$prefix" "$cache_root/$triple/current"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/morvex-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$prefix"
toolchain="$work/toolchain.cmake"
cat >"$toolchain" <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple $prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TC
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=OFF)
zlib_args=(-DZLIB_INCLUDE_DIR=/usr/$triple/include -DZLIB_LIBRARY=/usr/$triple/lib/libz.a)

cd "$work"
log "fetching Debian sources"
chmod 755 "$work"
for p in libjpeg-turbo libpng1.6 tiff; do fetch_source "$p" >>"$work/versions"; done
cat "$work/versions"
logs="$cache_root/$triple/logs"
mkdir -p "$logs"
step() {  # name command...: runs one step, its output in the log
  local name=$1 log="$logs/$1.log"
  shift
  if ! "$@" >"$log" 2>&1; then
    echo "build-deps-mingw: $name failed; the end of $log:" >&2
    tail -n 30 "$log" >&2
    exit 1
  fi
}
for dsc in *.dsc; do step "unpack-${dsc%%_*}" dpkg-source -x "$dsc"; done

log "libjpeg-turbo"
step b-jpeg-configure cmake -S libjpeg-turbo-*/ -B b-jpeg "${common[@]}" -DWITH_JPEG8=ON -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
step b-jpeg-build cmake --build b-jpeg -j "$jobs"
step b-jpeg-install cmake --install b-jpeg

log "libpng"
step b-png-configure cmake -S libpng1.6-*/ -B b-png "${common[@]}" "${zlib_args[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF
step b-png-build cmake --build b-png -j "$jobs"
step b-png-install cmake --install b-png

log "libtiff"
step b-tiff-configure cmake -S tiff-*/ -B b-tiff "${common[@]}" "${zlib_args[@]}" -Dzlib=ON -Djpeg=OFF -Dold-jpeg=OFF -Djbig=OFF -Dlzma=OFF \
  -Dzstd=OFF -Dwebp=OFF -Dlerc=OFF -Dlibdeflate=OFF -Dpixarlog=OFF -Dcxx=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF \
  -Dtiff-contrib=OFF -Dtiff-docs=OFF
step b-tiff-build cmake --build b-tiff -j "$jobs"
step b-tiff-install cmake --install b-tiff

log "GoogleTest $v_gtest"
step b-gtest-configure cmake -S /usr/src/googletest -B b-gtest "${common[@]}" -Dgtest_disable_pthreads=OFF
step b-gtest-build cmake --build b-gtest -j "$jobs"
step b-gtest-install cmake --install b-gtest

cp "$work/versions" "$prefix/versions.txt"
touch "$prefix/.complete"
ln -sfn "$prefix" "$cache_root/$triple/current"
log "MinGW dependencies built into $prefix"
