// The single select's part of the data set: its layout with every layer it
// looks up, its frame and two pictures in "Data\CharaSharing.gpk" (the
// other pictures are missing, which the scene allows), the voices and
// sounds.
#include "engine/core/PackFile.h"
#include "game/scenes/SingleCharaSelect.h"
#include "game/scenes/testdata/SceneData.h"

namespace scene_data {

void AddSingleSelectData(CSceneDataSet& set)
{
    using namespace single_select;
    set.Layout(kLayout, LayerNames(), kFrameTexture);
    const GameArchive pack{kPackName, kPack, kPackKeyFirst};
    set.PackEntry(pack, Folder::kFirst, kFrameTexture, CellTextureBytes());
    set.PackEntry(pack, Folder::kSecond, PictureName(kRandomEntry), CellTextureBytes());
    set.SceneSound(kMusic, 1.0f);
    for (const char* voice : kVoices) set.SceneSound(voice);
    for (const char* sound : kSounds) set.SceneSound(sound);
}

}  // namespace scene_data
