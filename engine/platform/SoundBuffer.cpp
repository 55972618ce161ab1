#include "engine/platform/SoundBuffer.h"

#include "engine/core/Endian.h"
#include "engine/core/FloatMath.h"
#include "engine/core/Matrix.h"
#include "engine/core/Memory.h"
#include "engine/core/MemStream.h"
#include "engine/core/PackFile.h"
#include "engine/platform/HostVector.h"
#include "engine/platform/Listener.h"
#include "engine/platform/OggReader.h"
#include "engine/platform/Sound.h"

#include "host/kernel/Kernel.h"
#include "host/sound/Sound.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

namespace {

using host::sound::Result;

constexpr u32 kStatic = CSoundBuffer::kBufferStatic;
constexpr u32 kCtrl3D = CSoundBuffer::kBuffer3D;
constexpr u32 kCtrlPan = CSoundBuffer::kBufferPan;
constexpr u32 kCtrlNotify = CSoundBuffer::kBufferNotify;
static_assert(kStatic == host::sound::kBufferStatic && kCtrl3D == host::sound::kBufferCtrl3D &&
              kCtrlPan == host::sound::kBufferCtrlPan && kCtrlNotify == host::sound::kBufferCtrlPositionNotify);
constexpr u16 kFormatExtensible = 0xFFFE;
constexpr double kPi = 3.14159265358979323846;

bool IsOggName(const char* name) { return std::strstr(name, ".ogg") || std::strstr(name, ".OGG"); }

// The device plays integer PCM and float samples; an extensible format is
// played as the tag its sub-format names (the first word of its GUID), its
// extra bytes kept in the sound's format. Any other tag reaches the device
// as it is, which refuses it.
host::sound::WaveFormat ToHost(const SoundFormat& f)
{
    host::sound::WaveFormat w;
    w.tag = f.formatTag;
    if (f.formatTag == kFormatExtensible && f.extra.size() >= 22) {
        const u32 sub = GetLe32(f.extra.data() + 6);
        if (sub == host::sound::kFormatPcm || sub == host::sound::kFormatFloat) w.tag = u16(sub);
    }
    w.channels = f.channels;
    w.rate = f.samplesPerSec;
    w.bytesPerSecond = f.avgBytesPerSec;
    w.blockAlign = f.blockAlign;
    w.bits = f.bitsPerSample;
    return w;
}

CSound* Device() { return GetSoundDeviceGlobal(); }

const CListener* CurrentListener()
{
    CSound* sound = Device();
    return sound ? sound->GetListener() : nullptr;
}

bool SoftwareListener()
{
    const CListener* listener = CurrentListener();
    return listener && listener->GetMode() == CListener::kModeSoftware;
}

}  // namespace

SoundVoice::SoundVoice() = default;
SoundVoice::~SoundVoice() = default;

CSoundBuffer::Shared::~Shared()
{
    CloseOggStream(ogg);
    ogg = nullptr;
}

// ---------------------------------------------------------------- life cycle

CSoundBuffer::CSoundBuffer() { SetType(kResourceType); }

CSoundBuffer::CSoundBuffer(const CSoundBuffer& other)
    : CSoundPlayerBase(other),
      m_length(other.m_length),
      m_dataSize(other.m_dataSize),
      m_channels(other.m_channels),
      m_bytesPerSample(other.m_bytesPerSample),
      m_sampleRate(other.m_sampleRate),
      m_sourceKind(other.m_sourceKind),
      m_bufferFlags(other.m_bufferFlags),
      m_shared(other.m_shared)
{
    CSound* sound = Device();
    if (!other.m_master || !sound || !sound->GetDevice()) return;
    if (sound->GetDevice()->DuplicateBuffer(*other.m_master, m_master) != Result::Ok) return;
    SetVoiceCount(other.GetVoiceCount());
}

CSoundBuffer::~CSoundBuffer() { CSoundBuffer::Release(); }

i32 CSoundBuffer::Release()
{
    // The source may be shared with a copy that is playing: stop without
    // rewinding it.
    for (auto& v : m_voices) {
        StopVoice(*v, 0);
        FreeVoice(*v);
    }
    m_voices.clear();
    m_master.reset();
    m_shared.reset();
    m_length = 0.0f;
    m_dataSize = 0;
    m_channels = m_bytesPerSample = 0;
    m_sampleRate = m_sourceKind = m_bufferFlags = 0;
    return CSoundPlayerBase::Release();
}

