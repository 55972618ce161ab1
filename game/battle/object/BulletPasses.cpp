#include "game/battle/object/BulletPasses.h"

#include "game/battle/object/BulletPairGrid.h"

#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/Bullet.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

CBulletList::~CBulletList() { DeleteAll(); }

i32 CBulletList::Add(CBullet* bullet)
{
    if (!bullet || bullet->m_list) return 0;
    bullet->m_list = this;
    bullet->m_prev = nullptr;
    bullet->m_next = m_head;
    (m_head ? m_head->m_prev : m_tail) = bullet;
    m_head = bullet;
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
        if (next) next->PrefetchForWalks();
        b->Update(frame);
        b = next;
    }
}

namespace {

// Cells a box covers; 0 for one the grid cannot take (turned inside out).
i64 CellCount(const i32* box)
{
    i64 cells = 1;
    for (int a = 0; a < 3; ++a) {
        const i64 extent = i64(box[3 + a]) - i64(box[a]) + 1;
        if (extent <= 0) return 0;
        cells *= extent;
        if (cells > (i64(1) << 32)) return cells;
    }
    return cells;
}

// A box over more cells than this (a long beam, a wide bomb) stays out of
// the grid and is tested against every bullet instead.
constexpr i64 kMaxGridCells = 27;

u32 CellHash(i32 x, i32 y, i32 z)
{
    u32 h = (u32(x) * 0x8DA6B343u) ^ (u32(y) * 0xD8163841u) ^ (u32(z) * 0xCB1AB31Fu);
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    return h ^ (h >> 12);
}

// Sorts [from, to): insertion for the few elements a bucket or a row
// nearly always holds, std::sort past that. The same order either way.
template <class T>
void SortFew(T* from, T* to)
{
    if (to - from > 16) return std::sort(from, to);
    for (T* i = from + 1; i < to; ++i) {
        const T v = *i;
        T* j = i;
        for (; j != from && v < j[-1]; --j) *j = j[-1];
        *j = v;
    }
}

template <class Visit>
void ForEachCell(const i32* box, Visit visit)
{
    for (i32 x = box[0];; ++x) {
        for (i32 y = box[1];; ++y) {
            for (i32 z = box[2];; ++z) {
                visit(x, y, z);
                if (z == box[5]) break;
            }
            if (y == box[4]) break;
        }
        if (x == box[3]) break;
    }
}

}  // namespace

void BulletPairGrid::PairBucket(const Entry* from, const Entry* to)
{
    for (const Entry* run = from; run != to;) {
        const Entry* next = run;
        while (next != to && next->owner == run->owner) ++next;
        for (const Entry* x = run; x != next; ++x) {
            for (const Entry* y = next; y != to; ++y) {
                if (x->cell[0] != y->cell[0] || x->cell[1] != y->cell[1] || x->cell[2] != y->cell[2]) continue;
                if ((x->atMin | y->atMin) != 7) continue;
                m_pairs.push_back(x->index < y->index ? x->index : y->index);
                m_pairs.push_back(x->index < y->index ? y->index : x->index);
            }
        }
        run = next;
    }
}

// A box too wide for the grid is held against every partner.
void BulletPairGrid::PairBig(const std::vector<BulletPairKey>& keys)
{
    for (u32 b : m_big) {
        for (u32 j = 0; j < keys.size(); ++j) {
            const BulletPairKey& k = keys[j];
            if (j == b || !k.partner || (m_isBig[j] && j < b)) continue;
            if (k.owner == keys[b].owner || !BoxesMeet(keys[b].box, k.box)) continue;
            m_pairs.push_back(j < b ? j : b);
            m_pairs.push_back(j < b ? b : j);
        }
    }
}

