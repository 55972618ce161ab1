#include "game/scenes/StoryScene.h"

#include "engine/core/Crc32.h"
#include "engine/core/FloatMath.h"
#include "engine/core/PackFile.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/StencilMask.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Movie.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleScene.h"
#include "game/data/SaveConfig.h"
#include "game/data/StorySetting.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/LogoScene.h"
#include "game/scenes/TitleScene.h"
#include "host/render/Render.h"

#include <algorithm>
#include <utility>

namespace {

// The slide-ins: (start, duration) in seconds of the three picture kinds
// and the versus mark.
struct Slide {
    f32 start, duration;
};
constexpr Slide kPictureSlides[3] = {{0.2f, 0.3f}, {0.2f, 0.5f}, {0.25f, 0.5f}};
constexpr Slide kVersusSlide = {0.8f, 0.4f};
// The panel fades in from 1.4 s over 0.6 s.
constexpr f32 kBaseStart = 1.4f, kBaseFade = 0.6f;

// Variant stages show a base stage's picture beneath their own.
i32 BaseStageOf(u32 stage)
{
    switch (stage) {
    case 1: return 0;
    case 3: return 2;
    case 5:
    case 9: return 4;
    case 13: return 7;
    case 14: return 8;
    case 17: return 16;
    default: return -1;
    }
}

u32 AlphaWhite(f32 alpha) { return (u32(std::clamp(alpha, 0.0f, 1.0f) * 255.0f) << 24) | 0xFFFFFFu; }

void Show(CSceneObject* layer, bool visible)
{
    if (layer) layer->SetVisible(visible ? 1 : 0);
}


}  // namespace

CStoryScene::CStoryScene() = default;

CStoryScene::CStoryScene(const CStoryScene& other)
    : CSceneResource(other),
      IDeviceResetListener(other),
      m_overlay(other.m_overlay),
      m_elapsed(other.m_elapsed),
      m_preview(other.m_preview),
      m_prologue(other.m_prologue),
      m_secondGroup(other.m_secondGroup),
      m_text(other.m_text),
      m_endTime(other.m_endTime),
      m_speed(other.m_speed),
      m_facts(other.m_facts)
{
    // The layers take a copy of the texture: the other scene's goes with it.
    m_texture = other.m_texture ? std::make_unique<CTexture>(*other.m_texture) : nullptr;
    SetTextureAll(m_texture.get());
    if (other.m_camera) m_camera = std::make_unique<CCamera>(*other.m_camera);
    if (other.m_music) m_music = std::make_unique<CSoundBuffer>(*other.m_music);
    m_story = FindLayer("Story");
    m_frame = FindLayer(m_prologue ? "pro" : "epi");
    if (m_preview) FindPreviewElements();
}

CStoryScene::~CStoryScene() { CStoryScene::Release(); }

i32 CStoryScene::Release()
{
    // The loader first: nothing it touches goes before it ends.
    m_loader.Join();
    m_camera.reset();
    menu::ReleaseEffect(m_effect);
    // Once the loader ran the battle's Load, the set-up is the battle's:
    // deleting the battle deletes it, whether its Load succeeded or not.
    m_battle.reset();
    m_setup.reset();
    m_texture.reset();
    if (m_music) m_music->StopAll(1);
    m_music.reset();
    if (m_movie) m_movie->Stop();
    m_movie.reset();
    m_movieTexture.reset();
    m_moviePlaying = 0;
    m_story = m_frame = m_base = m_prompt = m_loading = nullptr;
    return CSceneResource::Release();
}

CStoryProgress* CStoryScene::Progress() const
{
    return m_setup ? dynamic_cast<CStoryProgress*>(m_setup->GetProgress()) : nullptr;
}

CStoryScene::Screen CStoryScene::GetScreen() const
{
    if (m_preview) return kPreview;
    return m_prologue ? kPrologue : kEnding;
}

