// orv-game: the game. Its data folders come from the arguments (first
// [second]), else ORV_DATA, else the current folder; the first is made
// current and the game application runs on the program's entry.
// ORV_SCENE_TRACE names a file that gets each scene made current.
#include "engine/platform/app/Entry.h"
#include "game/network/NetworkScene.h"
#include "game/scenes/GameApp.h"
#include "host/kernel/Kernel.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The entry's factory takes no arguments: the folders wait here.
DataFolders g_folders;

CScene* MakeNetworkScene() { return new CNetworkScene; }

CApplicationMain* MakeGame()
{
    auto* game = new CGameApp(g_folders);
    std::string trace;
    if (const char* path = std::getenv("ORV_SCENE_TRACE"); path && host::kernel::NativeToSystemPath(path, trace))
        game->SetSceneTrace(trace);
    return game;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string path;
        // A name with no code page 932 form is kept as given: it is then
        // not found, and the message names it.
        args.push_back(host::kernel::NativeToSystemPath(argv[i], path) ? path : argv[i]);
    }
    std::string error;
    if (!FindDataFolders(args, std::getenv("ORV_DATA"), g_folders, &error)) {
        // No window yet: the box is written to standard error.
        host::kernel::MessageBox(error, "Error", host::kernel::kMbOk | host::kernel::kMbIconError);
        return 1;
    }
    host::kernel::SetCurrentDirectory(g_folders.first);
    // The title's Network item starts network play.
    SetNetworkSceneFactory(&MakeNetworkScene);
    // A start-up that failed, the title included, ends with 1; a screen
    // chosen later whose data cannot be read says so and goes back to the
    // title, and the game goes on.
    const i32 status = WinMain(&MakeGame, GetModuleInstance());
    return status == 0 ? 0 : 1;
}
