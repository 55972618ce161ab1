// Ogg Vorbis sources of the sound buffers, decoded with libvorbisfile into
// 16-bit signed little-endian PCM: whole sounds decoded at load, and
// streams opened from memory or a file and decoded one buffer half at a time.
//
// Every link of a chained file must have the first link's rate and channel
// count, and a decoder libvorbis can set up (a damaged setup header is
// refused at open, not met at the first read); decoding always starts at
// the first sample of the first link.
//
// A stream goes back (rewind, loop) by seeking only once it has been decoded
// from its first sample to its end without a hole or an error: a seek in a
// damaged stream can make libogg overflow the heap. Until then, and for good
// once damage has been met, it goes back by opening the decoder again and
// decoding forward.
#pragma once

#include "engine/core/Types.h"
#include "engine/platform/WavReader.h"

struct OggStream;
class CMemStream;

// The stream over a memory stream, which it then owns; null when the bytes
// are not usable Ogg Vorbis (the memory stream stays the caller's).
OggStream* OpenOggMemoryStream(CMemStream* stream);
// The stream over a file; null when it cannot be opened or decoded.
OggStream* OpenOggFileStream(const char* path);
// Closes the decoder and the source; null is ignored.
void CloseOggStream(OggStream* stream);

// The PCM format of an open stream and its stated length in bytes. 0 when
// the stream reports no usable format or length.
u32 GetOggFormat(OggStream* stream, SoundFormat* format, u32* dataSize);

// Decodes the whole stream (the memory stream is deleted in every case) into
// a new AlignedAlloc block; *dataSize gets the bytes decoded: never more than
// the stated length, fewer when the data ends early or damage was skipped.
// The block grows with what is decoded, whatever length the file claims.
// Null on failure or when the sound would not fit in a sound buffer.
u8* DecodeOggMemory(CMemStream* stream, SoundFormat* format, u32* dataSize);

enum class OggFillResult { Full, Ended, Failed };

// A stream's loop start below this means it does not loop.
inline constexpr f32 kNoLoop = -0.1f;

// Fills size bytes. At the end of the data the decoder goes on from
// loopStart (seconds), or, with loopStart below kNoLoop, goes back to 0 and
// reports Ended. A loop that yields nothing ends the same way. *filled gets
// the bytes written in every case.
OggFillResult OggFill(u8* buffer, u32 size, f32 loopStart, OggStream* stream, u32* filled);
// Back to the first sample. 1/0.
u32 OggRewind(OggStream* stream);

// What the stream has learnt of its data: damage met while decoding, and
// whether it goes back by seeking.
u32 IsOggDamaged(const OggStream* stream);
u32 IsOggSeekable(const OggStream* stream);
// Seeks made in the decoder since the stream was opened (its own open and
// the reopens that replace seeks excluded).
u32 GetOggSeekCount(const OggStream* stream);
