#include "text/arabic_shaping.h"

#include <array>
#include <cstring>

namespace kd::arabic {
namespace {

struct Forms {
    uint16_t base, isolated, initial, medial, final;
};

// One row per base letter; 0 where the letter has no such form.
constexpr Forms kForms[] = {
    {0x0621, 0xFE80, 0, 0, 0},
    {0x0622, 0xFE81, 0, 0, 0xFE82},
    {0x0623, 0xFE83, 0, 0, 0xFE84},
    {0x0624, 0xFE85, 0, 0, 0xFE86},
    {0x0625, 0xFE87, 0, 0, 0xFE88},
    {0x0626, 0xFE89, 0xFE8B, 0xFE8C, 0xFE8A},
    {0x0627, 0xFE8D, 0, 0, 0xFE8E},
    {0x0628, 0xFE8F, 0xFE91, 0xFE92, 0xFE90},
    {0x0629, 0xFE93, 0, 0, 0xFE94},
    {0x062A, 0xFE95, 0xFE97, 0xFE98, 0xFE96},
    {0x062B, 0xFE99, 0xFE9B, 0xFE9C, 0xFE9A},
    {0x062C, 0xFE9D, 0xFE9F, 0xFEA0, 0xFE9E},
    {0x062D, 0xFEA1, 0xFEA3, 0xFEA4, 0xFEA2},
    {0x062E, 0xFEA5, 0xFEA7, 0xFEA8, 0xFEA6},
    {0x062F, 0xFEA9, 0, 0, 0xFEAA},
    {0x0630, 0xFEAB, 0, 0, 0xFEAC},
    {0x0631, 0xFEAD, 0, 0, 0xFEAE},
    {0x0632, 0xFEAF, 0, 0, 0xFEB0},
    {0x0633, 0xFEB1, 0xFEB3, 0xFEB4, 0xFEB2},
    {0x0634, 0xFEB5, 0xFEB7, 0xFEB8, 0xFEB6},
    {0x0635, 0xFEB9, 0xFEBB, 0xFEBC, 0xFEBA},
    {0x0636, 0xFEBD, 0xFEBF, 0xFEC0, 0xFEBE},
    {0x0637, 0xFEC1, 0xFEC3, 0xFEC4, 0xFEC2},
    {0x0638, 0xFEC5, 0xFEC7, 0xFEC8, 0xFEC6},
    {0x0639, 0xFEC9, 0xFECB, 0xFECC, 0xFECA},
    {0x063A, 0xFECD, 0xFECF, 0xFED0, 0xFECE},
    {0x0640, 0x0640, 0, 0, 0},
    {0x0641, 0xFED1, 0xFED3, 0xFED4, 0xFED2},
    {0x0642, 0xFED5, 0xFED7, 0xFED8, 0xFED6},
    {0x0643, 0xFED9, 0xFEDB, 0xFEDC, 0xFEDA},
    {0x0644, 0xFEDD, 0xFEDF, 0xFEE0, 0xFEDE},
    {0x0645, 0xFEE1, 0xFEE3, 0xFEE4, 0xFEE2},
    {0x0646, 0xFEE5, 0xFEE7, 0xFEE8, 0xFEE6},
    {0x0647, 0xFEE9, 0xFEEB, 0xFEEC, 0xFEEA},
    {0x0648, 0xFEED, 0, 0, 0xFEEE},
    {0x0649, 0xFEEF, 0, 0, 0xFEF0},
    {0x064A, 0xFEF1, 0xFEF3, 0xFEF4, 0xFEF2},
};
static_assert(sizeof kForms / sizeof kForms[0] == 37);

constexpr uint16_t kLam = 0x0644;
constexpr uint16_t kTatweel = 0x0640;

struct LamAlef {
    uint16_t alef, isolated, final;
};
constexpr LamAlef kLamAlef[] = {
    {0x0622, 0xFEF5, 0xFEF6},
    {0x0623, 0xFEF7, 0xFEF8},
    {0x0625, 0xFEF9, 0xFEFA},
    {0x0627, 0xFEFB, 0xFEFC},
};

// Marks that are skipped when a letter's neighbours are sought.
constexpr uint16_t kMarkRanges[][2] = {
    {0x0610, 0x0610}, {0x0612, 0x0615}, {0x064B, 0x0658}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED},
};

// Base letters lie in 0621-064A; index their rows directly.
constexpr uint16_t kFirstBase = 0x0621;
constexpr uint16_t kLastBase = 0x064A;
// Presentation forms lie in FE80-FEFC (plus tatweel, which is its own base).
constexpr uint16_t kFirstForm = 0xFE80;
constexpr uint16_t kLastForm = 0xFEFC;

struct Tables {
    std::array<int8_t, kLastBase - kFirstBase + 1> rowOfBase{};  // -1: not a letter
    std::array<uint16_t, kLastForm - kFirstForm + 1> baseOfForm{};  // 0: none
    std::array<bool, 0x100> mark{};  // marks all lie in 06xx
    // The form each row takes, indexed by (preceding joins) * 2 + (following
    // joins), with the fallbacks of the joining rules already applied.
    std::array<std::array<uint16_t, 4>, sizeof kForms / sizeof kForms[0]> formFor{};

