// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the pack directory reader and reads every entry it
// accepts: no count, name length or data size may drive a read or an
// allocation past the archive, and no entry stream may read past its entry.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/FileArray.h"
#include "core/Pack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto* archive = new FileArray; // owned by the Pack
    // Bounded so one oversized input cannot stall a run; archives that find
    // bugs are far smaller.
    archive->write(data, int32_t(std::min<size_t>(size, 1 << 20)));
    Pack pack(archive);
    if (!pack.valid) return 0;
    uint8_t buffer[97];
    for (const Pack::Entry& record : pack.directory->entries) {
        Pack::File entry(&pack, &record);
        int32_t total = 0;
        for (int32_t n; (n = entry.read(buffer, sizeof buffer)) > 0;) total += n;
        if (total != int32_t(record.size)) __builtin_trap();
    }
    return 0;
}
