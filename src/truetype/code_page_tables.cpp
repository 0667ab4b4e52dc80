#include "truetype/code_page_tables.h"

#include <array>

#include "frame/codepage_tables.h"

namespace kd {

namespace {

using Table = std::array<uint16_t, 256>;

std::array<Table, 8> buildTables() {
    std::array<Table, 8> tables{};
    for (int i = 0; i < 8; ++i) {
        const char16_t* published = singleByteCodePage(static_cast<unsigned>(1250 + i));
        for (int c = 0; c < 256; ++c) {
            char16_t u = published ? published[c] : 0;
            tables[i][c] = (u == kUndefinedCode || c == 127) ? 0 : static_cast<uint16_t>(u);
        }
    }
    return tables;
}

}  // namespace

const uint16_t* codePageTable(int32_t codePage) {
    static const std::array<Table, 8> tables = buildTables();
    if (codePage < 1250 || codePage > 1257) return nullptr;
    return tables[codePage - 1250].data();
}

}  // namespace kd
