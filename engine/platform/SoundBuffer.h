// CSoundBuffer: one loaded sound (WAV or Ogg Vorbis, from a file, memory or
// an archive entry) played through a fixed set of voices.
//
// The PCM sits in a master buffer that never plays; each voice plays a
// duplicate of it with its own cursor, volume, pan and 3D settings. A static
// sound holds all of its PCM. A streamed one holds two seconds, refilled a
// one-second half at a time from its source while it loops: by a thread per
// voice woken by position notifications (flag 0x100), or from the per-frame
// Update (the music; only this kind keeps a play time).
//
// Copies share the PCM and the source; the last one released closes it.
// All voices and copies of a streamed sound read the one source, so it plays
// through one voice at a time.
//
// Locking: the device's sound lock guards every device call that a stream
// thread can race with and every touch of the shared source. A thread is
// only ever waited for without the lock.
#pragma once

#include "engine/core/SoundPlayerBase.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/platform/WavReader.h"

#include <atomic>
#include <memory>
#include <vector>

namespace host::kernel {
class Event;
class Thread;
}
namespace host::sound { class Buffer; }
class CListener;
class CqelPackFile;
class CSoundBuffer;
struct OggStream;

// One voice of a sound.
struct SoundVoice {
    SoundVoice();
    SoundVoice(const SoundVoice&) = delete;
    SoundVoice& operator=(const SoundVoice&) = delete;
    ~SoundVoice();

    std::unique_ptr<host::sound::Buffer> buffer;   // null: a slot without a buffer
    u32 has3D = 0;
    u32 playFlags = 0;                 // 1 = looping; 0 after a stop
    f32 loopStart = 0.0f;              // streams: below -0.1 = no loop
    u32 paused = 0;
    CVector3 position;
    const CVector3* follow = nullptr;  // copied into position each update
    std::unique_ptr<host::kernel::Event> events[3];   // start, middle, stop
    std::unique_ptr<host::kernel::Thread> thread;
    CSoundBuffer* owner = nullptr;
    u32 muted = 0;
    i32 appliedVolume = 0;
    i32 baseVolume = 0;
    i32 fadeStep = 0;
    i32 fadeTarget = 0;
    i32 pan = 0;
    f32 minDistance = 1.0f;
    f32 maxDistance = 1.0e9f;
    u32 currentHalf = 0;
    u32 wraps = 0;
    f32 playTime = 0.0f;
    u32 mode3D = 0;

    // Streams. Once the source has ended (ending set), the halves after
    // endHalf get silence and the voice stops when its cursor has played
    // the data: polled voices at endPosition, bytes since the start.
    u32 ending = 0;
    u32 endHalf = 0;
    u64 endPosition = 0;
    u32 lastCursor = 0;                // polled streams: the cursor at the last update
    u32 stopRequested = 0;             // set by a stop; the thread ends on it
    u32 starting = 0;                  // its thread has not started playback yet
    std::atomic<u32> refills{0};       // halves refilled since the voice started
};

class CSoundBuffer : public CSoundPlayerBase {
    ORV_VALUE_CLASS(CSoundBuffer)

public:
    static constexpr u8 kResourceType = 4;
    static constexpr u32 kNoVoice = 0xFFFFFFFFu;
    static constexpr u32 kPlayLooping = 0x1;
    static constexpr u32 kBufferStatic = 0x2;
    static constexpr u32 kBuffer3D = 0x10;
    static constexpr u32 kBufferPan = 0x40;
    static constexpr u32 kBufferNotify = 0x100;
    static constexpr u32 kSourceWav = 0;
    static constexpr u32 kSourceOgg = 1;
    static constexpr u32 kMode3DNormal = 0;
    static constexpr u32 kMode3DHeadRelative = 1;
    static constexpr u32 kMode3DDisable = 2;
    static constexpr u32 kMode3DSoftware = 3;

    CSoundBuffer();
    // Shares the PCM and the source; fresh voices, as many as other has.
    CSoundBuffer(const CSoundBuffer& other);
    CSoundBuffer& operator=(const CSoundBuffer&) = delete;
    ~CSoundBuffer() override;