const SoundFormat* CSoundBuffer::GetFormat() const { return m_shared ? &m_shared->format : nullptr; }

// ---------------------------------------------------------------- loading

u32 CSoundBuffer::Load(const char* pathText, u32 voiceCount, u32 bufferFlags)
{
    if (!pathText) return 0;
    const std::string copy(pathText);   // the path may be this sound's own name
    const char* path = copy.c_str();
    Release();
    u32 ok = 0;
    if (IsOggName(path)) {
        auto shared = std::make_shared<Shared>();
        u32 size = 0;
        if (bufferFlags & kStatic) {
            CMemStream* stream = LoadFileToMemStream(path, "rb");
            if (!stream) return 0;
            u8* pcm = DecodeOggMemory(stream, &shared->format, &size);
            if (!pcm) return 0;
            ok = FinishLoad(shared, pcm, size, voiceCount, bufferFlags, kSourceOgg);
            AlignedFree(pcm);
        } else {
            shared->ogg = OpenOggFileStream(path);
            if (!shared->ogg || !GetOggFormat(shared->ogg, &shared->format, &size)) return 0;
            ok = FinishLoad(shared, nullptr, size, voiceCount, bufferFlags, kSourceOgg);
        }
    } else {
        auto reader = std::make_unique<CWavReader>();
        if (!reader->OpenFile(path)) return 0;
        ok = LoadWav(std::move(reader), voiceCount, bufferFlags);
    }
    if (ok) SetName(path);
    return ok;
}

u32 CSoundBuffer::LoadFromMemory(const void* data, const char* name, u32 size, u32 voiceCount, u32 bufferFlags)
{
    return LoadFromMemoryOwned(data, name, size, voiceCount, bufferFlags, nullptr);
}

u32 CSoundBuffer::LoadFromPack(const CqelPackFile* pack, const char* entry, u32 voiceCount, u32 bufferFlags)
{
    if (!pack || !entry || !pack->FindEntry(entry)) return 0;
    u32 size = 0;
    u8* bytes = pack->ReadEntry(entry, &size);
    if (!bytes) return 0;
    // The entry's block goes to a streamed WAV, which reads it as it plays;
    // everything else is done with it when the load returns.
    return LoadFromMemoryOwned(bytes, entry, size, voiceCount, bufferFlags, bytes);
}

void CSoundBuffer::LoadPacked(PackedFile& f)
{
    u8* block = std::exchange(f.block, nullptr);
    if (!f.sound || !block) {
        AlignedFree(block);
        f.loaded = 0;
        return;
    }
    f.loaded = f.sound->LoadFromMemoryOwned(block, f.name, f.size, f.voiceCount, f.bufferFlags, block);
}

void CSoundBuffer::LoadEachFromPack(PackedFile* files, u32 count)
{
    host::kernel::RunSideBySide(count, 8, [files](u32 i) { LoadPacked(files[i]); });
}

u32 CSoundBuffer::LoadFromMemoryOwned(const void* data, const char* nameText, u32 size, u32 voiceCount,
                                      u32 bufferFlags, void* ownedBlock)
{
    if (!data || !nameText) {
        AlignedFree(ownedBlock);
        return 0;
    }
    const std::string copy(nameText);   // the name may be this sound's own
    const char* name = copy.c_str();
    Release();
    u32 ok = 0;
    if (IsOggName(name)) {
        CMemStream* stream = CreateMemStream(data, size);
        AlignedFree(ownedBlock);   // the stream holds a copy
        if (!stream) return 0;
        auto shared = std::make_shared<Shared>();
        u32 pcmSize = 0;
        if (bufferFlags & kStatic) {
            u8* pcm = DecodeOggMemory(stream, &shared->format, &pcmSize);
            if (!pcm) return 0;
            ok = FinishLoad(shared, pcm, pcmSize, voiceCount, bufferFlags, kSourceOgg);
            AlignedFree(pcm);
        } else {
            shared->ogg = OpenOggMemoryStream(stream);
            if (!shared->ogg) {
                delete stream;
                return 0;
            }
            if (!GetOggFormat(shared->ogg, &shared->format, &pcmSize)) return 0;
            ok = FinishLoad(shared, nullptr, pcmSize, voiceCount, bufferFlags, kSourceOgg);
        }
    } else {
        auto reader = std::make_unique<CWavReader>();
        const bool keep = !(bufferFlags & kStatic);
        reader->OpenMemory(data, size, keep ? ownedBlock : nullptr);
        ok = LoadWav(std::move(reader), voiceCount, bufferFlags);
        if (!keep) AlignedFree(ownedBlock);
    }
    if (ok) SetName(name);
    return ok;
}