void BulletPairGrid::Build(const std::vector<BulletPairKey>& keys)
{
    const u32 n = u32(keys.size());
    m_big.clear();
    m_isBig.assign(n, 0);
    u64 entries = 0;
    for (u32 i = 0; i < n; ++i) {
        if (!keys[i].partner) continue;
        const i64 cells = CellCount(keys[i].box);
        if (cells == 0 || cells > kMaxGridCells) {
            m_big.push_back(i);
            m_isBig[i] = 1;
        } else {
            entries += u64(cells);
        }
    }
    u32 buckets = 64;
    while (buckets < entries) buckets *= 2;
    const u32 mask = buckets - 1;
    m_mask = mask;
    m_start.assign(buckets + 1, 0);
    // Each cell's bucket, in the order the second walk visits the cells.
    m_cellBucket.resize(entries);
    u32* bucketOf = m_cellBucket.data();
    const auto inGrid = [&](u32 i) { return keys[i].partner && !m_isBig[i]; };
    for (u32 i = 0; i < n; ++i) {
        if (!inGrid(i)) continue;
        ForEachCell(keys[i].box, [&](i32 x, i32 y, i32 z) {
            const u32 b = CellHash(x, y, z) & mask;
            *bucketOf++ = b;
            ++m_start[b + 1];
        });
    }
    for (u32 b = 0; b < buckets; ++b) m_start[b + 1] += m_start[b];
    m_fill.assign(m_start.begin(), m_start.end() - 1);
    m_entries.resize(entries);
    bucketOf = m_cellBucket.data();
    for (u32 i = 0; i < n; ++i) {
        if (!inGrid(i)) continue;
        const i32* box = keys[i].box;
        ForEachCell(box, [&](i32 x, i32 y, i32 z) {
            const u32 atMin = (x == box[0] ? 1u : 0u) | (y == box[1] ? 2u : 0u) | (z == box[2] ? 4u : 0u);
            m_entries[m_fill[*bucketOf++]++] = {{x, y, z}, keys[i].owner, i, atMin};
        });
    }
    m_pairs.clear();
    for (u32 b = 0; b < buckets; ++b) {
        Entry* from = m_entries.data() + m_start[b];
        Entry* to = m_entries.data() + m_start[b + 1];
        if (to - from < 2) continue;
        SortFew(from, to);
        PairBucket(from, to);
    }
    PairBig(keys);
    LayRows(m_pairs, n, m_rowStart, m_partners);
    m_patched = false;
}

BulletPairGrid::BulletPairGrid() = default;
BulletPairGrid::~BulletPairGrid() = default;

// The pairs in order of their second bullet, then rows by their first taken
// in that order: each row comes out in list order, unsorted.
void BulletPairGrid::LayRows(const std::vector<u32>& pairs, u32 n, std::vector<u32>& rowStart,
    std::vector<u32>& partners)
{
    m_fill.assign(n + 1, 0);
    for (size_t p = 0; p < pairs.size(); p += 2) ++m_fill[pairs[p + 1] + 1];
    for (u32 i = 0; i < n; ++i) m_fill[i + 1] += m_fill[i];
    m_bySecond.resize(pairs.size());
    for (size_t p = 0; p < pairs.size(); p += 2) {
        const u32 at = 2 * m_fill[pairs[p + 1]]++;
        m_bySecond[at] = pairs[p];
        m_bySecond[at + 1] = pairs[p + 1];
    }
    rowStart.assign(n + 1, 0);
    for (size_t p = 0; p < m_bySecond.size(); p += 2) ++rowStart[m_bySecond[p] + 1];
    for (u32 i = 0; i < n; ++i) rowStart[i + 1] += rowStart[i];
    m_fill.assign(rowStart.begin(), rowStart.end() - 1);
    partners.resize(pairs.size() / 2);
    for (size_t p = 0; p < m_bySecond.size(); p += 2) partners[m_fill[m_bySecond[p]]++] = m_bySecond[p + 1];
}

void BulletPairGrid::AddPair(u32 a, u32 b, std::vector<u32>& pairs) const
{
    pairs.push_back(a < b ? a : b);
    pairs.push_back(a < b ? b : a);
}