    // Stops every voice (ending its thread) and frees them and the master
    // buffer; the last copy also closes the source. Then the name. 1.
    i32 Release() override;

    // Loads from a path; ".ogg"/".OGG" in it means Ogg Vorbis, else WAV.
    // Flags: 0x2 static (else streamed), 0x100 notify streaming, 0x10 3D,
    // 0x40 pan. 1/0.
    u32 Load(const char* path, u32 voiceCount, u32 bufferFlags);
    // The same from bytes; name decides the kind and names the sound. A
    // streamed WAV keeps reading data: the caller keeps it alive.
    u32 LoadFromMemory(const void* data, const char* name, u32 size, u32 voiceCount, u32 bufferFlags);
    // The same from an archive entry.
    u32 LoadFromPack(const CqelPackFile* pack, const char* entry, u32 voiceCount, u32 bufferFlags);
    // Archive entries already read (blocks from CqelPackFile::ReadEntry,
    // which the loads take over) loaded as LoadFromPack loads them, side by
    // side: setting up a decoder is most of a load, and sound buffers may be
    // made on any thread. Each result in loaded; an entry without a sound
    // or a block loads nothing.
    struct PackedFile {
        CSoundBuffer* sound;
        u8* block;
        const char* name;
        u32 size;
        u32 voiceCount;
        u32 bufferFlags;
        u32 loaded;
    };
    static void LoadEachFromPack(PackedFile* files, u32 count);
    // One of them, on the calling thread.
    static void LoadPacked(PackedFile& file);

    // Makes voiceCount voices, keeping those that exist. 1/0.
    u32 SetVoiceCount(u32 voiceCount);

    // Starts the first free voice: its index, or kNoVoice.
    u32 Play(u32 playFlags, f32 loopStart, u32 rewind);
    u32 PlayWithVolume(i32 volume, u32 playFlags, f32 loopStart, u32 rewind);
    i32 StopVoiceAt(u32 voice, u32 rewind);
    i32 StopAll(u32 rewind);
    i32 PauseVoice(u32 voice);
    i32 PauseAll();
    i32 ResumeVoice(u32 voice);
    i32 ResumeAll();
    // Paused counts as playing.
    u32 IsPlaying(u32 voice) const;

    // Hundredths of a decibel, clamped to -10000..0.
    i32 SetVolume(u32 voice, i32 volume);
    i32 SetVolumeAll(i32 volume);
    i32 SetMute(u32 voice, u32 mute);
    i32 SetMuteAll(u32 mute) override;
    // Moves the voice's volume by step each update until target; a falling
    // fade that ends stops the voice.
    i32 SetFade(u32 voice, i32 target, i32 step);

    i32 SetPosition3D(u32 voice, const CVector3* position, f32 minDistance, u32 mode);
    i32 SetMinDistance(u32 voice, f32 distance);
    i32 SetVoicePosition(u32 voice, const CVector3* position);
    i32 SetVoiceFollow(u32 voice, const CVector3* position);
    i32 SetVoiceVelocity(u32 voice, const CVector3* velocity);
    i32 Set3DMode(u32 voice, u32 mode);

    // Per frame: fades, software 3D, polled streaming, followed positions.
    i32 Update() override;
    i32 UpdateVoiceAt(u32 voice, u32 force);

    f32 GetLength() const { return m_length; }
    // Seconds the voice has played since its last start (polled streams).
    f32 GetVoiceParam(u32 voice) const;

    u32 GetDataSize() const { return m_dataSize; }
    u16 GetChannels() const { return m_channels; }
    u16 GetBytesPerSample() const { return m_bytesPerSample; }
    u32 GetSampleRate() const { return m_sampleRate; }
    u32 GetSourceKind() const { return m_sourceKind; }
    u32 GetBufferFlags() const { return m_bufferFlags; }
    u32 GetVoiceCount() const { return u32(m_voices.size()); }
    const SoundFormat* GetFormat() const;
    // The voice record, null for a bad index.
    const SoundVoice* GetVoice(u32 voice) const { return voice < GetVoiceCount() ? m_voices[voice].get() : nullptr; }
    // Halves the voice's stream has refilled since it started.
    u32 GetStreamRefills(u32 voice) const;

