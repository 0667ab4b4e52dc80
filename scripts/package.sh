#!/usr/bin/env bash
# scripts/package.sh            Debian packages libkdlib1, libkdlib-dev and
#                               kdpdf into dist/, checked with lintian
# scripts/package.sh --windows  dist/kdlib-VERSION-win64.zip from the Windows
#                               build (build-win and build-win/tools, made by
#                               scripts/test-windows.sh)
#
# The Debian packages come from their own Release build in build-pkg/,
# configured for /usr with Debian's hardening flags.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -n 's/^project(kdlib VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p dist

. scripts/packages.sh
need() { ensure_packages package "$@"; }

if [ "${1:-}" = "--windows" ]; then
  need zip
  for f in build-win/kdlib.dll build-win/kdpdf.exe; do
    [ -f "$f" ] || { echo "package: $f is missing; build it first (scripts/test-windows.sh)" >&2; exit 1; }
  done
  name=kdlib-$version-win64
  stage=$(mktemp -d /tmp/kdlib-win-XXXXXX)
  trap 'rm -rf "$stage"' EXIT
  cmake --install build-win --prefix "$stage/$name" --strip > /dev/null
  cmake --install build-win/tools --prefix "$stage/$name" --strip > /dev/null
  rm -f "dist/$name.zip"
  (cd "$stage" && zip -qr -X "$root/dist/$name.zip" "$name")
  echo "package: dist/$name.zip ($(stat -c %s "dist/$name.zip") bytes)"
  exit 0
fi

need dpkg-dev file lintian cmake build-essential
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { echo "$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get "$1")"; }
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DKDLIB_TESTS=OFF -DKDLIB_WERROR=OFF -DKDLIB_DEB_PACKAGES=ON \
  -DCMAKE_C_FLAGS="$(flags CFLAGS)" -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" > /dev/null
cmake --build build-pkg -j"$jobs"
rm -rf build-pkg/cpack
# CPack's log (warnings about the two control files left out on purpose,
# see cmake/packaging.cmake) is shown only when it fails.
(cd build-pkg && cpack -G DEB -B "$root/build-pkg/cpack" > cpack.log 2>&1) || { cat build-pkg/cpack.log; exit 1; }
debs=()
for p in "libkdlib${version%%.*}" libkdlib-dev kdpdf; do
  deb=$(ls build-pkg/cpack/"${p}_${version}"_*.deb)
  mv "$deb" dist/
  debs+=("dist/$(basename "$deb")")
done
# Errors fail the build; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "${debs[@]}"
for d in "${debs[@]}"; do echo "package: $d ($(stat -c %s "$d") bytes)"; done
