// GameData.dat through CSaveData::Load and Save.
#include "fuzz/drivers/SaveDriver.h"
#include "game/data/SaveData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::RunSaveDriver<CSaveData>(data, size);
    return 0;
}
