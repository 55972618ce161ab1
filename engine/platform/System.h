// `CSystem`, the main window: the fixed-size game window or, for the
// configuration tool, a dialog used as the main window. It keeps the title,
// the client size and the program's folder, and a short record of system
// information gathered when the game window is made.
//
// Beside it: the file-name helpers the rest of the system splits paths with.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "host/window/Window.h"

// The program's module instance, as the entry hands it on. Linux has no
// module handles; any non-null value names the program itself, and null is
// the "no instance" that window creation refuses.
using InstanceHandle = const void*;
InstanceHandle GetModuleInstance();

// Longest path, terminator included, that the system's path buffers hold.
constexpr u32 kMaxPath = 260;

// SetWindowPos flags that CSystem::SetWindowSize honours.
constexpr u32 kSwpShowWindow = 0x40;
constexpr u32 kSwpHideWindow = 0x80;

// What CSystem::Create learns of the machine. Only kept, never shown.
struct SystemInfo {
    char osDescription[256];   // "%s (Build %d %s)": OS name, build, service-pack text
    i32 osId;                  // 0 for anything but the Windows versions the game knew
    u32 totalPhysicalMemory;   // bytes, saturated at 4 GiB - 1
    u32 availablePhysicalMemory;
    i32 hasCpuid;
    i32 hasTsc, hasMmx, hasSse, hasSse2, hasSse3, hasSse41, hasSse42;
    f64 clockGhz;              // 0 without a time-stamp counter
};

class CSystem {
public:
    CSystem();
    virtual ~CSystem();
    CSystem(const CSystem&) = delete;
    CSystem& operator=(const CSystem&) = delete;

    virtual const char* GetClassName() const { return "CSystem"; }

    // The game window: a client area of width x height; x or y below 0
    // centres that axis on the screen. The icon has no counterpart here and
    // is ignored. Takes at least two seconds of the kernel clock (the
    // processor clock is measured). 1, or 0 with nothing shown when there is
    // no instance or the window cannot be made.
    i32 Create(InstanceHandle instance, const char* title, i32 x, i32 y, i32 width, i32 height, u32 style,
               i32 iconId, host::window::WindowProc proc, host::window::Handle parent);
    // The main window from a dialog template; its outer size becomes the
    // client size and the title "Dialog". No system information is gathered.
    i32 CreateDialogWindow(InstanceHandle instance, i32 templateId, i32 x, i32 y, i32 iconId,
                           host::window::WindowProc proc, host::window::Handle parent);

    // Keeps a copy and sets the window text; null only frees the copy.
    void SetTitle(const char* text);
    const char* GetTitle() const { return title_.GetText(); }

    // New client size: a captioned window grows by its frame and is centred,
    // any other is placed at 0, 0. Windows have no z-order here, so
    // insertAfter is accepted and ignored. The move's result.
    i32 SetWindowSize(i32 width, i32 height, u32 flags, host::window::Handle insertAfter);
    // Stores the style and applies it (window and full-screen switches).
    void SetWindowStyle(u32 style);
    i32 ShowCursor(i32 show);

    host::window::Handle GetWindowHandle() const { return window_; }
    i32 GetWidth() const { return width_; }
    i32 GetHeight() const { return height_; }
    u32 GetStyle() const { return style_; }
    // Client height / client width; 0 before there is a width.
    f32 GetAspect() const { return width_ ? f32(height_) / f32(width_) : 0.0f; }

    // The program's folder with its trailing separator. 1, or 0 (and an
    // empty buffer) when the buffer is null or too small for it.
    i32 GetModuleFolder(char* buffer, u32 size) const;
    // Makes folder (null: the program's folder) the current directory and
    // remembers it; a folder longer than a path buffer is refused. 1 or 0.
    i32 SetCurrentDirToModule(const char* folder);
    // The folder last made current.
    const char* GetFolder() const { return folder_; }

    // The system's file choosers, owned by the main window. file is a
    // kMaxPath buffer holding the initial name and receiving the choice;
    // filter is pairs of description and patterns, each NUL-terminated, the
    // list ended by an empty description ("Text\0*.txt\0\0"). The current
    // directory is set back to the remembered folder afterwards. 1 when the
    // user chose a file.
    i32 ShowOpenFileDialog(char* file, const char* title, const char* filter, const char* defaultExtension);
    i32 ShowSaveFileDialog(char* file, const char* title, const char* filter, const char* defaultExtension);

    // Fills the system information record; cannot fail.
    void GatherSystemInfo();
    const SystemInfo& GetSystemInfo() const { return info_; }

private:
    i32 ShowFileDialog(char* file, const char* title, const char* filter, const char* defaultExtension, bool save);

    InstanceHandle instance_ = nullptr;
    host::window::Handle window_ = nullptr;
    CString title_;
    char folder_[kMaxPath] = {};
    i32 width_ = 0;
    i32 height_ = 0;
    u32 style_ = 0;
    SystemInfo info_ = {};
};

// The file name of path: the part after its last separator found at index 1
// or later, or the whole path. GetFileTitle also drops the extension (from
// the last '.' at index 1 or later of the name). A name longer than the
// buffer is cut at a character boundary. 1, or 0 when a pointer is null or
// size is 0.
i32 GetFileName(const char* path, char* out, u32 size = kMaxPath);
i32 GetFileTitle(const char* path, char* out, u32 size = kMaxPath);
