// The eight Windows code pages (1250 to 1257) through which 8-bit codes of
// a used-code mask become Unicode values: each the published mapping, with
// 0 at undefined codes and at 127.
#pragma once

#include <cstdint>

namespace kd {

// The 256 values of codePage, or null when it is not one of 1250 to 1257.
const uint16_t* codePageTable(int32_t codePage);

}  // namespace kd