i32 CStoryScene::Initialize(intptr_t argument)
{
    CGameApp* app = GetGameApp();
    const auto* block = reinterpret_cast<const MenuSetupArgs*>(argument);
    if (block) {
        // Ours from here on, whatever follows.
        m_setup.reset(block->setup);
        m_effect = block->effect;
        m_overlay = block->curtain;
        SetAlpha(block->alpha);
    } else {
        m_setup = std::make_unique<CBattleSetup>(app ? app->GetSaveConfig() : nullptr);
        if (!AdvanceStory(m_setup.get())) {
            const CStoryProgress* progress = Progress();
            // The box names the file: "<file> cannot be read".
            return menu::Missing(progress && !progress->faultFile.empty() ? progress->faultFile.c_str()
                                                                          : story::PrologueFile(0).c_str());
        }
        m_overlay = 1.0f;
        SetAlpha(1.0f);
    }
    const CStoryProgress* progress = Progress();
    if (!app || !progress || !progress->chapter) return menu::Missing(story::DescribeFault(story::Fault::kNoSetup));
    // A story handed over refused: the old chapter would be fought again.
    if (progress->fault != story::Fault::kNone) return menu::Missing(progress->FaultText().c_str());
    const CBattleEntry* player = m_setup->GetEntry(0);
    m_secondGroup = player && story::SecondGroup(player->UsedCharacter());

    const char* layout = m_secondGroup ? story::kLayoutSecond : story::kLayout;
    if (!LoadFromFile(layout)) return menu::Missing(layout);
    const f32 scale = app->GetLayoutScale();
    SetScale(scale, scale);
    const char* texture = m_secondGroup ? story::kTextureSecond : story::kTexture;
    m_texture = loading::LoadBackground(&texture, 1, 0);
    if (!m_texture) return menu::Missing(texture);
    SetTextureAll(m_texture.get());
    m_camera.reset(app->CreateDefaultCamera());

    if (!progress->first && !progress->ended) {
        if (!LoadPreview()) return 0;
        // Only the animation: a loader that did not start is met by the
        // first Update, once this scene is current.
        AnimatePreview();
        return CSceneResource::Update(0);
    }
    return LoadText(progress->first != 0);
}

// -- The text screens. --

i32 CStoryScene::LoadText(bool prologue)
{
    const CStoryProgress* progress = Progress();
    m_preview = false;
    m_prologue = prologue;
    m_text = progress->chapter->text.GetText() ? progress->chapter->text.GetText() : "";
    m_endTime = progress->chapter->values.endTime;
    m_speed = progress->chapter->values.speed;
    m_story = FindLayer("Story");
    m_frame = FindLayer(prologue ? "pro" : "epi");
    if (!m_effect && !(m_effect = menu::StartMenuEffect())) return 0;
    if (!prologue) {
        if (!OpenMovie()) return menu::Missing(story::kEndingMovie);
        // No file is missing when the texture cannot be made.
        if (!CreateMovieTexture()) return 0;
    }
    const char* music = prologue ? story::kPrologueMusic
                                 : (m_secondGroup ? story::kEndingMusicSecond : story::kEndingMusic);
    if (!LoadMusic(music)) return menu::Missing(music);
    m_elapsed = 0.0f;
    m_leave = 0;
    m_moviePlaying = 0;
    return CSceneResource::Initialize(0);
}

i32 CStoryScene::LoadMusic(const char* entry)
{
    CGameApp* app = GetGameApp();
    const std::unique_ptr<CResourceList> packs =
        app->OpenPack(story::kMusicPack, Crc32String(story::kMusicPackName), kPackKeyFirst);
    auto music = std::make_unique<CSoundBuffer>();
    if (!packs || !app->LoadFromPackList(entry, packs.get(), music.get(), 1, 0)) return 0;
    m_music = std::move(music);
    menu::PlayMusic(m_music.get());
    return 1;
}

i32 CStoryScene::OpenMovie()
{
    CGameApp* app = GetGameApp();
    m_movie = std::make_unique<CMovie>();
    app->SetDataFolder(m_secondGroup ? 2 : 1);
    // The group's folder first, then whichever folder has one.
    if (m_movie->Open(story::kEndingMovie) || app->OpenMovie(story::kEndingMovie, m_movie.get())) return 1;
    m_movie.reset();
    return 0;
}

i32 CStoryScene::CreateMovieTexture()
{
    using namespace host::render;
    auto texture = std::make_unique<CTexture>();
    const u32 side = story::kMovieTextureSide;
    if (!texture->Create(side, side, kUsageDynamic, kFormatA8R8G8B8, kPoolDefault) &&
        !texture->Create(side, side, 0, kFormatA8R8G8B8, kPoolManaged))
        return 0;
    texture->Clear();
    m_movieTexture = std::move(texture);
    return 1;
}

void CStoryScene::OnDeviceLost() { m_movieTexture.reset(); }

void CStoryScene::OnDeviceReset()
{
    // Without a texture the movie plays on unseen rather than stopping.
    if (m_movie) CreateMovieTexture();
}

