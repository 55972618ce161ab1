// CMovie: a movie played through the movie service, whose current frame the
// caller copies every frame into a texture of its own (the opening and the
// ending movies). Open, Play, then GetFrame each frame until the position
// reaches the stop time or the player skips; Stop rewinds. The class tells
// no end of the movie; the caller decides when to stop.
//
// Frames are width x height pixels of 3 bytes, blue, green, red in memory,
// packed, the bottom row first: the caller draws its texture mirrored top to
// bottom. The sound plays through the process's sound device when there is
// one, else the movie is silent.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"

#include <memory>

namespace host::movie { class Movie; }

class CMovie : public CResourceBase {
public:
    static constexpr u8 kResourceType = 64;
    static constexpr u32 kStateStopped = 0;
    static constexpr u32 kStatePlaying = 2;

    CMovie();
    CMovie(const CMovie&) = delete;
    CMovie& operator=(const CMovie&) = delete;
    ~CMovie() override;

    // Opens path (code page 932, '\' or '/'); its name becomes path. 1, or 0
    // when it cannot be opened or is no movie that can be played. A movie
    // already open is released first.
    i32 Open(const char* path);
    // Takes the frame size, makes the frame buffer and starts the movie from
    // its position (the start after Open or Stop). 1/0.
    i32 Play();
    // The frame buffer, now holding the frame that shows; null when nothing
    // is open or playing, or when the frame cannot be read (the caller keeps
    // what it drew last).
    u8* GetFrame();
    // While playing: stops, rewinds to the start and frees the frame buffer.
    // 1, also when it was not playing; 0 when the movie cannot stop.
    i32 Stop();
    // Stop; 0 when that fails.
    i32 Close();
    // Closes, frees the frame buffer and the movie, then the name. 1.
    i32 Release() override;

    // Taken by Play.
    i32 GetFrameWidth() const { return m_width; }
    i32 GetFrameHeight() const { return m_height; }
    i32 GetFrameSize() const { return m_frameSize; }
    u32 GetState() const { return m_state; }

    // The sound's volume in hundredths of a decibel (-10000..0): 1 when the
    // movie has sound that takes it.
    i32 SetVolume(i32 volume);
    // Seconds from the start, at most the stop time; 0 without a movie.
    f64 GetPosition();
    f64 GetCurrentPosition() { return GetPosition(); }
    // Seconds from the start to the end; 0 without a movie.
    f64 GetStopTime() const;

private:
    void FreeFrameBuffer();

    std::unique_ptr<host::movie::Movie> m_movie;   // null until Open
    i32 m_frameSize = 0;
    u8* m_frameBuffer = nullptr;                   // 16-byte aligned; null when not playing
    i32 m_width = 0;
    i32 m_height = 0;
    u32 m_state = kStateStopped;
};
