// The lobby's user list: Dispatch of a full list (1010, as many entries as
// the client keeps) into a client that already lists those users, against
// copying the entries into records, and against finding each by walking the
// list (what a look-up without the id index costs).
#include "game/network/LobbyClient.h"
#include "engine/core/Endian.h"
#include "game/network/tests/LobbyDoubles.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// The most the client keeps: more would be refused, not measured.
constexpr u32 kUsers = CLobbyClient::kMaxUsers;

std::vector<u8> UserList()
{
    std::vector<u8> list;
    list.reserve(kUsers * lobby::kEntryBytes);
    for (u32 i = 0; i < kUsers; ++i) {
        const std::vector<u8> e = lobby_test::UserEntryBytes(i + 1, "user" + std::to_string(i), i);
        list.insert(list.end(), e.begin(), e.end());
    }
    return list;
}

struct Client {
    Client()
    {
        lobby_test::CreateRecorded(client, screens, peers);
    }
    lobby_test::RecordingScreens::Shared screens;
    lobby_test::RecordingPeerSide::Shared peers;
    CLobbyClient client{nullptr};
};

void BM_DispatchUserListIntoAFullList(benchmark::State& state)
{
    Client c;
    std::vector<u8> plain = UserList();
    lobby::ScrambleLobby(plain.data(), plain.size(), c.client.GetPayloadKey());
    std::vector<u8> work = plain;
    c.client.Dispatch(lobby::kUsersAdded, lobby::kStatusSuccess, work.data(), u32(work.size()));
    for (auto _ : state) {
        work = plain;
        c.client.Dispatch(lobby::kUsersAdded, lobby::kStatusSuccess, work.data(), u32(work.size()));
    }
    if (c.client.GetUserCount() != kUsers) state.SkipWithError("users lost");
    state.SetItemsProcessed(int64_t(state.iterations()) * kUsers);
}
BENCHMARK(BM_DispatchUserListIntoAFullList)->Unit(benchmark::kMicrosecond);

// The yardstick: the entries copied into records, nothing looked up.
void BM_CopyEntriesIntoAFullList(benchmark::State& state)
{
    const std::vector<u8> plain = UserList();
    std::vector<lobby::LobbyUserRecord> records(kUsers);
    std::vector<u8> work;
    for (auto _ : state) {
        work = plain;
        for (u32 i = 0; i < kUsers; ++i)
            std::memcpy(records[i].data + 1, work.data() + size_t(i) * lobby::kEntryBytes, lobby::kEntryBytes);
        benchmark::DoNotOptimize(records.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kUsers);
}
BENCHMARK(BM_CopyEntriesIntoAFullList)->Unit(benchmark::kMicrosecond);

// Each entry found by walking the list: quadratic in the list's length.
void BM_WalkTheListForAFullList(benchmark::State& state)
{
    const std::vector<u8> plain = UserList();
    std::vector<lobby::LobbyUserRecord> records(kUsers);
    for (u32 i = 0; i < kUsers; ++i)
        std::memcpy(records[i].data + 1, plain.data() + size_t(i) * lobby::kEntryBytes, lobby::kEntryBytes);
    for (auto _ : state) {
        for (u32 i = 0; i < kUsers; ++i) {
            const u32 id = GetLe32(plain.data() + size_t(i) * lobby::kEntryBytes);
            for (auto& r : records)
                if (r.Id() == id) {
                    std::memcpy(r.data + 1, plain.data() + size_t(i) * lobby::kEntryBytes, lobby::kEntryBytes);
                    break;
                }
        }
        benchmark::DoNotOptimize(records.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kUsers);
}
BENCHMARK(BM_WalkTheListForAFullList)->Unit(benchmark::kMicrosecond);

}  // namespace
