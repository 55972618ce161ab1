// The broad phase of the bullet pair walks: the pairs whose gate can pass,
// found by hashing bullets by the cells of their grid boxes.
#pragma once

#include "engine/core/Types.h"

#include <memory>
#include <vector>

class CBullet;

// What the broad phase reads of a bullet, none of which a pair callback
// changes: its grid box (set by Update and MoveStep only), its owner, and
// whether it can be the second of a pair at all (a record without
// BULLETTHROUGHFLG).
struct BulletPairKey {
    CBullet* bullet;
    i32 box[6];
    u32 owner;
    u32 partner;
};

inline bool BoxesMeet(const i32* p, const i32* q)
{
    return p[0] <= q[3] && q[0] <= p[3] && p[1] <= q[4] && q[1] <= p[4] && p[2] <= q[5] && q[2] <= p[5];
}

// Row i holds i's partners after it, in list order: later bullets that can
// be second of a pair, of another owner, whose boxes meet i's (both i and
// the partner able to be second of a pair).
class BulletPairGrid {
public:
    BulletPairGrid();
    ~BulletPairGrid();
    BulletPairGrid(const BulletPairGrid&) = delete;
    BulletPairGrid& operator=(const BulletPairGrid&) = delete;

    // The rows of keys, from scratch.
    void Build(const std::vector<BulletPairKey>& keys);
    // The rows of keys from the grid last built from built: the bullets
    // whose boxes stayed inside their built ones keep their rows (held to
    // the new boxes), those that left them are looked up anew. False, and
    // the grid untouched, when it cannot (another count of bullets, an
    // index of another owner or partner flag) or more than maxLeavers left.
    bool Patch(const std::vector<BulletPairKey>& built, const std::vector<BulletPairKey>& keys, u32 maxLeavers);

    // Visits row i of the keys last built or patched for, in list order.
    template <class Visit>
    void ForEachPartner(u32 i, const std::vector<BulletPairKey>& keys, Visit visit) const
    {
        const u32* j = m_partners.data() + m_rowStart[i];
        const u32* const je = m_partners.data() + m_rowStart[i + 1];
        if (!m_patched) {
            for (; j != je; ++j) visit(*j);
            return;
        }
        const u32* x = m_extraPartners.data() + m_extraStart[i];
        const u32* const xe = m_extraPartners.data() + m_extraStart[i + 1];
        const i32* box = keys[i].box;
        if (!m_leaver[i]) {
            for (; j != je; ++j) {
                if (m_leaver[*j] || !BoxesMeet(box, keys[*j].box)) continue;
                for (; x != xe && *x < *j; ++x) visit(*x);
                visit(*j);
            }
        }
        for (; x != xe; ++x) visit(*x);
    }

private:
    struct Entry {
        i32 cell[3];
        u32 owner;
        u32 index;
        u32 atMin;   // bit per axis: the cell is on the box's lowest layer
        bool operator<(const Entry& o) const { return owner != o.owner ? owner < o.owner : index < o.index; }
    };
    void PairBucket(const Entry* from, const Entry* to);
    void PairBig(const std::vector<BulletPairKey>& keys);
    void AddPair(u32 a, u32 b, std::vector<u32>& pairs) const;
    // Rows by first bullet, each in list order, from (first, second) pairs.
    void LayRows(const std::vector<u32>& pairs, u32 n, std::vector<u32>& rowStart, std::vector<u32>& partners);

    u32 m_mask = 0;
    bool m_patched = false;
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
    // Of a patch: which bullets left their built boxes, and the rows of the
    // pairs with one of them.
    std::vector<u8> m_leaver;
    std::vector<u32> m_leavers;
    std::vector<BulletPairKey> m_leaverKeys;
    std::unique_ptr<BulletPairGrid> m_leaverGrid;
    std::vector<u32> m_extraPairs;
    std::vector<u32> m_extraStart;
    std::vector<u32> m_extraPartners;
};
