// Voices and sound effects started at the fighter on the fake sound output.
#include "engine/core/StateHash.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/tests/SoundTestSupport.h"
#include "game/battle/character/CharacterSlots.h"
#include "game/battle/character/PlayerCharacter.h"
#include "game/battle/object/tests/TestDoubles.h"

#include <memory>

namespace ORV_TEST_FILE_ID {

using namespace character_slots;

namespace {

// A player whose spell-card cancel the tests call directly.
class CancellingFighter : public CPlayerCharacter {
public:
    using CCharacter::CancelSpellCard;
};

class FighterVoices : public sound_test::SoundFixture {
protected:
    void SetUp() override
    {
        SoundFixture::SetUp();
        saved_ = GetObjectRegistry();
        registry_.SetHandler(&scene_);
        SetObjectRegistry(&registry_);
        fighter_ = std::make_unique<CancellingFighter>();
        wav_ = sound_test::MakeWav(std::vector<i16>(4410, 1000), 1, sound_test::kRate);
        CharacterStatus& s = *fighter_->GetStatus();
        for (u32 i = 0; i < 8; ++i) {
            ASSERT_EQ(sounds_[i].LoadFromMemory(wav_.data(), "v.wav", u32(wav_.size()), 1,
                                                sound_test::kStatic | sound_test::k3D),
                      1u);
        }
        for (u32 n : {0u, 5u, 30u}) s.voices[n] = &sounds_[n % 8];
        for (u32 n = 0; n < 5; ++n) s.soundEffects[n] = &sounds_[3 + n];
        s.voiceEnabled = 1;
        s.voiceVolume = u32(-700), s.seVolume = u32(-300);
    }
    void TearDown() override
    {
        fighter_.reset();
        SetObjectRegistry(saved_);
        SoundFixture::TearDown();
    }
    const SoundVoice& Voice(u32 sound) { return *sounds_[sound].GetVoice(0); }

