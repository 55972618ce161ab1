// The configuration tool's dialogs as resource tables: the main dialog with
// its tab, the seven pages, the two key sub pages and the address dialog,
// each with its controls' ids, texts, flags and places in dialog units.
#pragma once

#include "engine/core/Types.h"

namespace config_ids {

// Dialogs.
inline constexpr i32 kMainDialog = 500;
inline constexpr i32 kGraphicsPage = 1000;
inline constexpr i32 kGamePage = 2000;
inline constexpr i32 kNetworkPage = 3000;
inline constexpr i32 kKeyConfigPage = 4000;
inline constexpr i32 kKeyboardPage = 4100;
inline constexpr i32 kControllerPage = 4200;
inline constexpr i32 kRadioChatPage = 5000;
inline constexpr i32 kReplayPage = 6000;
inline constexpr i32 kBgmPage = 7000;
inline constexpr i32 kAddressDialog = 114;
inline constexpr i32 kMainIcon = 113;

// Main dialog.
inline constexpr i32 kSave = 1;   // also OK of the address dialog
inline constexpr i32 kQuit = 2;   // also Cancel of the address dialog
inline constexpr i32 kTab = 510;

// Graphics page.
inline constexpr i32 kScreenSize = 1010;
inline constexpr i32 kHdr = 1011;
inline constexpr i32 kFullScreen = 1012;
inline constexpr i32 kMovie = 1016;
inline constexpr i32 kTraceQuality = 1018;

// Game page.
inline constexpr i32 kPadVibration = 2010;
inline constexpr i32 kScreenShake = 2011;
inline constexpr i32 kVoicePlay = 2012;
inline constexpr i32 kBgmVolume = 2014;
inline constexpr i32 kSeVolume = 2015;
inline constexpr i32 kVoiceVolume = 2016;
inline constexpr i32 kRadarType = 2017;
inline constexpr i32 kDifficulty = 2018;
inline constexpr i32 kGuardCorrection = 2019;
inline constexpr i32 kCameraSide = 2020;
inline constexpr i32 kLockOnType = 2021;
inline constexpr i32 kScreenshot = 2025;
inline constexpr i32 kScreenshotSize = 2026;

// Network page.
inline constexpr i32 kLobbyId = 3010;
inline constexpr i32 kPort = 3011;
inline constexpr i32 kUseUpnp = 3012;
inline constexpr i32 kConnectId = 3013;
inline constexpr i32 kPlayBgm = 3014;
inline constexpr i32 kKeyResponse = 3016;
inline constexpr i32 kDenyRemove = 3017;
inline constexpr i32 kDenyAdd = 3018;
inline constexpr i32 kDenyList = 3019;
inline constexpr i32 kAllowRemove = 3020;
inline constexpr i32 kAllowAdd = 3021;
inline constexpr i32 kAllowList = 3022;
inline constexpr i32 kConnectRemove = 3023;
inline constexpr i32 kConnectList = 3024;
inline constexpr i32 kConnectAdd = 3025;
inline constexpr i32 kOctet1 = 3026;   // 3026..3029, first octet first

// Key configuration.
inline constexpr i32 kKeyTab = 4010;
inline constexpr i32 kKeyEdit = 4110;      // + row
inline constexpr i32 kKeyLabel = 4134;     // + row
inline constexpr i32 kKeyDefault = 4190;
inline constexpr i32 kPadEdit = 4210;      // + row
inline constexpr i32 kPadLabel = 4234;     // + row
inline constexpr i32 kPadDevice = 4262;
inline constexpr i32 kPadDefault = 4290;
inline constexpr i32 kPlayer = 4291;

// Radio chat: row i has its message edit and its to-everyone box.
inline constexpr i32 kChatMessage = 5011;  // + 10 i
inline constexpr i32 kChatEveryone = 5012; // + 10 i

// Replay.
inline constexpr i32 kSaveReplays = 6001;
inline constexpr i32 kReplayLock = 6002;   // + slot - 1

// BGM: row i has four controls from 7001 + 4 i.
inline constexpr i32 kBgmPath = 7001;
inline constexpr i32 kTensionPath = 7002;
inline constexpr i32 kBgmBrowse = 7003;
inline constexpr i32 kBgmCheck = 7004;
inline constexpr i32 kBgmRowStep = 4;

}  // namespace config_ids

// The 24 action labels, shared by both key pages.
extern const char* const kKeyRowLabels[24];

// Registers every template with the dialog service. False when one is
// refused.
bool RegisterConfigTemplates();