i32 CStoryScene::UpdateText()
{
    const f32 dt = GetFrameTime();
    if (!m_leave) {
        if (menu::AnyTriggered()) {
            m_leave = 1;
        } else if (m_elapsed >= m_endTime) {
            if (m_prologue) {
                m_leave = 1;
            } else if (!m_moviePlaying) {
                m_overlay = menu::Approach(m_overlay, kFadeSpeed * dt);
                if (m_overlay >= 1.0f) {
                    // A movie that does not play ends the story as its end would.
                    if (m_movie && m_movie->Play()) m_moviePlaying = 1;
                    else m_leave = 1;
                }
            } else if (m_movie->GetPosition() >= m_movie->GetStopTime()) {
                m_leave = 1;
            }
        }
        return CSceneResource::Update(0);
    }
    m_overlay = menu::Approach(m_overlay, kFadeSpeed * dt);
    if (m_overlay < 1.0f) return CSceneResource::Update(0);
    if (!m_prologue) return GoTitle();
    return EndPrologue();
}

i32 CStoryScene::EndPrologue()
{
    if (!AdvanceStory(m_setup.get())) {
        const CStoryProgress* progress = Progress();
        return Refuse(progress ? progress->FaultText() : std::string());
    }
    // The crowd is gone for good: nothing may update or draw it again.
    menu::ReleaseEffect(m_effect);
    if (m_music) m_music->StopAll(1);
    if (!LoadPreview()) return Refuse(GetGameApp()->TakeLoadError());
    return UpdatePreview();
}

// -- The preview. --

void CStoryScene::FindPreviewElements()
{
    m_base = FindLayer("Base");
    m_prompt = FindLayer("pre");
    m_loading = FindLayer("load");
    m_dotLayers[0] = FindLayer(".1");
    m_dotLayers[1] = FindLayer(".2");
    m_dotLayers[2] = FindLayer(".3");
    m_groups[0] = FindLayer("1P");
    m_groups[1] = FindLayer("2P");
    for (u32 side = 0; side < 2; ++side)
        for (u32 kind = 0; kind < 3; ++kind)
            m_slots[side][kind] = FindLayer(story::SlotName(kind, side, m_secondGroup).c_str());
    m_versus[0] = FindLayer("v");
    m_versus[1] = FindLayer("s");
    for (u32 i = 0; i < story::kNumberSlots; ++i) m_captions[i] = FindLayer(i == story::kFinalSlot ? "bat" : "bat1");
}

void CStoryScene::ShowPreviewElements()
{
    const PreviewFacts& f = m_facts;
    for (u32 i = 0; i < story::kMusic; ++i)
        Show(FindLayer(story::MusicName(i).c_str()), story::kMusicMap[i] == f.music);
    for (u32 c = 0; c < story::kCharacters; ++c) {
        Show(FindLayer(story::TitleName(c, false).c_str()), !f.final && c == f.opponent);
        Show(FindLayer(story::TitleName(c, true).c_str()), f.final && c == f.opponent);
    }
    const i32 base = BaseStageOf(f.stage);
    for (u32 s = 0; s + 1 < story::kStages; ++s)
        Show(FindLayer(story::StageName(s).c_str()), s == f.stage || i32(s) == base);
    const u32 slot = f.final ? story::kFinalSlot : u32(f.counter);
    for (CSceneObject* caption : m_captions) Show(caption, false);
    for (u32 i = 0; i < story::kNumberSlots; ++i) Show(FindLayer(story::NumberName(i).c_str()), i == slot);
    // Checked by AdvanceStory: the counter indexes the ten slots.
    if (slot < story::kNumberSlots) Show(m_captions[slot], true);
}

i32 CStoryScene::LoadPreview()
{
    CStoryProgress* progress = Progress();
    CGameApp* app = GetGameApp();
    if (!progress || !progress->chapter || !app) return menu::Missing(story::DescribeFault(story::Fault::kNoSetup));
    m_preview = true;
    m_text = progress->chapter->text.GetText() ? progress->chapter->text.GetText() : "";
    m_endTime = progress->chapter->values.endTime;
    m_speed = progress->chapter->values.speed;
    // Read now: the battle's Load takes the set-up.
    m_facts.player = m_setup->entries[0].UsedCharacter();
    m_facts.opponent = m_setup->entries[1].character;
    m_facts.music = m_setup->option.music;
    m_facts.stage = m_setup->option.stage;
    m_facts.counter = progress->counter;
    m_facts.final = progress->chapter->values.lastFlag != 0;
    FindPreviewElements();
    ShowPreviewElements();
    m_battle = std::make_unique<CBattleScene>(app->BattleApp());
    m_elapsed = 0.0f;
    m_dots = {};
    m_leave = 0;
    m_blink = 0.0f;
    m_overlay = 0.0f;
    if (!StartLoader()) return 0;
    return CSceneResource::Initialize(0);
}

