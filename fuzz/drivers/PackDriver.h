// The .gpk drivers' common part: every entry of an open archive read back
// by name and checked against the archive's bytes.
#pragma once

#include "engine/core/Memory.h"
#include "engine/core/PackFile.h"
#include "engine/core/Scramble.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace fuzz {

inline void ReadEntries(const CqelPackFile& pack, const uint8_t* data, size_t size)
{
    // A copy has the same directory and reads the same file.
    const CqelPackFile copy(pack);
    FUZZ_CHECK(copy.GetCount() == pack.GetCount());
    // The zeros past the end are shared in directory order by a budget of
    // about the file's size; an entry whose zeros do not fit what is left is
    // refused alone.
    const u64 budget = PackZeroBudget(size);
    const u32 shown = std::min<u32>(pack.GetCount(), 16);
    std::vector<bool> fits(shown);
    u64 used = 0;
    for (u32 i = 0; i < shown; ++i) {
        const PackEntry* entry = pack.GetEntry(i);
        const u64 end = u64(entry->offset) + entry->size;
        const u64 zeros = end > size ? end - std::max<u64>(entry->offset, size) : 0;
        fits[i] = used + zeros <= budget;
        if (fits[i]) used += zeros;
    }
    // Reading is linear in the entries; a few show every path. The zeros
    // the distinct entries give out stay within the budget.
    std::vector<bool> counted(shown);
    u64 zerosOut = 0;
    for (u32 i = 0; i < shown; ++i) {
        const PackEntry* entry = pack.GetEntry(i);
        FUZZ_CHECK(entry && std::memchr(entry->name, 0, kPackNameSize));
        const PackEntry* found = copy.FindEntry(entry->name);
        FUZZ_CHECK(found && std::strcmp(found->name, entry->name) == 0);
        // What lies inside the file is read, the rest of the body is zero;
        // a body past the budget is not read at all.
        const size_t present = found->offset < size ? std::min<size_t>(found->size, size - found->offset) : 0;
        u32 got = 0;
        u8* body = copy.ReadEntry(entry->name, &got);
        const size_t index = size_t(found - copy.GetEntry(0));
        if (!fits[index]) {
            FUZZ_CHECK(body == nullptr);
            continue;
        }
        FUZZ_CHECK(body != nullptr);
        // The first entry of that name is the one read.
        FUZZ_CHECK(got == found->size);
        if (!counted[index]) zerosOut += got - present;
        counted[index] = true;
        FUZZ_CHECK(zerosOut <= budget);
        std::string expected(reinterpret_cast<const char*>(data) + found->offset, present);
        if (pack.IsScrambled()) ScrambleBytes(pack.GetDataKey(), expected.data(), u32(expected.size()));
        expected.resize(found->size, '\0');
        FUZZ_CHECK(std::memcmp(body, expected.data(), got) == 0);
        AlignedFree(body);
    }
}

}  // namespace fuzz
