// hb-subset with glyph indices kept, as kdlib's subsets keep them: the
// baseline of the subset benchmarks.
#pragma once

#include <hb-subset.h>
#include <hb.h>

#include <cstdio>

namespace kdbench {

// Subsets face to the characters and hands the program's bytes to use;
// returns their count (0 when hb-subset fails).
template <class Chars, class Use>
unsigned hbSubset(hb_face_t* face, const Chars& chars, Use&& use) {
    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS);
    hb_set_t* unicodes = hb_subset_input_unicode_set(input);
    for (auto c : chars) hb_set_add(unicodes, c);
    unsigned length = 0;
    if (hb_face_t* subset = hb_subset_or_fail(face, input)) {
        hb_blob_t* result = hb_face_reference_blob(subset);
        const char* data = hb_blob_get_data(result, &length);
        use(data, length);
        hb_blob_destroy(result);
        hb_face_destroy(subset);
    }
    hb_subset_input_destroy(input);
    return length;
}

// The whole job from a font file: read it, subset, write the program to
// outPath.
template <class Chars>
unsigned hbSubsetFile(const char* fontPath, const Chars& chars, const char* outPath) {
    hb_blob_t* blob = hb_blob_create_from_file(fontPath);
    hb_face_t* face = hb_face_create(blob, 0);
    unsigned length = hbSubset(face, chars, [outPath](const char* data, unsigned n) {
        if (FILE* f = std::fopen(outPath, "wb")) {
            std::fwrite(data, 1, n, f);
            std::fclose(f);
        }
    });
    hb_face_destroy(face);
    hb_blob_destroy(blob);
    return length;
}

}  // namespace kdbench
