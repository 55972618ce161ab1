#include "game/battle/testdata/ScrambledPack.h"

#include "engine/core/PackFile.h"
#include "engine/core/Scramble.h"
#include "host/kernel/Kernel.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string_view>

namespace battle_data {

namespace {

std::string Scrambled(const void* data, size_t size, u8 key)
{
    std::string bytes(static_cast<const char*>(data), size);
    ScrambleBytes(key, bytes.data(), u32(bytes.size()));
    return bytes;
}

}  // namespace

std::string ScrambledPackBytes(const std::vector<PackItem>& items, u32 identifier, u8 key, u8 seed)
{
    const u8 headerKey = u8(seed ^ key);
    const u8 dataKey = u8(identifier % 255);
    const u32 count = u32(items.size());
    std::string head(1, char(seed));
    head += Scrambled(&identifier, 4, headerKey);
    head += Scrambled(&count, 4, headerKey);
    std::string bodies;
    const u32 start = 1 + 8 + count * kPackEntrySize;
    // Entries of equal bytes point at one stored body: the directory allows
    // it, and the roster's archives repeat their sounds.
    std::map<std::string_view, u32> stored;
    for (const PackItem& item : items) {
        PackEntry entry{};
        std::memcpy(entry.name, item.name.data(), item.name.size() < kPackNameSize ? item.name.size() : 0);
        entry.size = u32(item.body.size());
        const auto [at, added] = stored.try_emplace(item.body, start + u32(bodies.size()));
        entry.offset = at->second;
        head += Scrambled(&entry, sizeof entry, headerKey);
        if (added) bodies += Scrambled(item.body.data(), item.body.size(), dataKey);
    }
    return head + bodies;
}

bool WriteDataFile(const std::string& path, std::string_view bytes)
{
    // A new file of a name the set chooses: no case-blind look-up needed.
    std::string native = path;
    for (char& c : native)
        if (c == '\\') c = '/';
    // Written beside it, then renamed over it: a game that reads the folder
    // while the set is written again finds each file whole.
    const std::string part = native + ".part";
    std::FILE* file = std::fopen(part.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) == 0 && written && std::rename(part.c_str(), native.c_str()) == 0) return true;
    std::remove(part.c_str());
    return false;
}

bool WriteScrambledPack(const std::string& path, const std::vector<PackItem>& items, u32 identifier, u8 key, u8 seed)
{
    for (const PackItem& item : items) {
        if (item.name.empty() || item.name.size() >= kPackNameSize) return false;
    }
    return WriteDataFile(path, ScrambledPackBytes(items, identifier, key, seed));
}

}  // namespace battle_data
