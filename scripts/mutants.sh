#!/usr/bin/env bash
# Planted faults the test suite must catch. Each fault is one line of one
# source file changed: it is applied to a copy of the sources (build-mutants/
# tree), the copy is rebuilt incrementally, the suite is run, and the file is
# restored. A fault the suite notices is "killed"; one it does not notice
# "survived". The last line reads "N killed, M survived".
#
#   scripts/mutants.sh [WORD]   only the faults whose file or note holds WORD
#   scripts/mutants.sh --check  only checks that every fault still applies
#
# A fault whose line is no longer in its file (the code moved on) is reported
# "stale" and counts as survived: update its line, keep the fault the same.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
filter="${1:-}"
check_only=0
if [ "$filter" = "--check" ]; then check_only=1; filter=""; fi
work="${KDLIB_MUTANTS_DIR:-$root/build-mutants}"
tree="$work/tree"
build="$work/build"
jobs=$(nproc 2>/dev/null || echo 2)

# Fault list: "@ file : what the fault is", then "- line as it stands" and
# "+ the line with the fault". The "-" text must occur exactly once in the
# file (leading and trailing blanks ignored).
faults() {
cat <<'LIST'
@ src/frame/display_context.cpp : wrong charset table entry (Cyrillic gets Eastern Europe)
- case 1251: return 204;
+ case 1251: return 238;
@ src/frame/display_context.cpp : bold flag ignored in the font description
- logFont.lfWeight = bold != 0 ? 700 : 100;
+ logFont.lfWeight = bold > 1 ? 700 : 100;
@ src/frame/codepage_tables.cpp : one wrong entry in the 1257 table (0xD2 gives n-cedilla's lowercase)
- 0x0160, 0x0143, 0x0145, 0x00D3, 0x014C, 0x00D5, 0x00D6, 0x00D7,
+ 0x0160, 0x0143, 0x0146, 0x00D3, 0x014C, 0x00D5, 0x00D6, 0x00D7,
@ src/frame/handle_registry.cpp : a handle of another family is accepted
- if (it == entries_.end() || it->second.type != type) return nullptr;
+ if (it == entries_.end()) return nullptr;
@ src/frame/platform/posix/multibyte.cpp : overlong three-byte UTF-8 accepted
- if (b == 0xE0) lo = 0xA0;
+ if (b == 0xE0) lo = 0x80;
@ src/frame/platform/posix/face_catalog.cpp : the name cache takes no account of bold
- NameKey(const char* faceName, bool bold, bool italic) : style(static_cast<uint8_t>((bold ? 1 : 0) | (italic ? 2 : 0))) {
+ NameKey(const char* faceName, bool bold, bool italic) : style(static_cast<uint8_t>((bold ? 0 : 0) | (italic ? 2 : 0))) {
@ src/frame/platform/posix/face_catalog.cpp : fonts added to a KDLIB_FONT_DIRS folder are never noticed
- for (const auto& [dir, stamp] : appDirs_) stale = stale || stampOf(dir) != stamp;
+ for (const auto& [dir, stamp] : appDirs_) stale = stale && stampOf(dir) != stamp;
@ src/truetype/char_maps.cpp : format 4 idDelta ignored
- glyph = (c + static_cast<uint32_t>(idDelta[i])) & 0xFFFF;
+ glyph = c & 0xFFFF;
@ src/truetype/subset_writer.cpp : wrong searchRange in the subset's directory
- out.u16(16 * power);
+ out.u16(16 * power + 16);
@ src/truetype/subset_writer.cpp : format 6 cmap length off by two
- r.newLength = 22 + 2 * codeCount;
+ r.newLength = 20 + 2 * codeCount;
@ src/truetype/glyph_set.cpp : composite arguments always read as bytes
- uint32_t skip = (flags & kArgsAreWords) ? 4 : 2;
+ uint32_t skip = 2;
@ src/truetype/glyph_set.cpp : undefined code 255 of a code page left out of the missing list
- for (int c = 0; c < 256; ++c) {
+ for (int c = 0; c < 255; ++c) {
@ src/truetype/table_readers.cpp : advance widths scaled by the wrong em
- int32_t width = advance * 1000 / values_.unitsPerEm;
+ int32_t width = advance * 1000 / (values_.unitsPerEm + 1);
@ src/truetype/cff_charstrings.cpp : a hint mask's implied vstems not counted
- case kCntrMask:
  // Operands left here are the vstem hints the operator implies.
  stems_ += count_ / 2;
+ case kCntrMask:
+ // Operands left here are the vstem hints the operator implies.
+ stems_ += 0;
@ src/truetype/cff_charstrings.h : wrong bias for fewer than 1240 subroutines
- static int32_t bias(uint32_t count) { return count < 1240 ? 107 : count < 33900 ? 1131 : 32768; }
+ static int32_t bias(uint32_t count) { return count < 1240 ? 106 : count < 33900 ? 1131 : 32768; }
@ src/truetype/cff_charstrings.cpp : an accented glyph's accent not kept
- keepComponent(stack_[count_ - 1]);
+ keepComponent(stack_[count_ - 2]);
@ src/truetype/cff_subset.cpp : CID-keyed charset not the identity
- out.u16(1);                          // glyph 1 is CID 1 ...
+ out.u16(2);                          // glyph 1 is CID 1 ...
@ src/truetype/cff_subset.cpp : trailing subroutines left out below the bias's threshold
- const uint32_t sameBias = sourceCount < 1240 ? 0 : sourceCount < 33900 ? 1240 : 33900;
+ const uint32_t sameBias = sourceCount < 1240 ? 0 : 0;
@ src/fontsvc/font_request.cpp : width array misses its last code
- for (int i = 0; i <= tm.tmLastChar - tm.tmFirstChar; ++i) {
+ for (int i = 0; i < tm.tmLastChar - tm.tmFirstChar; ++i) {
@ src/fontsvc/font_request.cpp : restricted licence embedded
- bool forbidsEmbedding(uint32_t fsType) { return (fsType & 1) != 0 || (fsType & 0x000E) == 0x0002; }
+ bool forbidsEmbedding(uint32_t fsType) { return (fsType & 1) != 0; }
@ src/fontsvc/font_request.cpp : code-glyph entries give the code in glyph-number mode
- in.record[n + 2 + 2 * k] = font.glyphIdMode() ? entries[k].glyph : entries[k].code;
+ in.record[n + 2 + 2 * k] = entries[k].code;
@ src/fontsvc/font_stream.cpp : Length1 line without its carriage return
- std::fprintf(stream.get(), "/Length1 %d\r\n", programLength);
+ std::fprintf(stream.get(), "/Length1 %d\n", programLength);
@ src/image/image_writer.cpp : indexed colour space high value off by one
- fprintf(out, " /ColorSpace [/Indexed /DeviceRGB %d %d 0 R]", info.paletteCount - 1, sideObj);
+ fprintf(out, " /ColorSpace [/Indexed /DeviceRGB %d %d 0 R]", info.paletteCount, sideObj);
@ src/image/image_writer.cpp : all-opaque mask line not commented out
- fputc('%', info.output);
+ fputc(' ', info.output);
@ src/image/png.cpp : Paeth predictor breaks ties toward upper left
- if (pb <= pc) return uint8_t(up);
+ if (pb < pc) return uint8_t(up);
@ src/image/png_rows.cpp : the CRC after an image data chunk is read as data
- info_.readBlock(crc, 4);
+ info_.readBlock(crc, 0);
@ src/image/png.cpp : Adam7 pass 3 placed from the wrong first row
- static const uint8_t x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 4, 0, 2, 0, 1};
+ static const uint8_t x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 2, 0, 2, 0, 1};
@ src/image/recognition.cpp : png palette alphas shifted by one entry
- info.paletteAlpha[i] = info.trnsBytes[i];
+ info.paletteAlpha[i] = info.trnsBytes[i + 1];
@ src/image/png.cpp : png colour key compared at 8 bits whatever the depth
- for (size_t i = 0; i < c; ++i) key = key && sampleAt(row, x * c + i, g_.depth) == info_.colourKey[i];
+ for (size_t i = 0; i < c; ++i) key = key && sampleAt(row, x * c + i, 8) == info_.colourKey[i];
@ src/image/bmp.cpp : five-bit channels widened without their low bits
- uint8_t widen5(uint32_t c) { return uint8_t((c << 3) | (c >> 2)); }
+ uint8_t widen5(uint32_t c) { return uint8_t(c << 3); }
@ src/image/recognition.cpp : JPEG walk misses the SOF3 marker
- int code = walkMarkers(info, [](uint32_t m) { return m >= 0xFFC0 && m <= 0xFFC3; });
+ int code = walkMarkers(info, [](uint32_t m) { return m >= 0xFFC0 && m <= 0xFFC2; });
@ src/truetype/truetype_font.cpp : an 'OTTO' font with glyf and loca counts as TrueType outlines
- bool TrueTypeFont::hasTrueTypeOutlines() const { return sfntVersion_ != kSfntVersionOtto && hasGlyf_ && hasLoca_; }
+ bool TrueTypeFont::hasTrueTypeOutlines() const { return hasGlyf_ && hasLoca_; }
@ src/fontsvc/font_request.cpp : a subset of a font without outlines to subset is written
- if (code != kRequestWholeFont && !font.hasTrueTypeOutlines() && !font.cffOutlines()) return kFontNothingToEmbed;
+ if (false) return kFontNothingToEmbed;
@ src/image/recognition.cpp : a PNG without image data is written as an image
- case kPng: return info.firstIdatOffset != 0;
+ case kPng: return true;
@ src/fso/float_format.cpp : the '#' flag no longer forces a decimal point
- if (c.alternate && !d.hasPoint()) d.insertAtSplit('.');
+ if (false) d.insertAtSplit('.');
@ src/security/security_handler.cpp : third byte of the object number left out of the object key
- material[n + 2] = static_cast<uint8_t>(object >> 16);
+ material[n + 2] = 0;
@ src/security/security_handler.cpp : revision 3 document key not rehashed
- if (r3) rehash50(h, n);
  std::memcpy(keys.key, h, static_cast<size_t>(n));
+ std::memcpy(keys.key, h, static_cast<size_t>(n));
@ src/security/md5.cpp : wrong MD5 round constant
- KD_MD5_STEP(KD_MD5_G, b, c, d, a, x[12], 0x8d2a4c8a, 20);
+ KD_MD5_STEP(KD_MD5_G, b, c, d, a, x[12], 0x8d2a4c8b, 20);
@ src/security/rc4.cpp : RC4 key schedule repeats the key's first byte
- j = (j + s[p] + key[k]) & 0xFF;
+ j = (j + s[p] + key[0]) & 0xFF;
@ src/text/pdf_strings.cpp : closing parenthesis not escaped
- s['\b'] = s['\t'] = s['\n'] = s['\r'] = s['('] = s[')'] = s['\\'] = 1;
+ s['\b'] = s['\t'] = s['\n'] = s['\r'] = s['('] = s['\\'] = 1;
@ src/text/arabic_shaping.cpp : beh's initial and medial forms swapped
- {0x0628, 0xFE8F, 0xFE91, 0xFE92, 0xFE90},
+ {0x0628, 0xFE8F, 0xFE92, 0xFE91, 0xFE90},
@ src/text/bidi.cpp : full stop no longer joins the digits of a number
- {0x23, 0x25, 1}, {0x2C, 0x2C, 1}, {0x2E, 0x2F, 1}, {0x3A, 0x3A, 1},
+ {0x23, 0x25, 1}, {0x2C, 0x2C, 1}, {0x2F, 0x2F, 1}, {0x3A, 0x3A, 1},
@ src/text/word_wrap.cpp : a line exactly as wide as its column is broken
- if (!(w > maxWidth)) {
+ if (w < maxWidth) {
@ src/text/word_wrap.cpp : trimming mode 4 leaves no room for the ellipsis
- if (mode == 3 || mode == 4) available = boxWidth > ellipsis ? boxWidth - ellipsis : 0.0f;
+ if (mode == 3) available = boxWidth > ellipsis ? boxWidth - ellipsis : 0.0f;
@ src/text/mus.cpp : two-byte codes repeat their high byte
- std::memcpy(out + 2, kHexPairs.pair[value & 0xFF], 2);
+ std::memcpy(out + 2, kHexPairs.pair[value >> 8], 2);
@ src/fso/fso.cpp : GetInt reads one byte past the content
- if (position < 1 || static_cast<int64_t>(position) + 3 > length_) return false;
+ if (position < 1 || static_cast<int64_t>(position) + 2 > length_) return false;
@ src/fso/fso.cpp : box bottom computed upwards
- const float bottom = y - height;
+ const float bottom = y + height;
@ src/fso/fso.cpp : append returns the length without the count
- return length_ + count;
+ return length_;
@ src/codec/encoders.cpp : Base64 lines of 76 characters
- constexpr int kLineLength = 72;
+ constexpr int kLineLength = 76;
@ src/codec/encoders.cpp : hexadecimal dump repeats the high digit
- text[used++] = kDigits[block[k] & 15];
+ text[used++] = kDigits[block[k] >> 4];
@ src/codec/deflate_file.cpp : a stream cut short is reported as complete
- if (!ended) return kUnzipFailed;
+ if (false) return kUnzipFailed;
LIST
}

# ---- Apply one fault to the tree: exact text, exactly once. ----------------
apply_fault() {  # file find put -> 0 applied, 1 stale
    python3 - "$1" "$2" "$3" <<'PY'
import sys
path, find, put = sys.argv[1], sys.argv[2], sys.argv[3]
text = open(path, encoding="utf-8").read()
lines = text.split("\n")
want = [l.strip() for l in find.split("\n")]
hits = [i for i in range(len(lines) - len(want) + 1)
        if [l.strip() for l in lines[i:i + len(want)]] == want]
if len(hits) != 1:
    sys.exit(1)
i = hits[0]
indent = lines[i][:len(lines[i]) - len(lines[i].lstrip())]
lines[i:i + len(want)] = [indent + p for p in put.split("\n")]
open(path, "w", encoding="utf-8").write("\n".join(lines))
PY
}

# Calls "$1" once per fault with file, note, find and put set.
for_each_fault() {
    local line
    file="" note="" find="" put=""
    while IFS= read -r line; do
        case "$line" in
            "@ "*)
                [ -n "$file" ] && "$1"
                line="${line#@ }"
                file="${line%% : *}"
                note="${line#* : }"
                find="" put=""
                ;;
            "- "*) find="${find:+$find$'\n'}${line#- }" ;;
            "  "*) find="${find:+$find$'\n'}${line#  }" ;;
            "+ "*) put="${put:+$put$'\n'}${line#+ }" ;;
        esac
    done < <(faults)
    [ -n "$file" ] && "$1"
    return 0
}

if [ "$check_only" = 1 ]; then
    stale=0
    check_one() {
        local copy
        copy=$(mktemp)
        cp "$root/$file" "$copy"
        if ! apply_fault "$copy" "$find" "$put"; then
            echo "stale: $file: $note"
            stale=$((stale + 1))
        fi
        rm -f "$copy"
    }
    for_each_fault check_one
    echo "$(faults | grep -c '^@ ') faults, $stale stale"
    [ "$stale" = 0 ]
    exit
fi

# ---- A copy of the sources, built once. ------------------------------------
echo "mutants: copying the sources to $tree"
rm -rf "$tree"
mkdir -p "$tree" "$build"
(cd "$root" && git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf -) | tar -xf - -C "$tree"
[ -d "$root/.cache" ] && ln -sfn "$root/.cache" "$tree/.cache"

# The family's own suite first (src/image/... -> label image): most faults
# fall there in seconds; only a fault it misses pays for the whole suite.
run_suite() {  # [family]
    if [ -n "${1:-}" ]; then
        (cd "$build" && timeout 900 ctest -j"$jobs" -L "^$1\$" --stop-on-failure --timeout 300 > "$work/ctest.log" 2>&1) ||
            return 1
    fi
    (cd "$build" && timeout 900 ctest -j"$jobs" --stop-on-failure --timeout 300 > "$work/ctest.log" 2>&1)
}
build_tree() {
    cmake --build "$build" -j"$jobs" > "$work/build.log" 2>&1
}

echo "mutants: configuring and building $build"
cmake -S "$tree" -B "$build" -DKDLIB_TESTS=ON -DKDLIB_WERROR=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$work/configure.log" 2>&1 || {
    echo "mutants: configure failed (see $work/configure.log)"; exit 2; }
build_tree || { echo "mutants: the unchanged sources do not build (see $work/build.log)"; exit 2; }
run_suite || { echo "mutants: the suite fails on the unchanged sources (see $work/ctest.log)"; exit 2; }

killed=0
survived=0
run_one() {
    if [ -n "$filter" ] && [[ "$file $note" != *"$filter"* ]]; then return 0; fi
    local target="$tree/$file" saved="$work/saved" verdict
    cp "$target" "$saved"
    if ! apply_fault "$target" "$find" "$put"; then
        verdict="stale"
        survived=$((survived + 1))
    elif ! build_tree; then
        verdict="did not build"
        survived=$((survived + 1))
    elif family="${file#src/}" && run_suite "${family%%/*}"; then
        verdict="survived"
        survived=$((survived + 1))
    else
        verdict="killed"
        killed=$((killed + 1))
    fi
    cp "$saved" "$target"
    printf '%-14s %s: %s\n' "$verdict" "$file" "$note"
}
for_each_fault run_one

# Leave the copy as the sources are, so a later run starts from a clean build.
build_tree > /dev/null 2>&1 || true
echo "$killed killed, $survived survived"
