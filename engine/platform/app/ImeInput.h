// `CImeInput`: the application's one text entry (chat lines, room and
// player names). The main window procedure hands it every message first;
// while enabled it takes typed characters, the editing keys and the input
// method's composition and candidate notifications, and keeps the committed
// text with a cursor in it. The owner reads and takes the text, and draws it
// with the composition, the candidate list and a blinking "|" cursor.
//
// Text is code page 932: the cursor, deletion and line counting step over
// double-byte characters whole. Every operation holds the object's lock (a
// recursive one), so scene code on other threads may read the text while the
// window procedure edits it.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"
#include "host/kernel/Kernel.h"
#include "host/window/Window.h"

#include <string>
#include <vector>

class CFontTexture;

// The bytes of each text buffer the owners create.
inline constexpr u32 kImeBufferSize = 260;
inline constexpr i32 kImeBlinkPeriod = 30;   // frames shown, then frames hidden

class CImeInput : public CValueBase {
    ORV_VALUE_CLASS(CImeInput)

public:
    CImeInput();
    // Its own buffers, candidate list and lock; the blink starts again.
    CImeInput(const CImeInput& other);
    CImeInput& operator=(const CImeInput&) = delete;
    ~CImeInput() override;

    // Buffers of size bytes (text up to size - 1), cursor 0, one line of
    // size bytes. 0 for a size of 0, which leaves no buffers.
    i32 Create(u32 size);
    // Drops the buffers and the candidate list; editing then does nothing.
    void Destroy();

    // 1 when the message was taken (the window procedure then returns 0).
    // Remembers the window; takes nothing while disabled. Virtual, so that
    // another text input can stand in for this one.
    virtual i32 HandleMessage(host::window::Handle window, u32 message, host::window::WParam wParam,
                              host::window::LParam lParam);

    // Disabling clears the text, composition and cursor. The input method of
    // the last window seen is switched on or off with it.
    void Enable(i32 flag);
    i32 IsEnabled() const;
    // Set by every composition change; the owner clears it.
    i32 GetChanged() const;
    void SetChanged(i32 value);

    // lineCount lines (more than one allows line feeds), the line advance
    // handed to the font, and bytes per line, taken only from 1 to below
    // the buffer size. The text holds at most lineWidth x lineCount bytes.
    void SetMode(i32 lineCount, f32 fontSize, i32 lineWidth);
    // Replaces the text (cut to the buffer at a character boundary), cursor
    // at its end, no composition; null clears everything. Nothing before
    // Create.
    void SetText(const char* text);
    // The committed text, cut to size - 1 bytes at a character boundary;
    // nothing for a null buffer or a size of 0.
    void GetText(char* out, u32 size) const;
    // GetText, then the text, composition and cursor are cleared.
    void TakeText(char* out, u32 size);
    u32 GetCompositionLength() const;
    u32 GetTotalLength() const;

    // Advances the blink: colour while the cursor shows, else 0.
    u32 BlinkCursor(u32 colour);

    // Drawing at (x, y) with glyphs of pixelSize x scale, lines fontSize
    // apart (SetMode) and broken after lineWidth bytes: the text before the
    // cursor, the blinking "|" cursor, the composition with the clause being
    // converted highlighted and, when shown, the candidate list below it,
    // then the text after the cursor. Nothing while disabled or without a
    // font. 1 when drawn. The wrapped form also breaks lines past x
    // wrapWidth.
    i32 Draw(f32 x, f32 y, u32 pixelSize, f32 scale, u32 colour);
    i32 DrawWrapped(f32 x, f32 y, u32 pixelSize, f32 scale, f32 wrapWidth, u32 colour);
    // Only the text before the cursor (broken past x width for the clipped
    // form) and, while enabled, the cursor after it, both in cursorColour:
    // where the owner draws the text its own way, the cursor lands at its end.
    i32 DrawClipped(f32 x, f32 y, u32 pixelSize, f32 scale, f32 width, u32 cursorColour);
    i32 DrawSimple(f32 x, f32 y, u32 pixelSize, f32 scale, u32 cursorColour);
    i32 DrawWithFont(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, u32 colour);
    i32 DrawWrappedWithFont(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, f32 wrapWidth, u32 colour);
    i32 DrawClippedWithFont(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, f32 width,
                            u32 cursorColour);
    i32 DrawSimpleWithFont(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, u32 cursorColour);

    // The font the drawing operations use by default (not owned).
    void SetFontTexture(CFontTexture* font);
    CFontTexture* GetFontTexture() const;
    // The candidate list is drawn only while this is on; off at first.
    void SetCandidateDisplay(i32 on);

    // What the editor holds, for the owner's display and for tests.
    i32 GetCursor() const;
    std::string GetTextString() const;
    std::string GetBeforeCursor() const;
    std::string GetAfterCursor() const;
    std::string GetComposition() const;
    std::string GetCompositionAttributes() const;
    // The input method's candidate list in its platform layout; empty when
    // there is none.
    std::vector<u8> GetCandidateList() const;
    u32 GetBufferSize() const;

private:
    bool HasBuffers() const { return m_bufferSize > 0; }
    // The most bytes the committed text may hold.
    size_t Capacity() const;
    size_t CharLength(size_t at) const;

    void InsertChar(u8 c);
    void InsertString(const std::string& text);
    void DeleteAfterCursor();
    void Backspace();
    void StepLeft();
    void StepRight();
    void MoveChars(i32 n);
    void MoveLines(i32 n);
    // Line breaks before the end of text, wrapping at the line width.
    i32 CountBreaks(const std::string& text) const;
    // The line and column at which byte `at` of the text starts.
    void LineAndColumn(size_t at, i32& line, i32& column) const;

    // Drawing (ImeInputDraw.cpp). A piece moves the pen to its end.
    struct DrawPen;
    void DrawPiece(DrawPen& pen, const std::string& text, u32 colour, u32 boxColour = 0);
    void DrawCursor(DrawPen& pen, u32 colour);
    void DrawComposition(DrawPen& pen, u32 colour);
    void DrawCandidates(DrawPen& pen, const std::string& clause, u32 colour);
    i32 DrawAll(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, f32 wrapWidth, u32 colour);
    i32 DrawBeforeCursor(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, f32 width, u32 cursorColour);

    void HandleKey(u32 virtualKey);
    void UpdateComposition(host::window::LParam flags);
    std::string ReadCompositionString(u32 index) const;
    void ReadCandidateList();

    i32 m_cursor = 0;
    u32 m_bufferSize = 0;
    i32 m_lineWidth = 0;
    i32 m_lineCount = 0;
    std::string m_text;          // before the cursor, then after it
    std::string m_composition;
    std::string m_attributes;    // one per composition byte
    i32 m_enabled = 0;
    i32 m_multiLine = 0;
    i32 m_changed = 0;
    f32 m_fontSize = 0.0f;
    std::vector<u8> m_candidates;
    mutable host::kernel::CriticalSection m_lock;
    CFontTexture* m_font = nullptr;
    host::window::Handle m_window = nullptr;
    i32 m_candidateDisplay = 0;
    i32 m_blinkPeriod = kImeBlinkPeriod;
    i32 m_blinkCounter = 0;
    i32 m_cursorVisible = 1;
};
