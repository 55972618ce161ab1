#include "game/scenes/testdata/DataFiles.h"

#include "engine/core/Crc32.h"
#include "engine/core/FloatMath.h"
#include "engine/core/PackFile.h"
#include "engine/platform/tests/SoundTestSupport.h"
#include "host/kernel/Kernel.h"

namespace scene_data {

const std::string& MusicScript()
{
    static const std::string script =
        host::kernel::Utf8ToCp932(u8"名前:テスト曲;\nHI:20;\nLOW:30;\nCT:56;\nFINALE:57;\nNT:61;\n");
    return script;
}

const std::string& MusicOgg()
{
    // Silence but for a quiet second of tone at the start: it encodes to a
    // few kilobytes, so 41 copies stay small.
    static const std::string ogg = [] {
        constexpr u32 kRate = 8000;
        std::vector<i16> samples(64 * kRate, 0);
        for (u32 i = 0; i < kRate; ++i)
            samples[i] = i16(600.0f * SinF(6.2831853f * 220.0f * f32(i) / f32(kRate)) * f32(kRate - i) / f32(kRate));
        const std::vector<u8> bytes = sound_test::EncodeOgg(samples, 1, kRate);
        return std::string(bytes.begin(), bytes.end());
    }();
    return ogg;
}

// The set is written once into folders of its own, where a half-written
// file only fails the fixture: a plain write, without the syncs of the
// atomic writer, which on a busy disk cost more than everything else.
std::string Put(const std::string& path, const std::string& bytes)
{
    const std::string folder = path.substr(0, path.rfind('/'));
    const bool there = host::kernel::DirectoryExists(folder) || host::kernel::CreateDirectories(folder);
    return there && battle_data::WriteDataFile(path, bytes) ? "" : "cannot write " + path;
}

std::string Native(std::string path)
{
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string PutPack(const std::string& resource, const char* path, const char* packName, u8 key,
    const std::vector<PackItem>& items)
{
    for (const PackItem& item : items) {
        if (item.name.empty() || item.name.size() >= kPackNameSize) return "entry name of " + std::string(path);
    }
    return Put(resource + "/" + Native(path), battle_data::ScrambledPackBytes(items, Crc32String(packName), key, 0x5A));
}

}  // namespace scene_data
