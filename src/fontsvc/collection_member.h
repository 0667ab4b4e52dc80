// One member of a TrueType collection as a standalone font program: the
// member's own table directory with every offset rebased to a file that
// holds only its tables. The program is never held whole; read() produces
// any range of it from the collection file on demand.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/platform/platform.h"

namespace kd {

class StandaloneMember {
public:
    // True when the font selected in dc is a member of a collection.
    static bool isCollectionMember(platform::DeviceContext dc);

    // Reads the member's directory (GetFontData table 0) and checks its
    // tables against the collection file. False when the directory cannot
    // be read; tables that lie outside the collection are left out.
    bool build(platform::DeviceContext dc);

    uint32_t length() const { return length_; }
    // count bytes of the standalone program at offset; bytes past the end
    // and padding are left as the caller's buffer holds them (zero).
    void read(uint32_t offset, uint8_t* buffer, uint32_t count) const;

private:
    struct Piece {
        uint32_t newOffset;
        uint32_t sourceOffset;  // from the start of the collection
        uint32_t length;
    };

    platform::DeviceContext dc_ = nullptr;
    std::vector<uint8_t> header_;
    std::vector<Piece> pieces_;
    uint32_t length_ = 0;
};

}  // namespace kd
