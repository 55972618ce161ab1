// Ogg Vorbis sources of the sound buffers, decoded with libvorbisfile into
// 16-bit signed little-endian PCM: whole sounds decoded at load, and
// streams opened from memory or a file and decoded one buffer half at a time.
#pragma once

#include "engine/core/Types.h"
#include "engine/platform/WavReader.h"

struct OggVorbis_File;
class CMemStream;

// The decoder over stream, which it then owns (the decoder's close deletes
// it); null when the stream is not Ogg Vorbis (stream stays the caller's).
OggVorbis_File* OpenOggMemoryStream(CMemStream* stream);
// The decoder over a file; null when it cannot be opened or decoded.
OggVorbis_File* OpenOggFileStream(const char* path);
// ov_clear and the decoder's block; null is ignored.
void CloseOggStream(OggVorbis_File* decoder);

// The PCM format of an open decoder and its whole length in bytes. 0 when
// the stream reports no usable format or length.
u32 GetOggFormat(OggVorbis_File* decoder, SoundFormat* format, u32* dataSize);

// Decodes the whole stream (which is deleted in every case) into a new
// AlignedAlloc block; *dataSize gets the bytes decoded, fewer than the
// stated length when damage was skipped. Null on failure.
u8* DecodeOggMemory(CMemStream* stream, SoundFormat* format, u32* dataSize);

enum class OggFillResult { Full, Ended, Failed };

// A stream's loop start below this means it does not loop.
inline constexpr f32 kNoLoop = -0.1f;

// Fills size bytes. At the end of the data the decoder goes on from
// loopStart (seconds), or, with loopStart below kNoLoop, goes back to 0 and
// reports Ended. A loop that yields nothing ends the same way. *filled gets
// the bytes written in every case.
OggFillResult OggFill(u8* buffer, u32 size, f32 loopStart, OggVorbis_File* decoder, u32* filled);
// Back to the start. 1/0.
u32 OggRewind(OggVorbis_File* decoder);
