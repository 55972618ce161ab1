// Fuzz driver for the resource list reader (.grc): any bytes are parsed as
// a list as far as they go; the records taken must build back into bytes
// that parse whole to the same header and records. When no record names a
// path outside the process's own folder, the bytes are also loaded by a
// resource controller with media loading off: only the list file exists
// there, so a record of an effect, layout or archive must fail the load,
// everything else goes to LoadOther, and a list without its end record
// answers 0 after its records.
#include "engine/scene/ResourceController.h"
#include "engine/scene/ResourceControllerFile.h"
#include "fuzz/FuzzSupport.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

class Counting : public CResourceController {
public:
    u32 LoadOther(CqelPackFile*, const char*, u32) override
    {
        ++others;
        return 1;
    }
    u32 others = 0;
};

bool StaysHere(const std::string& record)
{
    return record.find_first_of("\\/:") == std::string::npos && record.find("..") == std::string::npos;
}

bool NamesAFile(const std::string& r)
{
    for (const char* t : {".efc", ".EFC", ".sce", ".SCE", ".gpk", ".GPK"}) {
        if (r.find(t) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CResourceControllerFile list;
    if (!list.ParseAsFarAsItGoes(data, size)) return 0;
    bool local = true;
    u32 files = 0;
    for (const std::string& r : list.records) {
        FUZZ_CHECK(r.size() < CResourceControllerFile::kRecordSize && r.find('\0') == std::string::npos);
        local = local && StaysHere(r);
        files += NamesAFile(r) ? 1 : 0;
    }
    std::string built;
    FUZZ_CHECK(list.Build(built));
    CResourceControllerFile again;
    FUZZ_CHECK(again.Parse(built.data(), built.size()));
    FUZZ_CHECK(again.header == list.header && again.records == list.records);
    if (!local) return 0;

    const std::string path = fuzz::ProcessFolder() + "list.grc";
    fuzz::WriteFile(path, data, size);
    Counting controller;
    const u32 loaded = controller.Load(path.c_str(), 0);
    FUZZ_CHECK(loaded == (files == 0 && list.ended ? 1u : 0u));
    if (files == 0) FUZZ_CHECK(controller.others == list.records.size());
    if (loaded) FUZZ_CHECK(std::strcmp(controller.GetName(), path.c_str()) == 0);
    return 0;
}
