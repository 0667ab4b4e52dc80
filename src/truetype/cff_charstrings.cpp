#include "truetype/cff_charstrings.h"

#include <algorithm>
#include <cmath>

namespace kd {

namespace {

// Type 2 operators the walk treats apart from the rest.
constexpr uint8_t kHstem = 1, kVstem = 3, kCallSubr = 10, kReturn = 11, kEscape = 12, kEndChar = 14,
                  kHstemHm = 18, kHintMask = 19, kCntrMask = 20, kVstemHm = 23, kShortInt = 28, kCallGSubr = 29;

}  // namespace

CffClosure::CffClosure(CffFont& font)
    : font_(font),
      glyphs_(font.glyphCount(), false),
      globalSubrs_(font.globalSubrs().count(), false),
      fontSteps_(std::max<uint64_t>(uint64_t{1} << 22, 16 * uint64_t{font.tableLength()})) {
    for (const CffFont::PrivateDict& p : font.privates()) localSubrs_.emplace_back(p.subrs.count(), false);
}

void CffClosure::addGlyph(uint32_t glyph) {
    if (glyph >= glyphs_.size() || glyphs_[glyph]) return;
    glyphs_[glyph] = true;
    pending_.push_back(glyph);
    while (!pending_.empty()) {
        uint32_t g = pending_.back();
        pending_.pop_back();
        walkGlyph(g);
    }
}

void CffClosure::walkGlyph(uint32_t glyph) {
    const CffIndex& charStrings = font_.charStrings();
    const uint32_t length = charStrings.objectLength(glyph);
    const uint8_t* code = font_.objectBytes(charStrings.objectStart(glyph), length);
    if (!code) return;
    privateIndex_ = font_.privateIndexOf(glyph);
    glyphSteps_ = kGlyphSteps;
    stems_ = 0;
    count_ = 0;
    std::fill(std::begin(transient_), std::end(transient_), 0.0);
    run(code, length, 0);
}

bool CffClosure::push(double v) {
    if (count_ >= 48) return false;
    stack_[count_++] = v;
    return true;
}

CffClosure::Flow CffClosure::run(const uint8_t* code, uint32_t length, int depth) {
    uint32_t i = 0;
    while (i < length) {
        if (glyphSteps_ == 0 || fontSteps_ == 0) return Flow::End;
        --glyphSteps_;
        --fontSteps_;
        const uint8_t b = code[i++];
        if (b >= 32) {
            double v;
            if (b <= 246) {
                v = b - 139;
            } else if (b == 255) {
                if (i + 4 > length) return Flow::End;
                uint32_t raw = (uint32_t{code[i]} << 24) | (uint32_t{code[i + 1]} << 16) |
                               (uint32_t{code[i + 2]} << 8) | code[i + 3];
                v = static_cast<int32_t>(raw) / 65536.0;
                i += 4;
            } else {
                if (i + 1 > length) return Flow::End;
                int w = (b - (b <= 250 ? 247 : 251)) * 256 + code[i++] + 108;
                v = b <= 250 ? w : -w;
            }
            if (!push(v)) return Flow::End;
            continue;
        }
        switch (b) {
        case kShortInt:
            if (i + 2 > length || !push(static_cast<int16_t>((code[i] << 8) | code[i + 1]))) return Flow::End;
            i += 2;
            break;
        case kHstem:
        case kVstem:
        case kHstemHm:
        case kVstemHm:
            stems_ += count_ / 2;
            count_ = 0;
            break;
        case kHintMask:
        case kCntrMask:
            // Operands left here are the vstem hints the operator implies.
            stems_ += count_ / 2;
            count_ = 0;
            i += (stems_ + 7) / 8;
            break;
        case kCallSubr:
        case kCallGSubr: {
            Flow f = call(b == kCallGSubr, depth);
            if (f == Flow::End) return f;
            break;
        }
        case kReturn:
            return Flow::Return;
        case kEndChar:
            // Four operands (five with a width): an accented glyph built of
            // two glyphs named by standard encoding codes.
            if (count_ >= 4) {
                keepComponent(stack_[count_ - 2]);
                keepComponent(stack_[count_ - 1]);
            }
            return Flow::End;
        case kEscape:
            if (i >= length || !escape(code[i++])) return Flow::End;
            break;
        default:  // path operators and reserved ones take their operands
            count_ = 0;
            break;
        }
    }
    return Flow::Continue;  // running off the end returns, as the format's readers do
}

CffClosure::Flow CffClosure::call(bool global, int depth) {
    if (count_ == 0 || depth >= kMaxDepth) return Flow::End;
    const double operand = stack_[--count_];
    const CffIndex& subrs = global ? font_.globalSubrs() : font_.privates()[privateIndex_].subrs;
    const double index = operand + bias(subrs.count());
    if (!(index >= 0 && index < subrs.count())) return Flow::End;
    const uint32_t n = static_cast<uint32_t>(index);
    if (global) {
        globalSubrs_[n] = true;
    } else {
        localSubrs_[privateIndex_][n] = true;
    }
    const uint8_t* code = font_.objectBytes(subrs.objectStart(n), subrs.objectLength(n));
    if (!code) return Flow::End;
    Flow f = run(code, subrs.objectLength(n), depth + 1);
    return f == Flow::End ? f : Flow::Continue;
}

void CffClosure::keepComponent(double code) {
    if (font_.cidKeyed() || !(code >= 0 && code <= 255)) return;
    int32_t g = font_.glyphOfStandardCode(static_cast<int32_t>(code));
    if (g < 0 || glyphs_[static_cast<uint32_t>(g)]) return;
    glyphs_[static_cast<uint32_t>(g)] = true;
    components_.push_back(static_cast<uint32_t>(g));
    pending_.push_back(static_cast<uint32_t>(g));
}

// The two-byte operators: arithmetic and storage change the stack, the flex
// operators and the reserved ones take their operands. False on a stack
// fault.
bool CffClosure::escape(uint8_t op) {
    auto pop = [this](double& v) {
        if (count_ == 0) return false;
        v = stack_[--count_];
        return true;
    };
    double a = 0, b = 0, c = 0, d = 0;
    switch (op) {
    case 3:   // and
    case 4:   // or
    case 10:  // add
    case 11:  // sub
    case 12:  // div
    case 15:  // eq
    case 24:  // mul
        if (!pop(b) || !pop(a)) return false;
        return push(op == 3 ? (a != 0 && b != 0) : op == 4 ? (a != 0 || b != 0) : op == 10 ? a + b
                    : op == 11 ? a - b : op == 12 ? (b != 0 ? a / b : 0) : op == 15 ? (a == b) : a * b);
    case 5:   // not
    case 9:   // abs
    case 14:  // neg
    case 26:  // sqrt
        if (!pop(a)) return false;
        return push(op == 5 ? (a == 0) : op == 9 ? std::fabs(a) : op == 14 ? -a : std::sqrt(std::fabs(a)));
    case 18:  // drop
        return pop(a);
    case 20:  // put
        if (!pop(b) || !pop(a)) return false;
        if (b >= 0 && b < 32) transient_[static_cast<int>(b)] = a;
        return true;
    case 21:  // get
        if (!pop(a)) return false;
        return push(a >= 0 && a < 32 ? transient_[static_cast<int>(a)] : 0);
    case 22:  // ifelse
        if (!pop(d) || !pop(c) || !pop(b) || !pop(a)) return false;
        return push(c <= d ? a : b);
    case 23:  // random: any value in (0, 1]
        return push(0.5);
    case 27:  // dup
        if (!pop(a)) return false;
        return push(a) && push(a);
    case 28:  // exch
        if (!pop(b) || !pop(a)) return false;
        return push(b) && push(a);
    case 29: {  // index
        if (!pop(a) || count_ == 0) return false;
        double k = a < 0 ? 0 : a;
        return k < count_ && push(stack_[count_ - 1 - static_cast<uint32_t>(k)]);
    }
    case 30: {  // roll
        if (!pop(b) || !pop(a)) return false;
        if (!(a > 0 && a <= count_ && std::fabs(b) < 1e9)) return a == 0;
        const uint32_t n = static_cast<uint32_t>(a);
        const int64_t shift = static_cast<int64_t>(b) % static_cast<int64_t>(n);
        std::rotate(stack_ + count_ - n, stack_ + count_ - n + (shift > 0 ? n - shift : -shift), stack_ + count_);
        return true;
    }
    default:
        count_ = 0;
        return true;
    }
}

}  // namespace kd
