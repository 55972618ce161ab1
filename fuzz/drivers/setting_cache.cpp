// Settings caches through CSettingFile::ReadBinary, from a file that stands
// after its four-byte magic.
#include "fuzz/drivers/SettingDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::MemoryFile file(data, size);
    u8 magic[4];
    file.Read(magic, 4);
    fuzz::SettingReader reader;
    if (reader.ReadBinary(&file)) reader.Describe();
    return 0;
}
