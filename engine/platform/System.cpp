#include "engine/platform/System.h"

#include "engine/core/Path.h"
#include "host/dialog/Dialog.h"
#include "host/kernel/Kernel.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define ORV_HAS_CPUID 1
#endif

namespace win = host::window;

namespace {

bool HasCaption(u32 style) { return (style & win::kWsCaption) == win::kWsCaption; }

// Outer size of a window whose client area is width x height, as the window
// service frames a captioned window.
void AddFrame(u32 style, i32& width, i32& height)
{
    if (!HasCaption(style)) return;
    width += 2 * win::GetSystemMetrics(win::kSmCxFixedFrame);
    height += win::GetSystemMetrics(win::kSmCyCaption) + 2 * win::GetSystemMetrics(win::kSmCyFixedFrame);
}

// Signed halving throughout: a window larger than the screen starts left of
// (or above) it instead of somewhere past its far edge.
i32 Centred(i32 position, i32 screenMetric, i32 size)
{
    return position < 0 ? (win::GetSystemMetrics(screenMetric) - size) / 2 : position;
}

// ---------------------------------------------------------------- system information

// Linux answers what GetVersionEx and GlobalMemoryStatus did through /proc,
// which the kernel service reads like any file.
std::string ReadProcLine(const char* path)
{
    std::string text;
    if (!host::kernel::ReadWholeFile(path, text)) return {};
    size_t end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

// A "Key:   1234 kB" line of /proc/meminfo in bytes, saturated to 32 bits
// as the 32-bit memory status was; 0 when it is missing.
u32 MeminfoBytes(std::string_view text, std::string_view key)
{
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string_view line = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ':') continue;
        std::string_view rest = line.substr(key.size() + 1);
        size_t digits = rest.find_first_not_of(' ');
        if (digits == std::string_view::npos) return 0;
        u64 kib = 0;
        auto [ptr, ec] = std::from_chars(rest.data() + digits, rest.data() + rest.size(), kib);
        if (ec != std::errc() || ptr == rest.data() + digits) return 0;
        return kib > 0xFFFFFFFFull / 1024 ? 0xFFFFFFFFu : u32(kib * 1024);
    }
    return 0;
}

void ReadMemoryStatus(SystemInfo& info)
{
    std::string text;
    if (!host::kernel::ReadWholeFile("/proc/meminfo", text)) return;
    info.totalPhysicalMemory = MeminfoBytes(text, "MemTotal");
    info.availablePhysicalMemory = MeminfoBytes(text, "MemAvailable");
}

#ifdef ORV_HAS_CPUID
void ReadCpuFeatures(SystemInfo& info)
{
    // On i386 this also tests the EFLAGS ID bit; x86-64 always has CPUID.
    if (__get_cpuid_max(0, nullptr) == 0) return;
    info.hasCpuid = 1;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return;
    info.hasTsc = (d >> 4) & 1;
    info.hasMmx = (d >> 23) & 1;
    info.hasSse = (d >> 25) & 1;
    info.hasSse2 = (d >> 26) & 1;
    info.hasSse3 = c & 1;
    info.hasSse41 = (c >> 19) & 1;
    info.hasSse42 = (c >> 20) & 1;
}

// Time-stamp counter ticks over two seconds of the kernel clock.
f64 MeasureClockGhz()
{
    const u32 t0 = host::kernel::TimeGetTime();
    const u64 c0 = __rdtsc();
    host::kernel::Sleep(2000);
    const u32 ms = host::kernel::TimeGetTime() - t0;
    const u64 ticks = __rdtsc() - c0;
    return ms ? f64(ticks) / ms / 1000.0 / 1000.0 : 0.0;
}
#else
void ReadCpuFeatures(SystemInfo&) {}
f64 MeasureClockGhz() { return 0.0; }
#endif

// ---------------------------------------------------------------- file names

// Copies length bytes of name into out, cut to what fits in size bytes with
// the terminator without splitting a double-byte character.
void CopyCut(const char* name, size_t length, char* out, u32 size)
{
    size_t n = 0;
    while (n < length) {
        size_t step = host::kernel::IsDBCSLeadByte(u8(name[n])) && n + 1 < length ? 2 : 1;
        if (n + step > size - 1) break;
        n += step;
    }
    std::memcpy(out, name, n);
    out[n] = '\0';
}

// "Description\0patterns\0...\0" into the chooser's filter list.
std::vector<win::FileFilter> ParseFilter(const char* filter)
{
    std::vector<win::FileFilter> filters;
    if (!filter) return filters;
    while (*filter) {
        const char* patterns = filter + std::strlen(filter) + 1;
        if (!*patterns) break;   // a description without patterns ends the list
        filters.push_back({filter, patterns});
        filter = patterns + std::strlen(patterns) + 1;
    }
    return filters;
}

}  // namespace

InstanceHandle GetModuleInstance()
{
    static const char module = 0;
    return &module;
}

CSystem::CSystem() = default;
CSystem::~CSystem() = default;

i32 CSystem::Create(InstanceHandle instance, const char* title, i32 x, i32 y, i32 width, i32 height, u32 style,
                    i32 /*iconId*/, win::WindowProc proc, win::Handle parent)
{
    if (!instance) return 0;
    instance_ = instance;
    SetTitle(title);
    width_ = width;
    height_ = height;
    style_ = style;

    i32 outerWidth = width, outerHeight = height;
    AddFrame(style, outerWidth, outerHeight);
    win::WindowDesc desc;
    desc.title = title ? title : "";
    desc.x = Centred(x, win::kSmCxScreen, outerWidth);
    desc.y = Centred(y, win::kSmCyScreen, outerHeight);
    desc.width = outerWidth;
    desc.height = outerHeight;
    desc.style = style;
    desc.proc = proc;
    desc.parent = parent;
    win::Handle window = win::CreateWindow(desc);
    if (!window) return 0;
    window_ = window;
    win::ShowWindow(window_, win::kSwShowNormal);

    GatherSystemInfo();
    SetCurrentDirToModule(nullptr);
    win::ShowCursor(false);
    return 1;
}

