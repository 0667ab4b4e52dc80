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

// The neighbour of index k in direction step (+1 or -1), marks skipped:
// its index, or -1 when the text ends first.
template <class Unit>
int neighbourIndex(const Unit* input, int n, int k, int step) {
    for (int i = k + step; i >= 0 && i < n; i += step) {
        if (!markUnit(input[i])) return i;
    }
    return -1;
}

template <class Unit>
int shape(const Unit* input, int n, Unit* output, Order order) {
    const bool logical = order == Order::Logical;
    // Reading order runs upward in logical storage, downward in display order.
    const int forward = logical ? 1 : -1;
    int written = 0;
    int consumed = -1;  // the alef that went into a lam-alef ligature
    auto emit = [&](Unit u) {
        if (logical) {
            output[written] = u;
        } else {
            output[n - 1 - written] = u;
        }
        ++written;
    };
    // Row of the unit read last before k (marks skipped), null when that
    // unit is not a letter or there is none.
    const Forms* prev = nullptr;
    for (int step = 0; step < n; ++step) {
        const int k = logical ? step : n - 1 - step;
        const unsigned c = input[k];
        const Forms* row = rowOf(c);
        if (k == consumed) {  // still the neighbour of what follows
            prev = row;
            continue;
        }
        if (row == nullptr) {
            emit(static_cast<Unit>(c));
            if (!markUnit(c)) prev = nullptr;
            continue;
        }
        const bool prevJoins = prev != nullptr && (prev->initial != 0 || prev->medial != 0);
        prev = row;
        const int qi = neighbourIndex(input, n, k, forward);
        const Forms* next = qi < 0 ? nullptr : rowOf(input[qi]);
        const bool nextJoins = next != nullptr && (next->medial != 0 || next->final != 0 || next->base == kTatweel);

        if (c == kLam && nextJoins) {
            if (const LamAlef* la = lamAlefFor(next->base)) {
                emit(static_cast<Unit>(prevJoins ? la->final : la->isolated));
                // The alef itself is consumed; marks between lam and alef are
                // copied after the ligature as the walk reaches them.
                consumed = qi;
                continue;
            }
        }
        const uint16_t form = kTables.formFor[static_cast<size_t>(row - kForms)][(prevJoins ? 2 : 0) + (nextJoins ? 1 : 0)];
        emit(static_cast<Unit>(form));
    }
    if (!logical && written < n) {
        std::memmove(output, output + (n - written), static_cast<size_t>(written) * sizeof(Unit));
        // Keep the area beyond the result as the zero fill left it.
        std::memset(static_cast<void*>(output + written), 0, static_cast<size_t>(n - written) * sizeof(Unit));
    }
    return written;
}

}  // namespace

bool isArabicLetter(uint16_t unit) { return rowOf(unit) != nullptr; }

bool isTransparentMark(uint16_t unit) { return markUnit(unit); }

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
