// The lobby client's view of the peer host, the line tester and the port
// mapper: the few calls it makes on them. The real one wraps CNetHost,
// CLineTest and CUPnP; tests give a recording one.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LineTest.h"
#include "game/network/NetHost.h"
#include "host/net/Net.h"

#include <memory>

class ILobbyPeerSide {
public:
    virtual ~ILobbyPeerSide() = default;

    // Null in doubles.
    virtual CNetHost* Host() = 0;
    virtual i32 InitHost(const char* tag1, const char* tag2) = 0;
    virtual i32 InitListener(u16 port, peer::AcceptCallback accept, void* acceptContext,
                             peer::MessageCallback message, void* messageContext,
                             peer::DisconnectCallback disconnect, void* disconnectContext) = 0;
    virtual i32 StartListening() = 0;
    virtual void StopListening() = 0;
    // Without joining the accept thread: under the client lock.
    virtual void StopListeningLater()
    {
        if (CNetHost* host = Host()) host->StopListeningLater();
    }
    virtual void RequestCloseAll() = 0;
    virtual i32 ConnectByAddress(u32 address, u16 port, const peer::Callbacks& callbacks) = 0;
    virtual i32 Broadcast(i16 type, const void* payload, u32 length) = 0;

    // The responder on the port; the tester against an address.
    virtual i32 InitLineTest(u16 port) = 0;
    virtual i32 RunLineTest(u32 address, u16 size, u16 count, LineTestResults* results) = 0;

    // The port mapper, made on first use; Discover failing drops it.
    virtual bool HasMapper() = 0;
    virtual i32 CreateMapperAndDiscover() = 0;
    virtual i32 IsMapped(u16 port, const char* protocol, const char* internalClient) = 0;
    virtual i32 AddMapping(u16 port, const char* protocol, const char* internalClient, const char* description) = 0;
    // Deletes the mapper (it removes its mappings).
    virtual void DropMapper() = 0;
    // The mapping step starts: it has budgetMs in all, discovery included.
    virtual void BeginMapping(u32 budgetMs) { (void)budgetMs; }
    // Any thread: the mapping step under way (or next, until BeginMapping)
    // gives up at once.
    virtual void CancelMapping() {}
};

// CNetHost, CLineTest and CUPnP on net (null: DefaultNet()), the mapper
// discovering at discovery.
std::unique_ptr<ILobbyPeerSide> MakeLobbyPeerSide(host::net::Net* net,
                                                  host::net::Endpoint discovery = host::net::Endpoint{
                                                      host::net::MakeAddress(239, 255, 255, 250), 1900});
