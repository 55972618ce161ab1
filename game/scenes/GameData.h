// CGameData: where the game's data lives and what of it the game keeps for
// the whole run: the two data folders, the archives opened from them, the
// battle music of the 51 slots and their tension scripts.
//
// Each data folder is an installation whose "Resource/" holds scrambled
// .gpk archives. A pack list holds the archives of one file name that the
// folders have, first folder first. The current folder is process-wide:
// every call that opens by relative path moves it to a folder's Resource/
// and leaves it there, so a following relative open finds the same file.
//
// Loads run on a loader thread, where no message box may be shown: the
// texts a load reports go to the caller's sink (the loading screen shows
// them on the main thread).
#pragma once

#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CMovie;
class CResourceController;
class CSaveConfig;
class CSoundBuffer;
class CTensionFile;
class CTexture;

// The two installation folders (absolute, no trailing '/'); the second is
// the first when only one is given.
struct DataFolders {
    std::string first;
    std::string second;
};

// Finds the data folders: the program's arguments (first [second]), else
// ORV_DATA (one or two folders, ':'-separated, given as orvData; null when
// unset), else the current folder. A source is taken when every folder it
// names holds "Resource/". False when none is, with a message naming every
// place tried in *error.
bool FindDataFolders(const std::vector<std::string>& args, const char* orvData, DataFolders& folders,
    std::string* error);

// An archive the start-up registers: the CRC-32 of its pack name is its
// identifier; the path is under a data folder's Resource/.
struct GameArchive {
    const char* packName;
    const char* path;
    u8 key;
};
// In registration order: each folder's own, then the shared ones (from the
// second folder).
extern const std::array<GameArchive, 14> kFirstFolderArchives;
extern const std::array<GameArchive, 14> kSecondFolderArchives;
extern const std::array<GameArchive, 14> kSharedArchives;

// Receives one text a load would have shown in a message box.
using LoadMessageSink = std::function<void(const std::string& text)>;

class CGameData {
public:
    static constexpr u32 kMusicSlots = 51;       // battle music slots 0..50
    static constexpr u32 kBuiltInSlots = 41;     // 0..40 live in the music archive
    static constexpr u32 kOriginalTracks = 30;   // slots 0..29, then 11 more
    static constexpr const char* kResourceFolder = "Resource";
    static constexpr const char* kResourceList = "GameResource.grc";
    static constexpr const char* kMusicArchive = "Data\\BattleBgm.gpk";
    static constexpr const char* kMusicPackName = "BGMPACK";
    static constexpr const char* kUserMusicMissing = "ユーザーBGMファイルが開けません";

    explicit CGameData(DataFolders folders);
    ~CGameData();
    CGameData(const CGameData&) = delete;
    CGameData& operator=(const CGameData&) = delete;

    const DataFolders& GetFolders() const { return m_folders; }
    // The configuration whose BGM rows name the user music (slots 41..50);
    // not owned. Without one the user slots stay empty.
    void SetSaveConfig(CSaveConfig* config) { m_config = config; }

    // The archives of that file name in the data folders that open with the
    // identifier and key byte, first folder first. Never null, maybe empty.
    std::unique_ptr<CResourceList> OpenPack(const char* fileName, u32 identifier, u8 key) const;
    // Loads the entry into sound (voices, buffer flags) from the first
    // archive of packs that holds it and loads. 1, or 0 when none does.
    static i32 LoadFromPackList(const char* entry, const CList<void*>* packs, CSoundBuffer* sound, u32 voices,
        u32 flags);
    // The same for a texture.
    static i32 LoadTextureFromPackList(const char* entry, const CList<void*>* packs, CTexture* texture);
    // The entry's bytes (an AlignedAlloc block) from the first archive of
    // packs that reads it, its size in size; null when none does.
    static u8* ReadFromPackList(const char* entry, const CList<void*>* packs, u32* size);
    // The same for count textures at once (decoded side by side), each
    // entry's result (1 or 0) in loaded.
    static void LoadTexturesFromPackList(const char* const* entries, u32 count, const CList<void*>* packs,
        CTexture* const* textures, i32* loaded);
    // Opens a movie from one data folder chosen at random (the global
    // generator draws one number): the opening comes from either install.
    i32 OpenMovie(const char* path, CMovie* movie) const;
    // 1 when path opens for reading under the first folder's Resource/,
    // else under the second's; 0 in neither. The current folder is left at
    // the one tried last.
    i32 FindDataFile(const char* path) const;
    // Current folder = the first folder's Resource/ for which 1, else the
    // second's. 1.
    i32 SetDataFolder(u32 which) const;

    // The music of a slot, owned by the caller; null when the slot has
    // none. Slots 0..40 come from packs; 41..50 from the user's rows, where
    // a row without both paths is silently empty and a music file that
    // does not load sends kUserMusicMissing to messages.
    CSoundBuffer* LoadBgm(u32 slot, const CList<void*>* packs, const LoadMessageSink& messages) const;
    // The sound entry of a built-in slot ("Vocal_orig_01.ogg"), its script
    // (".txt"); empty past slot 40.
    static std::string TrackName(u32 slot);
    static std::string ScriptName(u32 slot);

    // Registers each folder's resource list and archives with resources,
    // then the shared archives. 1, or 0 at the first that fails, which is
    // named to messages.
    i32 RegisterPacks(CResourceController& resources, const LoadMessageSink& messages = {}) const;
    // The data part of the global resource load: the archives, then the
    // music of every slot measured into its tension file. A built-in track
    // whose sound or script does not load ends it with 0 and a message
    // naming it; a user track that fails leaves its slot empty.
    i32 LoadResources(CResourceController& resources, const LoadMessageSink& messages);

    // The tension file of a slot 0..50; null when it has none (or past 50).
    CTensionFile* GetTensionFile(u32 slot) const;

private:
    // The folders to visit: both, or one when they are the same, so no
    // archive is opened or registered twice.
    std::vector<const std::string*> DistinctFolders() const;
    // Current folder = folder's Resource/.
    static bool EnterResource(const std::string& folder);
    // Loads a slot's music and its script; 0 ends the load.
    // track: the slot's music when already loaded (else LoadBgm's).
    i32 LoadSlot(u32 slot, const CList<void*>* packs, const LoadMessageSink& messages,
                 std::unique_ptr<CSoundBuffer> track = nullptr);

    DataFolders m_folders;
    CSaveConfig* m_config = nullptr;
    std::array<std::unique_ptr<CTensionFile>, kMusicSlots> m_tension;
};
