#include "engine/core/PackFile.h"

#include "engine/core/Crc32.h"
#include "engine/core/tests/TestFiles.h"

#include <atomic>
#include <thread>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace coretest;

struct Item { std::string name, body; };

// Archives are built here byte by byte from the record layout, not with the
// packer, so the packer and the reader cannot share a mistake.
std::string Entry(const std::string& name, u32 size, u32 offset)
{
    std::string e(268, '\0');
    e.replace(0, name.size(), name);  // name: bytes 0-259
    e.replace(260, 4, U32(size));
    e.replace(264, 4, U32(offset));
    return e;
}

std::string PlainArchive(const std::vector<Item>& items)
{
    std::string head = U32(u32(items.size())), bodies;
    u32 offset = 4 + 268 * u32(items.size());
    for (const Item& item : items) {
        head += Entry(item.name, u32(item.body.size()), offset);
        offset += u32(item.body.size());
        bodies += item.body;
    }
    return head + bodies;
}

// Every field, entry and body scrambled on its own.
std::string ScrambledArchive(const std::vector<Item>& items, u32 id, u8 seed, u8 key)
{
    const u8 headerKey = seed ^ key, dataKey = u8(id % 255);
    std::string head = std::string(1, char(seed)) + Scrambled(U32(id), headerKey) +
                       Scrambled(U32(u32(items.size())), headerKey);
    std::string bodies;
    u32 offset = 9 + 268 * u32(items.size());
    for (const Item& item : items) {
        head += Scrambled(Entry(item.name, u32(item.body.size()), offset), headerKey);
        offset += u32(item.body.size());
        bodies += Scrambled(item.body, dataKey);
    }
    return head + bodies;
}

// The body of an entry as a string; "<null>" when it cannot be read.
std::string Body(const CqelPackFile& pack, const char* name)
{
    u32 size = 0xDEAD;
    u8* body = pack.ReadEntry(name, &size);
    if (!body) return "<null>";
    std::string s(reinterpret_cast<const char*>(body), size);
    AlignedFree(body);
    return s;
}

const std::vector<Item> kItems = {
    {"Texture\\Bg_24.dds", "texture bytes"},
    {"Se\\empty.wav", ""},
    {"Bgm_01.ogg", std::string(3000, 'o') + "end"},
};

const u32 kBgmId = Crc32String("BGMPACK");

}  // namespace

TEST(PackFile, PackerWritesTheRecordLayout)
{
    TempFolder folder;
    const std::string a = Put(folder / "a.bin", "0123456789"), b = Put(folder / "b.bin", "");
    const char* paths[] = {a.c_str(), b.c_str()};
    const std::string archive = folder / "out.gpk";
    Put(archive + ".part", "another packer's");  // a neighbour the packer must leave alone
    ASSERT_EQ(CqelPackFile::Write(paths, 2, archive.c_str()), 1u);
    EXPECT_EQ(Get(archive), PlainArchive({{a, "0123456789"}, {b, ""}}));  // 550 bytes, offsets 540 and 550
    EXPECT_EQ(Get(archive + ".part"), "another packer's");
}

TEST(PackFile, FindsEntriesByExactName)
{
    TempFolder folder;
    CqelPackFile pack;
    ASSERT_EQ(pack.Open(Put(folder / "Plain.gpk", PlainArchive(kItems)).c_str()), 1u);
    EXPECT_EQ(pack.GetCount(), 3u);
    EXPECT_FALSE(pack.IsScrambled());
    EXPECT_EQ(pack.GetEntry(3), nullptr);
    EXPECT_EQ(pack.FindEntry("Bgm_01.ogg"), pack.GetEntry(2));
    EXPECT_EQ(pack.FindEntry(nullptr), nullptr);
    EXPECT_EQ(Body(pack, "Texture\\Bg_24.dds"), "texture bytes");
    EXPECT_EQ(Body(pack, "Bgm_01.ogg"), kItems[2].body);
    EXPECT_EQ(Body(pack, "Se\\empty.wav"), "");  // a valid, empty block
    EXPECT_EQ(Body(pack, "bgm_01.ogg"), "<null>");
    ASSERT_EQ(pack.Open(Put(folder / "Empty.gpk", U32(0)).c_str()), 1u);
    EXPECT_EQ(pack.GetCount(), 0u);
}

