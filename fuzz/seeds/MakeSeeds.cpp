// fuzz_make_seeds <folder>: writes every driver's seeds under folder.
#include "fuzz/FuzzSupport.h"
#include "fuzz/seeds/Seeds.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <sys/stat.h>

namespace seeds {

Sink::Sink(std::string root, std::string driver) : m_folder(root + "/" + driver + "/")
{
    // Seeds of an earlier run go, once per run: a writer may have changed.
    static std::set<std::string> made;
    ::mkdir(m_folder.c_str(), 0777);
    if (made.insert(m_folder).second) fuzz::EmptyFolder(m_folder);
}

void Sink::Add(const std::string& name, const Bytes& bytes) { fuzz::WriteFile(m_folder + name, bytes.data(), bytes.size()); }

}  // namespace seeds

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    // The folder and its missing parents.
    const std::string folder = argv[1];
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        ::mkdir(folder.substr(0, slash).c_str(), 0777);
    ::mkdir(folder.c_str(), 0777);
    char* root = realpath(argv[1], nullptr);
    if (!root) {
        std::perror(argv[1]);
        return 1;
    }
    // The writers that need a current folder or TEMP get the process's own.
    fuzz::ProcessFolder();
    seeds::MakeCoreSeeds(root);
    seeds::MakeGraphicsSeeds(root);
    seeds::MakeDataSeeds(root);
    seeds::MakeSoundSeeds(root);
    seeds::MakeImageSeeds(root);
    seeds::MakeModelSeeds(root);
    seeds::MakeEffectSeeds(root);
    seeds::MakeScriptSeeds(root);
    seeds::MakeSceneSeeds(root);
    seeds::MakeBattleSeeds(root);
    seeds::MakeBattleSettingSeeds(root);
    seeds::MakeShotSeeds(root);
    seeds::MakeCharacterSeeds(root);
    seeds::MakeEventCameraSeeds(root);
    seeds::MakeReplaySeeds(root);
    seeds::MakeLockstepSeeds(root);
    seeds::MakeSettingReaderSeeds(root);
    seeds::MakeMenuSeeds(root);
    seeds::MakeSelectSeeds(root);
    seeds::MakeStorySeeds(root);
    seeds::MakeReplayListSeeds(root);
    seeds::MakeAdventureSeeds(root);
    seeds::MakePeerSeeds(root);
    seeds::MakeLobbySeeds(root);
    seeds::MakeNetworkSceneSeeds(root);
    seeds::MakeLineTestSeeds(root);
    seeds::MakeUPnPSeeds(root);
    seeds::MakeLobbyAddressSeeds(root);
    seeds::MakeUserPictureSeeds(root);
    seeds::MakeRoomRequestSeeds(root);
    seeds::MakeRoomPeerSeeds(root);
    std::free(root);
    return 0;
}
