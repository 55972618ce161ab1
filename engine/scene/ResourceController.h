// CResourceController: loads and owns every shared resource of the game by
// kind: data archives, models, textures, shaders, sounds, effect definitions
// and scene layouts, and the font textures the application adds. Resources
// are loaded by path and the kind is read from the path's text; a resource
// list file (.grc, ResourceControllerFile.h) names archives, effects and
// layouts to load in one call. Scenes and game objects then find resources
// by name in the lists (byte-wise, case-sensitive, first match).
//
// Each resource is named by the path it was loaded by (an archive entry by
// its entry name), except effects and scenes, which carry their files'
// names. Resources are only added, never unloaded singly.
//
// The controller's sound list is the one every scene's sound step mutes,
// restores and services (CScene::SoundStep): the controller registers it
// when it is made and takes it back when it goes.
//
// The controller can also write a resource list file together with
// archives of all loaded media (SaveGrc).
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"

#include <string>
#include <unordered_set>

namespace host::kernel { class File; }
class CqelPackFile;
class CSystem;

class CResourceController : public CResourceBase {
    ORV_VALUE_CLASS(CResourceController)

public:
    // Codes of GetList.
    enum ListKind : u32 {
        kListPacks = 0,
        kListModels = 1,
        kListTextures = 2,
        kListShaders = 4,
        kListSounds = 5,
        kListEffects = 6,
        kListScenes = 7,
    };

    // Turns a DirectX .x file into an engine model file at modelPath; 1 on
    // success. The engine's own converter unless another is set; null puts
    // it back.
    using XFileConverter = u32 (*)(const char* xPath, const char* modelPath);
    static void SetXFileConverter(XFileConverter converter);

    // Eight empty lists, header value 0, check header 0, pan sounds 1,
    // plain music 1, sound voices 10; the sound list becomes the scenes'.
    CResourceController();
    // Every list deep-copied; a copy's sound list is not the scenes'.
    CResourceController(const CResourceController& other);
    CResourceController& operator=(const CResourceController&) = delete;
    ~CResourceController() override;

    // Deletes the packs, models, textures, shaders, sounds, effects and
    // scenes in that order, then the fonts (ReleaseFonts), ReleaseOther, the
    // name. 1.
    i32 Release() override;

    // -- Virtual operations, in their fixed order. --

    // One path: a resource list file when the path contains ".grc", else the
    // first kind whose text the path contains: ".BMP" ".bmp" ".PNG" ".png"
    // ".DDS" ".dds" texture, ".x" ".X" DirectX model (converted to the path
    // less its last two characters + ".mdl", then loaded), ".mdl" ".MDL"
    // model, ".wav" ".WAV" ".ogg" ".OGG" sound, ".fx" ".FX" shader, ".efc"
    // ".EFC" effect, ".sce" ".SCE" scene, ".gpk" ".GPK" archive; anything
    // else goes to LoadOther. 1 when the loader succeeded.
    //
    // A resource list is refused whole when it is damaged or its header
    // differs while check header is set. Its records are then loaded in
    // order; media records only with loadMedia set. The first record whose
    // loader fails ends the read with 0; what was loaded before stays. On
    // success the controller is named by the list's path.
    virtual u32 Load(const char* path, u32 loadMedia);
    // Paths of a kind this class does not handle; skipped here (1).
    virtual u32 LoadOther(CqelPackFile* pack, const char* path, u32 loadMedia);
    // Writes a resource list file with archives of all media (below). With
    // ask set, or without a name yet, the save dialog of system's main
    // window chooses the path, which names the controller. 0 without a
    // system, when the dialog is cancelled or when a step fails; the list
    // file is written whole at the end or not at all. A list file that
    // cannot be made at its path fails the save before anything is written.
    virtual u32 SaveGrc(CSystem* system, u32 ask);
    // Writes further records before the end record; nothing here (1).
    virtual u32 SaveOther(const char* folder, host::kernel::File* file);
    virtual u32 ReleaseOther();
    virtual void OtherHook();
    // Deletes every font texture. 1.
    virtual u32 ReleaseFonts();
    // The list of a ListKind; null for 3 and any other code (the font list
    // is GetFontList).
    virtual CResourceList* GetList(u32 kind);

    // -- Loaders of each kind. --