TEST(PackFile, OpensScrambledArchives)
{
    TempFolder folder;
    const std::string path = Put(folder / "Bgm.gpk", ScrambledArchive(kItems, kBgmId, 0x5C, kPackKeyFirst));
    CqelPackFile pack;
    EXPECT_EQ(pack.OpenScrambled(path.c_str(), Crc32String("SEPACK"), kPackKeyFirst), 0u);
    EXPECT_EQ(pack.OpenScrambled(path.c_str(), kBgmId, kPackKeySecond), 0u);
    EXPECT_EQ(pack.GetCount(), 0u);

    ASSERT_EQ(pack.OpenScrambled(path.c_str(), kBgmId, kPackKeyFirst), 1u);
    EXPECT_TRUE(pack.IsScrambled());
    EXPECT_EQ(Body(pack, "Bgm_01.ogg"), kItems[2].body);

    // A wrong identifier leaves an open archive as it was.
    EXPECT_EQ(pack.OpenScrambled(path.c_str(), kBgmId + 1, kPackKeyFirst), 0u);
    EXPECT_EQ(pack.GetCount(), 3u);
    EXPECT_EQ(Body(pack, "Texture\\Bg_24.dds"), "texture bytes");

    // An identifier that is a multiple of 255 gives data key 0.
    const u32 id = 255 * 7;
    const std::string bytes = ScrambledArchive({{"a", "plain text"}}, id, 0x01, kPackKeySecond);
    ASSERT_EQ(pack.OpenScrambled(Put(folder / "k.gpk", bytes).c_str(), id, kPackKeySecond), 1u);
    EXPECT_EQ(pack.GetDataKey(), 0);
    EXPECT_EQ(Body(pack, "a"), "plain text");
}

TEST(PackFile, RefusesDamagedArchives)
{
    TempFolder folder;
    const std::string good = PlainArchive(kItems);
    // 16026200 x 268 wraps to 54304 in 32 bits: a directory that "fits".
    const u32 wrapping = 16026200;
    const std::string unterminated = U32(1) + std::string(260, 'x') + U32(0) + U32(272);
    const std::vector<std::pair<const char*, std::string>> plain = {
        {"shorter than the count", "\1\0"},
        {"count too big", U32(5) + PlainArchive({{"a", "body"}}).substr(4)},
        {"count wraps", U32(wrapping) + std::string(60000, '\0')},
        {"truncated directory", good.substr(0, 4 + 268 + 100)},
        {"unterminated name", unterminated},
    };
    CqelPackFile pack;
    for (const auto& [what, bytes] : plain) {
        EXPECT_EQ(pack.Open(Put(folder / "bad.gpk", bytes).c_str()), 0u) << what;
        EXPECT_EQ(pack.GetCount(), 0u) << what;
    }

    const std::string scrambled = ScrambledArchive(kItems, kBgmId, 0x33, kPackKeyFirst);
    const std::string wrapped = scrambled.substr(0, 5) + Scrambled(U32(wrapping), 0x33 ^ kPackKeyFirst) +
                                std::string(60000, '\0');
    for (const std::string& bytes : {scrambled.substr(0, 3), scrambled.substr(0, 7), wrapped,
             scrambled.substr(0, 9 + 268 * 3 - 1)})
        EXPECT_EQ(pack.OpenScrambled(Put(folder / "bad.gpk", bytes).c_str(), kBgmId, kPackKeyFirst), 0u);

    // A failed open keeps the archive that was open.
    ASSERT_EQ(pack.Open(Put(folder / "good.gpk", good).c_str()), 1u);
    EXPECT_EQ(pack.Open(Put(folder / "bad.gpk", unterminated).c_str()), 0u);
    EXPECT_EQ(pack.Open((folder / "missing.gpk").c_str()), 0u);
    EXPECT_EQ(pack.GetCount(), 3u);
    EXPECT_EQ(Body(pack, "Texture\\Bg_24.dds"), "texture bytes");
}

