// Any bytes as a bullet parameter file, text or cache (see ShotDriver.h).
#include "fuzz/drivers/ShotDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzz::LoadShotSetting<CBulletParameter>(data, size);
}
