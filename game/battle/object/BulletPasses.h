// The battle scene's bullet list and the per-frame walks over it: Update on
// every bullet, then the two interaction passes between bullets and
// fighters. The scene owns one list; a bullet unlinks itself when deleted.
#pragma once

#include "engine/core/StateHash.h"
#include "engine/core/Types.h"

class CBullet;
class IBattleCharacter;

class CBulletList {
public:
    CBulletList() = default;
    CBulletList(const CBulletList&) = delete;
    CBulletList& operator=(const CBulletList&) = delete;
    // Deletes the bullets still in the list.
    ~CBulletList();

    // Puts the bullet first: a walk under way (the update, the passes) does
    // not reach a bullet fired during it until the next frame.
    // 0 for null or a bullet already in a list.
    i32 Add(CBullet* bullet);
    // 0 when the bullet is not in this list.
    i32 Remove(CBullet* bullet);
    void DeleteAll();
    CBullet* First() const { return m_head; }
    u32 GetCount() const { return m_count; }
    // Each bullet's state in list order.
    void HashState(CStateHash& hash) const;

private:
    CBullet* m_head = nullptr;
    CBullet* m_tail = nullptr;
    u32 m_count = 0;
};

struct BulletPassCounts {
    u64 bulletPairs = 0;     // pairs of bullets walked (whichever walk finds them)
    u64 gatedPairs = 0;      // of those, handed to the pair callback
    u64 fighterPairs = 0;    // bullet-fighter pairs visited
    u64 bulletSteps = 0;     // MoveStep and FrameStep calls
};

// How a pass finds the bullet pairs. Both hand the callback the same pairs
// in the same order wherever it can do anything: for each bullet a in list
// order, its partners later in the list, in list order. kAllPairs walks
// every pair (the yardstick); kBroadPhase looks the partners up among the
// bullets whose grid boxes overlap a's and leaves out the pairs whose gate
// cannot pass: a partner of a's owner, one with BULLETTHROUGHFLG, one with
// a box apart. The shared-group query the gate makes before the box test
// only reads a battle option, so leaving it unasked changes nothing.
enum class BulletPairWalk { kBroadPhase, kAllPairs };

// Update(frame) on every bullet, taking the next before each call.
void UpdateBullets(CBulletList& list, u32 frame);
// The pair walks alone (HitTestBullet, HitBullet on every pair of bullets
// that may meet): the battle scene puts its own walks between them and the
// bullet steps.
void RunBulletPairTests(CBulletList& list, BulletPassCounts* counts = nullptr,
    BulletPairWalk walk = BulletPairWalk::kBroadPhase);
void RunBulletPairHits(CBulletList& list, BulletPassCounts* counts = nullptr,
    BulletPairWalk walk = BulletPairWalk::kBroadPhase);
// HitTestBullet on every pair, the fighters' first-pass test on every
// bullet-fighter pair, then MoveStep on every bullet.
void RunBulletFirstPass(CBulletList& list, IBattleCharacter* const* fighters, u32 fighterCount, u32 frame,
    BulletPassCounts* counts = nullptr, BulletPairWalk walk = BulletPairWalk::kBroadPhase);
// HitBullet on every pair, the fighters' second-pass hit on every pair, then
// FrameStep on every bullet: the walk that deletes ended bullets.
void RunBulletSecondPass(CBulletList& list, IBattleCharacter* const* fighters, u32 fighterCount, u32 frame,
    BulletPassCounts* counts = nullptr, BulletPairWalk walk = BulletPairWalk::kBroadPhase);
