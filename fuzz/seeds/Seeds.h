// The seed maker: the first inputs of every driver, made with the system's
// own writers (and, where the system has none, from the record layouts by
// hand). Run at test time into the build folder; never committed.
#pragma once

#include "engine/core/Types.h"

#include <string>
#include <vector>

namespace seeds {

using Bytes = std::string;

// Writes the seeds of one driver into <root>/<driver>/.
class Sink {
public:
    Sink(std::string root, std::string driver);
    void Add(const std::string& name, const Bytes& bytes);

private:
    std::string m_folder;
};

// Little-endian fields and text appended to a byte string.
inline Bytes& Le16(Bytes& b, u32 v) { return b.append({char(v), char(v >> 8)}); }
inline Bytes& Le32(Bytes& b, u32 v) { return b.append({char(v), char(v >> 8), char(v >> 16), char(v >> 24)}); }

// Each part of the seed maker.
void MakeCoreSeeds(const std::string& root);
void MakeGraphicsSeeds(const std::string& root);
void MakeDataSeeds(const std::string& root);
void MakeSoundSeeds(const std::string& root);
void MakeImageSeeds(const std::string& root);
void MakeModelSeeds(const std::string& root);
void MakeEffectSeeds(const std::string& root);
void MakeScriptSeeds(const std::string& root);
void MakeSceneSeeds(const std::string& root);
void MakeBattleSeeds(const std::string& root);
void MakeBattleSettingSeeds(const std::string& root);
void MakeShotSeeds(const std::string& root);
void MakeCharacterSeeds(const std::string& root);
void MakeEventCameraSeeds(const std::string& root);
void MakeReplaySeeds(const std::string& root);
void MakeLockstepSeeds(const std::string& root);
void MakeSettingReaderSeeds(const std::string& root);
void MakeMenuSeeds(const std::string& root);
void MakeSelectSeeds(const std::string& root);
void MakeStorySeeds(const std::string& root);
void MakeReplayListSeeds(const std::string& root);
void MakePeerSeeds(const std::string& root);
void MakeLobbySeeds(const std::string& root);
void MakeNetworkSceneSeeds(const std::string& root);
void MakeLineTestSeeds(const std::string& root);
void MakeUPnPSeeds(const std::string& root);
void MakeAdventureSeeds(const std::string& root);
void MakeLobbyAddressSeeds(const std::string& root);
void MakeUserPictureSeeds(const std::string& root);
void MakeRoomRequestSeeds(const std::string& root);
void MakeRoomPeerSeeds(const std::string& root);

}  // namespace seeds
