#include "game/battle/scene/BattleSetup.h"

#include "engine/core/Endian.h"
#include "game/data/SaveConfig.h"
#include "game/data/TensionFile.h"
#include "host/kernel/Kernel.h"

#include <cstring>

CBattleEntry::CBattleEntry()
    : kind(0), character(kRandomCharacter), drawnCharacter(0), team(0), variant(0), drawnVariant(0), factorLevel(4),
      characterWords{}, ownMusic(0), orbs{}, flag(1), lockOnType(0), radarType(0), cameraSide(0),
      guardCorrection(0), reservedByte(0), reserved(0), name{}, spare(0)
{
}

CBattleOption::CBattleOption()
    : stage(kRandomStage), drawnStage(0), music(kRandomMusic), drawnMusic(0), livesRule(0), extraLives(2),
      timeSetting(6), computerLevel(0), sharedGroupBullets(2), characterSetting(0), ownTension(1),
      // The seed is drawn once here and then carried: the battle itself
      // never reads the clock.
      randomSeed(host::kernel::TimeGetTime()), inputDelay(0)
{
}

u32 CBattleOption::InputDelayFrames() const
{
    static constexpr u32 kFrames[kInputDelays] = {3, 4, 5, 6, 8};
    const u32 index = inputDelay & 0xFF;
    return index < kInputDelays ? kFrames[index] : kFrames[0];
}

u32 CBattleOption::TimeLimitSeconds() const
{
    static constexpr u32 kSeconds[kTimeSettings] = {100, 200, 300, 400, 500, 600, 1000};
    return timeSetting < kTimeSettings ? kSeconds[timeSetting] : kSeconds[kTimeSettings - 1];
}

CBattleSetup::CBattleSetup(CSaveConfig* config, u32 reservedWord)
    : entries(new CBattleEntry[kEntryCount]), tensionFiles(new CTensionFile[kEntryCount]), reserved(reservedWord)
{
    const ConfigGame* game = config ? config->GetGameSettings() : nullptr;
    for (u32 i = 0; i < count; ++i) {
        CBattleEntry& e = entries[i];
        e.kind = i == 0 ? 0 : CBattleEntry::kKindComputer;
        e.team = i & 3;
        if (game) {
            e.lockOnType = game->lockOnType;
            e.radarType = game->radarType;
            e.cameraSide = game->cameraSide;
            e.guardCorrection = game->guardCorrection;
        }
        e.reserved = reservedWord;
    }
}

CBattleSetup::~CBattleSetup() = default;

CTensionFile* CBattleSetup::GetTensionFile(u32 i) { return tensionFiles && i < count ? &tensionFiles[i] : nullptr; }

void CBattleSetup::SetProgress(CBattleProgress* next) { progress.reset(next); }

const char* DescribeBattleRecordError(BattleRecordError error)
{
    switch (error) {
    case BattleRecordError::kNone: return "no error";
    case BattleRecordError::kTooShort: return "the record is cut short";
    case BattleRecordError::kCount: return "the participant count is not 4";
    case BattleRecordError::kLocalEntry: return "the local entry is not one of the participants";
    case BattleRecordError::kKind: return "an entry's kind is not 0..5";
    case BattleRecordError::kCharacter: return "an entry's character is not 0..18";
    case BattleRecordError::kDrawnCharacter: return "an entry's drawn character is not 0..17";
    case BattleRecordError::kTeam: return "an entry's team is not 0..3";
    case BattleRecordError::kVariant: return "an entry's variant is not 0..1";
    case BattleRecordError::kDrawnVariant: return "an entry's drawn variant is not 0..1";
    case BattleRecordError::kFactorLevel: return "an entry's factor level is not 0..4";
    case BattleRecordError::kName: return "an entry's name does not end within 32 bytes";
    case BattleRecordError::kStage: return "the stage is not 0..19";
    case BattleRecordError::kDrawnStage: return "the drawn stage is not 0..18";
    case BattleRecordError::kMusic: return "the music slot is not 0..51";
    case BattleRecordError::kDrawnMusic: return "the drawn music slot is not 0..50";
    case BattleRecordError::kTimeSetting: return "the time setting is not 0..6";
    case BattleRecordError::kInputDelay: return "the input delay is not 0..4";
    }
    return "unknown error";
}

