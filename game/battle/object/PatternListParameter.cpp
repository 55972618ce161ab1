#include "game/battle/object/PatternListParameter.h"

#include "game/battle/object/Barrage.h"
#include "game/data/SettingLoad.h"

#include <algorithm>

static_assert(CPatternListParameter::kMaxShotsPerRound == CBarrage::kMaxShotsPerVolley,
              "a list fires at most what one volley may");

CPatternListParameter::~CPatternListParameter() { CPatternListParameter::Clear(); }

i32 CPatternListParameter::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    return RegisterKey("PATTERN", &m_patterns, CSettingFileList<CShotPatternParameter>());
}

i32 CPatternListParameter::OnLoaded(const CStatusKeyMap* aliasTable)
{
    m_shotsPerRound = m_shotsSetOff = 0;
    if (m_patterns.GetNameCount() > kMaxPatterns)
        return CSettingLoad::Fail(SettingLoadError::kTooManyPatterns, nullptr);
    if (!m_patterns.Load(aliasTable)) return 0;
    u64 round = 0, setOff = 0;
    for (u32 i = 0; i < m_patterns.GetCount(); ++i) {
        const CShotPatternParameter& pattern = *m_patterns.GetAt(i);
        // Read as unsigned, as the barrage reads it.
        const u64 shots = std::min<u64>(u32(pattern.GetValues().simultaneousShootCount), CBarrage::kMaxShotsPerVolley);
        const CPatternListParameter* carried = pattern.GetBulletLink().parameter.GetBarrage();
        round += shots;
        setOff += shots * (1 + (carried ? carried->m_shotsSetOff : 0));
        // Past either bound the sums need go no further.
        if (round > kMaxShotsPerRound || setOff > kMaxShotsSetOff)
            return CSettingLoad::Fail(SettingLoadError::kTooManyShots, nullptr);
    }
    m_shotsPerRound = u32(round);
    m_shotsSetOff = u32(setOff);
    return 1;
}

i32 CPatternListParameter::Clear()
{
    m_patterns.Release();
    return CSettingFile::Clear();
}
