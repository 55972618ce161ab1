// CLight: a named light with its vectors, colours and flag, and the binary
// block it saves to and loads from. Nothing in the game reads the values;
// they carry the roles of a Direct3D-style light so that the class and its
// block exist with the engine.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

namespace host::kernel { class File; }

class CLight : public CResourceBase {
    ORV_VALUE_CLASS(CLight)

public:
    // Named "Light", every field at its default.
    CLight();
    // The base (name included) and every field.
    CLight(const CLight& other) = default;
    CLight& operator=(const CLight& other) = default;
    ~CLight() override = default;

    // Virtual operations appended after the resource base's.

    // Reads the block. With a file it is read at the file's position and the
    // file stays open; otherwise path is opened and closed. A name stored
    // without its terminator is ended; a block cut short after its name
    // keeps the fields past its end as they were. A short name length, or a
    // name longer than the file, returns 0 and leaves the light as it was.
    virtual i32 Load(const char* path, host::kernel::File* file);
    // Writes the block. With a file at its position (the file stays open);
    // otherwise path is replaced whole. 0 when nothing could be written.
    // An unnamed light stores a name length of 0.
    virtual i32 Save(const char* path, host::kernel::File* file);

    // The block's size for a name of nameLength bytes.
    static constexpr u32 BlockSize(u32 nameLength) { return kFixedBytes + nameLength; }

    CVector3* GetPosition() { return &m_position; }
    CVector3* GetDirection() { return &m_direction; }
    f32 GetRange() const { return m_range; }
    void SetRange(f32 range) { m_range = range; }
    u32 GetDiffuse() const { return m_diffuse; }
    void SetDiffuse(u32 argb) { m_diffuse = argb; }
    u32 GetAmbient() const { return m_ambient; }
    void SetAmbient(u32 argb) { m_ambient = argb; }
    u32 GetSpecular() const { return m_specular; }
    void SetSpecular(u32 argb) { m_specular = argb; }
    u8 GetFlag() const { return m_flag; }
    void SetFlag(u8 flag) { m_flag = flag; }
    // Constant, linear and quadratic attenuation.
    CVector3* GetAttenuation() { return &m_attenuation; }
    // Spot falloff, inner and outer cone angles.
    CVector3* GetSpot() { return &m_spot; }

private:
    // Name length word plus the fields after the name.
    static constexpr u32 kFixedBytes = 4 + 12 + 12 + 4 + 4 + 4 + 4 + 1 + 12 + 12;
    static_assert(kFixedBytes == 69);

    CVector3 m_position;                        // (0, 0, 0)
    CVector3 m_direction;                       // (0, 0, 0)
    f32 m_range = 0.0f;
    u32 m_diffuse = 0xFFFFFFFFu;
    u32 m_ambient = 0xFF888888u;
    u32 m_specular = 0xFFBBBBBBu;
    u8 m_flag = 0;
    CVector3 m_attenuation{1.0f, 0.0f, 0.0f};
    CVector3 m_spot;                            // (0, 0, 0)
};