namespace {

// Little-endian words in order.
class WordWriter {
public:
    explicit WordWriter(u8* out) : m_out(out) {}
    WordWriter& U32(u32 v)
    {
        PutLe32(m_out, v);
        m_out += 4;
        return *this;
    }
    WordWriter& Bytes(const void* data, size_t n)
    {
        std::memcpy(m_out, data, n);
        m_out += n;
        return *this;
    }

private:
    u8* m_out;
};

class WordReader {
public:
    explicit WordReader(const u8* in) : m_in(in) {}
    u32 U32()
    {
        const u32 v = GetLe32(m_in);
        m_in += 4;
        return v;
    }
    void Bytes(void* out, size_t n)
    {
        std::memcpy(out, m_in, n);
        m_in += n;
    }

private:
    const u8* m_in;
};

constexpr u32 kCharacters = CBattleEntry::kRandomCharacter;
constexpr u32 kStages = CBattleOption::kRandomStage;
constexpr u32 kMusicSlots = CBattleOption::kRandomMusic;

// The music slot (word 9) and the extra lives are not refused: the battle
// reads a slot past the table as one without a script, and counts any number
// of lives.
BattleRecordError CheckEntry(const CBattleEntry& e)
{
    using E = BattleRecordError;
    if (e.kind > CBattleEntry::kKindNone) return E::kKind;
    if (e.character > kCharacters) return E::kCharacter;
    if (e.drawnCharacter >= kCharacters) return E::kDrawnCharacter;
    if (e.team >= CBattleEntry::kTeamCount) return E::kTeam;
    if (e.variant >= CBattleEntry::kVariantCount) return E::kVariant;
    if (e.drawnVariant >= CBattleEntry::kVariantCount) return E::kDrawnVariant;
    if (e.factorLevel >= CBattleEntry::kFactorLevels) return E::kFactorLevel;
    if (!std::memchr(e.name, 0, sizeof e.name)) return E::kName;
    return E::kNone;
}

BattleRecordError CheckOption(const CBattleOption& o)
{
    using E = BattleRecordError;
    if (o.stage > kStages) return E::kStage;
    if (o.drawnStage >= kStages) return E::kDrawnStage;
    if (o.music > kMusicSlots) return E::kMusic;
    if (o.drawnMusic >= kMusicSlots) return E::kDrawnMusic;
    if (o.timeSetting >= CBattleOption::kTimeSettings) return E::kTimeSetting;
    if ((o.inputDelay & 0xFF) >= CBattleOption::kInputDelays) return E::kInputDelay;
    return E::kNone;
}

}  // namespace

void WriteBattleEntry(const CBattleEntry& e, u8* out)
{
    WordWriter w(out);
    w.U32(e.kind).U32(e.character).U32(e.drawnCharacter).U32(e.team).U32(e.variant).U32(e.drawnVariant);
    w.U32(e.factorLevel).U32(e.characterWords[0]).U32(e.characterWords[1]).U32(e.ownMusic);
    w.U32(e.orbs[0]).U32(e.orbs[1]).U32(e.orbs[2]);
    w.U32(e.flag).U32(e.lockOnType);
    const u8 bytes[4] = {e.radarType, e.cameraSide, e.guardCorrection, e.reservedByte};
    w.Bytes(bytes, 4).U32(e.reserved).Bytes(e.name, sizeof e.name).U32(e.spare);
}

void WriteBattleOption(const CBattleOption& o, u8* out)
{
    WordWriter w(out);
    w.U32(o.stage).U32(o.drawnStage).U32(o.music).U32(o.drawnMusic).U32(o.livesRule).U32(o.extraLives);
    w.U32(o.timeSetting).U32(o.computerLevel).U32(o.sharedGroupBullets).U32(o.characterSetting);
    w.U32(o.ownTension).U32(o.randomSeed).U32(o.inputDelay);
}

