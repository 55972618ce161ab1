// Short generated tones for the test data: a sine at a pitch, faded in and
// out so it does not click, as a WAV (16-bit mono PCM) or as Ogg Vorbis.
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace battle_data {

// The WAV of a tone of hertz lasting seconds at 8000 samples a second.
std::string ToneWav(f32 hertz, f32 seconds);
// The Ogg Vorbis of the same tone at 8000 samples a second; a long, quiet
// tone stays a few kilobytes.
std::string ToneOgg(f32 hertz, f32 seconds);
// Music of that length as Ogg Vorbis: a quiet second of the tone, then
// silence. However long, it encodes to a few kilobytes and quickly.
std::string QuietMusicOgg(f32 hertz, f32 seconds);

}  // namespace battle_data