// A bullet whose box stayed inside its built one meets, of the others that
// stayed, only those its built row holds; those pairs are the built rows
// held to the new boxes. The pairs with a leaver are found anew: leavers
// among themselves by a grid of their own; a leaver and one that stayed in
// the built grid's cells, each taken in the lowest corner cell of the new
// boxes' overlap, which lies in the stayer's built box; a leaver and a
// stayer kept out of the grid, or a leaver too wide for it, by testing.
bool BulletPairGrid::Patch(const std::vector<BulletPairKey>& built, const std::vector<BulletPairKey>& keys,
    u32 maxLeavers)
{
    const u32 n = u32(keys.size());
    if (built.size() != n || m_rowStart.size() != size_t(n) + 1) return false;
    m_leavers.clear();
    for (u32 i = 0; i < n; ++i) {
        const BulletPairKey& b = built[i];
        const BulletPairKey& k = keys[i];
        if (b.owner != k.owner || b.partner != k.partner) return false;
        if (!k.partner) continue;
        for (int a = 0; a < 3; ++a) {
            if (k.box[a] > k.box[3 + a] || k.box[a] < b.box[a] || k.box[3 + a] > b.box[3 + a]) {
                m_leavers.push_back(i);
                break;
            }
        }
        if (m_leavers.size() > maxLeavers) return false;
    }
    m_leaver.assign(n, 0);
    for (u32 l : m_leavers) m_leaver[l] = 1;
    m_extraPairs.clear();
    if (m_leavers.size() > 1) {
        m_leaverKeys.clear();
        for (u32 l : m_leavers) m_leaverKeys.push_back(keys[l]);
        if (!m_leaverGrid) m_leaverGrid = std::make_unique<BulletPairGrid>();
        m_leaverGrid->Build(m_leaverKeys);
        for (u32 a = 0; a < m_leaverKeys.size(); ++a) {
            m_leaverGrid->ForEachPartner(a, m_leaverKeys, [&](u32 b) {
                m_extraPairs.push_back(m_leavers[a]);
                m_extraPairs.push_back(m_leavers[b]);
            });
        }
    }
    for (u32 l : m_leavers) {
        const i32* box = keys[l].box;
        const u32 owner = keys[l].owner;
        const i64 cells = CellCount(box);
        if (cells == 0 || cells > kMaxGridCells) {
            for (u32 j = 0; j < n; ++j) {
                const BulletPairKey& k = keys[j];
                if (m_leaver[j] || !k.partner || k.owner == owner || !BoxesMeet(box, k.box)) continue;
                AddPair(l, j, m_extraPairs);
            }
            continue;
        }
        for (u32 j : m_big) {
            if (m_leaver[j] || keys[j].owner == owner || !BoxesMeet(box, keys[j].box)) continue;
            AddPair(l, j, m_extraPairs);
        }
        ForEachCell(box, [&](i32 x, i32 y, i32 z) {
            const u32 b = CellHash(x, y, z) & m_mask;
            for (const Entry* e = m_entries.data() + m_start[b]; e != m_entries.data() + m_start[b + 1]; ++e) {
                if (e->cell[0] != x || e->cell[1] != y || e->cell[2] != z) continue;
                if (e->owner == owner || m_leaver[e->index]) continue;
                const i32* other = keys[e->index].box;
                if (!BoxesMeet(box, other)) continue;
                if (x != std::max(box[0], other[0]) || y != std::max(box[1], other[1]) ||
                    z != std::max(box[2], other[2])) {
                    continue;
                }
                AddPair(l, e->index, m_extraPairs);
            }
        });
    }
    LayRows(m_extraPairs, n, m_extraStart, m_extraPartners);
    m_patched = true;
    return true;
}

