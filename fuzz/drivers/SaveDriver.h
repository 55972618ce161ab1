// The save-file drivers' common part: the input becomes the store's file in
// an otherwise empty save folder and is loaded. A file that loads must save,
// and what it saves must load and save again to the same bytes.
#pragma once

#include "fuzz/FuzzSupport.h"
#include "game/data/SaveConfig.h"

#include <string>

namespace fuzz {

template <class Store>
void RunSaveDriver(const uint8_t* data, size_t size)
{
    // The per-user folder lies beside TEMP, inside the process folder.
    static const std::string folder = [] {
        ProcessFolder();
        const std::string saves = GetUserDataDirectory(kSaveFolderName);
        FUZZ_CHECK(!saves.empty());
        return saves;
    }();
    EmptyFolder(folder);
    const std::string path = folder + Store::kFileName;
    WriteFile(path, data, size);

    Store store;
    if (!store.Load()) {
        FUZZ_CHECK(store.Save() == 0);
        return;
    }
    FUZZ_CHECK(store.Save() == 1);
    const std::string saved = ReadFile(path);
    Store again;
    FUZZ_CHECK(again.Load() == 1);
    FUZZ_CHECK(again.Save() == 1);
    FUZZ_CHECK(ReadFile(path) == saved);
}

}  // namespace fuzz
