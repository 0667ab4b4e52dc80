#!/usr/bin/env bash
# Installs the Debian packages kdlib builds and tests with, and pdf.js (the
# npm package pdfjs-dist, pinned in tests/pdfjs) into .cache/pdfjs, outside the sources.
# Idempotent: does nothing when everything is already present.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

packages=(
  build-essential cmake pkg-config
  zlib1g-dev libfontconfig-dev libfreetype-dev
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  python3 python3-fonttools python3-pil
  qpdf poppler-utils fonts-dejavu-core fonts-noto-cjk fonts-urw-base35
  libharfbuzz-dev libssl-dev
  imagemagick libwmf-bin gsfonts
  mupdf-tools nodejs locales
)

. "$root/scripts/packages.sh"
ensure_packages setup "${packages[@]}"

# Locales the tests switch to: a comma decimal point, and one two bytes long.
for loc in de_DE ps_AF; do
  if ! locale -a 2>/dev/null | grep -qix "$loc.utf-\?8"; then
    echo "setup: generating the locale $loc.UTF-8"
    as_root localedef -i "$loc" -f UTF-8 "$loc.UTF-8"
  fi
done

# pdf.js for the kdpdf tests, exactly as package-lock.json pins it; never
# global. The optional canvas package is not needed for reading text.
pdfjs_dir="$root/.cache/pdfjs"
if [ ! -f "$pdfjs_dir/node_modules/pdfjs-dist/package.json" ] || \
   ! cmp -s "$root/tests/pdfjs/package-lock.json" "$pdfjs_dir/package-lock.json"; then
  if command -v npm > /dev/null; then
    echo "setup: installing pdf.js into .cache/pdfjs"
    mkdir -p "$pdfjs_dir"
    cp "$root/tests/pdfjs/package.json" "$root/tests/pdfjs/package-lock.json" "$pdfjs_dir/"
    (cd "$pdfjs_dir" && npm ci --omit=optional --no-audit --no-fund --loglevel=error)
  else
    echo "setup: npm not found; the pdf.js check of kdpdf will fail" >&2
  fi
fi
