// Arabic letters to their contextual presentation forms (Arabic
// Presentation Forms-B, lam-alef ligatures included) and back.
//
// Two storage orders: logical order (the letter read before index k sits at
// k - 1) and display order, as drawn from left to right (it sits at k + 1).
// Units that are not Arabic letters pass through unchanged.
#pragma once

#include <cstdint>

namespace kd::arabic {

enum class Order { Logical, Display };

// Shapes n units of input into output (room for n units; the caller zero
// fills it). Returns the units written: n minus one per lam-alef ligature.
int toPresentationForms(const uint16_t* input, int n, uint16_t* output, Order order);
int toPresentationForms(const char16_t* input, int n, char16_t* output, Order order);

// Replaces presentation forms by base letters and splits lam-alef ligatures
// into two letters (lam first in logical order, alef first in display
// order). Writes at most room units, stopping before a unit that does not
// fit; 2 x n units always suffice. Returns the units written.
int fromPresentationForms(const uint16_t* input, int n, uint16_t* output, int room, Order order);

// Exposed for tests.
bool isArabicLetter(uint16_t unit);
bool isTransparentMark(uint16_t unit);

// The joining facts of a unit, for callers that shape from their own
// per-byte tables (0 for units that are neither letters nor marks).
constexpr uint8_t kLetter = 1;
constexpr uint8_t kJoinsNext = 2;      // has an initial or medial form
constexpr uint8_t kJoinsPrevious = 4;  // has a medial or final form, or is tatweel
constexpr uint8_t kMark = 8;
constexpr uint8_t kIsLam = 16;
constexpr uint8_t kLigatureAlef = 32;  // forms a lam-alef ligature
uint8_t joiningFlags(unsigned unit);

// Contexts of a letter: (preceding joins) * 2 + (following joins).
constexpr int kJoinedBefore = 2;
constexpr int kJoinedAfter = 1;
// The form of unit in context; units that are not letters are returned.
uint16_t formOf(unsigned unit, int context);
// The lam-alef ligature of alef, joined to the letter before or not.
uint16_t ligatureOf(unsigned alef, bool joinedBefore);

namespace detail {

static_assert(kJoinsNext == kJoinedBefore && (kJoinsPrevious >> 2) == kJoinedAfter);
static_assert((kIsLam << 1) == kLigatureAlef);

// One position of the walk below, given the flags of the unit (f) and of
// its nearest non-marks read before and after it.
template <class Emit>
inline void shapeAt(int k, unsigned f, unsigned before, unsigned after, int afterAt, Emit& emit) {
    const int context = static_cast<int>((before & kJoinsNext) | ((after & kJoinsPrevious) >> 2));
    // One test for both rare cases: an alef after a lam (consumed) and a lam
    // before an alef (the ligature).
    const unsigned lamAlef = f & ((before << 1) | (after >> 1)) & (kIsLam | kLigatureAlef);
    if (lamAlef == 0) {
        emit(k, context, -1);
    } else if (lamAlef == kIsLam) {
        emit(k, context, afterAt);
    }
}

}  // namespace detail

// The shaping walk in storage order, which is also the order of the
// result. flagsAt(k) gives joiningFlags of unit k. For every unit kept,
// emit(k, context, alefAt) is called; context means something for letters
// only (formOf ignores it otherwise); alefAt is -1, or, for a lam, the
// position of the alef it forms a ligature with (that alef is not
// emitted; bit kJoinedBefore of context picks final or isolated).
// Neighbours in reading order skip marks: the nearest non-mark below k is
// carried along; above k it is usually the next unit, and only a mark
// there sends the walk looking further (once per run of marks).
template <Order order, class FlagsAt, class Emit>
void walkShaping(int n, FlagsAt flagsAt, Emit emit) {
    constexpr bool logical = order == Order::Logical;  // reading runs upward
    unsigned lower = 0;  // flags of the nearest non-mark below k
    int lowerAt = -1;
    unsigned upperPastMarks = 0;  // flags of the non-mark after a run of marks
    int upperPastMarksAt = 0;
    unsigned f = n > 0 ? flagsAt(0) : 0;
    for (int k = 0; k < n; ++k) {
        const unsigned next = k + 1 < n ? flagsAt(k + 1) : 0;
        unsigned upper = next;
        int upperAt = k + 1;
        if ((next & kMark) != 0) {
            if (upperPastMarksAt <= k + 1) {
                for (upperPastMarksAt = k + 2; upperPastMarksAt < n && (flagsAt(upperPastMarksAt) & kMark) != 0;) {
                    ++upperPastMarksAt;
                }
                upperPastMarks = upperPastMarksAt < n ? flagsAt(upperPastMarksAt) : 0;
            }
            upper = upperPastMarks;
            upperAt = upperPastMarksAt;
        }
        detail::shapeAt(k, f, logical ? lower : upper, logical ? upper : lower, logical ? upperAt : lowerAt, emit);
        if ((f & kMark) == 0) {
            lower = f;
            lowerAt = k;
        }
        f = next;
    }
}

}  // namespace kd::arabic
