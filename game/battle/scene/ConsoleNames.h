// The per-character parts of HUD element names, in character order. A
// character id past the table has no elements of its own.
#pragma once

#include "engine/core/Types.h"

namespace console_names {

inline constexpr u32 kCharacterCount = 18;

// "C", "EnN", "En_", "TarN", "W" + short form + digits.
inline constexpr const char* kShort[kCharacterCount] = {"ta", "de", "pe", "mi", "qu", "ez", "tu", "ke", "om",
    "gre", "na", "dru", "ovu", "wen", "los", "bia", "sir", "ve"};
// "Ch" + abbreviation: the name plates.
inline constexpr const char* kAbbreviation[kCharacterCount] = {"tal", "der", "pel", "mir", "que", "ezm", "tub",
    "ker", "omb", "gre", "nav", "dru", "ovu", "wen", "los", "bia", "sirl", "vek"};
// "W" + image name: the weapon panels.
inline constexpr const char* kImageName[kCharacterCount] = {"Talve", "Derona", "Pellu", "Miravo", "Quena",
    "Ezmel", "Tubeca", "Kerlia", "Ombrisa", "Grell", "Navoie", "Drusa", "Ovu", "Wenna", "Lossin", "Bialto",
    "Sirkel", "Vek"};

// Skill orb images by IMAGEID 0..44: 15 each of three kinds.
inline constexpr u32 kOrbImages = 45;
inline constexpr const char* kOrbKinds[3] = {"rei_geki", "rei_soku", "rei_syu"};

}  // namespace console_names
