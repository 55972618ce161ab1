// Message boxes. The window service installs a handler that shows a real
// box; until then (and in tools without a window) the box goes to standard
// error and is answered with its first button, so start-up failures are
// still reported and nothing waits for a click that cannot come.
#include "host/kernel/Kernel.h"

#include <cstdio>
#include <mutex>

namespace host::kernel {
namespace {

std::mutex g_mutex;
MessageBoxHandler g_handler;

}  // namespace

int MessageBox(std::string_view text, std::string_view caption, uint32_t type) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        handler = g_handler;
    }
    if (handler) return handler(text, caption, type);
    return ReportMessageBox(text, caption, type);
}

int ReportMessageBox(std::string_view text, std::string_view caption, uint32_t type) {
    // A box without a caption shows its text alone.
    std::string line = caption.empty() ? std::string() : Cp932ToUtf8(caption) + ": ";
    line += Cp932ToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return MessageBoxFirstButton(type);
}

int MessageBoxFirstButton(uint32_t type) {
    switch (type & 0xF) {
    case 0x2: return 3;         // MB_ABORTRETRYIGNORE: IDABORT
    case 0x3: return kIdYes;    // MB_YESNOCANCEL
    case kMbYesNo: return kIdYes;
    case 0x5: return 4;         // MB_RETRYCANCEL: IDRETRY
    case 0x6: return kIdCancel; // MB_CANCELTRYCONTINUE
    default: return kIdOk;      // MB_OK, MB_OKCANCEL
    }
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_handler = std::move(handler);
}

}  // namespace host::kernel
