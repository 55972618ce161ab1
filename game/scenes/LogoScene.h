// CLogoScene: the studio logo on white with its voice, then the opening
// movie when the configuration shows movies, then the title.
//
// Its Load runs on the start-up loader thread: it only finds what the global
// load registered, and makes the movie texture (the device makes it on its
// own thread when the loader cannot).
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <cstdint>
#include <memory>

class CMovie;
class CSoundBuffer;
class CTexture;

class CLogoScene : public CSceneResource, public IDeviceResetListener {
    ORV_VALUE_CLASS(CLogoScene)

public:
    static constexpr const char* kLogoTexture = "Circle_logo.dds";
    static constexpr const char* kLogoVoice = "Vo_logo_vantorel.ogg";
    static constexpr const char* kMovie = "Movie\\OP.mpg";
    static constexpr u32 kMovieTextureSide = 1024;
    static constexpr f32 kHoldSeconds = 2.0f;

    CLogoScene();
    // The state and the found resources; the movie and its texture are the
    // original's alone.
    CLogoScene(const CLogoScene& other);
    CLogoScene& operator=(const CLogoScene&) = delete;
    ~CLogoScene() override;

    i32 Release() override;
    // argument ignored.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;

    // The movie texture lives in the default pool: given up before a device
    // reset, made again (and cleared) after it.
    void OnDeviceLost() override;
    void OnDeviceReset() override;

    u32 GetPhase() const { return m_phase; }
    bool IsMoviePlaying() const { return m_moviePlaying != 0; }
    CTexture* GetMovieTexture() const { return m_movieTexture.get(); }

private:
    f32 GetAlpha() const { return GetSceneState().colour.w; }
    void SetAlpha(f32 alpha) { GetSceneState().colour.w = alpha; }
    bool MovieDisplay() const;
    i32 CreateMovieTexture();
    // Starts the opening movie; false when no data folder has one.
    bool StartMovie();
    // Replaces this scene with a new title; this scene is gone after it.
    i32 GoTitle();
    void DrawMovie();
    void DrawLogo();

    CTexture* m_logo = nullptr;         // the resource controller's
    u32 m_phase = 0;                    // 0 fade-in and hold, 1 fade-out and movie
    u32 m_moviePlaying = 0;
    f32 m_hold = 0.0f;
    CSoundBuffer* m_voice = nullptr;    // the resource controller's
    std::unique_ptr<CMovie> m_movie;
    std::unique_ptr<CTexture> m_movieTexture;
};

// The part of a frameWidth x frameHeight movie frame that a side x side
// texture holds: {0, 0, min(width, side), min(height, side)}.
CRect4 MovieSourceRect(i32 frameWidth, i32 frameHeight, u32 side);
