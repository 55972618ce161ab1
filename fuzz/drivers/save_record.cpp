// GameRecord.dat through CSaveRecord::Load and Save. The play time counts
// on a clock that stands still, so saves can be compared.
#include "fuzz/drivers/SaveDriver.h"
#include "game/data/SaveRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static host::kernel::FakeClock clock(1000);
    static const bool installed = (host::kernel::SetClock(&clock), true);
    (void)installed;
    fuzz::RunSaveDriver<CSaveRecord>(data, size);
    return 0;
}
