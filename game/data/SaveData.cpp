#include "game/data/SaveData.h"

#include "engine/core/Crc32.h"
#include "game/data/SaveFile.h"

#include <algorithm>
#include <cstring>
#include <utility>

template <class Io>
static void Transfer(Io& io, GameDataEntry& e)
{
    for (auto& row : e.item)
        for (GameDataItem& item : row)
            for (u32& value : item.value) io.U32(value);
}

// One flag table of 256 u32.
struct GameDataTable {
    u32 (&flags)[CSaveData::kFlagCount];
};

template <class Io>
static void Transfer(Io& io, GameDataTable t)
{
    for (u32& flag : t.flags) io.U32(flag);
}

namespace {

// The unlocks every new game starts with.
constexpr i32 kDefaultUnlocks[] = {0, 1, 4, 13, 15, 16, 21, 23, 30, 32, 38, 44};

bool InFlagRange(i32 index) { return index >= 0 && index < i32(CSaveData::kFlagCount); }

}  // namespace

i32 CSaveData::Release()
{
    std::vector<GameDataEntry>().swap(m_records);
    return 1;
}

i32 CSaveData::SetDefaults()
{
    m_records.assign(kMinRecordCount, GameDataEntry{});
    std::memset(m_tables, 0, sizeof m_tables);
    for (i32 i : kDefaultUnlocks) {
        m_tables[kUnlock][i] = 1;
        m_tables[kUnlockShown][i] = 1;
    }
    m_tables[kReward][0] = 1;
    return 1;
}

u32 CSaveData::GetFlag(u32 table, i32 index) const
{
    return table < kTableCount && InFlagRange(index) ? m_tables[table][index] : 0;
}

i32 CSaveData::SetFlag(u32 table, i32 index, u32 value)
{
    if (table >= kTableCount || !InFlagRange(index)) return 0;
    m_tables[table][index] = value;
    return 1;
}

i32 CSaveData::TablesDiffer(u32 a, u32 b) const
{
    return std::memcmp(m_tables[a], m_tables[b], sizeof m_tables[a]) != 0 ? 1 : 0;
}

void CSaveData::CopyTable(u32 from, u32 to)
{
    std::memcpy(m_tables[to], m_tables[from], sizeof m_tables[to]);
}

const GameDataItem* CSaveData::GetSkillSet(i32 character, i32 player, i32 colour) const
{
    if (character < 0 || size_t(character) >= m_records.size()) return nullptr;
    if (player < 0 || player >= i32(kGameDataPlayers) || colour < 0 || colour >= i32(kGameDataColours)) return nullptr;
    return &m_records[size_t(character)].item[player][colour];
}

i32 CSaveData::SetSkillSet(i32 character, i32 player, i32 colour, const GameDataItem& item)
{
    const GameDataItem* place = GetSkillSet(character, player, colour);
    if (!place) return 0;
    m_records[size_t(character)].item[player][colour] = item;
    return 1;
}

// ---------------------------------------------------------------- file

std::string CSaveData::Serialize() const
{
    SaveByteWriter out;
    out.U32(kVersion);
    // At least 18 records (zero before a load); the count is a byte.
    const size_t count = std::clamp<size_t>(m_records.size(), kMinRecordCount, 255);
    out.U8(u8(count));
    out.U32(u32(sizeof(GameDataEntry)));
    for (size_t i = 0; i < count; ++i) {
        GameDataEntry e = i < m_records.size() ? m_records[i] : GameDataEntry{};
        Transfer(out, e);
    }
    u32 tables[kTableCount][kFlagCount];
    std::memcpy(tables, m_tables, sizeof tables);
    std::string tableBytes[kTableCount];
    for (u32 t = 0; t < kTableCount; ++t) {
        GameDataTable table{tables[t]};
        tableBytes[t] = EncodeRecord(table);
        out.Bytes(tableBytes[t].data(), tableBytes[t].size());
    }
    out.U32(m_adventureWord);
    for (const std::string& table : tableBytes) out.U32(Crc32Buffer(table.data(), u32(table.size())));
    return out.Take();
}

save_file::Parsed CSaveData::Parse(const std::string& bytes)
{
    SaveByteReader in(bytes);
    u32 version = 0;
    if (in.U32(version)) {
        if (version > kVersion) return save_file::Parsed::Newer;
        if (version < kVersion) return save_file::Parsed::Older;
    }

    u8 count = 0;
    u32 recordSize = 0;
    in.U8(count);
    in.U32(recordSize);
    // Never more than 255 records: a stored size beyond the file ends the
    // read at the first record instead of asking for its bytes.
    std::vector<GameDataEntry> records(std::max<u32>(count, kMinRecordCount));
    for (u32 i = 0; i < count; ++i) {
        std::string image = EncodeRecord(records[i]);
        const bool whole = in.Block(image.data(), image.size(), recordSize);
        DecodeRecord(image, records[i]);
        if (!whole) break;
    }

    std::string tableBytes[kTableCount];
    u32 tables[kTableCount][kFlagCount] = {};
    for (u32 t = 0; t < kTableCount; ++t) {
        tableBytes[t].assign(kTableBytes, '\0');
        in.Bytes(tableBytes[t].data(), kTableBytes);
        GameDataTable table{tables[t]};
        DecodeRecord(tableBytes[t], table);
    }
    u32 adventureWord = 0;
    u32 stored[kTableCount] = {};
    const bool wordRead = in.U32(adventureWord);
    for (u32& crc : stored) in.U32(crc);

    // The word is kept even when the tables are not; a file that ends
    // before it leaves the word as it was.
    if (wordRead) m_adventureWord = adventureWord;
    m_loadFailed = false;
    // A file that ended early cannot vouch for its tables (the checksums
    // that it lacks would fail), so it gives the defaults.
    bool match = !in.Ended();
    for (u32 t = 0; match && t < kTableCount; ++t)
        match = Crc32Buffer(tableBytes[t].data(), kTableBytes) == stored[t];
    if (!match) {
        SetDefaults();
        return in.Ended() ? save_file::Parsed::Truncated : save_file::Parsed::Mismatch;
    }
    m_records = std::move(records);
    std::memcpy(m_tables, tables, sizeof m_tables);
    return save_file::Parsed::Ok;
}

i32 CSaveData::Load()
{
    return save_file::Load(kFileName, m_loadFailed, [this] { SetDefaults(); },
        [this](const std::string& bytes) { return Parse(bytes); }, [this] { return Save(); });
}

i32 CSaveData::Save()
{
    if (m_loadFailed) return 0;
    std::string path;
    if (!save_file::MakePath(kFileName, path)) return 0;
    return save_file::WriteFile(path, Serialize()) ? 1 : 0;
}
