#include "game/data/SaveConfig.h"

#include "engine/core/Number.h"
#include "engine/core/Path.h"
#include "game/data/SaveFile.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

// ---------------------------------------------------------------- folder

namespace {

// The length of path up to and including its last separator, a leading one
// too (FolderPartLength passes over a separator at index 0).
size_t ParentLength(const std::string& path)
{
    const size_t length = FolderPartLength(path.c_str());
    return length == 0 && !path.empty() && (path[0] == '/' || path[0] == '\\') ? 1 : length;
}

}  // namespace

std::string GetUserDataDirectory(const char* folderName)
{
    if (!folderName || !*folderName) return {};
    std::string temp = host::kernel::GetTempFolder();
    while (!temp.empty() && ParentLength(temp) == temp.size()) temp.pop_back();
    if (temp.empty()) return {};
    // The parent of the TEMP folder: everything up to its last separator (the
    // current folder for a bare relative name).
    std::string folder = temp.substr(0, ParentLength(temp));
    folder += kUserDataRootName;
    host::kernel::CreateDirectories(folder);
    folder += '/';
    folder += folderName;
    host::kernel::CreateDirectory(folder);
    folder += '/';
    if (!host::kernel::DirectoryExists(folder)) return {};
    return folder;
}

i32 GetUserDataDirectory(char* buffer, const char* folderName, u32 bufferSize)
{
    if (!buffer || !folderName) return 0;
    std::memset(buffer, 0, bufferSize);
    const std::string folder = GetUserDataDirectory(folderName);
    if (folder.empty() || folder.size() + 1 > bufferSize) return 0;
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return 1;
}

// ---------------------------------------------------------------- layouts

// The fields of each record in file order (see SaveFile.h). Kept in the
// global namespace, beside the records, so EncodeRecord finds them.
template <class Io>
static void Transfer(Io& io, IpAddressEntry& e)
{
    io.Bytes(e.octet, sizeof e.octet);
}

template <class Io>
static void Transfer(Io& io, ConfigGraphics& g)
{
    io.U8(g.screenSize);
    io.Bytes(g.reserved0, sizeof g.reserved0);
    io.U32(g.fullScreen);
    io.U32(g.movieDisplay);
    io.U8(g.hdrLevel);
    io.Bytes(g.reserved1, sizeof g.reserved1);
    io.U32(g.traceQuality);
}

template <class Io>
static void Transfer(Io& io, ConfigGame& g)
{
    io.U32(g.screenShake);
    io.U32(g.padVibration);
    io.I32(g.bgmVolume);
    io.I32(g.seVolume);
    io.I32(g.voiceVolume);
    io.U32(g.voicePlay);
    io.U32(g.lockOnType);
    io.U8(g.radarType);
    io.U8(g.cameraSide);
    io.U8(g.guardCorrection);
    io.U8(g.arcadeDifficulty);
    io.U32(g.screenshot);
    io.U8(g.screenshotSize);
    io.Bytes(g.reserved, sizeof g.reserved);
}

template <class Io>
static void Transfer(Io& io, ConfigNetwork& n)
{
    io.U16(n.port);
    io.Bytes(n.reserved0, sizeof n.reserved0);
    io.U32(n.useUpnp);
    io.U8(n.keyResponse);
    io.Bytes(n.lobbyId, sizeof n.lobbyId);
    io.Bytes(n.connectId, sizeof n.connectId);
    for (IpAddressEntry& e : n.connect) Transfer(io, e);
    io.U8(n.reserved1);
    io.U32(n.allowCount);
    io.U32(n.denyCount);
    io.U32(n.playBgm);
}

template <class Io>
static void Transfer(Io& io, ConfigReplay& r)
{
    io.U32(r.saveReplays);
    for (u32& locked : r.locked) io.U32(locked);
}

template <class Io>
static void Transfer(Io& io, ConfigBgm& b)
{
    for (ConfigBgmRow& row : b.rows) {
        io.Bytes(row.bgmPath, sizeof row.bgmPath);
        io.Bytes(row.tensionPath, sizeof row.tensionPath);
    }
}

template <class Io>
static void Transfer(Io& io, ConfigKeyAssign& k)
{
    for (u32& code : k.keyboard) io.U32(code);
    for (ConfigPadAssign& pad : k.pads) {
        for (u32& button : pad.button) io.U32(button);
        io.U8(pad.controller);
        io.Bytes(pad.reserved, sizeof pad.reserved);
    }
}

template <class Io>
static void Transfer(Io& io, ConfigRadioChat& c)
{
    for (ConfigRadioChatEntry& e : c.entries) {
        io.U8(e.destination);
        io.Bytes(e.message, sizeof e.message);
    }
}

