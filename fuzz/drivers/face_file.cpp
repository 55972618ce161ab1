// Fuzz driver: any bytes as a character's face file. A refused file leaves
// the tables as they were; a read one holds two tracks a record, names of at
// most 260 bytes, and no more records, keys or values than the bytes could
// carry.
#include "fuzz/FuzzSupport.h"
#include "game/battle/character/FaceFile.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FaceTables tables;
    tables.voiceExpressions = {7};
    const FaceFileError error = ReadFaceFile(data, size, tables);
    FUZZ_CHECK(DescribeFaceFileError(error) != nullptr);
    if (error != FaceFileError::kNone) {
        FUZZ_CHECK(tables.expressions.empty() && tables.voiceExpressions == std::vector<u32>{7});
        return 0;
    }
    FUZZ_CHECK(tables.expressions.size() + tables.voiceExpressions.size() * 4 <= size);
    for (const CNamedArray& face : tables.expressions) {
        FUZZ_CHECK(face.GetCount() == 2);
        FUZZ_CHECK(std::memchr(face.GetName(), 0, CNamedArray::kNameBytes + 1) != nullptr);
        for (u32 t = 0; t < 2; ++t) {
            FUZZ_CHECK(size_t(face.GetItem(t)->GetCount()) * 12 <= size);
            u32 value = 0;
            face.GetItem(t)->GetValue(0.5f, &value);
        }
    }
    const FaceTables copy = tables;
    FUZZ_CHECK(copy.expressions.size() == tables.expressions.size());
    return 0;
}