// An archive cut short keeps its directory: each body reads what lies before
// the end, the rest as zeros at its full size, plain or scrambled. A body
// whose zeros do not fit the archive's budget reads nothing, and the others
// still do.
TEST(PackFile, AnArchiveCutShortReadsEachBodyAsFarAsTheFileGoes)
{
    TempFolder folder;
    const std::string plain = PlainArchive(kItems);
    const std::string scrambled = ScrambledArchive(kItems, kBgmId, 0x33, kPackKeyFirst);
    const std::string bgm = kItems[2].body, zero(1, '\0');
    const struct {
        const char* what;
        std::string bytes;
        bool isScrambled;
        std::vector<std::string> bodies;   // kItems' entries in order
    } cases[] = {
        {"one byte short", plain.substr(0, plain.size() - 1), false,
            {"texture bytes", "", bgm.substr(0, 3002) + zero}},
        {"two bytes short, scrambled", scrambled.substr(0, scrambled.size() - 2), true,
            {"texture bytes", "", bgm.substr(0, 3001) + zero + zero}},
        {"cut inside the first body", plain.substr(0, 4 + 268 * 3 + 7), false,
            {std::string("texture") + std::string(6, '\0'), "", std::string(3003, '\0')}},
        {"cut after the directory, scrambled", scrambled.substr(0, 9 + 268 * 3), true,
            {std::string(13, '\0'), "", std::string(3003, '\0')}},
    };
    for (const auto& c : cases) {
        CqelPackFile pack;
        const std::string path = Put(folder / "short.gpk", c.bytes);
        ASSERT_EQ(c.isScrambled ? pack.OpenScrambled(path.c_str(), kBgmId, kPackKeyFirst) : pack.Open(path.c_str()), 1u)
            << c.what;
        EXPECT_EQ(pack.GetCount(), 3u) << c.what;
        for (size_t i = 0; i < kItems.size(); ++i)
            EXPECT_EQ(Body(pack, kItems[i].name.c_str()), c.bodies[i]) << c.what << ": " << kItems[i].name;
    }

    // Offsets and sizes past the end, up to the zero budget's own value.
    const u32 past = 4 + 268 * 5;
    const u64 budget = PackZeroBudget(past + 2);
    const auto archive = [&](u32 boundSize) {
        return U32(5) + Entry("far", 0x20, 0xFFFFFFF0u) + Entry("bound", boundSize, past) +
               Entry("over", 1, past + 2) + Entry("all", 0xFFFFFFFFu, 0) + Entry("empty", 0, 1000) + "ab";
    };
    // "far" gives 0x20 zeros, "bound" all but the 2 bytes it holds.
    const u32 atBudget = u32(budget - 0x20 + 2);
    CqelPackFile pack;
    ASSERT_EQ(pack.Open(Put(folder / "past.gpk", archive(atBudget)).c_str()), 1u);
    // Read last first: an entry's answer does not hang on what was read.
    EXPECT_EQ(Body(pack, "empty"), "");
    EXPECT_EQ(Body(pack, "all"), "<null>");
    EXPECT_EQ(Body(pack, "over"), "<null>");
    u32 size = 0;
    u8* body = pack.ReadEntry("bound", &size);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(size, atBudget);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(body), 4), std::string("ab") + zero + zero);
    EXPECT_EQ(body[size - 1], 0);
    AlignedFree(body);
    EXPECT_EQ(Body(pack, "far"), std::string(0x20, '\0'));
    EXPECT_EQ(Body(pack, "over"), "<null>");

    // One byte past the budget: that entry alone is refused, and the one
    // after it fits what is left.
    ASSERT_EQ(pack.Open(Put(folder / "past.gpk", archive(atBudget + 1)).c_str()), 1u);
    EXPECT_EQ(Body(pack, "bound").substr(0, 8), "<null>");   // a megabyte when read
    EXPECT_EQ(Body(pack, "over"), zero);
    EXPECT_EQ(Body(pack, "far"), std::string(0x20, '\0'));
    EXPECT_EQ(Body(pack, "empty"), "");
}

