// Any bytes as the skill list, text or cache, beside two skill records (and
// names a text may use to reach them twice, in another case, or out of the
// folder). A text that loads must load the same from the cache it wrote.
#include "fuzz/FuzzSupport.h"
#include "game/data/SettingLoad.h"
#include "game/data/Skill.h"
#include "game/data/tests/SettingWriter.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Each value as text, a list's names as the cache holds them.
std::string Describe(CSkillList& list)
{
    std::string out = setting_test::WriteSettingText(list);
    for (u32 i = 0; i < list.skills.GetNameCount(); ++i) {
        const CString* name = list.skills.GetName(i);
        const CString cached = MakeCachedValue(name->GetText());
        const char* shown = std::strncmp(name->GetText() ? name->GetText() : "", "Setting/", 8) == 0
                                ? name->GetText()
                                : cached.GetText();
        out += std::string(shown ? shown : "") + "|";
    }
    for (u32 i = 0; i < list.skills.GetCount(); ++i)
        out += setting_test::WriteSettingText(const_cast<CSkillSetting&>(*list.skills.GetAt(i)));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = [] {
        const std::string process = fuzz::ProcessFolder();
        fuzz::Folder("Setting");
        const char* skills[][2] = {{"Skill01.txt", "IMAGEID=1;BASEHP=1.5;EXPLANATION=a.txt;"},
                                   {"Skill02.txt", "TYPE=2;BASESTR=0.5;COMBINATION=3.fac;"}};
        for (const auto& s : skills) fuzz::WriteFile(s[0], s[1], std::strlen(s[1]));
        return process;
    }();
    ::remove((folder + "Setting/input.dat").c_str());
    fuzz::WriteFile(folder + "input.txt", data, size);

    CSkillList text;
    const i32 loaded = text.LoadFile("input.txt");
    FUZZ_CHECK(CNestedLoadGuard::Depth() == 0);
    FUZZ_CHECK(loaded == (CSettingLoad::LastError() == SettingLoadError::kNone));
    if (!loaded || (size >= 4 && std::memcmp(data, "BIN", 4) == 0)) return 0;
    CSkillList cached;
    FUZZ_CHECK(cached.LoadFile("Setting/input.dat") == 1);
    FUZZ_CHECK(Describe(cached) == Describe(text));
    return 0;
}
