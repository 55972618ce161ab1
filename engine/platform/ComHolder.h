// `CComHolder`: what movie playback needs of the application for the whole
// run. A movie decoder that lives in a component runtime would need that
// started here; ours needs nothing started, so it only names the
// main window for the movie player, through a process-wide pointer that
// lives exactly as long as the holder.
#pragma once

#include "engine/core/Types.h"

class CSystem;

class CComHolder {
public:
    CComHolder() = default;
    ~CComHolder();
    CComHolder(const CComHolder&) = delete;
    CComHolder& operator=(const CComHolder&) = delete;

    // Keeps the window and registers the holder. 1.
    i32 Init(CSystem* window);
    CSystem* GetWindow() const { return m_window; }

private:
    CSystem* m_window = nullptr;
};

// The registered holder; null before Init and once it is deleted.
CComHolder* GetComHolder();