i32 CStoryScene::StartLoader()
{
    CBattleScene* battle = m_battle.get();
    CBattleSetup* setup = m_setup.release();
    CGameApp* owner = GetGameApp();
    const bool started = m_loader.Start([owner, battle, setup]() {
        if (battle->Initialize(reinterpret_cast<intptr_t>(setup))) return true;
        loading::QueueLoadFailure(owner);
        return false;
    });
    // No thread: the Load never ran and the set-up is still ours.
    if (!started) {
        m_setup.reset(setup);
        loading::QueueLoadFailure(owner);
    }
    return 1;
}

void CStoryScene::SlideIn()
{
    for (u32 kind = 0; kind < 3; ++kind) {
        const f32 x = story::SlideOffset(m_elapsed, kPictureSlides[kind].start, kPictureSlides[kind].duration);
        if (m_slots[0][kind]) m_slots[0][kind]->SetOffset(x, 0.0f);
        if (m_slots[1][kind]) m_slots[1][kind]->SetOffset(-x, 0.0f);
    }
    const f32 x = story::SlideOffset(m_elapsed, kVersusSlide.start, kVersusSlide.duration);
    if (m_versus[0]) m_versus[0]->SetOffset(x, 0.0f);
    if (m_versus[1]) m_versus[1]->SetOffset(-x, 0.0f);
}

void CStoryScene::AnimatePreview()
{
    m_dots.Step(GetFrameTime());
    SlideIn();
    if (m_base) m_base->SetColorARGB(AlphaWhite((m_elapsed - kBaseStart) / kBaseFade));
}

i32 CStoryScene::UpdatePreview()
{
    const f32 dt = GetFrameTime();
    AnimatePreview();
    switch (m_loader.GetState()) {
    case loading::kLoaded:
        if (!m_leave) {
            if (menu::AnyTriggered()) m_leave = 1;
            m_blink += dt;
            if (m_prompt) m_prompt->SetColorARGB(AlphaWhite(AbsF(CosF(m_blink))));
            break;
        }
        SetAlpha(Alpha() - kFadeSpeed * dt);
        if (Alpha() <= 0.0f) {
            // The battle owns the set-up now; this scene forgets both.
            GetGameApp()->SetScene(m_battle.release());
            return 1;
        }
        break;
    case loading::kFailed:
        // The loader queued its reason.
        if (!m_reported) {
            m_reported = true;
            return Refuse({});
        }
        break;
    default: break;
    }
    return CSceneResource::Update(0);
}

// -- Every screen. --

i32 CStoryScene::Update(u32 argument)
{
    SetFrameTime(kFrameMs);
    const f32 dt = GetFrameTime();
    m_elapsed += dt;
    if (m_effect) m_effect->Update(0);
    const bool ended = !m_preview && !m_prologue;
    if (!m_leave) {
        if (m_overlay > 0.0f && (m_elapsed < m_endTime || !ended) && !m_moviePlaying) {
            m_overlay = std::max(m_overlay - kFadeSpeed * dt, 0.0f);
            return CSceneResource::Update(argument);
        }
        if (m_overlay <= 0.0f && Alpha() < 1.0f) {
            SetAlpha(menu::Approach(Alpha(), kFadeSpeed * dt));
            return CSceneResource::Update(argument);
        }
    }
    return m_preview ? UpdatePreview() : UpdateText();
}

i32 CStoryScene::Refuse(const std::string& text)
{
    CGameApp* app = GetGameApp();
    if (!text.empty()) app->QueueMessage(text);
    app->ShowMessages();
    return GoTitle();
}

i32 CStoryScene::GoTitle()
{
    if (m_movie) m_movie->Stop();
    m_moviePlaying = 0;
    TitleArgs args;
    args.effect = m_effect;
    args.curtain = 0.0f;
    args.alpha = 0.0f;
    args.item = title::kStory;
    // The title takes the effect.
    m_effect = nullptr;
    return GetGameApp()->ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&args));
}

i32 CStoryScene::SoundStep(u32 inactive, u32* lastInactive)
{
    // The battle's Load fills the sound list meanwhile: hands off.
    if (m_preview) return 1;
    if (lastInactive && inactive != *lastInactive) {
        CScene::SoundStep(inactive, lastInactive);
        if (m_music) m_music->SetMuteAll(inactive);
    } else {
        CScene::SoundStep(inactive, nullptr);
    }
    if (m_music) m_music->Update();
    return 1;
}

