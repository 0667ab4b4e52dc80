// Kinds a PDF reader decodes itself: their bytes are copied unchanged.
#include "image/pic_info.h"

namespace kd::image {

void copyInputTo(PicInfo& info, int64_t end) {
    uint8_t block[kCopyBlock];
    for (;;) {
        int64_t here = info.position();
        if (here < 0 || here >= end) break;
        size_t want = size_t(end - here < kCopyBlock ? end - here : kCopyBlock);
        size_t got = info.readBlock(block, want);
        putOutput(info, block, got);
        if (got < want) break;
    }
}

int copyWholeFile(PicInfo& info) {
    info.seekTo(0);
    copyInputTo(info, info.fileSize);
    return 0;
}

// The JPEG goes in as it stands: markers, tables and entropy-coded data.
int copyJpeg(PicInfo& info) { return copyWholeFile(info); }

// One-dimensional Huffman data, neither decoded nor reordered.
int copyHuffmanBitmap(PicInfo& info) {
    info.seekTo(info.dataOffset);
    copyInputTo(info, info.fileSize);
    return 0;
}

}  // namespace kd::image
