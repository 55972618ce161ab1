#include "game/battle/character/BattleObjectFactory.h"

#include "game/battle/object/Barrage.h"
#include "game/battle/object/CameraParameter.h"
#include "game/battle/object/SpellCard.h"
#include "game/battle/object/SpellCardSetting.h"

ICameraController* CBattleObjectFactory::CreateCameraController(const CCameraParameter& camera)
{
    return new CCameraController(new CCameraParameter(camera));
}

CObjectDivision* CBattleObjectFactory::CreateBarrage(const CPatternListParameter& barrage)
{
    return new CBarrage(&barrage);
}

CObjectDivision* CBattleObjectFactory::CreateSpellCard(const CSpellCardSetting& settings, u32 ownerWord)
{
    return new CSpellCard(new CSpellCardSetting(settings), ownerWord);
}
