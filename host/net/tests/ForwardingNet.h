// A network that hands every call to another: a test double derives from it
// and overrides only the calls it changes (a clock moved on by sends, sends
// held back, waits made longer).
#pragma once

#include "host/net/Net.h"

#include <string>
#include <string_view>
#include <vector>

namespace net_test {

class ForwardingNet : public host::net::Net {
public:
    using Socket = host::net::Socket;
    using Endpoint = host::net::Endpoint;
    using IoResult = host::net::IoResult;
    using Error = host::net::Error;

    explicit ForwardingNet(host::net::Net& inner) : m_inner(inner) {}

    Socket Open(host::net::Type type) override { return m_inner.Open(type); }
    Error Bind(Socket socket, Endpoint local) override { return m_inner.Bind(socket, local); }
    Error Listen(Socket socket, int32_t backlog) override { return m_inner.Listen(socket, backlog); }
    Socket Accept(Socket listener, Endpoint* from) override { return m_inner.Accept(listener, from); }
    Error Connect(Socket socket, Endpoint remote, uint32_t timeoutMs) override
    {
        return m_inner.Connect(socket, remote, timeoutMs);
    }
    IoResult Send(Socket socket, const void* data, size_t bytes) override { return m_inner.Send(socket, data, bytes); }
    IoResult Receive(Socket socket, void* data, size_t capacity) override
    {
        return m_inner.Receive(socket, data, capacity);
    }
    IoResult SendTo(Socket socket, const void* data, size_t bytes, Endpoint remote) override
    {
        return m_inner.SendTo(socket, data, bytes, remote);
    }
    IoResult ReceiveFrom(Socket socket, void* data, size_t capacity, Endpoint* from) override
    {
        return m_inner.ReceiveFrom(socket, data, capacity, from);
    }
    int32_t Wait(Socket socket, uint32_t events, uint32_t timeoutMs) override
    {
        return m_inner.Wait(socket, events, timeoutMs);
    }
    void Shutdown(Socket socket) override { m_inner.Shutdown(socket); }
    void Close(Socket socket) override { m_inner.Close(socket); }
    Endpoint LocalEndpoint(Socket socket) override { return m_inner.LocalEndpoint(socket); }
    bool Resolve(std::string_view name, uint32_t& address) override { return m_inner.Resolve(name, address); }
    std::string HostName() override { return m_inner.HostName(); }
    std::vector<uint32_t> InterfaceAddresses() override { return m_inner.InterfaceAddresses(); }
    Error SetMulticastInterface(Socket socket, uint32_t address) override
    {
        return m_inner.SetMulticastInterface(socket, address);
    }

private:
    host::net::Net& m_inner;
};

}  // namespace net_test