// -- Drawing. --

i32 CStoryScene::Draw(u32 /*argument*/)
{
    if (m_moviePlaying && m_movie) {
        menu::SetLayoutViewport();
        DrawMovie();
        return 1;
    }
    // The preview runs no effect while the battle loads (its Load seeds
    // the effects' generator).
    if (!m_preview) menu::DrawEffectBackground(m_camera.get(), m_effect);
    menu::SetLayoutViewport();
    if (m_preview) DrawPreview();
    else DrawText();
    menu::DrawCover(m_overlay);
    return 1;
}

void CStoryScene::DrawMovie()
{
    CGameApp* app = GetGameApp();
    if (!app || !m_movieTexture) return;
    // A frame that cannot be read leaves the last one; what lies past the
    // texture is dropped, and only what it holds is drawn.
    if (const u8* frame = m_movie->GetFrame())
        m_movieTexture->SetPixels(u32(m_movie->GetFrameWidth()), u32(m_movie->GetFrameHeight()), frame, 3);
    const CRect4 source = MovieSourceRect(m_movie->GetFrameWidth(), m_movie->GetFrameHeight(), story::kMovieTextureSide);
    CRect4 destination;
    destination.Set(0.0f, app->GetLayoutWidth(), 0.0f, f32(app->GetClientHeight()));
    // Frames come bottom row first.
    m_movieTexture->DrawRect(&destination, &source, 0xFFFFFFFFu, kOrientMirrorY);
}

void CStoryScene::DrawText()
{
    loading::DrawLayer(m_story);
    loading::DrawLayer(m_frame);
    CFontTexture* font = menu::MenuFont();
    CGraphicDevice* graphics = GetGraphicDevice();
    if (!font || !graphics) return;
    const f32 s = std::min(GetSceneState().scaleX, GetSceneState().scaleY);
    // The text rolls inside the window only.
    const CStencilMaskScope mask(graphics, [s] {
        CRect4 window;
        window.Set(208.0f * s, 816.0f * s, 192.0f * s, 632.0f * s);
        FillScreenRect(&window, 0xFFFFFFFFu);
    });
    const u32 colour = GetSceneState().colour.ToARGB();
    const u32 outline = u32(std::clamp(Alpha(), 0.0f, 1.0f) * 255.0f) << 24;
    const f32 roll = m_speed * m_elapsed;
    size_t at = 0;
    for (u32 line = 0; at <= m_text.size(); ++line) {
        const size_t end = std::min(m_text.find('\n', at), m_text.size());
        const std::string text = m_text.substr(at, end - at);
        const f32 y = 632.0f * s + 32.0f * s * f32(line) - roll;
        if (!text.empty())
            font->DrawTextAlignedOutlinedFlags(512.0f * s, y, colour, outline, 24, s, 2.0f, text.c_str(),
                kTextCentre | kTextTop);
        at = end + 1;
    }
}

void CStoryScene::DrawSide(u32 side, u32 character)
{
    if (character >= story::kCharacters) return;
    // The pictures' rectangles as the layout gives them: a slot may be a
    // picture itself (the player's are Talve's or Ovu's), whose drawn
    // rectangle another side's pictures have taken.
    for (u32 kind = 0; kind < 3; ++kind) {
        const CSceneObject* picture = FindLayer(story::PictureName(kind, character).c_str());
        if (!picture || !m_slots[side][kind]) continue;
        const CRect4 rect = picture->GetLayoutRect();
        m_slots[side][kind]->SetSourceRect(&rect);
    }
    loading::DrawLayer(m_groups[side]);
}

void CStoryScene::DrawPreview()
{
    loading::DrawLayer(m_base);
    if (CFontTexture* font = menu::MenuFont(); font && m_base) {
        const CLayerState& drawn = m_base->GetScreenState();
        const f32 sx = drawn.scaleX, sy = drawn.scaleY;
        font->DrawTextAligned(32.0f * sx, 584.0f * sy, 0.0f, 36.0f * sy, AlphaWhite(drawn.colour.w), 20,
            std::min(sx, sy), m_text.c_str(), kTextTopLeft, nullptr, nullptr);
    }
    DrawSide(0, m_facts.player);
    DrawSide(1, m_facts.opponent);
    loading::DrawLayer(m_versus[0]);
    loading::DrawLayer(m_versus[1]);
    if (m_loader.GetState() == loading::kLoaded) {
        loading::DrawLayer(m_prompt);
    } else {
        loading::DrawLayer(m_loading);
        loading::DrawDots(m_dotLayers, m_dots.Count());
    }
}
