// The deflate sink the decoders share: bytes gather in a 3000-byte buffer
// that is handed to deflate whenever it is full, so memory stays fixed
// whatever the image size.
#include <cstring>

#include "image/pic_info.h"

namespace kd::image {

void putOutput(PicInfo& info, const void* bytes, size_t count) {
    if (count == 0) return;
    fwrite(bytes, 1, count, info.output);
    info.bytesWritten += uint32_t(count);
}

int sinkInitDeflate(PicInfo& info, int level) {
    info.zstream = z_stream{};
    if (deflateInit_(&info.zstream, level, "1.2.11", int(sizeof(z_stream))) != Z_OK) return kErrDeflateInit;
    info.deflating = true;
    info.sinkInCount = 0;
    return 0;
}

namespace {

// Deflates the buffered input with `flush`; writes and counts the output.
// Returns the last deflate status.
int deflateBuffered(PicInfo& info, int flush) {
    z_stream& z = info.zstream;
    z.next_in = info.sinkIn;
    z.avail_in = uInt(info.sinkInCount);
    int status;
    do {
        z.next_out = info.sinkOut;
        z.avail_out = kSinkOutSize;
        status = deflate(&z, flush);
        putOutput(info, info.sinkOut, kSinkOutSize - z.avail_out);
        // A full output area means zlib may hold more for us.
    } while ((status == Z_OK && z.avail_out == 0) || (flush == Z_FINISH && status == Z_OK));
    info.sinkInCount = 0;
    return status;
}

}  // namespace

int sinkPutBlock(PicInfo& info, const uint8_t* bytes, size_t count) {
    while (count > 0) {
        size_t room = size_t(kSinkInSize - info.sinkInCount);
        size_t n = count < room ? count : room;
        memcpy(info.sinkIn + info.sinkInCount, bytes, n);
        info.sinkInCount += int32_t(n);
        bytes += n;
        count -= n;
        if (info.sinkInCount == kSinkInSize) {
            // Each full buffer ends on a synchronisation point, so the
            // stream can be cut after any 3000-byte piece of samples.
            int status = deflateBuffered(info, Z_SYNC_FLUSH);
            if (status != Z_OK) return status;
        }
    }
    return 0;
}

int sinkPut(PicInfo& info, const uint8_t* bytes, int count) {
    return sinkPutBlock(info, bytes, size_t(count < 1 ? 1 : count > 3 ? 3 : count));
}

int sinkFinish(PicInfo& info) {
    int status = deflateBuffered(info, Z_FINISH);
    return status == Z_STREAM_END ? 0 : (status == Z_OK ? Z_BUF_ERROR : status);
}

int sinkEndDeflate(PicInfo& info) {
    info.deflating = false;
    return deflateEnd(&info.zstream) == Z_OK ? 0 : kErrDeflateEnd;
}

}  // namespace kd::image
