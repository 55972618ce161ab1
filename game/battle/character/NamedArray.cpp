#include "game/battle/character/NamedArray.h"

#include <cstring>

void CNamedArray::SetName(const char* name)
{
    std::memset(m_name, 0, sizeof m_name);
    if (name) std::memcpy(m_name, name, strnlen(name, kNameBytes));
}
