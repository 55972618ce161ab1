// GameConfig.dat through CSaveConfig::Load and Save.
#include "fuzz/drivers/SaveDriver.h"
#include "game/data/SaveConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::RunSaveDriver<CSaveConfig>(data, size);
    return 0;
}
