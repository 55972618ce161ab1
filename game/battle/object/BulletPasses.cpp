#include "game/battle/object/BulletPasses.h"

#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/Bullet.h"

CBulletList::~CBulletList() { DeleteAll(); }

i32 CBulletList::Add(CBullet* bullet)
{
    if (!bullet || bullet->m_list) return 0;
    bullet->m_list = this;
    bullet->m_prev = m_tail;
    bullet->m_next = nullptr;
    (m_tail ? m_tail->m_next : m_head) = bullet;
    m_tail = bullet;
    ++m_count;
    return 1;
}

i32 CBulletList::Remove(CBullet* bullet)
{
    if (!bullet || bullet->m_list != this) return 0;
    (bullet->m_prev ? bullet->m_prev->m_next : m_head) = bullet->m_next;
    (bullet->m_next ? bullet->m_next->m_prev : m_tail) = bullet->m_prev;
    bullet->m_list = nullptr;
    bullet->m_prev = bullet->m_next = nullptr;
    --m_count;
    return 1;
}

void CBulletList::DeleteAll()
{
    while (m_head) delete m_head;   // each unlinks itself
}

void CBulletList::HashState(CStateHash& hash) const
{
    hash.U32(m_count);
    for (const CBullet* b = m_head; b; b = b->GetNext()) b->HashState(hash);
}

void UpdateBullets(CBulletList& list, u32 frame)
{
    for (CBullet* b = list.First(); b;) {
        CBullet* next = b->GetNext();
        b->Update(frame);
        b = next;
    }
}

namespace {

// Every pair (a, b) once, a earlier in the list and willing to meet
// bullets. Bullets only end by flags here, so the links stay valid; one
// fired meanwhile joins at the tail and is reached too.
template <class Call>
void WalkPairs(CBulletList& list, BulletPassCounts* counts, Call call)
{
    for (CBullet* a = list.First(); a; a = a->GetNext()) {
        if (!a->IsHittableBy(kGroupBullet)) continue;
        for (CBullet* b = a->GetNext(); b; b = b->GetNext()) {
            call(a, b);
            if (counts) ++counts->bulletPairs;
        }
    }
}

template <class Call>
void WalkFighters(CBulletList& list, IBattleCharacter* const* fighters, u32 count, BulletPassCounts* counts,
    Call call)
{
    for (u32 f = 0; f < count; ++f) {
        if (!fighters[f]) continue;
        for (CBullet* b = list.First(); b; b = b->GetNext()) {
            call(fighters[f], b);
            if (counts) ++counts->fighterPairs;
        }
    }
}

}  // namespace

void RunBulletFirstPass(CBulletList& list, IBattleCharacter* const* fighters, u32 fighterCount, u32 frame,
    BulletPassCounts* counts)
{
    WalkPairs(list, counts, [](CBullet* a, CBullet* b) { a->HitTestBullet(b); });
    WalkFighters(list, fighters, fighterCount, counts,
        [frame](IBattleCharacter* c, CBullet* b) { c->HitTestBullet(b, frame); });
    for (CBullet* b = list.First(); b; b = b->GetNext()) {
        b->MoveStep();
        if (counts) ++counts->bulletSteps;
    }
}

void RunBulletSecondPass(CBulletList& list, IBattleCharacter* const* fighters, u32 fighterCount, u32 frame,
    BulletPassCounts* counts)
{
    WalkPairs(list, counts, [](CBullet* a, CBullet* b) { a->HitBullet(b); });
    WalkFighters(list, fighters, fighterCount, counts,
        [frame](IBattleCharacter* c, CBullet* b) { c->HitBullet(b, frame); });
    // The one walk that deletes: the next bullet is taken before each call.
    for (CBullet* b = list.First(); b;) {
        CBullet* next = b->GetNext();
        b->FrameStep();
        if (counts) ++counts->bulletSteps;
        b = next;
    }
}
