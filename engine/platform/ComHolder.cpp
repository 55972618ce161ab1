#include "engine/platform/ComHolder.h"

#include <atomic>

namespace {

std::atomic<CComHolder*> g_holder{nullptr};

}  // namespace

CComHolder::~CComHolder()
{
    // Only its own registration: a newer holder stays registered.
    CComHolder* self = this;
    g_holder.compare_exchange_strong(self, nullptr);
}

i32 CComHolder::Init(CSystem* window)
{
    m_window = window;
    g_holder.store(this);
    return 1;
}

CComHolder* GetComHolder() { return g_holder.load(); }