namespace {

// u32 size, then the section's bytes.
template <class Section>
void WriteSection(SaveByteWriter& out, Section section)
{
    const std::string image = EncodeRecord(section);
    out.U32(u32(image.size()));
    out.Bytes(image.data(), image.size());
}

// Reads a u32 size S and S bytes over the start of the section, which holds
// its defaults: a shorter S leaves the defaults in the fields it lacks, a
// larger S is read up to the section's size and the rest passed over. When
// the file ends inside the section, the bytes that are there are read over
// the defaults all the same.
template <class Section>
void ReadSection(SaveByteReader& in, Section& section)
{
    static_assert(std::is_trivially_copyable_v<Section>);
    std::string image = EncodeRecord(section);
    u32 stored = 0;
    if (!in.U32(stored)) return;
    in.Block(image.data(), image.size(), stored);
    DecodeRecord(image, section);
}

// count entries, or the whole entries that are there when the file ends
// inside the list (never more than the file holds is allocated).
void ReadList(SaveByteReader& in, u32 count, std::vector<IpAddressEntry>& list)
{
    list.clear();
    const u64 whole = std::min<u64>(count, in.Remaining() / sizeof(IpAddressEntry));
    list.resize(size_t(whole));
    for (IpAddressEntry& e : list) Transfer(in, e);
    if (whole < count) in.End();
}

void FreeList(std::vector<IpAddressEntry>& list)
{
    std::vector<IpAddressEntry>().swap(list);
}

// atoi of one octet text; a file may leave it unterminated, so no more than
// its 4 bytes are read.
int OctetValue(const char (&text)[4])
{
    char terminated[5] = {};
    std::memcpy(terminated, text, sizeof text);
    return ParseInt(terminated);
}

// The DirectInput codes of actions 0..23.
constexpr u8 kDefaultKeyboard[kKeyActionCount] = {
    0x50, 0x48, 0x4B, 0x4D,   // numeric pad 2, 8, 4, 6
    0xC8, 0xD0, 0xCB, 0xCD,   // cursor up, down, left, right
    0x11,                     // W
    0x4F, 0x51, 0x47, 0x49, 0x4C,   // numeric pad 1, 3, 7, 9, 5
    0x2C, 0x2F, 0x2D, 0x2E,   // Z, V, X, C
    0x10, 0x1F, 0x1E, 0x20,   // Q, S, A, D
    0x1C, 0x39,               // Enter, Space
};

}  // namespace

// ---------------------------------------------------------------- store

CSaveConfig::CSaveConfig() = default;

i32 CSaveConfig::Release()
{
    FreeList(m_allow);
    FreeList(m_deny);
    SyncListCounts();
    return 1;
}

void CSaveConfig::SyncListCounts()
{
    m_network.allowCount = u32(m_allow.size());
    m_network.denyCount = u32(m_deny.size());
}

i32 CSaveConfig::SetDefaultGraphics()
{
    m_graphics = {};
    m_graphics.screenSize = 2;
    m_graphics.movieDisplay = 1;
    m_graphics.traceQuality = 1;
    return 1;
}

i32 CSaveConfig::SetDefaultGame()
{
    m_game = {};
    m_game.screenShake = 1;
    m_game.padVibration = 1;
    m_game.voicePlay = 1;
    m_game.cameraSide = 1;
    m_game.guardCorrection = 1;
    m_game.arcadeDifficulty = 1;
    return 1;
}

i32 CSaveConfig::SetDefaultNetwork()
{
    m_network = {};
    m_network.port = 18000;
    m_network.keyResponse = 1;
    m_network.playBgm = 1;
    FreeList(m_allow);
    FreeList(m_deny);
    return 1;
}

i32 CSaveConfig::SetDefaultReplay()
{
    m_replay = {};
    m_replay.saveReplays = 1;
    return 1;
}

i32 CSaveConfig::SetDefaultBgm()
{
    m_bgm = {};
    return 1;
}

i32 CSaveConfig::SetDefaultKeyAssign()
{
    SetDefaultKeyboard();
    for (i32 p = 0; p < i32(kPadPlayerCount); ++p) SetDefaultPad(p);
    return 1;
}

i32 CSaveConfig::SetDefaultKeyboard()
{
    for (u32 i = 0; i < kKeyActionCount; ++i) m_keys.keyboard[i] = kDefaultKeyboard[i];
    return 1;
}

i32 CSaveConfig::SetDefaultPad(i32 player)
{
    if (player < 0 || player >= i32(kPadPlayerCount)) return 0;
    ConfigPadAssign& pad = m_keys.pads[player];
    pad = {};
    for (u32 i = 0; i < kKeyActionCount; ++i) pad.button[i] = i;
    pad.controller = u8(player);
    return 1;
}

i32 CSaveConfig::SetDefaultRadioChat()
{
    m_radioChat = {};
    return 1;
}

void CSaveConfig::SetAllDefaults()
{
    SetDefaultGraphics();
    SetDefaultGame();
    SetDefaultNetwork();
    SetDefaultReplay();
    SetDefaultBgm();
    SetDefaultKeyAssign();
    SetDefaultRadioChat();
}

// ---------------------------------------------------------------- lists

