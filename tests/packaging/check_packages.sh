#!/usr/bin/env bash
# Builds the Debian packages (scripts/package.sh) and installs them for real:
# with dpkg as root, else unpacked with dpkg-deb into a temporary root. Then
# host.c is built against the installed files twice, through
# find_package(kdlib CONFIG) and through pkg-config, and run; the installed
# kdpdf writes its sample report, which qpdf must accept. What was installed
# is purged at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
version=$(sed -n 's/^project(kdlib VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
packages=("libkdlib${version%%.*}" libkdlib-dev kdpdf)

bash "$root/scripts/package.sh"

work=$(mktemp -d /tmp/kdlib-packages-XXXXXX)
fail() { echo "packaging: $*" >&2; exit 1; }
debs=()
for p in "${packages[@]}"; do debs+=("$root/dist/${p}_${version}_$(dpkg --print-architecture).deb"); done
if [ "$(id -u)" -eq 0 ]; then
  cleanup() { dpkg --purge "${packages[@]}" > /dev/null || true; rm -rf "$work"; }
  trap cleanup EXIT
  dpkg -i "${debs[@]}" > /dev/null
  prefix=/usr
else
  trap 'rm -rf "$work"' EXIT
  for d in "${debs[@]}"; do dpkg-deb -x "$d" "$work/root"; done
  prefix=$work/root/usr
  libdir=$prefix/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
  export CMAKE_PREFIX_PATH=$prefix PKG_CONFIG_PATH=$libdir/pkgconfig LD_LIBRARY_PATH=$libdir
fi

want="kdlib 190 md5 900150983cd24fb0d6963f7d28e17f72"  # RFC 1321's digest of "abc"
cmake -S "$here" -B "$work/cmake-host" > /dev/null
grep -q "^kdlib_DIR:PATH=$prefix/lib/" "$work/cmake-host/CMakeCache.txt" ||
  fail "find_package did not take the installed kdlib: $(grep ^kdlib_DIR "$work/cmake-host/CMakeCache.txt")"
cmake --build "$work/cmake-host" > /dev/null
[ "$("$work/cmake-host/host")" = "$want" ] || fail "the find_package host prints '$("$work/cmake-host/host")'"

[ "$(pkg-config --variable=pcfiledir kdlib)" = "$prefix/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/pkgconfig" ] ||
  fail "pkg-config did not take the installed kdlib.pc"
# shellcheck disable=SC2046  # the flags are separate words
cc "$here/host.c" $(pkg-config --cflags --libs kdlib) -o "$work/pc-host"
[ "$("$work/pc-host")" = "$want" ] || fail "the pkg-config host prints '$("$work/pc-host")'"
echo "packaging: both hosts print '$want'"

# kdpdf as installed, from a folder that holds nothing of kdlib: it finds
# its pictures where the package put them.
(cd "$work" && env -u KDPDF_SAMPLE_DIR "$prefix/bin/kdpdf" > /dev/null)
qpdf --check "$work/sample-report.pdf" > "$work/qpdf.txt" 2>&1 || { cat "$work/qpdf.txt"; fail "qpdf rejects the report"; }
images=$(pdfimages -list "$work/sample-report.pdf" | tail -n +3 | grep -c image || true)
[ "$images" -ge 5 ] || fail "the installed kdpdf's report holds $images pictures"
echo "packaging: the installed kdpdf wrote a report qpdf accepts, with $images pictures"
