#include "truetype/cff_dict.h"

#include <cmath>

namespace kd {

namespace {

constexpr size_t kIntegerBytes = 5;  // 29 and four bytes

// A real number's nibbles: digits, '.', E, E-, '-', end.
bool readReal(const uint8_t* data, size_t size, size_t& at, double& value) {
    double mantissa = 0, scale = 1;
    int exponent = 0, exponentSign = 1;
    bool negative = false, fraction = false, inExponent = false;
    while (at < size) {
        uint8_t b = data[at++];
        for (int half = 0; half < 2; ++half) {
            int nibble = half == 0 ? b >> 4 : b & 0x0F;
            if (nibble <= 9) {
                if (inExponent) {
                    if (exponent < 1000) exponent = exponent * 10 + nibble;
                } else if (fraction) {
                    scale /= 10;
                    mantissa += nibble * scale;
                } else {
                    mantissa = mantissa * 10 + nibble;
                }
            } else if (nibble == 0xA) {
                fraction = true;
            } else if (nibble == 0xB || nibble == 0xC) {
                inExponent = true;
                exponentSign = nibble == 0xC ? -1 : 1;
            } else if (nibble == 0xE) {
                negative = true;
            } else if (nibble == 0xF) {
                value = (negative ? -mantissa : mantissa) * std::pow(10.0, exponentSign * exponent);
                return true;
            }
        }
    }
    return false;
}

void writeInteger(SfntOutput& out, int32_t v) {
    out.u8(29);
    out.u32(static_cast<uint32_t>(v));
}

void writeOperator(SfntOutput& out, uint16_t op) {
    if (op >= 0x0C00) out.u8(12);
    out.u8(op & 0xFF);
}

}  // namespace

bool CffDict::parse(const uint8_t* data, size_t size) {
    bytes_.assign(data, data + size);
    entries_.clear();
    operands_.clear();
    size_t at = 0, entryBegin = 0, first = 0;
    while (at < size) {
        const uint8_t b0 = data[at];
        if (b0 <= 21) {
            uint16_t op = b0;
            ++at;
            if (b0 == 12) {
                if (at >= size) return false;
                op = static_cast<uint16_t>(0x0C00 | data[at++]);
            }
            entries_.push_back({op, static_cast<uint32_t>(entryBegin), static_cast<uint32_t>(at),
                                static_cast<uint32_t>(first), static_cast<uint32_t>(operands_.size() - first)});
            entryBegin = at;
            first = operands_.size();
            continue;
        }
        if (operands_.size() - first >= kMaxOperands) return false;
        double v = 0;
        if (b0 >= 32 && b0 <= 246) {
            v = b0 - 139;
            at += 1;
        } else if (b0 >= 247 && b0 <= 254) {
            if (at + 2 > size) return false;
            int w = (b0 - (b0 <= 250 ? 247 : 251)) * 256 + data[at + 1] + 108;
            v = b0 <= 250 ? w : -w;
            at += 2;
        } else if (b0 == 28) {
            if (at + 3 > size) return false;
            v = static_cast<int16_t>((data[at + 1] << 8) | data[at + 2]);
            at += 3;
        } else if (b0 == 29) {
            if (at + 5 > size) return false;
            v = static_cast<int32_t>((uint32_t{data[at + 1]} << 24) | (uint32_t{data[at + 2]} << 16) |
                                     (uint32_t{data[at + 3]} << 8) | data[at + 4]);
            at += 5;
        } else if (b0 == 30) {
            ++at;
            if (!readReal(data, size, at, v)) return false;
        } else {
            ++at;  // reserved bytes (22 to 27, 31, 255) carry no value
            continue;
        }
        operands_.push_back(v);
    }
    return operands_.size() == first;
}

const CffDict::Entry* CffDict::find(uint16_t op) const {
    for (const Entry& e : entries_)
        if (e.op == op) return &e;
    return nullptr;
}

int64_t CffDict::integer(uint16_t op, uint32_t k, int64_t fallback) const {
    const Entry* e = find(op);
    if (!e || k >= e->operandCount) return fallback;
    double v = operands_[e->firstOperand + k];
    if (!(v >= -2147483648.0 && v <= 2147483647.0)) return fallback;
    return static_cast<int64_t>(v);
}

const CffDict::Replacement* CffDict::replacementFor(const std::vector<Replacement>& replacements, uint16_t op) {
    for (const Replacement& r : replacements)
        if (r.op == op) return &r;
    return nullptr;
}

uint32_t CffDict::encodedSize(const std::vector<Replacement>& replacements) const {
    uint32_t size = 0;
    for (const Entry& e : entries_) {
        const Replacement* r = replacementFor(replacements, e.op);
        size += r ? static_cast<uint32_t>(r->count * kIntegerBytes) + (e.op >= 0x0C00 ? 2 : 1) : e.end - e.begin;
    }
    for (const Replacement& r : replacements)
        if (!has(r.op)) size += static_cast<uint32_t>(r.count * kIntegerBytes) + (r.op >= 0x0C00 ? 2 : 1);
    return size;
}

void CffDict::write(SfntOutput& out, const std::vector<Replacement>& replacements) const {
    for (const Entry& e : entries_) {
        if (const Replacement* r = replacementFor(replacements, e.op)) {
            for (uint32_t k = 0; k < r->count; ++k) writeInteger(out, r->values[k]);
            writeOperator(out, e.op);
        } else {
            out.bytes(bytes_.data() + e.begin, e.end - e.begin);
        }
    }
    for (const Replacement& r : replacements) {
        if (has(r.op)) continue;
        for (uint32_t k = 0; k < r.count; ++k) writeInteger(out, r.values[k]);
        writeOperator(out, r.op);
    }
}

}  // namespace kd
