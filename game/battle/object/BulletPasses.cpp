#include "game/battle/object/BulletPasses.h"

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
        b->Update(frame);
        b = next;
    }
}

namespace {

// What the broad phase reads of a bullet, none of which a pair callback
// changes: its grid box (set by Update and MoveStep only), its owner, and
// whether it can be the second of a pair at all (a record without
// BULLETTHROUGHFLG).
struct PairKey {
    CBullet* bullet;
    i32 box[6];
    u32 owner;
    u32 partner;
};

bool BoxesMeet(const i32* p, const i32* q)
{
    return p[0] <= q[3] && q[0] <= p[3] && p[1] <= q[4] && q[1] <= p[4] && p[2] <= q[5] && q[2] <= p[5];
}

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

// The pairs of one walk whose gate can pass, found by hashing the bullets
// by the cells of their grid boxes: two bullets meet in a cell of both
// boxes, and are taken in one cell only, the lowest corner of the boxes'
// overlap. Bullets of one owner, a fighter's fresh volley crowding its
// cell, are stepped over as a run.
class PairGrid {
public:
    void Build(const std::vector<PairKey>& keys);
    // keys[i]'s partners after it, in list order: later bullets that can be
    // second of a pair, of another owner, whose boxes meet i's.
    const u32* begin(u32 i) const { return m_partners.data() + m_rowStart[i]; }
    const u32* end(u32 i) const { return m_partners.data() + m_rowStart[i + 1]; }

private:
    struct Entry {
        i32 cell[3];
        u32 owner;
        u32 index;
        u32 atMin;   // bit per axis: the cell is on the box's lowest layer
        bool operator<(const Entry& o) const { return owner != o.owner ? owner < o.owner : index < o.index; }
    };
    void PairBucket(const Entry* from, const Entry* to);
    void PairBig(const std::vector<PairKey>& keys);

    std::vector<u32> m_start;   // bucket -> its first entry, one past the last bucket too
    std::vector<u32> m_fill;
    std::vector<u32> m_cellBucket;
    std::vector<Entry> m_entries;
    std::vector<u32> m_big;     // partners kept out of the grid
    std::vector<u8> m_isBig;
    std::vector<u32> m_pairs;   // (first, second) side by side
    std::vector<u32> m_bySecond;   // the same, in order of the second
    std::vector<u32> m_rowStart;
    std::vector<u32> m_partners;
};

void PairGrid::PairBucket(const Entry* from, const Entry* to)
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
void PairGrid::PairBig(const std::vector<PairKey>& keys)
{
    for (u32 b : m_big) {
        for (u32 j = 0; j < keys.size(); ++j) {
            const PairKey& k = keys[j];
            if (j == b || !k.partner || (m_isBig[j] && j < b)) continue;
            if (k.owner == keys[b].owner || !BoxesMeet(keys[b].box, k.box)) continue;
            m_pairs.push_back(j < b ? j : b);
            m_pairs.push_back(j < b ? b : j);
        }
    }
}

void PairGrid::Build(const std::vector<PairKey>& keys)
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
    // The pairs in order of their second bullet, then rows by their first
    // taken in that order: each row comes out in list order, unsorted.
    const size_t pairs = m_pairs.size() / 2;
    m_fill.assign(n + 1, 0);
    for (size_t p = 0; p < m_pairs.size(); p += 2) ++m_fill[m_pairs[p + 1] + 1];
    for (u32 i = 0; i < n; ++i) m_fill[i + 1] += m_fill[i];
    m_bySecond.resize(m_pairs.size());
    for (size_t p = 0; p < m_pairs.size(); p += 2) {
        const u32 at = 2 * m_fill[m_pairs[p + 1]]++;
        m_bySecond[at] = m_pairs[p];
        m_bySecond[at + 1] = m_pairs[p + 1];
    }
    m_rowStart.assign(n + 1, 0);
    for (size_t p = 0; p < m_bySecond.size(); p += 2) ++m_rowStart[m_bySecond[p] + 1];
    for (u32 i = 0; i < n; ++i) m_rowStart[i + 1] += m_rowStart[i];
    m_fill.assign(m_rowStart.begin(), m_rowStart.end() - 1);
    m_partners.resize(pairs);
    for (size_t p = 0; p < m_bySecond.size(); p += 2) m_partners[m_fill[m_bySecond[p]]++] = m_bySecond[p + 1];
}

// Whether the grid built from built still holds every pair of keys whose
// boxes meet: the same number of bullets, each index of the same owner and
// partner flag, each box a box (no axis turned inside out) inside the one
// it was built from. Boxes inside boxes meet only where those met, so a
// row of the old grid, held to the new boxes, is the row a new grid gives.
// The second pass finds this after bullets that met no other only shrank
// their swept boxes to where they stopped.
bool GridStillHolds(const std::vector<PairKey>& built, const std::vector<PairKey>& keys)
{
    if (built.size() != keys.size()) return false;
    for (size_t i = 0; i < keys.size(); ++i) {
        const PairKey& b = built[i];
        const PairKey& k = keys[i];
        if (b.owner != k.owner || b.partner != k.partner) return false;
        for (int a = 0; a < 3; ++a) {
            if (k.box[a] > k.box[3 + a] || k.box[a] < b.box[a] || k.box[3 + a] > b.box[3 + a]) return false;
        }
    }
    return true;
}

struct PairScratch {
    std::vector<PairKey> keys;
    std::vector<PairKey> built;   // the keys the grid was last built from
    PairGrid grid;
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
    PairKey* key = s.keys.data();
    for (CBullet* b = list.First(); b; b = b->GetNext(), ++key) {
        key->bullet = b;
        std::memcpy(key->box, b->GetGridBox(), sizeof key->box);
        key->owner = b->GetState().ownerId;
        key->partner = b->GetRecord() && !b->Values().bulletThroughFlg ? 1u : 0u;
    }
    const bool reused = GridStillHolds(s.built, s.keys);
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
        if (live && reused) {
            const i32* box = s.keys[i].box;
            for (const u32* j = s.grid.begin(i); j != s.grid.end(i); ++j) {
                if (!BoxesMeet(box, s.keys[*j].box)) continue;
                call(a, s.keys[*j].bullet);
                ++called;
            }
        } else if (live) {
            for (const u32* j = s.grid.begin(i); j != s.grid.end(i); ++j) call(a, s.keys[*j].bullet);
            called += u64(s.grid.end(i) - s.grid.begin(i));
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
        b->FrameStep();
        if (counts) ++counts->bulletSteps;
        b = next;
    }
}