// A small archive of many entries whose bodies lie past its end gives out
// no more zeros than its budget in all, read forwards or backwards, and a
// copy answers the same. Entries sharing one body inside the file cost
// nothing of it.
TEST(PackFile, BodiesPastTheEndShareOneBudget)
{
    TempFolder folder;
    constexpr u32 kCount = 200, kBody = 64 << 10;
    const u32 end = 4 + 268 * kCount;
    std::string bytes = U32(kCount);
    for (u32 i = 0; i < kCount; ++i) bytes += Entry("e" + std::to_string(i), kBody, end);
    CqelPackFile pack;
    ASSERT_EQ(pack.Open(Put(folder / "many.gpk", bytes).c_str()), 1u);
    const CqelPackFile copy(pack);
    const u64 budget = PackZeroBudget(bytes.size());
    const auto handedOut = [&](const CqelPackFile& p, bool backwards, std::vector<bool>& read) {
        u64 total = 0;
        for (u32 k = 0; k < kCount; ++k) {
            const u32 i = backwards ? kCount - 1 - k : k;
            u32 size = 0;
            u8* body = p.ReadEntry(("e" + std::to_string(i)).c_str(), &size);
            read[i] = body != nullptr;
            if (body) total += size;
            AlignedFree(body);
        }
        return total;
    };
    std::vector<bool> forwards(kCount), backwards(kCount), copied(kCount);
    EXPECT_EQ(handedOut(pack, false, forwards), budget / kBody * kBody);
    EXPECT_EQ(handedOut(pack, true, backwards), budget / kBody * kBody);
    EXPECT_EQ(handedOut(copy, false, copied), budget / kBody * kBody);
    EXPECT_EQ(backwards, forwards);
    EXPECT_EQ(copied, forwards);
    // The first ones in the directory are those read.
    EXPECT_TRUE(forwards[budget / kBody - 1]);
    EXPECT_FALSE(forwards[budget / kBody]);

    // The same entries all naming one body the file holds: each reads it.
    std::string shared = U32(kCount);
    for (u32 i = 0; i < kCount; ++i) shared += Entry("e" + std::to_string(i), kBody, end);
    shared += std::string(kBody, 'b');
    ASSERT_EQ(pack.Open(Put(folder / "shared.gpk", shared).c_str()), 1u);
    EXPECT_EQ(handedOut(pack, false, forwards), u64(kCount) * kBody);
}

TEST(PackFile, ReadEntryReadsTheArchiveAsItIsNow)
{
    TempFolder folder;
    const std::string good = PlainArchive(kItems);
    const std::string path = Put(folder / "p.gpk", good);
    CqelPackFile pack;
    ASSERT_EQ(pack.Open(path.c_str()), 1u);
    Put(path, good.substr(0, good.size() - 10));
    EXPECT_EQ(Body(pack, "Bgm_01.ogg"), kItems[2].body.substr(0, 2993) + std::string(10, '\0'));
    EXPECT_EQ(Body(pack, "Texture\\Bg_24.dds"), "texture bytes");
    host::kernel::DeleteFile(path);
    EXPECT_EQ(Body(pack, "Texture\\Bg_24.dds"), "<null>");
}

