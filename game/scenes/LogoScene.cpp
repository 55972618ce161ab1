#include "game/scenes/LogoScene.h"

#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Movie.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/TitleScene.h"
#include "host/kernel/Kernel.h"
#include "host/render/Render.h"

#include <algorithm>
#include <string>

namespace {

// The logo's top-left corner on the 1024 x 768 layout.
constexpr f32 kLogoLeft = 512.0f - 244.0f;
constexpr f32 kLogoTop = 384.0f - 132.0f;

}  // namespace

CRect4 MovieSourceRect(i32 frameWidth, i32 frameHeight, u32 side)
{
    CRect4 rect;
    rect.Set(0.0f, f32(std::clamp<i64>(frameWidth, 0, side)), 0.0f, f32(std::clamp<i64>(frameHeight, 0, side)));
    return rect;
}

CLogoScene::CLogoScene() = default;

CLogoScene::CLogoScene(const CLogoScene& other)
    : CSceneResource(other),
      IDeviceResetListener(other),
      m_logo(other.m_logo),
      m_phase(other.m_phase),
      m_hold(other.m_hold),
      m_voice(other.m_voice)
{
}

CLogoScene::~CLogoScene() { CLogoScene::Release(); }

i32 CLogoScene::Release()
{
    m_movie.reset();
    m_movieTexture.reset();
    m_moviePlaying = 0;
    return CSceneResource::Release();
}

bool CLogoScene::MovieDisplay() const
{
    CGameApp* app = GetGameApp();
    CSaveConfig* config = app ? app->GetSaveConfig() : nullptr;
    return config && config->GetGraphicsSettings()->movieDisplay != 0;
}

i32 CLogoScene::CreateMovieTexture()
{
    using namespace host::render;
    auto texture = std::make_unique<CTexture>();
    if (!texture->Create(kMovieTextureSide, kMovieTextureSide, kUsageDynamic, kFormatA8R8G8B8, kPoolDefault) &&
        !texture->Create(kMovieTextureSide, kMovieTextureSide, 0, kFormatA8R8G8B8, kPoolManaged))
        return 0;
    texture->Clear();
    m_movieTexture = std::move(texture);
    return 1;
}

i32 CLogoScene::Initialize(intptr_t /*argument*/)
{
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    m_logo = menu::FindTexture(kLogoTexture);
    if (!m_logo) return menu::Missing(kLogoTexture);
    const f32 scale = app->GetLayoutScale();
    SetScale(scale, scale);
    SetTextureAll(m_logo);
    m_voice = menu::FindSound(kLogoVoice);
    if (!m_voice) return menu::Missing(kLogoVoice);
    // No file is missing when the texture cannot be made: the failure names
    // nothing.
    if (MovieDisplay() && !CreateMovieTexture()) return 0;
    m_phase = 0;
    m_moviePlaying = 0;
    m_hold = 0.0f;
    SetAlpha(0.0f);
    return 1;
}

void CLogoScene::OnDeviceLost() { m_movieTexture.reset(); }

void CLogoScene::OnDeviceReset()
{
    // Without a texture the movie plays on unseen rather than stopping the
    // game.
    if (MovieDisplay()) CreateMovieTexture();
}

bool CLogoScene::StartMovie()
{
    CGameApp* app = GetGameApp();
    m_movie = std::make_unique<CMovie>();
    if (!app->OpenMovie(kMovie, m_movie.get())) {
        // The folder drawn has no movie that plays: the other one may.
        const std::string tried = host::kernel::GetCurrentDirectory();
        app->SetDataFolder(1);
        if (host::kernel::GetCurrentDirectory() == tried) app->SetDataFolder(0);
        if (!m_movie->Open(kMovie)) {
            m_movie.reset();
            return false;
        }
    }
    if (CSaveConfig* config = app->GetSaveConfig()) m_movie->SetVolume(config->GetBgmVolume());
    if (!m_movie->Play()) {
        m_movie.reset();
        return false;
    }
    m_moviePlaying = 1;
    return true;
}

i32 CLogoScene::GoTitle()
{
    if (m_movie) m_movie->Stop();
    m_movie.reset();
    m_moviePlaying = 0;
    return GetGameApp()->ChangeScene(new CTitleScene, 0);
}

i32 CLogoScene::Update(u32 /*argument*/)
{
    const f32 dt = GetFrameTime();
    if (m_phase == 0) {
        if (GetAlpha() < 1.0f) {
            SetAlpha(menu::Approach(GetAlpha(), dt));
            if (GetAlpha() >= 1.0f) menu::PlayVoice(m_voice);
        } else {
            m_hold += dt;
            if (m_hold >= kHoldSeconds) m_phase = 1;
        }
        return 1;
    }
    if (!m_moviePlaying) {
        SetAlpha(GetAlpha() - dt);
        if (GetAlpha() > 0.0f) return 1;
        SetAlpha(0.0f);
        // No movie to show, or none that plays: straight to the title.
        if (!MovieDisplay() || !StartMovie()) return GoTitle();
        return 1;
    }
    if (menu::AnyTriggered() || m_movie->GetPosition() >= m_movie->GetStopTime()) return GoTitle();
    return 1;
}

u32 CLogoScene::OnMessage(u32 /*message*/, intptr_t /*parameter*/) { return 1; }

i32 CLogoScene::Draw(u32 /*argument*/)
{
    menu::SetLayoutViewport();
    if (m_moviePlaying && m_movie) {
        DrawMovie();
    } else {
        DrawLogo();
    }
    return 1;
}

void CLogoScene::DrawMovie()
{
    CGameApp* app = GetGameApp();
    if (!app || !m_movieTexture) return;
    // A frame that cannot be read leaves the last one in the texture.
    if (const u8* frame = m_movie->GetFrame())
        m_movieTexture->SetPixels(u32(m_movie->GetFrameWidth()), u32(m_movie->GetFrameHeight()), frame, 3);
    // Only the part of the frame the texture holds, so a frame larger than
    // the texture is cut rather than stretched from texels it never got.
    const CRect4 source = MovieSourceRect(m_movie->GetFrameWidth(), m_movie->GetFrameHeight(), kMovieTextureSide);
    CRect4 destination;
    destination.Set(0.0f, app->GetLayoutWidth(), 0.0f, f32(app->GetClientHeight()));
    // Frames come bottom row first.
    m_movieTexture->DrawRect(&destination, &source, 0xFFFFFFFFu, kOrientMirrorY);
}

void CLogoScene::DrawLogo()
{
    const u32 colour = GetSceneState().colour.ToARGB();
    FillScreenRect(nullptr, colour);
    if (!m_logo) return;
    const CLayerState& state = GetSceneState();
    m_logo->DrawSpriteTopLeft(kLogoLeft * state.scaleX, kLogoTop * state.scaleY, nullptr, state.scaleX, state.scaleY,
        colour, kOrientNormal, 0, 0);
}
