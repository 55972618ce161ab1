// CNestedLoadGuard: held around the load of every shot settings file, whose
// children (BARRAGE, PATTERN, BULLET) name further files that may lead back
// to one still loading. It refuses, on this thread:
// - a file that is already being loaded further up the chain (a cycle),
//   whether named as written ("Barrage.txt") or as its cache
//   ("Setting/Barrage.dat");
// - a chain deeper than kMaxDepth files;
// - a name that is empty, absolute, or climbs with "..", so a settings text
//   reads and writes (its cache) only below the data folder.
#pragma once

#include "engine/core/Types.h"

#include <string>

class CNestedLoadGuard {
public:
    static constexpr u32 kMaxDepth = 24;

    explicit CNestedLoadGuard(const char* path);
    ~CNestedLoadGuard();
    CNestedLoadGuard(const CNestedLoadGuard&) = delete;
    CNestedLoadGuard& operator=(const CNestedLoadGuard&) = delete;

    // False when the load must not go on.
    explicit operator bool() const { return m_entered; }

    // Files being loaded on this thread right now.
    static u32 Depth();

private:
    bool m_entered = false;
};
