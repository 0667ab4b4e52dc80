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

}  // namespace kd::arabic
