// SPDX-License-Identifier: MIT
#include "core/Coding.h"

namespace {

// table[b] = rotl3((167 * b + 89) mod 256) xor 0xA5.
// Each step is a bijection on bytes: multiplying by an odd number is
// invertible mod 256, adding a constant is, and so are a rotation and an xor.
// The affine step alone leaves bit 0 of the output depending on bit 0 of the
// input only; the rotation spreads that bit so neighbouring plain bytes do not
// give visibly related stored bytes. Changing any constant changes the
// archive key and makes every existing archive unreadable.
constexpr Coding::Table makeTable() {
    Coding::Table t{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned affine = (b * 167u + 89u) & 0xFFu;
        unsigned rotated = ((affine << 3) | (affine >> 5)) & 0xFFu;
        t[b] = uint8_t(rotated ^ 0xA5u);
    }
    return t;
}

constexpr Coding::Table makeInverse(const Coding::Table& t) {
    Coding::Table inverse{};
    for (unsigned b = 0; b < 256; ++b) inverse[t[b]] = uint8_t(b);
    return inverse;
}

constexpr bool isPermutation(const Coding::Table& t) {
    bool seen[256] = {};
    for (uint8_t v : t) {
        if (seen[v]) return false;
        seen[v] = true;
    }
    return true;
}

constexpr Coding::Table kTable = makeTable();
static_assert(isPermutation(kTable), "the substitution must be a permutation of the byte values");
constexpr Coding::Table kInverse = makeInverse(kTable);

} // namespace

// Constant-initialised from constexpr values, so usable from any static
// initialiser without ordering concerns.
constinit const Coding::Table Coding::table = kTable;
constinit const Coding::Table Coding::inverse = kInverse;

void Coding::encode(uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[i] = table[bytes[i]];
}

void Coding::decode(uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[i] = inverse[bytes[i]];
}