std::string WriteBattleSetup(const CBattleSetup& setup) { return WriteBattleSetup(setup, setup.localEntry); }

std::string WriteBattleSetup(const CBattleSetup& setup, u32 localEntry)
{
    std::string out(8 + size_t(setup.count) * kBattleEntryBytes + kBattleOptionBytes, '\0');
    u8* p = reinterpret_cast<u8*>(out.data());
    PutLe32(p, setup.count);
    PutLe32(p + 4, localEntry);
    p += 8;
    for (u32 i = 0; i < setup.count; ++i, p += kBattleEntryBytes) WriteBattleEntry(setup.entries[i], p);
    WriteBattleOption(setup.option, p);
    return out;
}

BattleRecordError ReadBattleEntry(const u8* data, size_t size, CBattleEntry* out)
{
    if (!data || !out || size < kBattleEntryBytes) return BattleRecordError::kTooShort;
    CBattleEntry e;
    WordReader r(data);
    e.kind = r.U32();
    e.character = r.U32();
    e.drawnCharacter = r.U32();
    e.team = r.U32();
    e.variant = r.U32();
    e.drawnVariant = r.U32();
    e.factorLevel = r.U32();
    e.characterWords[0] = r.U32();
    e.characterWords[1] = r.U32();
    e.ownMusic = r.U32();
    for (u32& orb : e.orbs) orb = r.U32();
    e.flag = r.U32();
    e.lockOnType = r.U32();
    u8 bytes[4];
    r.Bytes(bytes, 4);
    e.radarType = bytes[0];
    e.cameraSide = bytes[1];
    e.guardCorrection = bytes[2];
    e.reservedByte = bytes[3];
    e.reserved = r.U32();
    r.Bytes(e.name, sizeof e.name);
    e.spare = r.U32();
    const BattleRecordError error = CheckEntry(e);
    if (error == BattleRecordError::kNone) *out = e;
    return error;
}

BattleRecordError ReadBattleOption(const u8* data, size_t size, CBattleOption* out)
{
    if (!data || !out || size < kBattleOptionBytes) return BattleRecordError::kTooShort;
    CBattleOption o;
    WordReader r(data);
    for (u32* word : {&o.stage, &o.drawnStage, &o.music, &o.drawnMusic, &o.livesRule, &o.extraLives,
             &o.timeSetting, &o.computerLevel, &o.sharedGroupBullets, &o.characterSetting, &o.ownTension,
             &o.randomSeed, &o.inputDelay}) {
        *word = r.U32();
    }
    const BattleRecordError error = CheckOption(o);
    if (error == BattleRecordError::kNone) *out = o;
    return error;
}

BattleRecordError ReadBattleSetup(const u8* data, size_t size, CBattleSetup* setup, size_t* used)
{
    using E = BattleRecordError;
    if (!data || !setup || size < 8) return E::kTooShort;
    const u32 count = GetLe32(data);
    const u32 local = GetLe32(data + 4);
    // The set-up's tension files and the battle's tables are made for four.
    if (count != CBattleSetup::kEntryCount) return E::kCount;
    if (local >= count) return E::kLocalEntry;
    if (size < kBattleSetupBytes) return E::kTooShort;
    CBattleEntry entries[CBattleSetup::kEntryCount];
    const u8* p = data + 8;
    for (CBattleEntry& e : entries) {
        if (const E error = ReadBattleEntry(p, kBattleEntryBytes, &e); error != E::kNone) return error;
        p += kBattleEntryBytes;
    }
    CBattleOption option;
    if (const E error = ReadBattleOption(p, kBattleOptionBytes, &option); error != E::kNone) return error;

    setup->count = count;
    setup->localEntry = local;
    for (u32 i = 0; i < count; ++i) setup->entries[i] = entries[i];
    setup->option = option;
    if (used) *used = kBattleSetupBytes;
    return E::kNone;
}