    // Opens an archive and registers it; with loadMedia every entry that is
    // a texture, model, sound or shader is loaded from it (other entries go
    // to LoadOther). 0 when it cannot be opened (not registered) or an
    // entry fails (the archive stays registered, what loaded stays).
    u32 LoadPack(const char* path, u32 loadMedia);
    // The same for a scrambled archive with its identifier and key byte.
    u32 LoadScrambledPack(const char* path, u32 identifier, u8 key, u32 loadMedia);
    // One resource by path, from pack when given. A resource of that name
    // already in the list counts as loaded (1). 0 when it cannot be loaded.
    //
    // Sounds from a file get one voice. Archive sounds whose path contains
    // "Bgm" or "Vocal" are music: one voice, streamed (position notifies
    // unless plain music is set); others get the sound voices count, static,
    // with pan control (pan sounds set) or 3D.
    u32 LoadTexture(CqelPackFile* pack, const char* path);
    u32 LoadModel(CqelPackFile* pack, const char* path);
    u32 LoadSound(CqelPackFile* pack, const char* path);
    // The voices and buffer flags an archive's sound is loaded with: music
    // (a name with "Bgm" or "Vocal") streamed, other sounds static.
    void SoundSettings(const char* path, u32* voices, u32* flags) const;
    u32 LoadShader(CqelPackFile* pack, const char* path);
    // An effect file; a container whose name is already listed is dropped
    // and counts as loaded. With bind its objects are bound to the lists.
    u32 LoadEffect(const char* path, u32 bind);
    // A scene layout file, added whatever its name.
    u32 LoadScene(const char* path, u32 withoutEffect);

    // A 260-byte record of a resource list file (SaveOther writes with it).
    static u32 WriteRecord(host::kernel::File* file, const char* text);

    // Paths of a list kind that failed to load, so that nobody asks the disk
    // for the same missing file again. Load forgets them (it may bring the
    // files); so does each battle as it starts.
    bool IsKnownMiss(u32 kind, const char* path) const;
    void RememberMiss(u32 kind, const char* path);
    void ForgetMisses() { m_misses.clear(); }

    CResourceList* GetPackList() { return &m_packs; }
    CResourceList* GetModelList() { return &m_models; }
    CResourceList* GetTextureList() { return &m_textures; }
    CResourceList* GetShaderList() { return &m_shaders; }
    CResourceList* GetSoundList() { return &m_sounds; }
    CResourceList* GetEffectList() { return &m_effects; }
    CResourceList* GetSceneList() { return &m_scenes; }
    CResourceList* GetFontList() { return &m_fonts; }

    u32 GetHeaderValue() const { return m_headerValue; }
    void SetHeaderValue(u32 value) { m_headerValue = value; }
    u32 GetCheckHeader() const { return m_checkHeader; }
    void SetCheckHeader(u32 check) { m_checkHeader = check; }
    u32 GetPanSounds() const { return m_panSounds; }
    void SetPanSounds(u32 pan) { m_panSounds = pan; }
    u32 GetPlainMusic() const { return m_plainMusic; }
    void SetPlainMusic(u32 plain) { m_plainMusic = plain; }
    u32 GetSoundVoices() const { return m_soundVoices; }
    void SetSoundVoices(u32 voices) { m_soundVoices = voices; }

protected:
    // The steps of SaveGrc: each writes its files and its record into file.
    // folder ends with its separator (or is empty).
    u32 SaveTextures(const std::string& folder, host::kernel::File& file);
    u32 SaveShaders(const std::string& folder, host::kernel::File& file);
    u32 SaveModels(const std::string& folder, host::kernel::File& file);
    u32 SaveSounds(const std::string& folder, host::kernel::File& file);
    u32 SaveEffects(const std::string& folder, host::kernel::File& file);
    u32 SaveScenes(const std::string& folder, host::kernel::File& file);

private:
    u32 ReadResourceList(const char* path, u32 loadMedia);
    // One record of a resource list.
    u32 LoadRecord(const char* path, u32 loadMedia);
    u32 LoadPackEntries(CqelPackFile* pack, u32 loadMedia);
    // The archive's entries [begin, end), textures and sounds all.
    u32 LoadPackRun(CqelPackFile* pack, u32 begin, u32 end);
    // Registers an opened archive and loads its entries.
    u32 AddPack(CqelPackFile* pack, u32 loadMedia);
    u32 LoadXFile(const char* path);
    // Textures, shaders and sounds: each file copied into folder + sub and
    // an archive of them written.
    u32 SaveCopiedMedia(const CResourceList& list, const char* sub, const char* archive, const std::string& folder,
                        host::kernel::File& file);
    // The archive of entries and its record.
    u32 WriteArchive(const std::string* entries, u32 count, const char* archive, host::kernel::File& file);

    CResourceList m_packs;
    CResourceList m_models;
    CResourceList m_textures;
    CResourceList m_shaders;
    CResourceList m_sounds;
    CResourceList m_effects;
    CResourceList m_scenes;
    CResourceList m_fonts;
    u32 m_headerValue = 0;
    u32 m_checkHeader = 0;
    u32 m_panSounds = 1;
    u32 m_plainMusic = 1;
    u32 m_soundVoices = 10;
    // The kind's code, a colon, then the path.
    std::unordered_set<std::string> m_misses;
};
