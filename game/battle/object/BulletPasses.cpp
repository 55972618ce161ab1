#include "game/battle/object/BulletPasses.h"

#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/Bullet.h"

#include <cstring>
#include <vector>

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

// What the pair gate reads of the later bullet and that no pair callback
// changes: its record's through flag, its owner and its grid box. Kept
// side by side so the n^2 walk stays in the cache; the callback still runs
// the whole gate.
struct PairKey {
    CBullet* bullet;
    i32 box[6];
    u32 owner;
    u32 through;
};

std::vector<PairKey>& Keys()
{
    static std::vector<PairKey> keys;
    return keys;
}

// Every pair (a, b) once, a earlier in the list and willing to meet
// bullets. Bullets only end by flags here, so the links stay valid; one
// fired meanwhile joins at the tail and is reached too, by the plain walk.
template <class Call>
void WalkPairs(CBulletList& list, BulletPassCounts* counts, Call call)
{
    std::vector<PairKey>& keys = Keys();
    keys.clear();
    for (CBullet* b = list.First(); b; b = b->GetNext()) {
        PairKey k{b, {}, b->GetState().ownerId, b->GetRecord() && b->Values().bulletThroughFlg ? 1u : 0u};
        std::memcpy(k.box, b->GetGridBox(), sizeof k.box);
        keys.push_back(k);
    }
    const size_t n = keys.size();
    CBullet* const last = n ? keys[n - 1].bullet : nullptr;
    u64 walked = 0, gated = 0;
    const auto lateComers = [&](CBullet* a) {
        for (CBullet* b = last ? last->GetNext() : list.First(); b; b = b->GetNext()) {
            call(a, b);
            ++walked;
            ++gated;
        }
    };
    for (size_t i = 0; i < n; ++i) {
        CBullet* a = keys[i].bullet;
        if (!a->IsHittableBy(kGroupBullet)) continue;
        walked += n - 1 - i;
        // The live tests of the first bullet decide the whole row.
        if (a->GetRecord() && a->CanHit() && !keys[i].through) {
            const PairKey& ka = keys[i];
            for (size_t j = i + 1; j < n; ++j) {
                const PairKey& kb = keys[j];
                if (kb.through || kb.owner == ka.owner) continue;
                if (ka.box[0] > kb.box[3] || kb.box[0] > ka.box[3] || ka.box[1] > kb.box[4] || kb.box[1] > ka.box[4] ||
                    ka.box[2] > kb.box[5] || kb.box[2] > ka.box[5])
                    continue;
                call(a, kb.bullet);
                ++gated;
            }
        }
        lateComers(a);
    }
    for (CBullet* a = last ? last->GetNext() : nullptr; a; a = a->GetNext()) {
        if (!a->IsHittableBy(kGroupBullet)) continue;
        for (CBullet* b = a->GetNext(); b; b = b->GetNext()) {
            call(a, b);
            ++walked;
            ++gated;
        }
    }
    if (counts) {
        counts->bulletPairs += walked;
        counts->gatedPairs += gated;
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

void RunBulletPairTests(CBulletList& list, BulletPassCounts* counts)
{
    WalkPairs(list, counts, [](CBullet* a, CBullet* b) { a->HitTestBullet(b); });
}

void RunBulletPairHits(CBulletList& list, BulletPassCounts* counts)
{
    WalkPairs(list, counts, [](CBullet* a, CBullet* b) { a->HitBullet(b); });
}

void RunBulletFirstPass(CBulletList& list, IBattleCharacter* const* fighters, u32 fighterCount, u32 frame,
    BulletPassCounts* counts)
{
    RunBulletPairTests(list, counts);
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
    RunBulletPairHits(list, counts);
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