u32 CSoundBuffer::LoadWav(std::unique_ptr<CWavReader> reader, u32 voiceCount, u32 bufferFlags)
{
    auto shared = std::make_shared<Shared>();
    if (!reader->ParseHeader(&shared->format)) return 0;
    const u32 size = reader->GetDataSize();
    if (!(bufferFlags & kStatic)) {
        shared->wav = std::move(reader);
        return FinishLoad(shared, nullptr, size, voiceCount, bufferFlags, kSourceWav);
    }
    // A static sound reads its data chunk whole: one the file ends inside
    // is refused before anything is allocated for it.
    if (reader->IsDataCutShort()) return 0;
    u8* pcm = size ? static_cast<u8*>(AlignedAlloc(size, 16)) : nullptr;
    if (!pcm) return 0;
    u32 ok = 0;
    if (reader->Read(pcm, size)) {
        reader.reset();
        ok = FinishLoad(shared, pcm, size, voiceCount, bufferFlags, kSourceWav);
    }
    AlignedFree(pcm);
    return ok;
}

u32 CSoundBuffer::FinishLoad(std::shared_ptr<Shared> shared, const u8* pcm, u32 dataSize, u32 voiceCount,
                             u32 bufferFlags, u32 sourceKind)
{
    const SoundFormat& f = shared->format;
    if (dataSize == 0 || f.channels == 0 || f.samplesPerSec == 0 || f.bitsPerSample < 8) return 0;
    m_dataSize = dataSize;
    m_channels = f.channels;
    m_sampleRate = f.samplesPerSec;
    m_bytesPerSample = u16(f.bitsPerSample / 8);
    m_length = f32(double(dataSize) / m_channels / m_sampleRate / m_bytesPerSample);
    m_bufferFlags = bufferFlags;
    m_sourceKind = sourceKind;
    m_shared = std::move(shared);

    if (!CreateBuffer()) {
        Release();
        return 0;
    }
    if (pcm) {
        host::sound::LockedRegions regions;
        Result r = m_master->Lock(0, dataSize, regions);
        if (r == Result::BufferLost) {
            m_master->Restore();
            r = m_master->Lock(0, dataSize, regions);
        }
        if (r != Result::Ok) {
            Release();
            return 0;
        }
        std::memcpy(regions.first, pcm, regions.firstBytes);
        m_master->Unlock(regions);
    }
    if (!SetVoiceCount(voiceCount)) {
        Release();
        return 0;
    }
    return 1;
}

u32 CSoundBuffer::CreateBuffer()
{
    CSound* sound = Device();
    if (!sound || !sound->GetDevice() || !m_shared) return 0;
    host::sound::BufferDesc desc;
    desc.flags = m_bufferFlags | host::sound::kBufferCtrlVolume | host::sound::kBufferGlobalFocus |
                 host::sound::kBufferGetCurrentPosition2;
    desc.bytes = IsStreamed() ? 2 * SecondSize() : m_dataSize;
    desc.format = ToHost(m_shared->format);
    return sound->GetDevice()->CreateBuffer(desc, m_master) == Result::Ok ? 1 : 0;
}

// ---------------------------------------------------------------- voices

u32 CSoundBuffer::SetVoiceCount(u32 voiceCount)
{
    if (!m_master) return 0;
    const u32 old = GetVoiceCount();
    for (u32 i = voiceCount; i < old; ++i) {
        StopVoice(*m_voices[i], 0);
        FreeVoice(*m_voices[i]);
    }
    m_voices.resize(voiceCount);
    for (u32 i = old; i < voiceCount; ++i) m_voices[i] = std::make_unique<SoundVoice>();
    m_stepVoices = true;
    for (auto& v : m_voices) {
        if (!v->buffer && !MakeVoice(*v)) return 0;
    }
    return 1;
}