TEST(PackFile, ThreadsReadOneArchiveAtOnce)
{
    TempFolder folder;
    std::vector<Item> items;
    for (int i = 0; i < 12; ++i) items.push_back({"file" + std::to_string(i), std::string(i * 700 + 1, char('a' + i))});
    CqelPackFile pack;
    const std::string path = Put(folder / "t.gpk", ScrambledArchive(items, kBgmId, 9, kPackKeyFirst));
    ASSERT_EQ(pack.OpenScrambled(path.c_str(), kBgmId, kPackKeyFirst), 1u);

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round)
                for (size_t i = 0; i < items.size(); ++i) {
                    const Item& item = items[(i + size_t(t)) % items.size()];
                    if (Body(pack, item.name.c_str()) != item.body) ++mismatches;
                }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(PackFile, PackerRefusesWhatItCannotStore)
{
    TempFolder folder;
    const std::string a = Put(folder / "a.bin", "abc");
    const std::string archive = Put(folder / "old.gpk", "old archive");
    const std::string tooLong = Put(folder.Path() + std::string(260 - folder.Path().size(), 'n'), "x");
    const std::string missing = folder / "missing.bin";
    for (const char* second : {tooLong.c_str(), missing.c_str(), static_cast<const char*>(nullptr)}) {
        const char* paths[] = {a.c_str(), second};
        EXPECT_EQ(CqelPackFile::Write(paths, 2, archive.c_str()), 0u) << (second ? second : "null");
    }
    const char* aOnly[] = {a.c_str()};
    EXPECT_EQ(CqelPackFile::Write(nullptr, 1, archive.c_str()), 0u);
    EXPECT_EQ(CqelPackFile::Write(aOnly, 1, (folder / "no-folder/x.gpk").c_str()), 0u);
    EXPECT_EQ(Get(archive), "old archive");
    EXPECT_FALSE(host::kernel::FileExists(archive + ".part"));

    // Names are stored as given; '\' reaches the file through the kernel.
    host::kernel::CreateDirectory(folder / "sub");
    Put(folder / "sub/b.txt", "bee");
    const std::string back = folder.Path() + "sub\\b.txt";
    const char* withBackslash[] = {back.c_str()};
    ASSERT_EQ(CqelPackFile::Write(withBackslash, 1, archive.c_str()), 1u);
    EXPECT_EQ(Get(archive), PlainArchive({{back, "bee"}}));
    // One byte short of the refused path: the longest name stored.
    const std::string longest = Put(folder.Path() + std::string(259 - folder.Path().size(), 'm'), "y");
    const char* longestOnly[] = {longest.c_str()};
    ASSERT_EQ(CqelPackFile::Write(longestOnly, 1, archive.c_str()), 1u);
    EXPECT_EQ(Get(archive), PlainArchive({{longest, "y"}}));
}

TEST(PackFile, KeepsItsLocationWhenTheCurrentFolderChanges)
{
    TempFolder folder;
    host::kernel::CreateDirectory(folder / "Data");
    Put(folder / "Data/Scene.gpk", PlainArchive(kItems));
    const std::string old = host::kernel::GetCurrentDirectory();
    ASSERT_TRUE(host::kernel::SetCurrentDirectory(folder.Path()));
    CqelPackFile pack;
    const u32 opened = pack.Open("Data\\Scene.gpk");
    ASSERT_TRUE(host::kernel::SetCurrentDirectory(old));
    ASSERT_EQ(opened, 1u);
    EXPECT_STREQ(pack.GetName(), "Data\\Scene.gpk");
    EXPECT_EQ(Body(pack, "Texture\\Bg_24.dds"), "texture bytes");
}

TEST(PackFile, CopiesOwnTheirDirectory)
{
    TempFolder folder;
    CqelPackFile pack;
    const std::string path = Put(folder / "c.gpk", ScrambledArchive(kItems, kBgmId, 1, kPackKeyFirst));
    ASSERT_EQ(pack.OpenScrambled(path.c_str(), kBgmId, kPackKeyFirst), 1u);
    CqelPackFile copy(pack);
    EXPECT_EQ(pack.Release(), 1);
    EXPECT_EQ(Body(pack, "Bgm_01.ogg"), "<null>");
    EXPECT_EQ(Body(copy, "Bgm_01.ogg"), kItems[2].body);
}

}  // namespace ORV_TEST_FILE_ID
