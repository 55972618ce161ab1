// CUPnP: port mappings on the home router (Internet Gateway Device 1: SSDP
// discovery, SOAP 1.1 control). Used by the lobby client's worker thread
// while it sets up and by its destruction; Cancel may come from any thread
// (a lock of its own guards the sockets for it). Every mapping it added is
// deleted when it is destroyed.
#pragma once

#include "engine/core/Types.h"
#include "host/net/Net.h"

#include <memory>
#include <string>

class CUPnP {
public:
    // The SSDP group, where discovery asks.
    static constexpr host::net::Endpoint kDiscoveryGroup{host::net::MakeAddress(239, 255, 255, 250), 1900};

    // net null: host::net::DefaultNet(). discovery: where M-SEARCH goes
    // (tests give a loopback gateway).
    explicit CUPnP(host::net::Net* net = nullptr, host::net::Endpoint discovery = kDiscoveryGroup);
    // Removes every mapping it added, in the order added.
    ~CUPnP();
    CUPnP(const CUPnP&) = delete;
    CUPnP& operator=(const CUPnP&) = delete;

    // 1 when the gateway's description names WANIPConnection or
    // WANPPPConnection (or both). Before it succeeds the other operations
    // give 0.
    i32 Discover();
    // 1 when every known service confirms the mapping ("200 OK"). One that
    // names another machine than internalClient (dotted; null: the address
    // this machine's requests come from) still counts as mapped, since the
    // router would refuse ours, and is reported in the log.
    i32 IsMapped(u16 externalPort, const char* protocol, const char* internalClient = nullptr);
    // 1 when every known service accepts it; the mapping is then listed.
    // When one refuses, the services that accepted delete it again.
    i32 AddMapping(u16 externalPort, u16 internalPort, const char* protocol, const char* internalClient,
                   const char* description);
    // 1 when every known service accepts the deletion; it then leaves the
    // list.
    i32 RemoveMapping(u16 externalPort, const char* protocol);

    // From now on every exchange ends within ms in all (0: each only within
    // its own time-outs). A slow router answering a byte at a time otherwise
    // holds each exchange for 15 s.
    void SetBudget(u32 ms);
    // Any thread: the exchange under way ends at once, and so does every
    // later one, until SetBudget. The destruction still deletes the mappings,
    // each exchange within kRemovalBudgetMs.
    void Cancel();
    static constexpr u32 kRemovalBudgetMs = 3000;

private:
    struct Impl;
    host::net::Net& m_net;
    std::unique_ptr<Impl> m_impl;
};
