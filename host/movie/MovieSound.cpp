#include "host/movie/MovieSound.h"

#include <algorithm>
#include <cstring>

namespace host::movie {

namespace sound = host::sound;

std::unique_ptr<MovieSound> MovieSound::Create(sound::Device& device, uint32_t rate, uint16_t channels)
{
    if (rate < sound::kFrequencyMin || rate > sound::kFrequencyMax || channels < 1 || channels > 2) return nullptr;
    sound::BufferDesc desc;
    desc.flags = sound::kBufferCtrlVolume | sound::kBufferGetCurrentPosition2;
    desc.format = sound::PcmFormat(rate, channels, 16);
    desc.bytes = rate * kRingSeconds * desc.format.blockAlign;
    std::unique_ptr<sound::Buffer> buffer;
    if (device.CreateBuffer(desc, buffer) != sound::Result::Ok) return nullptr;
    return std::unique_ptr<MovieSound>(new MovieSound(std::move(buffer), rate, channels));
}

MovieSound::MovieSound(std::unique_ptr<sound::Buffer> buffer, uint32_t rate, uint16_t channels)
    : buffer_(std::move(buffer)), rate_(rate), channels_(channels), ringFrames_(rate * kRingSeconds),
      leadFrames_(rate * kLeadSeconds)
{
}

bool MovieSound::WriteRing(uint64_t at, uint64_t count, const int16_t* data)
{
    count = std::min<uint64_t>(count, ringFrames_);
    if (count == 0) return true;
    const uint32_t block = uint32_t(channels_) * 2;
    sound::LockedRegions regions;
    sound::Result r = buffer_->Lock(uint32_t(at % ringFrames_) * block, uint32_t(count) * block, regions);
    if (r == sound::Result::BufferLost && buffer_->Restore() == sound::Result::Ok)
        r = buffer_->Lock(uint32_t(at % ringFrames_) * block, uint32_t(count) * block, regions);
    if (r != sound::Result::Ok) return false;
    auto put = [&](void* to, uint32_t bytes, size_t from) {
        if (!to) return;
        if (data) std::memcpy(to, reinterpret_cast<const uint8_t*>(data) + from, bytes);
        else std::memset(to, 0, bytes);
    };
    put(regions.first, regions.firstBytes, 0);
    put(regions.second, regions.secondBytes, regions.firstBytes);
    return buffer_->Unlock(regions) == sound::Result::Ok;
}

Result MovieSound::Start(const Source& source)
{
    Stop();
    written_ = played_ = 0;
    lastCursor_ = 0;
    if (buffer_->SetCurrentPosition(0) != sound::Result::Ok || !WriteRing(0, ringFrames_, nullptr))
        return Result::Failed;
    playing_ = true;
    Feed(source, 0);
    sound::Result r = buffer_->Play(sound::kPlayLooping);
    if (r == sound::Result::BufferLost && buffer_->Restore() == sound::Result::Ok) r = buffer_->Play(sound::kPlayLooping);
    if (r != sound::Result::Ok) {
        playing_ = false;
        return Result::Failed;
    }
    return Result::Ok;
}

void MovieSound::Stop()
{
    if (playing_) buffer_->Stop();
    playing_ = false;
}

bool MovieSound::UpdatePlayed(uint64_t clockMs)
{
    uint32_t cursor = 0;
    if (buffer_->GetCurrentPosition(&cursor, nullptr) != sound::Result::Ok) return false;
    cursor /= uint32_t(channels_) * 2;
    const uint64_t before = played_;
    played_ += (uint64_t(cursor) + ringFrames_ - lastCursor_) % ringFrames_;
    lastCursor_ = cursor;
    // Whole rings the cursor went round unseen.
    const uint64_t expected = clockMs * rate_ / 1000;
    if (expected > played_ + ringFrames_ / 2)
        played_ += (expected - played_ + ringFrames_ / 2) / ringFrames_ * ringFrames_;
    // Played frames are cleared: a refill that comes late leaves silence.
    // They lie behind the frames still to play, which stay.
    return WriteRing(before, played_ - before, nullptr);
}

void MovieSound::Feed(const Source& source, uint64_t clockMs)
{
    if (!playing_ || !UpdatePlayed(clockMs)) return;
    if (written_ < played_) {
        // Too late for these: drop them so what follows plays at its time.
        const uint64_t late = played_ - written_;
        source(nullptr, size_t(late));
        written_ = played_;
    }
    const uint64_t want = played_ + leadFrames_ - written_;
    if (want == 0 || want > leadFrames_) return;
    scratch_.resize(size_t(want) * channels_);
    const size_t got = source(scratch_.data(), size_t(want));
    if (got == 0) return;
    // Kept in step even when the buffer cannot take them.
    WriteRing(written_, got, scratch_.data());
    written_ += got;
}

Result MovieSound::SetVolume(int32_t volume)
{
    if (volume < sound::kVolumeMin || volume > sound::kVolumeMax) return Result::InvalidParam;
    return buffer_->SetVolume(volume) == sound::Result::Ok ? Result::Ok : Result::Failed;
}

}  // namespace host::movie
