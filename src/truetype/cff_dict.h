// CFF DICT data: operators with their operands, parsed once from the bytes
// of the source, and written back with chosen operands replaced by 5-byte
// integers (so that a DICT's size never depends on the offsets it holds).
#pragma once

#include <cstdint>
#include <vector>

#include "truetype/sfnt_output.h"

namespace kd {

// Operators the engine reads or rewrites; two-byte ones are 12 x -> 0x0C00 | x.
enum CffOperator : uint16_t {
    kCffCharset = 15,
    kCffEncoding = 16,
    kCffCharStrings = 17,
    kCffPrivate = 18,
    kCffSubrs = 19,
    kCffCharstringType = 0x0C06,
    kCffRos = 0x0C1E,
    kCffFdArray = 0x0C24,
    kCffFdSelect = 0x0C25,
};

class CffDict {
public:
    // The format's limit on operands before an operator.
    static constexpr size_t kMaxOperands = 48;

    struct Entry {
        uint16_t op;
        uint32_t begin, end;          // the entry's bytes, operands and operator
        uint32_t firstOperand, operandCount;
    };

    // False when an operand is cut off by the end, an operator has more
    // than kMaxOperands operands, or operands are left without an operator.
    bool parse(const uint8_t* data, size_t size);

    bool has(uint16_t op) const { return find(op) != nullptr; }
    // Operand k of op as an integer (reals truncated), fallback when the
    // operator or the operand is absent or the value does not fit 32 bits.
    int64_t integer(uint16_t op, uint32_t k, int64_t fallback) const;

    // One operator whose operands are written as 5-byte integers instead.
    struct Replacement {
        uint16_t op;
        uint32_t count;  // operands, at most 2
        int32_t values[2];
    };
    // Size of the DICT written with the replacements; operators listed
    // there but absent from the DICT are added at its end.
    uint32_t encodedSize(const std::vector<Replacement>& replacements) const;
    void write(SfntOutput& out, const std::vector<Replacement>& replacements) const;

private:
    const Entry* find(uint16_t op) const;
    static const Replacement* replacementFor(const std::vector<Replacement>& replacements, uint16_t op);

    std::vector<uint8_t> bytes_;
    std::vector<Entry> entries_;
    std::vector<double> operands_;
};

}  // namespace kd
