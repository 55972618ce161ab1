// CGameApp: the game's application object on the engine's application base.
// The one instance the game's entry makes, starts, drives once per frame
// and ends; scenes reach it through the process's application.
//
// So far it holds the data: the two data folders with their archives and
// the battle music's tension files (CGameData), and the saved configuration
// whose BGM rows name the user's music. Start-up (Init), the frame step
// (Update, Draw), Exit, the engine's shared services, the filters and the
// scenes come on top of these members without changing them. The global
// resource load of the start-up's loader thread will be, in order: the
// filters, GetGameData().LoadResources with the resource controller that
// Init makes, then the default font.
#pragma once

#include "engine/core/Types.h"
#include "engine/platform/app/ApplicationMain.h"
#include "game/scenes/GameData.h"

#include <memory>

class CMovie;
class CSaveConfig;
class CSoundBuffer;
class CTensionFile;
class CTexture;

class CGameApp : public CApplicationMain {
public:
    explicit CGameApp(DataFolders folders);
    ~CGameApp() override;

    // Start-up's first step: reads GameConfig.dat (a missing one gets the
    // defaults and is written). 0 after the box "コンフィグファイルが読み込めません"
    // when it cannot be read; the configuration is then absent.
    i32 LoadSaveConfig();
    CSaveConfig* GetSaveConfig() const { return m_saveConfig.get(); }

    CGameData& GetGameData() { return m_data; }
    const CGameData& GetGameData() const { return m_data; }

    // The data's operations, for the scenes (see CGameData).
    std::unique_ptr<CResourceList> OpenPack(const char* fileName, u32 identifier, u8 key) const
    {
        return m_data.OpenPack(fileName, identifier, key);
    }
    i32 LoadFromPackList(const char* entry, const CList<void*>* packs, CSoundBuffer* sound, u32 voices,
        u32 flags) const
    {
        return CGameData::LoadFromPackList(entry, packs, sound, voices, flags);
    }
    i32 LoadTextureFromPackList(const char* entry, const CList<void*>* packs, CTexture* texture) const
    {
        return CGameData::LoadTextureFromPackList(entry, packs, texture);
    }
    i32 OpenMovie(const char* path, CMovie* movie) const { return m_data.OpenMovie(path, movie); }
    i32 FindDataFile(const char* path) const { return m_data.FindDataFile(path); }
    i32 SetDataFolder(u32 which) const { return m_data.SetDataFolder(which); }
    CSoundBuffer* LoadBgm(u32 slot, const CList<void*>* packs, const LoadMessageSink& messages) const
    {
        return m_data.LoadBgm(slot, packs, messages);
    }
    CTensionFile* GetTensionFile(u32 slot) const { return m_data.GetTensionFile(slot); }

private:
    std::unique_ptr<CSaveConfig> m_saveConfig;
    CGameData m_data;
};
