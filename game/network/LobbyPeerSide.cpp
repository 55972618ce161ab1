#include "game/network/LobbyPeerSide.h"

#include "game/network/UPnP.h"
#include "host/kernel/Kernel.h"

namespace {

class PeerSide final : public ILobbyPeerSide {
public:
    PeerSide(host::net::Net* net, host::net::Endpoint discovery)
        : m_netArg(net), m_host(net), m_lineTest(net), m_discovery(discovery)
    {
    }

    CNetHost* Host() override { return &m_host; }
    i32 InitHost(const char* tag1, const char* tag2) override { return m_host.Init(tag1, tag1, tag2); }
    i32 InitListener(u16 port, peer::AcceptCallback accept, void* acceptContext, peer::MessageCallback message,
                     void* messageContext, peer::DisconnectCallback disconnect, void* disconnectContext) override
    {
        return m_host.InitListener(port, accept, acceptContext, message, messageContext, disconnect,
                                   disconnectContext);
    }
    i32 StartListening() override { return m_host.StartListening(); }
    void StopListening() override { m_host.StopListening(); }
    void RequestCloseAll() override { m_host.RequestCloseAll(); }
    i32 ConnectByAddress(u32 address, u16 port, const peer::Callbacks& callbacks) override
    {
        return m_host.ConnectByAddress(&address, port, peer::kStreamChannel, callbacks);
    }
    i32 Broadcast(i16 type, const void* payload, u32 length) override
    {
        return m_host.Broadcast(type, peer::kSubType, payload, length, peer::kStreamChannel);
    }
    i32 InitLineTest(u16 port) override { return m_lineTest.Init(port); }
    i32 RunLineTest(u32 address, u16 size, u16 count, LineTestResults* results) override
    {
        return m_lineTest.Run(address, size, count, results);
    }
    bool HasMapper() override { return m_mapper != nullptr; }
    i32 CreateMapperAndDiscover() override
    {
        auto mapper = std::make_unique<CUPnP>(m_netArg, m_discovery);
        {
            host::kernel::Lock hold(m_mapperLock);
            m_mapper = std::move(mapper);
            m_mapper->SetBudget(Remaining());
            // A spent budget leaves the new mapper nothing, not a last
            // millisecond a quick gateway could still answer in.
            if (m_cancelled || Spent()) m_mapper->Cancel();
        }
        return m_mapper->Discover();
    }
    void BeginMapping(u32 budgetMs) override
    {
        host::kernel::Lock hold(m_mapperLock);
        m_cancelled = false;
        m_budgetStart = host::kernel::TimeGetTime();
        m_budgetMs = budgetMs;
        if (m_mapper) m_mapper->SetBudget(budgetMs);
    }
    void CancelMapping() override
    {
        host::kernel::Lock hold(m_mapperLock);
        m_cancelled = true;
        if (m_mapper) m_mapper->Cancel();
    }
    i32 IsMapped(u16 port, const char* protocol, const char* internalClient) override
    {
        return m_mapper ? m_mapper->IsMapped(port, protocol, internalClient) : 0;
    }
    i32 AddMapping(u16 port, const char* protocol, const char* internalClient, const char* description) override
    {
        return m_mapper ? m_mapper->AddMapping(port, port, protocol, internalClient, description) : 0;
    }
    void DropMapper() override
    {
        std::unique_ptr<CUPnP> dropped;
        {
            host::kernel::Lock hold(m_mapperLock);
            dropped = std::move(m_mapper);
        }
        // Its deletions run without the lock a cancel takes.
    }

private:
    // Under m_mapperLock: the step's budget left for a mapper made now (at
    // least 1 ms: 0 would mean none).
    bool Spent() const { return m_budgetMs != 0 && host::kernel::TimeGetTime() - m_budgetStart >= m_budgetMs; }
    u32 Remaining() const
    {
        if (m_budgetMs == 0) return 0;
        const u32 spent = host::kernel::TimeGetTime() - m_budgetStart;
        return spent >= m_budgetMs ? 1 : m_budgetMs - spent;
    }

    host::net::Net* m_netArg;
    CNetHost m_host;
    CLineTest m_lineTest;
    host::net::Endpoint m_discovery;
    // The worker makes, uses and drops the mapper; a cancel reaches it from
    // other threads under this lock (a leaf).
    host::kernel::CriticalSection m_mapperLock;
    std::unique_ptr<CUPnP> m_mapper;
    bool m_cancelled = false;
    u32 m_budgetStart = 0;
    u32 m_budgetMs = 0;
};

}  // namespace

std::unique_ptr<ILobbyPeerSide> MakeLobbyPeerSide(host::net::Net* net, host::net::Endpoint discovery)
{
    return std::make_unique<PeerSide>(net, discovery);
}
