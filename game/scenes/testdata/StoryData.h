// The story chains of the data set and the writer of chapter files that the
// data set, the story tests and the fuzz seeds share: each chapter is a
// settings text "<name>.txt" and its cache "Setting/<name>.dat" as the
// chapter reader writes it (the game reads the cache; its NEXT names the
// next chapter's cache).
#pragma once

#include "engine/core/Types.h"

#include <string>
#include <utility>
#include <vector>

namespace story_data {

struct Chapter {
    std::string name;   // "Story_Talve_01": the text is name + ".txt"
    std::string text;   // the settings text
};

// The chain of character 0..17: prologue, a battle, the final battle
// (against Derona for Talve, else Talve), the ending with its GETSKILL
// (Derona's the second value, everyone else's the first). Derona's prologue
// is typed by hand. The roll screens last textSeconds each.
std::vector<Chapter> DataChain(u32 character, f32 textSeconds = 2.0f);
// The unlock value each chain's ending gives (1-based).
inline constexpr i32 kGetSkill[2] = {10, 11};

// A battle chapter's text against opponent, naming next ("" for the
// ending's "Non Name"), final when last.
std::string BattleText(u32 opponent, const std::string& next, bool last);

// Every chapter's text and cache as (relative path, bytes), made by the
// chapter reader in a scratch folder; empty with *error set when one does
// not read back.
std::vector<std::pair<std::string, std::string>> ChapterFiles(const std::vector<Chapter>& chapters, std::string* error);
// The same written into the current folder (its "Setting" made); false
// when one does not read back.
bool WriteChapters(const std::vector<Chapter>& chapters);

}  // namespace story_data