    constexpr Tables() {
        for (auto& r : rowOfBase) r = -1;
        for (int row = 0; row < static_cast<int>(sizeof kForms / sizeof kForms[0]); ++row) {
            const Forms& f = kForms[row];
            if (rowOfBase[f.base - kFirstBase] < 0) rowOfBase[f.base - kFirstBase] = static_cast<int8_t>(row);
            const uint16_t forms[4] = {f.isolated, f.initial, f.medial, f.final};
            for (uint16_t form : forms) {
                // The table is searched from the top: the first row keeps a form.
                if (form >= kFirstForm && form <= kLastForm && form != f.base && baseOfForm[form - kFirstForm] == 0) {
                    baseOfForm[form - kFirstForm] = f.base;
                }
            }
        }
        for (size_t row = 0; row < formFor.size(); ++row) {
            const Forms& f = kForms[row];
            const uint16_t initial = f.initial != 0 ? f.initial : f.isolated;
            const uint16_t final = f.final != 0 ? f.final : f.isolated;
            formFor[row][0] = f.isolated;
            formFor[row][1] = initial;
            formFor[row][2] = final;
            formFor[row][3] = f.medial != 0 ? f.medial : f.final != 0 ? f.final : initial;
        }
        for (const auto& range : kMarkRanges) {
            for (unsigned u = range[0]; u <= range[1]; ++u) mark[u & 0xFF] = true;
        }
    }
};
constexpr Tables kTables;

const Forms* rowOf(unsigned unit) {
    if (unit < kFirstBase || unit > kLastBase) return nullptr;
    int8_t row = kTables.rowOfBase[unit - kFirstBase];
    return row < 0 ? nullptr : &kForms[row];
}

bool markUnit(unsigned unit) { return (unit & 0xFF00u) == 0x0600u && kTables.mark[unit & 0xFF]; }

const LamAlef* lamAlefFor(unsigned alef) {
    for (const LamAlef& la : kLamAlef) {
        if (la.alef == alef) return &la;
    }
    return nullptr;
}

const LamAlef* lamAlefOfLigature(unsigned unit) {
    for (const LamAlef& la : kLamAlef) {
        if (la.isolated == unit || la.final == unit) return &la;
    }
    return nullptr;
}

// Joining facts and forms of the units 0600-06FF, so the walk tests bits
// and reads one table instead of chasing rows.
struct Block06 {
    std::array<uint8_t, 0x100> flags{};
    // The form of each unit by context; units that are not letters map to
    // themselves.
    std::array<std::array<uint16_t, 4>, 0x100> form{};

