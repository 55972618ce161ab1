// The lobby's real screens and windows, made for one lobby client (the
// network scene hands them to CLobbyClient::Create; tests give doubles).
#pragma once

#include "game/network/LobbyScreens.h"

#include <memory>

class CLobbyClient;

std::unique_ptr<ILobbyScreens> CreateLobbyScreens(CLobbyClient& client);
