// Test doubles of the replay's seams: a set-up held as its stored bytes, a
// message target and fighters that log what playback gave them.
#pragma once

#include "game/data/Replay.h"

#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace replay_test {

using Packet = std::array<u8, kReplayInputBytes>;

struct FakeSetup final : IReplaySetup {
    std::string record;
    bool refuse = false;
    std::string refused;   // the one record it does not accept
    std::string GetReplayRecord() const override { return record; }
    bool AcceptsReplayRecord(const u8* data, size_t size) const override
    {
        return refused != std::string(reinterpret_cast<const char*>(data), size);
    }
    bool SetReplayRecord(const u8* data, size_t size) override
    {
        if (refuse) return false;
        record.assign(reinterpret_cast<const char*>(data), size);
        return true;
    }
};

struct FakeTarget final : IReplayMessageTarget {
    std::vector<std::pair<u32, std::string>> messages;
    void OnMessage(u32 id, const u8* data, u32 length) override
    {
        messages.emplace_back(id, std::string(reinterpret_cast<const char*>(data), length));
    }
};

struct FakeFighter final : IReplayFighter {
    explicit FakeFighter(bool computer = false) : computer(computer) {}
    bool computer;
    Packet input{};          // what the recorder takes
    f32 musicTime = 0.0f;    // what the recorder takes from the first fighter
    std::vector<Packet> applied;
    std::vector<f32> tension;

    bool IsComputerControlled() const override { return computer; }
    void GetInputPacket(u8 (&packet)[kReplayInputBytes]) const override
    {
        std::memcpy(packet, input.data(), kReplayInputBytes);
    }
    void ApplyInputPacket(const u8 (&packet)[kReplayInputBytes]) override
    {
        Packet p;
        std::memcpy(p.data(), packet, kReplayInputBytes);
        applied.push_back(p);
    }
    void UpdateTension(f32 t) override { tension.push_back(t); }
    f32 GetMusicTime() const override { return musicTime; }
};

}  // namespace replay_test
