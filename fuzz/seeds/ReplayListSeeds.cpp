// Seeds of the replay list driver: slots the list shows in each way (a
// playable header over no body, another version, a file cut inside its
// header, a leading text past the end, names filling their fields, a play
// type past the table) and the keys that page, play and go back.
#include "fuzz/drivers/ReplayListDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "game/scenes/tests/ReplayFiles.h"

#include <cstring>

namespace seeds {

void MakeReplayListSeeds(const std::string& root)
{
    using fuzz::replay_list::MakeInput;
    using replay_test::FileBytes;
    using replay_test::Header;
    Sink sink(root, "replay_list");
    // Codes less 8: down, right, left, up, cancel; and decide, start.
    const std::string browse = {1, 3, 2, 0, 15};
    const std::string play = {1, 0, 14};
    const ReplayHeader talve = Header("Stage01", "Talve");
    ReplayHeader foreign = Header("Stage01", "Derona", 1);
    foreign.version = 0x11000000;
    ReplayHeader full = Header("", "", 200, 65535, 255, 255);
    std::memset(full.stageName, 'S', sizeof full.stageName);
    std::memset(full.characterName, '\x82', sizeof full.characterName);
    Bytes leadingPast;
    Le32(leadingPast, 0x7FFFFFFF);

    sink.Add("mixed-page", MakeInput(browse, {{1, FileBytes(talve, "recorder")}, {2, FileBytes(foreign)},
                                                {4, FileBytes(talve).substr(0, 40)}, {12, FileBytes(talve)}}));
    sink.Add("play-no-body", MakeInput(play, {{1, FileBytes(talve)}}));
    sink.Add("play-damaged-body", MakeInput(play, {{1, FileBytes(talve, "", Bytes(64, '\xFF'))}}));
    sink.Add("full-fields", MakeInput(play, {{1, FileBytes(full)}}));
    sink.Add("leading-past-end", MakeInput(browse, {{30, leadingPast + Bytes(76, 'x')}}));
    sink.Add("empty-files", MakeInput(browse, {{21, ""}, {22, Bytes(3, '\0')}}));
}

}  // namespace seeds
