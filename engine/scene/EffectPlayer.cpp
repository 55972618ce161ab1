#include "engine/scene/EffectPlayer.h"

#include "engine/core/Memory.h"

#include <cstring>

namespace {

char* CopyText(const char* text)
{
    if (!text) return nullptr;
    const size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(AlignedAlloc(u32(n), 16));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

}  // namespace

CEffectPlayer::CEffectPlayer() : CObjectBase("EffectPlayer") {}

CEffectPlayer::CEffectPlayer(const CEffectPlayer& other)
    : CObjectBase(other),
      m_params(other.m_params),
      m_play(other.m_play),
      m_text(CopyText(other.m_text)),
      m_owned(other.m_owned ? other.m_owned->Clone() : nullptr)
{
}

CEffectPlayer::~CEffectPlayer() { CEffectPlayer::Release(); }

i32 CEffectPlayer::Release()
{
    AlignedFree(m_text);
    m_text = nullptr;
    delete m_owned;
    m_owned = nullptr;
    return CObjectBase::Release();
}

void CEffectPlayer::SetText(const char* text)
{
    AlignedFree(m_text);
    m_text = CopyText(text);
}

void CEffectPlayer::SetOwned(CValueBase* object)
{
    if (object == m_owned) return;
    delete m_owned;
    m_owned = object;
}