    battle_test::FakeBattleScene scene_;
    CObjectRegistry registry_;
    CObjectRegistry* saved_ = nullptr;
    sound_test::Bytes wav_;
    CSoundBuffer sounds_[8];
    std::unique_ptr<CancellingFighter> fighter_;
};

TEST_F(FighterVoices, AVoicePlaysAtTheFighterAndIsRemembered)
{
    CharacterStatus& s = *fighter_->GetStatus();
    ASSERT_EQ(fighter_->PlaySound(5), 1u);
    EXPECT_EQ(sounds_[5].IsPlaying(0), 1u);
    EXPECT_EQ(Voice(5).follow, fighter_->GetPosition());
    EXPECT_EQ(Voice(5).minDistance, 10.0f);
    EXPECT_EQ(Voice(5).baseVolume, -700);
    EXPECT_EQ(s.lastVoice, 5u);
    EXPECT_EQ(s.timers.longestVoice, sounds_[5].GetLength());
    EXPECT_EQ(s.expression, 5);   // no voice-expression list
    // Its only voice is busy.
    EXPECT_EQ(fighter_->PlaySound(5), 0u);

    // The start voice is heard everywhere.
    ASSERT_EQ(fighter_->PlaySound(kVoiceStart), 1u);
    EXPECT_EQ(Voice(0).minDistance, 3000.0f);
}

// A spell-card cancel stops the last voice only when it is one of the
// card's four (slot 6's start at 45: 44 is no card's).
TEST_F(FighterVoices, ASpellCardCancelStopsOnlyTheCardsOwnVoice)
{
    const struct {
        u32 slot, voice;
        bool stops;
    } cases[] = {{0, 37, false}, {0, 38, true}, {0, 41, true}, {0, 42, false},
                 {6, 44, false}, {6, 45, true}, {6, 48, true}, {6, 49, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "slot " << c.slot << ", voice " << c.voice);
        CharacterStatus& s = *fighter_->GetStatus();
        s.voices[c.voice] = &sounds_[1];
        ASSERT_EQ(fighter_->PlaySound(c.voice), 1u);
        ASSERT_EQ(sounds_[1].IsPlaying(0), 1u);
        s.spellSlot = c.slot;
        fighter_->CancelSpellCard();
        EXPECT_EQ(sounds_[1].IsPlaying(0), c.stops ? 0u : 1u);
        sounds_[1].StopAll(1);
        s.voices[c.voice] = nullptr;
    }
}

TEST_F(FighterVoices, AnotherPlayersResultVoiceIsOutOfEarshot)
{
    CharacterStatus& s = *fighter_->GetStatus();
    s.entryIndex = 1;   // message 35 names the local entry
    scene_.localSlot = 0;
    ASSERT_EQ(fighter_->PlaySound(kVoiceWin), 1u);
    const SoundVoice& far = Voice(30 % 8);
    EXPECT_EQ(far.follow, nullptr);
    EXPECT_EQ(far.position.x, 1000.0f);
    EXPECT_EQ(far.position.z, 1000.0f);

    sounds_[30 % 8].StopAll(1);
    scene_.localSlot = 1;
    ASSERT_EQ(fighter_->PlaySound(kVoiceWin), 1u);
    EXPECT_EQ(Voice(30 % 8).follow, fighter_->GetPosition());
}

// The voice that plays holds the next spoken line back for its length, but
// voices are the player's setting: the battle's state stays the same.
TEST_F(FighterVoices, APlayingVoiceSilencesTheFighterButNotItsState)
{
    auto hash = [&] {
        CStateHash h;
        fighter_->HashState(h);
        return h.Value();
    };
    const u64 before = hash();
    ASSERT_EQ(fighter_->CanSpeak(), 1u);
    ASSERT_EQ(fighter_->PlaySound(5), 1u);
    EXPECT_EQ(fighter_->CanSpeak(), 0u);
    EXPECT_EQ(hash(), before);
    fighter_->GetStatus()->timers.longestVoice = 0.0f;
    EXPECT_EQ(fighter_->CanSpeak(), 1u);
}

TEST_F(FighterVoices, RefusedVoices)
{
    CharacterStatus& s = *fighter_->GetStatus();
    struct {
        const char* what;
        u32 n;
        void (*set)(CharacterStatus&);
    } const rows[] = {
        {"past the table", kVoiceCount, [](CharacterStatus&) {}},
        {"not loaded", 7, [](CharacterStatus&) {}},
        {"voices off", 5, [](CharacterStatus& s) { s.voiceEnabled = 0; }},
        {"frozen", 5, [](CharacterStatus& s) { s.timers.freezeTime = 0.5f; }},
    };
    for (const auto& r : rows) {
        const CharacterStatus before = s;
        r.set(s);
        EXPECT_EQ(fighter_->PlaySound(r.n), 0u) << r.what;
        EXPECT_EQ(sounds_[5].IsPlaying(0), 0u) << r.what;
        s = before;
    }
    EXPECT_EQ(fighter_->PlaySoundEffect(kSoundEffectCount), 0u);
    EXPECT_EQ(fighter_->PlaySoundEffect(5), 0u);
}

TEST_F(FighterVoices, HitSoundsByWeightAndCut)
{
    struct {
        u32 weight, cut, effect;
    } const rows[] = {{1, 1, kSeSlashSmallDamage}, {1, 0, kSeStrikeSmallDamage}, {2, 1, kSeSlashLargeDamage},
                      {2, 0, kSeStrikeLargeDamage}};
    for (const auto& r : rows) {
        for (CSoundBuffer& sound : sounds_) sound.StopAll(1);
        EXPECT_EQ(fighter_->PlayHitSound(r.weight, r.cut), 1u);
        for (u32 n = 0; n < 5; ++n)
            EXPECT_EQ(sounds_[3 + n].IsPlaying(0), n == r.effect ? 1u : 0u) << r.weight << r.cut << " " << n;
        EXPECT_EQ(Voice(3 + r.effect).baseVolume, -300);
        EXPECT_EQ(Voice(3 + r.effect).follow, fighter_->GetPosition());
    }
    ASSERT_EQ(fighter_->PlaySoundEffect(kSeLockOn), 1u);
    EXPECT_EQ(Voice(3).minDistance, 3000.0f);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