u32 CSoundBuffer::MakeVoice(SoundVoice& voice)
{
    CSound* sound = Device();
    if (!sound || !sound->GetDevice()) return 0;
    if (sound->GetDevice()->DuplicateBuffer(*m_master, voice.buffer) != Result::Ok) return 0;
    voice.owner = this;
    voice.maxDistance = 1.0e9f;
    voice.minDistance = 1.0f;
    if (m_bufferFlags & kCtrl3D) {
        voice.has3D = 1;
        Set3DModeOf(voice, kMode3DDisable);
        const CVector3 velocity(1.0f, 1.0f, 1.0f);
        voice.buffer->SetVelocity3D(ToHost(velocity), host::sound::kApplyImmediate);
    }
    return 1;
}

void CSoundBuffer::FreeVoice(SoundVoice& voice)
{
    voice.thread.reset();
    // The buffer first: once it is gone nothing sets the events.
    voice.buffer.reset();
    for (auto& e : voice.events) e.reset();
    voice.has3D = 0;
}

u32 CSoundBuffer::IsPlayingVoice(const SoundVoice& voice) const
{
    if (!voice.buffer) return 0;
    CSoundLock lock;
    if (voice.paused || voice.starting) return 1;
    u32 status = 0;
    if (voice.buffer->GetStatus(status) != Result::Ok) return 0;
    return (status & host::sound::kStatusPlaying) ? 1 : 0;
}

u32 CSoundBuffer::IsPlaying(u32 voice) const
{
    const SoundVoice* v = Voice(voice);
    return v ? IsPlayingVoice(*v) : 0;
}

u32 CSoundBuffer::GetStreamRefills(u32 voice) const
{
    const SoundVoice* v = Voice(voice);
    return v ? v->refills.load() : 0;
}

// ---------------------------------------------------------------- playing

u32 CSoundBuffer::Play(u32 playFlags, f32 loopStart, u32 rewind)
{
    for (u32 i = 0; i < GetVoiceCount(); ++i) {
        SoundVoice& v = *m_voices[i];
        if (!v.buffer || IsPlayingVoice(v)) continue;
        if (IsStreamed()) {
            bool tryNext = false;
            if (PlayStream(v, playFlags, loopStart, rewind, &tryNext)) return i;
            if (!tryNext) return kNoVoice;
            continue;
        }
        {
            CSoundLock lock;
            if (rewind) v.buffer->SetCurrentPosition(0);
            Set3DModeOf(v, SoftwareListener() ? kMode3DSoftware : kMode3DNormal);
            if (v.buffer->Play(playFlags) != Result::Ok) {
                v.buffer->Restore();
                continue;
            }
        }
        v.loopStart = loopStart;
        v.playFlags = playFlags;
        v.paused = 0;
        v.fadeStep = 0;
        return i;
    }
    return kNoVoice;
}

u32 CSoundBuffer::PlayWithVolume(i32 volume, u32 playFlags, f32 loopStart, u32 rewind)
{
    const u32 voice = Play(playFlags, loopStart, rewind);
    if (voice != kNoVoice) SetVolume(voice, volume);
    return voice;
}

i32 CSoundBuffer::StopVoiceAt(u32 voice, u32 rewind)
{
    SoundVoice* v = Voice(voice);
    return v ? StopVoice(*v, rewind) : 0;
}

i32 CSoundBuffer::StopAll(u32 rewind)
{
    for (auto& v : m_voices) StopVoice(*v, rewind);
    return 1;
}

i32 CSoundBuffer::PauseVoice(u32 voice)
{
    SoundVoice* v = Voice(voice);
    if (!v || !IsPlayingVoice(*v)) return 0;
    // Under the lock so that a stream thread woken by this stop sees the
    // pause and keeps waiting.
    CSoundLock lock;
    v->paused = 1;
    v->buffer->Stop();
    return 1;
}

i32 CSoundBuffer::PauseAll()
{
    for (u32 i = 0; i < GetVoiceCount(); ++i) PauseVoice(i);
    return 1;
}

i32 CSoundBuffer::ResumeVoice(u32 voice)
{
    SoundVoice* v = Voice(voice);
    if (!v || !v->buffer || !v->paused) return 0;
    CSoundLock lock;
    v->paused = 0;
    // A stream thread still starting plays the voice once its first half is in.
    if (v->starting) return 1;
    return v->buffer->Play(v->playFlags) == Result::Ok ? 1 : 0;
}

i32 CSoundBuffer::ResumeAll()
{
    for (u32 i = 0; i < GetVoiceCount(); ++i) ResumeVoice(i);
    return 1;
}

// ---------------------------------------------------------------- volume

i32 CSoundBuffer::SetVolume(u32 voice, i32 volume)
{
    SoundVoice* v = Voice(voice);
    return v ? SetVolumeOf(*v, volume) : 0;
}