namespace {

struct PairScratch {
    std::vector<BulletPairKey> keys;
    std::vector<BulletPairKey> built;   // the keys the grid was last built from
    BulletPairGrid grid;
};

PairScratch& Scratch()
{
    static PairScratch scratch;
    return scratch;
}

// Every pair (a, b) once, a earlier in the list and willing to meet
// bullets, handing the callback b after b in list order. Bullets only end
// by flags here, so the links stay valid; one fired meanwhile joins at the
// tail and is reached by every row still to come and by the row under way.
template <class Call>
void WalkAllPairs(CBulletList& list, BulletPassCounts* counts, Call call)
{
    u64 walked = 0;
    for (CBullet* a = list.First(); a; a = a->GetNext()) {
        if (!a->IsHittableBy(kGroupBullet)) continue;
        for (CBullet* b = a->GetNext(); b; b = b->GetNext()) {
            call(a, b);
            ++walked;
        }
    }
    if (counts) {
        counts->bulletPairs += walked;
        counts->gatedPairs += walked;
    }
}

// The same pairs as WalkAllPairs where the gate can pass: the bullets in
// the list when the walk starts through the grid, those fired during it
// (after them in the list) by the plain walk.
template <class Call>
void WalkPairs(CBulletList& list, BulletPairWalk walk, BulletPassCounts* counts, Call call)
{
    if (walk == BulletPairWalk::kAllPairs) return WalkAllPairs(list, counts, call);
    PairScratch& s = Scratch();
    s.keys.resize(list.GetCount());
    BulletPairKey* key = s.keys.data();
    for (CBullet* b = list.First(); b; b = b->GetNext(), ++key) {
        if (const CBullet* next = b->GetNext()) next->PrefetchForWalks();
        key->bullet = b;
        std::memcpy(key->box, b->GetGridBox(), sizeof key->box);
        key->owner = b->GetState().ownerId;
        key->partner = b->GetRecord() && !b->Values().bulletThroughFlg ? 1u : 0u;
    }
    // The second pass's boxes are the first's, most of them only shrunk to
    // where their bullets stopped: the first pass's grid is patched for the
    // rest unless they are many. The next frame's first pass patches the
    // same build again, its leavers adding up frame by frame; past an eighth
    // of the bullets a new build is cheaper than looking them all up.
    const bool reused = s.grid.Patch(s.built, s.keys, u32(s.keys.size() / 8));
    if (!reused) s.grid.Build(s.keys);
    const u32 n = u32(s.keys.size());
    CBullet* const last = n ? s.keys[n - 1].bullet : nullptr;
    u64 walked = 0, called = 0;
    for (u32 i = 0; i < n; ++i) {
        CBullet* a = s.keys[i].bullet;
        if (!a->IsHittableBy(kGroupBullet)) continue;
        walked += n - 1 - i;
        // The first bullet's own gate tests hold for its whole row: only a
        // contact could change them, and none happens while they fail.
        const bool live = a->GetRecord() && a->CanHit() && s.keys[i].partner;
        if (live) {
            s.grid.ForEachPartner(i, s.keys, [&](u32 j) {
                call(a, s.keys[j].bullet);
                ++called;
            });
        }
        for (CBullet* b = last->GetNext(); b; b = b->GetNext()) {
            if (live) {
                call(a, b);
                ++called;
            }
            ++walked;
        }
    }
    for (CBullet* a = last ? last->GetNext() : list.First(); a; a = a->GetNext()) {
        if (!a->IsHittableBy(kGroupBullet)) continue;
        for (CBullet* b = a->GetNext(); b; b = b->GetNext()) {
            call(a, b);
            ++walked;
            ++called;
        }
    }
    // The keys the grid was built from are kept; the next walk's are made
    // in the other vector.
    if (!reused) std::swap(s.built, s.keys);
    if (counts) {
        counts->bulletPairs += walked;
        counts->gatedPairs += called;
    }
}

template <class Call>
void WalkFighters(CBulletList& list, IBattleCharacter* const* fighters, u32 count, BulletPassCounts* counts,
    Call call)
{
    for (u32 f = 0; f < count; ++f) {
        if (!fighters[f]) continue;
        for (CBullet* b = list.First(); b; b = b->GetNext()) {
            if (const CBullet* next = b->GetNext()) next->PrefetchForWalks();
            call(fighters[f], b);
            if (counts) ++counts->fighterPairs;
        }
    }
}

}  // namespace

void RunBulletPairTests(CBulletList& list, BulletPassCounts* counts, BulletPairWalk walk)
{
    WalkPairs(list, walk, counts, [](CBullet* a, CBullet* b) { a->HitTestBullet(b); });
}

void RunBulletPairHits(CBulletList& list, BulletPassCounts* counts, BulletPairWalk walk)
{
    WalkPairs(list, walk, counts, [](CBullet* a, CBullet* b) { a->HitBullet(b); });
}

void RunBulletFirstPass(CBulletList& list, IBattleCharacter* const* fighters, u32 fighterCount, u32 frame,
    BulletPassCounts* counts, BulletPairWalk walk)
{
    RunBulletPairTests(list, counts, walk);
    WalkFighters(list, fighters, fighterCount, counts,
        [frame](IBattleCharacter* c, CBullet* b) { c->HitTestBullet(b, frame); });
    for (CBullet* b = list.First(); b; b = b->GetNext()) {
        if (const CBullet* next = b->GetNext()) next->PrefetchForWalks();
        b->MoveStep();
        if (counts) ++counts->bulletSteps;
    }
}

void RunBulletSecondPass(CBulletList& list, IBattleCharacter* const* fighters, u32 fighterCount, u32 frame,
    BulletPassCounts* counts, BulletPairWalk walk)
{
    RunBulletPairHits(list, counts, walk);
    WalkFighters(list, fighters, fighterCount, counts,
        [frame](IBattleCharacter* c, CBullet* b) { c->HitBullet(b, frame); });
    // The one walk that deletes: the next bullet is taken before each call.
    for (CBullet* b = list.First(); b;) {
        CBullet* next = b->GetNext();
        if (next) next->PrefetchForWalks();
        b->FrameStep();
        if (counts) ++counts->bulletSteps;
        b = next;
    }
}