    constexpr Block06() {
        for (unsigned lo = 0; lo < 0x100; ++lo) {
            const unsigned unit = 0x0600 + lo;
            for (auto& f : form[lo]) f = static_cast<uint16_t>(unit);
            if (kTables.mark[lo]) flags[lo] |= kMark;
            if (unit < kFirstBase || unit > kLastBase || kTables.rowOfBase[unit - kFirstBase] < 0) continue;
            const int row = kTables.rowOfBase[unit - kFirstBase];
            const Forms& f = kForms[row];
            flags[lo] |= kLetter;
            if (f.initial != 0 || f.medial != 0) flags[lo] |= kJoinsNext;
            if (f.medial != 0 || f.final != 0 || f.base == kTatweel) flags[lo] |= kJoinsPrevious;
            if (unit == kLam) flags[lo] |= kIsLam;
            for (const LamAlef& la : kLamAlef) {
                if (la.alef == unit) flags[lo] |= kLigatureAlef;
            }
            form[lo] = kTables.formFor[static_cast<size_t>(row)];
        }
    }
};
constexpr Block06 kBlock06;

// Branch free: text mixes Arabic with spaces and digits too irregularly
// for a branch to predict.
inline uint8_t flagsOf(unsigned unit) {
    const uint8_t f = kBlock06.flags[unit & 0xFFu];
    return (unit >> 8) == 6 ? f : 0;
}

template <class Unit>
int shape(const Unit* input, int n, Unit* output, Order order) {
    int written = 0;
    auto flagsAt = [&](int k) { return flagsOf(input[k]); };
    auto emit = [&](int k, int context, int alefAt) {
        output[written++] = static_cast<Unit>(alefAt < 0 ? formOf(input[k], context)
                                                        : ligatureOf(input[alefAt], (context & kJoinedBefore) != 0));
    };
    if (order == Order::Logical) {
        walkShaping<Order::Logical>(n, flagsAt, emit);
    } else {
        walkShaping<Order::Display>(n, flagsAt, emit);
    }
    return written;
}

}  // namespace

bool isArabicLetter(uint16_t unit) { return rowOf(unit) != nullptr; }

bool isTransparentMark(uint16_t unit) { return markUnit(unit); }

uint8_t joiningFlags(unsigned unit) { return flagsOf(unit); }

uint16_t formOf(unsigned unit, int context) {
    return (unit >> 8) == 6 ? kBlock06.form[unit & 0xFFu][context & 3] : static_cast<uint16_t>(unit);
}

uint16_t ligatureOf(unsigned alef, bool joinedBefore) {
    const LamAlef* la = lamAlefFor(alef);
    if (la == nullptr) return static_cast<uint16_t>(alef);
    return joinedBefore ? la->final : la->isolated;
}

int toPresentationForms(const uint16_t* input, int n, uint16_t* output, Order order) {
    if (input == nullptr || output == nullptr || n < 1) return 0;
    return shape(input, n, output, order);
}

int toPresentationForms(const char16_t* input, int n, char16_t* output, Order order) {
    if (input == nullptr || output == nullptr || n < 1) return 0;
    return shape(input, n, output, order);
}

int fromPresentationForms(const uint16_t* input, int n, uint16_t* output, int room, Order order) {
    if (input == nullptr || output == nullptr || n < 1 || room < 1) return 0;
    int written = 0;
    for (int k = 0; k < n; ++k) {
        const unsigned u = input[k];
        uint16_t base = 0;
        if (u >= kFirstForm && u <= kLastForm) base = kTables.baseOfForm[u - kFirstForm];
        if (base != 0) {
            if (written + 1 > room) break;
            output[written++] = base;
        } else if (const LamAlef* la = lamAlefOfLigature(u)) {
            if (written + 2 > room) break;
            output[written++] = order == Order::Logical ? kLam : la->alef;
            output[written++] = order == Order::Logical ? la->alef : kLam;
        } else {
            if (written + 1 > room) break;
            output[written++] = static_cast<uint16_t>(u);
        }
    }
    return written;
}

}  // namespace kd::arabic
