#!/usr/bin/env bash
# Cross-builds kdlib.dll and the unit tests for 64-bit Windows with
# MinGW-w64 into build-win/, runs the tests under Wine through CTest in a
# throw-away Wine prefix, then compares the platform layer's answers on
# Windows with the Linux backend's (scripts/agreement).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

packages=(
  cmake googletest
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev
  wine wine64
  fonts-dejavu-core fonts-liberation
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "test-windows: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
fi

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

echo "== unit tests under Wine =="
(cd build-win && ctest --output-on-failure -j"$jobs")

echo "== platform agreement (Linux backend against Windows) =="
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DKDLIB_WERROR=ON -DKDLIB_TESTS=ON > /dev/null
fi
cmake --build build -j"$jobs" --target platform_probe > /dev/null
./build/tests/platform_probe > "$work/linux.txt"
wine build-win/tests/platform_probe.exe > "$work/windows.txt"
/usr/bin/python3 tests/tools/compare_probe.py "$work/linux.txt" "$work/windows.txt" tests/tools/platform_differences.txt
