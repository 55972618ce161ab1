// Seeds of the battle records: set-ups written by the record's own writer.
#include "fuzz/seeds/Seeds.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/BattleStateConsole.h"

#include <bit>
#include <cstring>

namespace seeds {

void MakeBattleSeeds(const std::string& root)
{
    Sink sink(root, "battle_setup");
    CBattleSetup setup;
    setup.option.randomSeed = 12345;
    sink.Add("default", WriteBattleSetup(setup));

    // A network battle: drawn stage, music and characters, named players,
    // every field away from its default.
    setup.localEntry = 2;
    setup.option.stage = CBattleOption::kRandomStage;
    setup.option.drawnStage = 18;
    setup.option.music = 7;
    setup.option.timeSetting = 0;
    setup.option.inputDelay = 4;
    for (u32 i = 0; i < setup.count; ++i) {
        CBattleEntry& e = *setup.GetEntry(i);
        e.kind = i;
        e.character = i == 1 ? CBattleEntry::kRandomCharacter : i * 5;
        e.drawnCharacter = 17 - i;
        e.variant = i & 1;
        e.drawnVariant = 1;
        e.factorLevel = i;
        e.ownMusic = 50 - i;
        e.orbs[i % 3] = std::bit_cast<u32>(0.5f * f32(i));   // the seed bytes as first written
        std::strcpy(e.name, i == 3 ? "\x83\x76\x83\x8c\x83\x43\x83\x84\x81\x5b" : "Player");
    }
    const std::string network = WriteBattleSetup(setup);
    sink.Add("network", network);
    // Refused: cut short, and a wrong count.
    sink.Add("cut", network.substr(0, network.size() - 1));
    std::string count = network;
    count[0] = 3;
    sink.Add("count", count);

    // Radio-chat lines as the battle-state console takes them: a short one,
    // one that fills its text, a team-only one from a sender past the
    // fighters, and senders on each side of an empty entry.
    Sink lines(root, "quick_message");
    const auto line = [](const char* text, u32 sender, u32 teamOnly) {
        QuickMessageRecord r{};
        std::memcpy(r.text, text, std::min(std::strlen(text), sizeof r.text));
        r.sender = sender;
        r.teamOnly = teamOnly;
        return std::string(reinterpret_cast<const char*>(&r), sizeof r);
    };
    lines.Add("short", line("go", 0, 0));
    lines.Add("full", line("0123456789012345678901234567890123456789", 1, 0));
    lines.Add("stranger", line("team", 7, 1));
    // Past an empty entry: entry 2 is the second fighter, entry 1 nobody.
    lines.Add("past_empty", line("here", 2, 0));
    lines.Add("empty_entry", line("here", 1, 0));

    // Messages into the battle scene: door byte (even side, odd peer), id,
    // body.
    Sink messages(root, "scene_message");
    const auto message = [](u8 door, u32 id, const std::string& body) {
        std::string m(1, char(door));
        for (u32 b = 0; b < 4; ++b) m += char(id >> (8 * b));
        return m + body;
    };
    messages.Add("radio_chat", message(0, 3, line("hello", 1, 0)));
    messages.Add("bullet", message(0, 0, std::string(8, 'A')));
    messages.Add("peer_end", message(1, 10004, std::string("\x0b\0\0\0", 4)));
    messages.Add("peer_left", message(1, 10009, std::string("\x02\0\0\0", 4)));
    messages.Add("peer_left_far", message(1, 10009, std::string("\x04\0\0\0", 4)));
    messages.Add("peer_input", message(1, 10007, std::string("\x01\x03\0\x10\xf0\0", 6)));
}

}  // namespace seeds
