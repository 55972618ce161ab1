// The lobby client's lists of users and rooms, kept by id: what the
// server's entry messages add and change, and its removals (O(1), capped).
#include "game/network/LobbyClient.h"

#include <cstdio>
#include <cstring>

using namespace lobby;

void CLobbyClient::ApplyRoomEntries(const u8* payload, u32 n)
{
    std::vector<RoomEntry> entries;
    ReadRoomEntries(payload, n, &entries);
    u32 refused = 0;
    for (const RoomEntry& e : entries) {
        if (LobbyRoomRecord* room = FindRoom(e.id)) {
            std::memcpy(room->data, e.bytes, kEntryBytes);
            if (IsMemberOf(e.id)) {
                std::memcpy(m_ownRoom.data, e.bytes, kEntryBytes);
                m_playState = e.state;
            }
            continue;
        }
        if (m_rooms.size() >= kMaxRooms) {
            ++refused;
            continue;
        }
        auto room = std::make_unique<LobbyRoomRecord>(m_roomTemplate);
        std::memcpy(room->data, e.bytes, kEntryBytes);
        m_roomIndex[e.id] = m_rooms.size();
        m_rooms.push_back(std::move(room));
    }
    if (refused) std::fprintf(stderr, "lobby: room list full, %u new rooms refused\n", unsigned(refused));
}

void CLobbyClient::ApplyUserEntries(const u8* payload, u32 n)
{
    std::vector<UserEntry> entries;
    ReadUserEntries(payload, n, &entries);
    const u32 own = m_ownUser.Id();
    u32 refused = 0;
    for (const UserEntry& e : entries) {
        if (e.emptyName) continue;
        // The player's own record follows its entry whether or not the list
        // has room for it: a server may list its newest user, the player
        // just logged in, last.
        if (e.id == own && own != 0) {
            std::memcpy(m_ownUser.data + 1, e.data + 1, kEntryBytes);
            m_playRecord = e.listNumber;
        }
        LobbyUserRecord* user = FindUser(e.id);
        if (!user && m_users.size() >= kMaxUsers) {
            ++refused;
            continue;
        }
        if (!user) {
            m_userIndex[e.id] = m_users.size();
            m_users.push_back(std::make_unique<LobbyUserRecord>());
            user = m_users.back().get();
        }
        std::memcpy(user->data + 1, e.data + 1, kEntryBytes);
    }
    if (refused) std::fprintf(stderr, "lobby: user list full, %u new users refused\n", unsigned(refused));
}

void CLobbyClient::ApplyMemberBlock(const MemberBlock& block)
{
    std::memcpy(m_ownRoom.data + kMemberBlockAt, block.bytes, kMemberBlockBytes);
    if (LobbyRoomRecord* room = FindRoom(m_ownRoom.Id()))
        std::memcpy(room->data + kMemberBlockAt, block.bytes, kMemberBlockBytes);
}

bool CLobbyClient::IsMemberOf(u32 roomId) const
{
    const u32 own = m_ownUser.Id();
    if (own == 0) return false;
    // The listed room's last detail names its members; the own room record
    // stands in for a room the list lost.
    const auto it = m_roomIndex.find(roomId);
    if (it != m_roomIndex.end() && m_rooms[it->second]->HasMember(own)) return true;
    return roomId != 0 && m_ownRoom.Id() == roomId && m_ownRoom.HasMember(own);
}

LobbyRoomRecord* CLobbyClient::FindRoom(u32 id)
{
    const auto it = m_roomIndex.find(id);
    return it == m_roomIndex.end() ? nullptr : m_rooms[it->second].get();
}

LobbyUserRecord* CLobbyClient::FindUser(u32 id)
{
    const auto it = m_userIndex.find(id);
    return it == m_userIndex.end() ? nullptr : m_users[it->second].get();
}

namespace {

// Erases the record of id closing the gap: the screens draw rows by list
// index, so the records after it keep their order and move up one row.
// The lists are capped, so a removal moves at most a cap's records.
template <class Record>
void EraseIndexed(std::vector<std::unique_ptr<Record>>& list, std::unordered_map<u32, size_t>& index, u32 id)
{
    const auto it = index.find(id);
    if (it == index.end()) return;
    const size_t at = it->second;
    index.erase(it);
    list.erase(list.begin() + std::ptrdiff_t(at));
    for (size_t i = at; i < list.size(); ++i) index[list[i]->Id()] = i;
}

}  // namespace

void CLobbyClient::RemoveRoom(u32 id) { EraseIndexed(m_rooms, m_roomIndex, id); }
void CLobbyClient::RemoveUser(u32 id) { EraseIndexed(m_users, m_userIndex, id); }
