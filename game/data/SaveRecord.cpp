#include "game/data/SaveRecord.h"

#include "game/data/SaveFile.h"
#include "host/kernel/Kernel.h"

#include <utility>

template <class Io>
static void Transfer(Io& io, PlayRecordEntry& e)
{
    for (u32& word : e.word) io.U32(word);
}

template <class Io>
static void Transfer(Io& io, std::vector<PlayRecordEntry>& records)
{
    for (PlayRecordEntry& e : records) Transfer(io, e);
}

i32 CSaveRecord::Release()
{
    std::vector<PlayRecordEntry>().swap(m_records);
    return 1;
}

i32 CSaveRecord::SetDefaults()
{
    m_startTime = host::kernel::TimeGetTime();
    m_playTime = 0;
    m_flagByte = 0;
    m_records.assign(kRecordCount, PlayRecordEntry{});
    return 1;
}

u32 CSaveRecord::GetPlayTime() const
{
    return m_playTime + (host::kernel::TimeGetTime() - m_startTime);
}

PlayRecordEntry* CSaveRecord::GetRecord(u32 character)
{
    return character < m_records.size() ? &m_records[character] : nullptr;
}

const PlayRecordEntry* CSaveRecord::GetRecord(u32 character) const
{
    return character < m_records.size() ? &m_records[character] : nullptr;
}

i32 CSaveRecord::AddBattle(u32 character, bool network, u32 resultCode, const u32 (&stats)[4])
{
    PlayRecordEntry* record = GetRecord(character);
    if (!record) return 0;
    u32* half = record->word + (network ? kPlayRecordNetwork : 0);
    half[kPlayRecordBattles] += 1;
    if (resultCode >= 1 && resultCode <= 3) half[kPlayRecordResult + resultCode] += 1;
    // The sums are kept in the order s2, s3, s0, s1.
    half[kPlayRecordStatSums + 0] += stats[2];
    half[kPlayRecordStatSums + 1] += stats[3];
    half[kPlayRecordStatSums + 2] += stats[0];
    half[kPlayRecordStatSums + 3] += stats[1];
    return 1;
}

// ---------------------------------------------------------------- file

std::string CSaveRecord::Serialize() const
{
    SaveByteWriter out;
    out.U32(kVersion);
    out.U32(m_playTime);
    out.U8(m_flagByte);
    out.U8(u8(kRecordCount));
    out.U32(kRecordBlockSize);
    // Always 18 records, whatever the array holds (none before a load).
    for (u32 i = 0; i < kRecordCount; ++i) {
        PlayRecordEntry e = i < m_records.size() ? m_records[i] : PlayRecordEntry{};
        Transfer(out, e);
    }
    return out.Take();
}

save_file::Parsed CSaveRecord::Parse(const std::string& bytes)
{
    SaveByteReader in(bytes);
    u32 version = 0;
    if (in.U32(version) && version > kVersion) return save_file::Parsed::Newer;

    // Fields the file ends before keep their defaults (zero).
    u32 playTime = 0, blockSize = 0;
    u8 flagByte = 0, storedCount = 0;   // the stored count is not used
    in.U32(playTime);
    in.U8(flagByte);
    in.U8(storedCount);
    in.U32(blockSize);
    // The early format stored 8 records of blockSize bytes each, end to end.
    const u64 stored = version < kVersionWholeBlock ? u64(blockSize) * kEarlyRecordCount : blockSize;
    std::string image(kRecordBlockSize, '\0');
    in.Block(image.data(), image.size(), stored);
    std::vector<PlayRecordEntry> records(kRecordCount);
    DecodeRecord(image, records);
    if (version >= kVersionWholeBlock && version < kVersion) {
        records[12] = records[8];
        records[13] = records[9];
    }

    m_startTime = host::kernel::TimeGetTime();
    m_playTime = playTime;
    m_flagByte = flagByte;
    m_records = std::move(records);
    m_loadFailed = false;
    return in.Ended() ? save_file::Parsed::Truncated : save_file::Parsed::Ok;
}

i32 CSaveRecord::Load()
{
    return save_file::Load(kFileName, m_loadFailed, [this] { SetDefaults(); },
        [this](const std::string& bytes) { return Parse(bytes); }, [this] { return Save(); });
}

i32 CSaveRecord::Save()
{
    if (m_loadFailed) return 0;
    std::string path;
    if (!save_file::MakePath(kFileName, path)) return 0;
    // Bank the time since the last load or save.
    const u32 now = host::kernel::TimeGetTime();
    m_playTime += now - m_startTime;
    m_startTime = now;
    return save_file::WriteFile(path, Serialize()) ? 1 : 0;
}
