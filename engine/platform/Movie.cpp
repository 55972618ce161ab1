#include "engine/platform/Movie.h"

#include "engine/core/Memory.h"
#include "engine/platform/Sound.h"

#include "host/movie/Movie.h"

using MovieResult = host::movie::Result;

CMovie::CMovie() { SetType(kResourceType); }

CMovie::~CMovie() { CMovie::Release(); }

void CMovie::FreeFrameBuffer()
{
    AlignedFree(m_frameBuffer);
    m_frameBuffer = nullptr;
}

i32 CMovie::Open(const char* path)
{
    if (!path) return 0;
    // Opening over an open movie would leave the first one playing unseen.
    if (m_movie) Release();
    CSound* sound = GetSoundDeviceGlobal();
    if (host::movie::OpenMovie(path, sound ? sound->GetDevice() : nullptr, m_movie) != MovieResult::Ok) return 0;
    SetName(path);
    return 1;
}

i32 CMovie::Play()
{
    if (!m_movie) return 0;
    const host::movie::MovieInfo& info = m_movie->Info();
    m_frameSize = i32(info.frameBytes);
    // Playing again while playing keeps the buffer it has.
    if (!m_frameBuffer) {
        m_frameBuffer = static_cast<u8*>(AlignedAlloc(info.frameBytes, 16));
        if (!m_frameBuffer) return 0;
    }
    m_width = i32(info.width);
    m_height = i32(info.height);
    if (m_movie->Play() != MovieResult::Ok) {
        if (m_state != kStatePlaying) FreeFrameBuffer();
        return 0;
    }
    m_state = kStatePlaying;
    return 1;
}

u8* CMovie::GetFrame()
{
    if (!m_movie || !m_frameBuffer) return nullptr;
    if (m_movie->GetFrame(m_frameBuffer, u32(m_frameSize)) != MovieResult::Ok) return nullptr;
    return m_frameBuffer;
}

i32 CMovie::Stop()
{
    if (m_state != kStatePlaying) return 1;
    if (m_movie->Stop() != MovieResult::Ok) return 0;
    m_state = kStateStopped;
    FreeFrameBuffer();
    return 1;
}

i32 CMovie::Close() { return Stop() ? 1 : 0; }

i32 CMovie::Release()
{
    Close();
    FreeFrameBuffer();
    m_movie.reset();
    m_state = kStateStopped;
    return CResourceBase::Release();
}

i32 CMovie::SetVolume(i32 volume) { return m_movie && m_movie->SetVolume(volume) == MovieResult::Ok ? 1 : 0; }

f64 CMovie::GetPosition() { return m_movie ? m_movie->GetPosition() : 0.0; }

f64 CMovie::GetStopTime() const { return m_movie ? m_movie->Info().stopTime : 0.0; }
