// PSD files through CPSDReader: layer-sized images first, which must not
// take more memory than the file's data can expand to; a small document
// again with document-sized images and the BMP and DDS files written.
#include "engine/graphics/PSDReader.h"
#include "fuzz/FuzzSupport.h"

namespace {

// Reads every byte handed out, so the sanitizers see any that are not there.
u32 Touch(const u8* bytes, u32 size)
{
    u32 sum = 0;
    for (u32 i = 0; bytes && i < size; ++i) sum += bytes[i];
    return sum;
}

// The bytes of all layer images.
u64 Inspect(const CPSDReader& reader)
{
    volatile u32 sum = 0;
    u64 total = 0;
    for (u32 i = 0; i < reader.GetLayerCount(); ++i) {
        const CPSDLayer* layer = reader.GetLayer(i);
        FUZZ_CHECK(layer != nullptr);
        FUZZ_CHECK(u64(layer->imageWidth) * layer->imageHeight * layer->channelCount == layer->imageSize);
        sum = sum + Touch(layer->image, layer->imageSize);
        total += layer->imageSize;
    }
    for (u32 i = 0; i < reader.GetFileCount(); ++i) sum = sum + Touch(reader.GetFile(i)->GetBytes(), reader.GetFile(i)->GetByteCount());
    sum = sum + Touch(reader.GetColourModeData(), reader.GetColourModeDataSize());
    sum = sum + Touch(reader.GetThumbnail().data, reader.GetThumbnail().size);
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = fuzz::Folder("psd");
    const std::string path = folder + "input.psd";
    fuzz::WriteFile(path, data, size);

    bool small = false;
    {
        CPSDReader reader;
        if (reader.Load(path.c_str())) {
            // Layer images are no larger than their data expands to: PackBits
            // makes at most 64 bytes of a channel from one, and a pixel has at
            // most four channels.
            FUZZ_CHECK(Inspect(reader) <= 256 * u64(size));
            const CPSDReader copy(reader);
            Inspect(copy);
            small = u64(reader.GetHeader().width) * reader.GetHeader().height <= 64 * 64;
        }
    }
    if (small) {
        CPSDReader reader;
        reader.SetLayerSized(0);
        reader.SetWriteBMP(1);
        reader.SetWriteDDS(1);
        FUZZ_CHECK(reader.Load(path.c_str()) == 1);
        Inspect(reader);
    }
    fuzz::EmptyFolder(folder);
    return 0;
}
