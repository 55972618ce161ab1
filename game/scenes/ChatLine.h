// The room chat line of the hosted selects: typed into the lobby client's
// text input, sent to the room with Enter.
#pragma once

#include "engine/core/Types.h"

class ILobbyRoom;

namespace chat_line {

inline constexpr u32 kReturnKey = 28;     // keyboard scan codes
inline constexpr u32 kPadEnterKey = 156;
inline constexpr f32 kInputScale = 20.0f;
inline constexpr u32 kInputPixels = 14;

// One frame of the open chat line. The input is switched on in one line of
// at most 40 bytes on the first frame. Enter or keypad Enter: an empty input
// closes the line; else, once no composition is pending and the changed
// mark is clear (an Enter that commits a composition sends nothing), the
// text goes to the room as a chat line and the line closes. A frame with
// neither key down clears the changed mark. open becomes 0 when it closes.
void Update(ILobbyRoom* lobby, u32& open);
// Closes the line if open (the input switched off, its text dropped).
void Close(ILobbyRoom* lobby, u32& open);
// The room's chat log at (64, 640) and, while open, the text line at
// (70, 744) with its candidate list: layout units times scale.
void Draw(ILobbyRoom* lobby, u32 open, f32 scale);

}  // namespace chat_line
