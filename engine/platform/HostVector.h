// The engine's vectors as the host sound layer takes them; shared by the
// sound buffers and the listener.
#pragma once

#include "engine/core/Vector3.h"

#include "host/sound/Sound.h"

inline host::sound::Vector3 ToHost(const CVector3& v) { return {v.x, v.y, v.z}; }
