// SPDX-License-Identifier: MIT
// The byte substitution that every pack archive is stored through, header and
// data alike, so that archives are not readable as plain files. It is a key,
// not a cipher: the table is fixed, and archives written with one table are
// readable only with the same table. Writer and reader both derive from Coding
// so there is exactly one table in the program. Tables are built at compile
// time; there is nothing to initialise and nothing to race on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class Coding {
public:
    using Table = std::array<uint8_t, 256>;

    // stored = table[plain] and plain = inverse[stored].
    static const Table table;
    static const Table inverse;

    // Map bytes in place between plain and stored form.
    static void encode(uint8_t* bytes, size_t count);
    static void decode(uint8_t* bytes, size_t count);
};
