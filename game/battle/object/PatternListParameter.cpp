#include "game/battle/object/PatternListParameter.h"

#include "game/battle/object/Barrage.h"

#include <algorithm>

static_assert(CPatternListParameter::kMaxShotsPerRound == CBarrage::kMaxShotsPerVolley,
              "a round fires at most what one volley may");

CPatternListParameter::~CPatternListParameter() { CPatternListParameter::Clear(); }

i32 CPatternListParameter::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    return RegisterKey("PATTERN", &m_patterns, CSettingFileList<CShotPatternParameter>());
}

i32 CPatternListParameter::OnLoaded(const CStatusKeyMap* aliasTable)
{
    m_shotsSetOff = 0;
    if (!m_patterns.Load(aliasTable)) return 0;
    // Only the patterns a barrage fires count; past the bound the sum stops.
    constexpr u64 kPast = u64(kMaxShotsSetOff) + 1;
    u64 setOff = 0;
    const u32 fired = std::min(m_patterns.GetCount(), kMaxPatterns);
    for (u32 i = 0; i < fired && setOff < kPast; ++i) {
        const CShotPatternParameter& pattern = *m_patterns.GetAt(i);
        // Read as unsigned, as the barrage reads it.
        const u64 shots = std::min<u64>(u32(pattern.GetValues().simultaneousShootCount), CBarrage::kMaxShotsPerVolley);
        const CPatternListParameter* carried = pattern.GetBulletLink().parameter.GetBarrage();
        setOff += shots * (1 + (carried ? carried->m_shotsSetOff : 0));
    }
    m_shotsSetOff = u32(std::min(setOff, kPast));
    return 1;
}

i32 CPatternListParameter::Clear()
{
    m_patterns.Release();
    return CSettingFile::Clear();
}
