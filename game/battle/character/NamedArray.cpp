#include "game/battle/character/NamedArray.h"

#include <cstring>

void CNamedArray::SetName(const char* name)
{
    std::memset(m_name, 0, sizeof m_name);
    if (name) std::strncpy(m_name, name, sizeof m_name - 1);
}
