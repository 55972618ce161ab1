// CStageSetting through LoadFile: any bytes as its text or its cache.
#include "fuzz/drivers/BattleSettingDriver.h"
#include "game/battle/object/StageSetting.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzz::FuzzBattleSetting<CStageSetting>(data, size);
}
