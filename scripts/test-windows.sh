#!/usr/bin/env bash
# Cross-builds kdlib.dll, the unit tests and the reference host kdpdf for
# 64-bit Windows with MinGW-w64 into build-win/, runs the tests under Wine
# through CTest in a throw-away Wine prefix, compares the platform layer's
# and the measuring exports' answers on Windows with the Linux backend's,
# and checks that kdpdf.exe writes a sample report the Linux PDF tools
# read as they read the Linux build's. Last, the Windows archive is packed
# (scripts/package.sh --windows) and used from its unpacked folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

packages=(
  cmake googletest
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev
  wine wine64
  fonts-dejavu-core fonts-liberation
  qpdf poppler-utils zip unzip
)
. scripts/packages.sh
ensure_packages test-windows "${packages[@]}"

# A private Wine prefix, removed at the end once the Wine server is gone.
work=$(mktemp -d /tmp/kdlib-wine-XXXXXX)
export WINEPREFIX=$work/prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No debugger: a crash must fail its test, not turn into exit code 0. No
# Mono or Gecko installers either.
export WINEDLLOVERRIDES='winedbg.exe=d;mscoree=d;mshtml=d'
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== Wine prefix =="
# One server for the whole run instead of one per test program. Its
# system processes (services, explorer) start here, with their output away
# from the pipes CTest reads: a later program that started them would hand
# them its output pipe, and CTest would wait for them to close it.
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot --init > /dev/null 2>&1 < /dev/null
# The fonts the tests select by face name, installed as a Windows user
# would (Wine also finds them through fontconfig).
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans*.ttf "$fonts"/
cp /usr/share/fonts/truetype/liberation/LiberationSans-*.ttf "$fonts"/ 2>/dev/null || true

jobs=$(nproc 2>/dev/null || echo 2)
echo "== cross build (build-win) =="
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DKDLIB_WERROR=ON -DKDLIB_TESTS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-win -j"$jobs"
# The host on its own, linked against build-win's kdlib.dll through its
# import library, as a Windows application is; kdpdf.exe lands beside it.
cmake -S tools -B build-win/tools -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DKDLIB_BUILD_DIR="$root/build-win" -DKDLIB_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-win/tools -j"$jobs"

echo "== unit tests under Wine =="
(cd build-win && ctest --output-on-failure -j"$jobs")

echo "== platform agreement (Linux backend against Windows) =="
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DKDLIB_WERROR=ON -DKDLIB_TESTS=ON > /dev/null
fi
cmake --build build -j"$jobs" --target platform_probe kdpdf > /dev/null
./build/tests/platform_probe > "$work/linux.txt"
wine build-win/tests/platform_probe.exe > "$work/windows.txt"
/usr/bin/python3 tests/tools/compare_probe.py "$work/linux.txt" "$work/windows.txt" tests/tools/platform_differences.txt

echo "== kdpdf.exe sample report =="
# Both builds write the built-in sample; qpdf must accept the Windows one
# as it accepts the Linux one, pdffonts must list the same embedded subset
# fonts, and pdftotext must read the same words in the same order.
./build/kdpdf --output "$work/linux.pdf" > /dev/null
sample=$(winepath -w tools/kdpdf/sample 2> /dev/null)
KDPDF_SAMPLE_DIR="$sample" cmake/wine-run.sh build-win/kdpdf.exe --output "$(winepath -w "$work/windows.pdf" 2> /dev/null)" > /dev/null
for side in linux windows; do
  qpdf --check "$work/$side.pdf" > "$work/$side.qpdf" 2>&1 || { cat "$work/$side.qpdf"; echo "kdpdf: qpdf rejects the $side report"; exit 1; }
  grep -q "No syntax or stream encoding errors" "$work/$side.qpdf" && ! grep -q WARNING "$work/$side.qpdf" ||
    { cat "$work/$side.qpdf"; echo "kdpdf: qpdf warns about the $side report"; exit 1; }
  # Font name (without the subset tag), type, embedded, subset, ToUnicode.
  pdffonts "$work/$side.pdf" | tail -n +3 | sed -E 's/^[A-Z]{6}\+//' | awk '{t = $2; for (i = 3; i <= NF - 6; i++) t = t " " $i; print $1, t, $(NF-4), $(NF-3), $(NF-2)}' |
    sort > "$work/$side.fonts"
  pdftotext -enc UTF-8 "$work/$side.pdf" - | tr -s ' \n\f' '\n\n\n' > "$work/$side.words"
done
diff -u "$work/linux.fonts" "$work/windows.fonts" || { echo "kdpdf: the reports embed different fonts"; exit 1; }
grep -q . "$work/windows.fonts" && ! grep -v " yes yes yes$" "$work/windows.fonts" ||
  { echo "kdpdf: a font of the Windows report is not an embedded subset with ToUnicode"; exit 1; }
diff -u "$work/linux.words" "$work/windows.words" || { echo "kdpdf: the reports read differently"; exit 1; }
echo "kdpdf: the Windows report passes qpdf, $(wc -l < "$work/windows.fonts") fonts and $(wc -l < "$work/windows.words") words agree"

echo "== Windows archive (dist/) =="
# The archive as a Windows user gets it, unpacked away from the sources:
# kdpdf.exe writes the sample report with its own pictures, and host.c,
# linked once through the import library and once through an import
# library made from kdlib.def, runs beside the DLL.
bash scripts/package.sh --windows
version=$(sed -n 's/^project(kdlib VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
unzip -q "dist/kdlib-$version-win64.zip" -d "$work/zip"
app=$work/zip/kdlib-$version-win64
(cd "$work" && env -u KDPDF_SAMPLE_DIR "$root/cmake/wine-run.sh" "$app/bin/kdpdf.exe" --output zip.pdf > /dev/null)
qpdf --check "$work/zip.pdf" > "$work/zip.qpdf" 2>&1 || { cat "$work/zip.qpdf"; echo "archive: qpdf rejects kdpdf.exe's report"; exit 1; }
x86_64-w64-mingw32-dlltool -d "$app/lib/kdlib.def" -l "$work/fromdef.a"
want="kdlib 190 md5 900150983cd24fb0d6963f7d28e17f72"
for implib in "$app/lib/kdlib.dll.a" "$work/fromdef.a"; do
  x86_64-w64-mingw32-gcc-posix tests/packaging/host.c -I"$app/include" "$implib" -o "$app/bin/host.exe"
  got=$(cmake/wine-run.sh "$app/bin/host.exe" | tr -d '\r')
  [ "$got" = "$want" ] || { echo "archive: the host linked with $(basename "$implib") prints '$got'"; exit 1; }
done
echo "archive: kdpdf.exe runs from the unpacked folder; hosts link through kdlib.dll.a and kdlib.def"