i32 CSoundBuffer::SetVolumeOf(SoundVoice& v, i32 volume)
{
    if (!v.buffer) return 0;
    volume = std::clamp(volume, host::sound::kVolumeMin, host::sound::kVolumeMax);
    if (!v.muted) {
        CSoundLock lock;
        if (v.buffer->SetVolume(volume) != Result::Ok) return 0;
    }
    v.baseVolume = v.appliedVolume = volume;
    return 1;
}

i32 CSoundBuffer::SetVolumeAll(i32 volume)
{
    for (u32 i = 0; i < GetVoiceCount(); ++i) SetVolume(i, volume);
    return 1;
}

i32 CSoundBuffer::SetMute(u32 voice, u32 mute)
{
    SoundVoice* v = Voice(voice);
    if (!v || !v->buffer || (mute != 0) == (v->muted != 0)) return 0;
    CSoundLock lock;
    const Result r = v->buffer->SetVolume(mute ? host::sound::kVolumeMin : v->appliedVolume);
    v->muted = mute ? 1 : 0;
    return r == Result::Ok ? 1 : 0;
}

i32 CSoundBuffer::SetMuteAll(u32 mute)
{
    for (u32 i = 0; i < GetVoiceCount(); ++i) SetMute(i, mute);
    return 1;
}

i32 CSoundBuffer::SetFade(u32 voice, i32 target, i32 step)
{
    SoundVoice* v = Voice(voice);
    if (!v || !v->buffer) return 0;
    v->fadeTarget = std::clamp(target, host::sound::kVolumeMin, host::sound::kVolumeMax);
    v->fadeStep = step;
    if (step != 0) m_stepVoices = true;
    return 1;
}

// ---------------------------------------------------------------- 3D

i32 CSoundBuffer::Set3DMode(u32 voice, u32 mode)
{
    SoundVoice* v = Voice(voice);
    return v ? Set3DModeOf(*v, mode) : 0;
}

i32 CSoundBuffer::Set3DModeOf(SoundVoice& v, u32 mode)
{
    if (!v.buffer || mode == v.mode3D) return 0;
    v.mode3D = mode;
    if (mode != kMode3DDisable) m_stepVoices = true;
    if (v.has3D) {
        // Software mode does its own placement: the device's is switched off.
        v.buffer->SetMode3D(mode == kMode3DSoftware ? kMode3DDisable : mode, host::sound::kApplyImmediate);
    } else if (mode == kMode3DDisable && (m_bufferFlags & kCtrlPan)) {
        v.pan = 0;
        v.buffer->SetPan(0);
    }
    return 1;
}

i32 CSoundBuffer::SetPosition3D(u32 voice, const CVector3* position, f32 minDistance, u32 mode)
{
    SoundVoice* v = Voice(voice);
    if (!v || !v->buffer) return 0;
    if (position) {
        v->position = *position;
        if (v->has3D) v->buffer->SetPosition3D(ToHost(*position), host::sound::kApplyImmediate);
    }
    v->minDistance = minDistance;
    if (v->has3D) v->buffer->SetMinDistance(minDistance, host::sound::kApplyImmediate);
    if (mode == kMode3DNormal && SoftwareListener()) mode = kMode3DSoftware;
    Set3DModeOf(*v, mode);
    return 1;
}

i32 CSoundBuffer::SetMinDistance(u32 voice, f32 distance)
{
    SoundVoice* v = Voice(voice);
    if (!v || !v->buffer) return 0;
    v->minDistance = distance;
    if (v->has3D) v->buffer->SetMinDistance(distance, host::sound::kApplyImmediate);
    return 1;
}

i32 CSoundBuffer::SetVoicePosition(u32 voice, const CVector3* position)
{
    SoundVoice* v = Voice(voice);
    if (!v || !v->buffer || !position) return 0;
    v->position = *position;
    if (v->has3D) v->buffer->SetPosition3D(ToHost(*position), host::sound::kApplyImmediate);
    return 1;
}

i32 CSoundBuffer::SetVoiceFollow(u32 voice, const CVector3* position)
{
    SoundVoice* v = Voice(voice);
    if (!v || !v->buffer || !position) return 0;
    v->follow = position;
    return 1;
}