i32 CSystem::CreateDialogWindow(InstanceHandle instance, i32 templateId, i32 x, i32 y, i32 /*iconId*/,
                                win::WindowProc proc, win::Handle parent)
{
    if (!instance) return 0;
    instance_ = instance;
    win::Handle dialog = host::dialog::CreateDialog(templateId, parent, proc, 0);
    if (!dialog) return 0;
    // Named before the window is kept, so the template's caption stays on
    // the title bar.
    SetTitle("Dialog");
    window_ = dialog;

    const win::Rect rect = win::GetWindowRect(window_);
    width_ = std::abs(rect.Width());
    height_ = std::abs(rect.Height());
    win::MoveWindow(window_, Centred(x, win::kSmCxScreen, width_), Centred(y, win::kSmCyScreen, height_), width_,
                    height_);
    win::ShowWindow(window_, win::kSwShowNormal);
    SetCurrentDirToModule(nullptr);
    return 1;
}

void CSystem::SetTitle(const char* text)
{
    if (!text) {
        title_.Free();
        return;
    }
    title_ = CString(text);
    if (window_) win::SetWindowText(window_, text);
}

i32 CSystem::SetWindowSize(i32 width, i32 height, u32 flags, win::Handle /*insertAfter*/)
{
    width_ = width;
    height_ = height;
    i32 x = 0, y = 0;
    if (HasCaption(style_)) {
        AddFrame(style_, width, height);
        x = Centred(-1, win::kSmCxScreen, width);
        y = Centred(-1, win::kSmCyScreen, height);
    }
    if (!win::MoveWindow(window_, x, y, width, height)) return 0;
    if (flags & kSwpShowWindow) win::ShowWindow(window_, win::kSwShow);
    else if (flags & kSwpHideWindow) win::ShowWindow(window_, win::kSwHide);
    return 1;
}

void CSystem::SetWindowStyle(u32 style)
{
    style_ = style;
    win::SetWindowStyle(window_, style);
}

i32 CSystem::ShowCursor(i32 show) { return win::ShowCursor(show != 0); }

i32 CSystem::GetModuleFolder(char* buffer, u32 size) const
{
    if (!buffer || !size) return 0;
    const std::string folder = host::kernel::GetProgramFolder();
    // Empty when the folder has no code page 932 form.
    if (folder.empty() || folder.size() >= size) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return 1;
}

i32 CSystem::SetCurrentDirToModule(const char* folder)
{
    char own[kMaxPath];
    if (!folder) {
        if (!GetModuleFolder(own, sizeof own)) return 0;
        folder = own;
    }
    const size_t length = std::strlen(folder);
    if (length >= kMaxPath) return 0;
    if (!host::kernel::SetCurrentDirectory(folder)) return 0;
    std::memmove(folder_, folder, length + 1);
    return 1;
}

i32 CSystem::ShowOpenFileDialog(char* file, const char* title, const char* filter, const char* defaultExtension)
{
    return ShowFileDialog(file, title, filter, defaultExtension, false);
}

i32 CSystem::ShowSaveFileDialog(char* file, const char* title, const char* filter, const char* defaultExtension)
{
    return ShowFileDialog(file, title, filter, defaultExtension, true);
}

i32 CSystem::ShowFileDialog(char* file, const char* title, const char* filter, const char* defaultExtension,
                            bool save)
{
    if (!file) return 0;
    win::FileDialogRequest request;
    request.owner = window_;
    request.title = title ? title : "";
    request.filters = ParseFilter(filter);
    request.defaultExtension = defaultExtension ? defaultExtension : "";
    request.fileName.assign(file, strnlen(file, kMaxPath - 1));
    request.save = save;
    request.maxPath = kMaxPath;
    std::string path;
    const bool chosen = win::ShowFileDialog(request, path);
    if (chosen) std::memcpy(file, path.c_str(), path.size() + 1);
    // A chooser may move the current directory; put it back.
    if (folder_[0]) host::kernel::SetCurrentDirectory(folder_);
    return chosen ? 1 : 0;
}

void CSystem::GatherSystemInfo()
{
    info_ = {};
    // The game's version table names Windows releases only, so here the name
    // stays empty and the id 0; the kernel release stands in the
    // service-pack text.
    const std::string release = ReadProcLine("/proc/sys/kernel/osrelease");
    std::snprintf(info_.osDescription, sizeof info_.osDescription, "%s (Build %d %s)", "", 0, release.c_str());
    ReadMemoryStatus(info_);
    ReadCpuFeatures(info_);
    if (info_.hasTsc) info_.clockGhz = MeasureClockGhz();
}

i32 GetFileName(const char* path, char* out, u32 size)
{
    if (!path || !out || !size) return 0;
    const char* name = FileNamePart(path);
    CopyCut(name, std::strlen(name), out, size);
    return 1;
}

i32 GetFileTitle(const char* path, char* out, u32 size)
{
    if (!path || !out || !size) return 0;
    const char* name = FileNamePart(path);
    // '.' is never the trail byte of a double-byte character.
    const char* dot = std::strrchr(name, '.');
    const size_t length = dot && dot > name ? size_t(dot - name) : std::strlen(name);
    CopyCut(name, length, out, size);
    return 1;
}
