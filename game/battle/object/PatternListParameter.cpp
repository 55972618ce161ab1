#include "game/battle/object/PatternListParameter.h"

#include "game/battle/object/NestedLoadGuard.h"

CPatternListParameter::~CPatternListParameter() { CPatternListParameter::Clear(); }

i32 CPatternListParameter::LoadFile(const char* path, const CStatusKeyMap* aliasTable)
{
    CNestedLoadGuard guard(path);
    return guard ? CSettingFile::LoadFile(path, aliasTable) : 0;
}

i32 CPatternListParameter::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    return RegisterKey("PATTERN", &m_patterns, CSettingFileList<CShotPatternParameter>());
}

i32 CPatternListParameter::OnLoaded(const CStatusKeyMap* aliasTable) { return m_patterns.Load(aliasTable); }

i32 CPatternListParameter::Clear()
{
    m_patterns.Release();
    return CSettingFile::Clear();
}
