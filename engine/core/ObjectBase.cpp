#include "engine/core/ObjectBase.h"

CMatrix* CObjectBase::UpdateMatrix()
{
    m_world.RotationEuler(&m_rotation);
    MatrixScaleRows(&m_world, &m_scaling);
    // With the last column (0, 0, 0, 1) this puts the position in row 3.
    MatrixTranslate(&m_world, &m_position);
    return &m_world;
}

CVector3* CObjectBase::GetBackVector(CVector3* out) const
{
    if (!out) return out;
    CMatrix rotation;
    rotation.RotationEuler(&m_rotation);
    const CVector3 back(0.0f, 0.0f, 1.0f);
    back.TransformNormalInto(rotation, out);
    return out;
}
