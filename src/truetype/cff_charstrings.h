// What a subset of a CFF font keeps: the glyphs it is asked for, the
// components that accented glyphs name in their endchar, and every global
// and local subroutine their Type 2 charstrings reach.
//
// The walk interprets each kept charstring as far as reaching needs: the
// operand stack (for subroutine numbers and stem counts), the stem hints
// (a hintmask is followed by one bit per stem, and operands left before
// the first hintmask are an implicit vstem), calls with the format's bias,
// return and endchar. It is bounded everywhere: the format's stack limit of
// 48, subroutine calls nested at most 10 deep, a step budget per glyph and
// one for the whole font.
#pragma once

#include <cstdint>
#include <vector>

#include "truetype/cff_font.h"

namespace kd {

class CffClosure {
public:
    explicit CffClosure(CffFont& font);

    // Keeps glyph (a glyph outside the font is passed over) and walks its
    // charstring and those of the components it names.
    void addGlyph(uint32_t glyph);

    bool keepsGlyph(uint32_t glyph) const { return glyph < glyphs_.size() && glyphs_[glyph]; }
    bool keepsGlobalSubr(uint32_t i) const { return i < globalSubrs_.size() && globalSubrs_[i]; }
    bool keepsLocalSubr(uint32_t privateIndex, uint32_t i) const {
        return privateIndex < localSubrs_.size() && i < localSubrs_[privateIndex].size() &&
               localSubrs_[privateIndex][i];
    }
    // Glyphs kept because an accented glyph names them, in the order found.
    const std::vector<uint32_t>& components() const { return components_; }

    // The number added to a subroutine operand, by the count of subroutines.
    static int32_t bias(uint32_t count) { return count < 1240 ? 107 : count < 33900 ? 1131 : 32768; }

private:
    enum class Flow { Continue, Return, End };
    static constexpr int kMaxDepth = 10;
    static constexpr uint32_t kGlyphSteps = 1u << 16;

    void walkGlyph(uint32_t glyph);
    Flow run(const uint8_t* code, uint32_t length, int depth);
    Flow call(bool global, int depth);
    bool escape(uint8_t op);
    bool push(double v);
    void keepComponent(double code);

    CffFont& font_;
    std::vector<bool> glyphs_, globalSubrs_;
    std::vector<std::vector<bool>> localSubrs_;
    std::vector<uint32_t> components_, pending_;
    uint64_t fontSteps_;

    // State of the glyph being walked.
    uint32_t privateIndex_ = 0;
    uint32_t glyphSteps_ = 0;
    uint32_t stems_ = 0;
    uint32_t count_ = 0;
    double stack_[48] = {};
    double transient_[32] = {};
};

}  // namespace kd