bool CSaveConfig::IsEmptyIp(const IpAddressEntry& entry)
{
    for (const auto& octet : entry.octet)
        if (OctetValue(octet) != 0) return false;
    return true;
}

i32 CSaveConfig::AddConnectIp(const IpAddressEntry& entry)
{
    for (IpAddressEntry& slot : m_network.connect) {
        if (!IsEmptyIp(slot)) continue;
        slot = entry;
        return 1;
    }
    return 0;
}

i32 CSaveConfig::RemoveConnectIp(i32 index)
{
    if (index < 0 || index >= i32(kConnectIpCount)) return 0;
    for (u32 i = u32(index); i + 1 < kConnectIpCount; ++i) m_network.connect[i] = m_network.connect[i + 1];
    m_network.connect[kConnectIpCount - 1] = {};
    return 1;
}

namespace {

i32 AddEntry(std::vector<IpAddressEntry>& list, const IpAddressEntry& entry)
{
    if (list.size() >= 0xFFFFFFFFu) return 0;
    try {
        list.push_back(entry);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

i32 RemoveEntry(std::vector<IpAddressEntry>& list, i32 index)
{
    if (index < 0 || size_t(index) >= list.size()) return 0;
    list.erase(list.begin() + index);
    if (list.empty()) FreeList(list);
    return 1;
}

IpAddressEntry* EntryAt(std::vector<IpAddressEntry>& list, i32 index)
{
    return index < 0 || size_t(index) >= list.size() ? nullptr : &list[size_t(index)];
}

}  // namespace

i32 CSaveConfig::AddAllowIp(const IpAddressEntry& entry)
{
    const i32 added = AddEntry(m_allow, entry);
    SyncListCounts();
    return added;
}

i32 CSaveConfig::AddDenyIp(const IpAddressEntry& entry)
{
    const i32 added = AddEntry(m_deny, entry);
    SyncListCounts();
    return added;
}

i32 CSaveConfig::RemoveAllowIp(i32 index)
{
    const i32 removed = RemoveEntry(m_allow, index);
    SyncListCounts();
    return removed;
}

i32 CSaveConfig::RemoveDenyIp(i32 index)
{
    const i32 removed = RemoveEntry(m_deny, index);
    SyncListCounts();
    return removed;
}

IpAddressEntry* CSaveConfig::GetAllowIp(i32 index) { return EntryAt(m_allow, index); }
IpAddressEntry* CSaveConfig::GetDenyIp(i32 index) { return EntryAt(m_deny, index); }

// ---------------------------------------------------------------- file

std::string CSaveConfig::Serialize() const
{
    SaveByteWriter out;
    out.U32(kVersion);
    WriteSection(out, m_graphics);
    WriteSection(out, m_game);
    ConfigNetwork network = m_network;
    network.allowCount = u32(m_allow.size());
    network.denyCount = u32(m_deny.size());
    WriteSection(out, network);
    for (IpAddressEntry e : m_allow) Transfer(out, e);
    for (IpAddressEntry e : m_deny) Transfer(out, e);
    WriteSection(out, m_replay);
    WriteSection(out, m_bgm);
    WriteSection(out, m_keys);
    WriteSection(out, m_radioChat);
    return out.Take();
}

save_file::Parsed CSaveConfig::Parse(const std::string& bytes)
{
    SaveByteReader in(bytes);
    u32 version = 0;
    if (in.U32(version) && version > kVersion) return save_file::Parsed::Newer;

    // Every section starts from its defaults, so the result does not depend
    // on what this record held; what the file lacks keeps them.
    CSaveConfig loaded;
    loaded.SetAllDefaults();
    ReadSection(in, loaded.m_graphics);
    ReadSection(in, loaded.m_game);
    ReadSection(in, loaded.m_network);
    ReadList(in, loaded.m_network.allowCount, loaded.m_allow);
    ReadList(in, loaded.m_network.denyCount, loaded.m_deny);
    ReadSection(in, loaded.m_replay);
    ReadSection(in, loaded.m_bgm);
    ReadSection(in, loaded.m_keys);
    ReadSection(in, loaded.m_radioChat);
    if (version == kVersionFirst) {
        loaded.SetDefaultNetwork();
        loaded.SetDefaultReplay();
        loaded.SetDefaultRadioChat();
    }
    loaded.SyncListCounts();
    loaded.m_loadFailed = false;
    *this = std::move(loaded);
    return in.Ended() ? save_file::Parsed::Truncated : save_file::Parsed::Ok;
}

i32 CSaveConfig::Load()
{
    return save_file::Load(kFileName, m_loadFailed, [this] { SetAllDefaults(); },
        [this](const std::string& bytes) { return Parse(bytes); }, [this] { return Save(); });
}

i32 CSaveConfig::Save()
{
    if (m_loadFailed) return 0;
    std::string path;
    if (!save_file::MakePath(kFileName, path)) return 0;
    SyncListCounts();
    return save_file::WriteFile(path, Serialize()) ? 1 : 0;
}