i32 CSoundBuffer::SetVoiceVelocity(u32 voice, const CVector3* velocity)
{
    SoundVoice* v = Voice(voice);
    if (!v || !v->buffer || !velocity || !v->has3D) return 0;
    return v->buffer->SetVelocity3D(ToHost(*velocity), host::sound::kApplyImmediate) == Result::Ok ? 1 : 0;
}

// ---------------------------------------------------------------- per frame

i32 CSoundBuffer::Update()
{
    // A battle holds hundreds of voices and few of them play: one without
    // a fade, 3D placement or a polled stream has nothing to step.
    if (!m_stepVoices) return 1;
    bool busy = IsStreamed() && !IsNotifyStreamed();
    for (auto& v : m_voices) {
        UpdateVoice(*v, 0);
        busy = busy || (v->buffer && (v->fadeStep != 0 || v->mode3D != kMode3DDisable));
    }
    m_stepVoices = busy;
    return 1;
}

i32 CSoundBuffer::UpdateVoiceAt(u32 voice, u32 force)
{
    SoundVoice* v = Voice(voice);
    return v ? UpdateVoice(*v, force) : 0;
}

i32 CSoundBuffer::UpdateVoice(SoundVoice& v, u32 force)
{
    if (!v.buffer) return 0;
    UpdateVoice3D(v, force);
    UpdateStream(v, force);
    if (v.mode3D != kMode3DDisable) {
        if (!force && !IsPlayingVoice(v)) {
            v.follow = nullptr;
            Set3DModeOf(v, kMode3DDisable);
        } else if (v.follow) {
            v.position = *v.follow;
            if (v.has3D) v.buffer->SetPosition3D(ToHost(v.position), host::sound::kApplyImmediate);
        }
    }
    return 1;
}

void CSoundBuffer::UpdateVoice3D(SoundVoice& v, u32 force)
{
    if (v.fadeStep != 0) {
        v.baseVolume += v.fadeStep;
        if (v.fadeStep > 0) {
            if (!(v.baseVolume < 0 && v.baseVolume < v.fadeTarget)) {
                v.baseVolume = v.fadeTarget;
                v.fadeStep = 0;
            }
        } else if (!(v.baseVolume > host::sound::kVolumeMin && v.baseVolume > v.fadeTarget)) {
            v.baseVolume = v.fadeTarget;
            v.fadeStep = 0;
            StopVoice(v, 1);
        }
        SetVolumeOf(v, v.baseVolume);
    }
    const CListener* listener = CurrentListener();
    if (!listener || v.mode3D != kMode3DSoftware) return;
    if (!force && !IsPlayingVoice(v)) {
        v.follow = nullptr;
        Set3DModeOf(v, kMode3DDisable);
        return;
    }
    CSoundLock lock;
    UpdateSoftware3D(v, *listener);
}

void CSoundBuffer::UpdateSoftware3D(SoundVoice& v, const CListener& listener)
{
    const CVector3 relative = v.position - listener.GetPosition();
    const f32 distance = relative.Length();

    i32 volume = v.baseVolume;
    if (distance >= v.maxDistance) {
        volume = host::sound::kVolumeMin;
    } else if (distance > v.minDistance) {
        // 30 hundredths of a decibel per unit beyond the min distance.
        const double drop = double(distance - v.minDistance) * 30.0 * double(listener.GetRolloffFactor());
        const double attenuated = double(v.baseVolume) - std::trunc(drop);
        volume = i32(std::clamp(attenuated, double(host::sound::kVolumeMin), double(v.baseVolume)));
    }
    if (!v.muted) v.buffer->SetVolume(volume);
    v.appliedVolume = volume;

    i32 pan = 0;
    if (distance > v.minDistance) {
        const double nearness =
            v.minDistance == 0.0f ? 1.0 : std::min(1.0, double((distance - v.minDistance) / v.minDistance));
        const CVector3& front = listener.GetFront();
        const f32 yaw = f32(Atan2F(front.x, front.z) * 180.0 / kPi);
        CMatrix turn;
        turn.RotationY(-yaw);
        CVector3 side = relative;
        side.TransformCoord(turn);
        side.Normalize();
        const double x = side.x;
        pan = i32(std::trunc(nearness * 5000.0 * (x < 0 ? -x * x : x * x)));
    }
    v.pan = pan;
    v.buffer->SetPan(pan);
}

f32 CSoundBuffer::GetVoiceParam(u32 voice) const
{
    const SoundVoice* v = Voice(voice);
    return v && v->buffer ? v->playTime : 0.0f;
}