    // The source and format, shared by a sound and its copies; the last
    // one released closes the source.
    struct Shared {
        Shared() = default;
        Shared(const Shared&) = delete;
        Shared& operator=(const Shared&) = delete;
        ~Shared();
        std::unique_ptr<CWavReader> wav;   // streamed WAV
        OggStream* ogg = nullptr;          // streamed Ogg Vorbis
        SoundFormat format;
    };

private:
    // Load steps; failures leave the sound released.
    u32 LoadWav(std::unique_ptr<CWavReader> reader, u32 voiceCount, u32 bufferFlags);
    u32 LoadFromMemoryOwned(const void* data, const char* name, u32 size, u32 voiceCount, u32 bufferFlags,
                            void* ownedBlock);
    // The common end: sizes, the master buffer, the PCM of a static sound
    // (pcm, else null), the voices.
    u32 FinishLoad(std::shared_ptr<Shared> shared, const u8* pcm, u32 dataSize, u32 voiceCount, u32 bufferFlags,
                   u32 sourceKind);
    u32 CreateBuffer();
    u32 MakeVoice(SoundVoice& voice);
    void FreeVoice(SoundVoice& voice);

    SoundVoice* Voice(u32 voice) const { return voice < GetVoiceCount() ? m_voices[voice].get() : nullptr; }
    u32 IsPlayingVoice(const SoundVoice& voice) const;
    i32 SetVolumeOf(SoundVoice& voice, i32 volume);
    i32 Set3DModeOf(SoundVoice& voice, u32 mode);
    i32 UpdateVoice(SoundVoice& voice, u32 force);
    void UpdateVoice3D(SoundVoice& voice, u32 force);
    // Volume and pan from the listener; the sound lock is held.
    void UpdateSoftware3D(SoundVoice& voice, const CListener& listener);

    // Streaming (SoundStream.cpp).
    u32 IsStreamed() const { return !(m_bufferFlags & kBufferStatic); }
    u32 IsNotifyStreamed() const { return IsStreamed() && (m_bufferFlags & kBufferNotify); }
    u32 SecondSize() const { return u32(m_channels) * m_bytesPerSample * m_sampleRate; }
    // 1 when the voice started; else *tryNext tells whether another voice
    // may be tried.
    u32 PlayStream(SoundVoice& voice, u32 playFlags, f32 loopStart, u32 rewind, bool* tryNext);
    enum class Fill { Full, Ended, Failed };
    // Refills one half from the source (silence once the source has ended);
    // *filled gets the source bytes written. The sound lock is held.
    Fill FillStreamHalf(SoundVoice& voice, u32 half, u32* filled);
    u32 RewindSource();
    void ResetStream(SoundVoice& voice);
    // Stops a voice whose stream has ended: stopped, back at 0.
    void EndStream(SoundVoice& voice);
    i32 UpdateStream(SoundVoice& voice, u32 force);
    // Also ends the voice's stream thread, if any, and waits for it: never
    // with the sound lock held, which the thread needs to see the stop.
    i32 StopVoice(SoundVoice& voice, u32 rewind);
    static u32 StreamThreadProc(SoundVoice* voice);

    std::unique_ptr<host::sound::Buffer> m_master;
    f32 m_length = 0.0f;
    u32 m_dataSize = 0;
    u16 m_channels = 0;
    u16 m_bytesPerSample = 0;
    u32 m_sampleRate = 0;
    u32 m_sourceKind = 0;
    u32 m_bufferFlags = 0;
    std::shared_ptr<Shared> m_shared;   // source and format, shared by copies
    std::vector<std::unique_ptr<SoundVoice>> m_voices;
    // Some voice may have work for Update (set by whatever starts a fade,
    // 3D placement or new voices; cleared by an Update that finds none).
    bool m_stepVoices = true;
};
