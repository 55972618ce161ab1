// The replay page (6000), the BGM page (7000) with its file choosers, its
// dropped files and its check of a row's music against its tension script,
// and the radio chat page (5000).
#include "tool/config/ConfigToolApp.h"

#include "tool/config/ConfigTemplates.h"

#include "engine/platform/SoundBuffer.h"
#include "engine/platform/System.h"
#include "game/data/TensionFile.h"
#include "host/dialog/Dialog.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <memory>

namespace {

namespace dlg = host::dialog;
namespace win = host::window;
using namespace config_ids;
using host::kernel::kMbOk;

constexpr u32 kReplay = 3, kBgm = 4, kRadioChat = 6;
constexpr size_t kPathChars = kBgmPathSize - 1;
// The longest quick message the game sends; the field holds 40 bytes.
constexpr size_t kChatChars = 37;

constexpr char kPathTooLong[] = "ファイルのパスが長すぎます（259バイトまで）。";
// The record keeps paths in code page 932; a name without that form cannot
// be stored, so it is refused with a word rather than dropped in silence.
constexpr char kPathNotCp932[] =
    "ファイル名にShift_JISで表せない文字が含まれているため、このファイルは使えません。";

constexpr char kMusicFilter[] = "すべての対応ファイル\0*.wav;*.ogg\0すべてのファイル(*.*)\0*.*\0";
constexpr char kTensionFilter[] = "すべての対応ファイル\0*.txt\0すべてのファイル(*.*)\0*.*\0";

std::string FieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

// Why a chooser that gave no file gave none when the user did not cancel.
const char* ChooserRefusal()
{
    switch (win::LastFileDialogError()) {
    case win::FileDialogError::kNameNotCp932: return kPathNotCp932;
    case win::FileDialogError::kPathTooLong: return kPathTooLong;
    default: return nullptr;
    }
}

void StoreText(char* field, size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

// ---------------------------------------------------------------- replay

i32 CConfigToolApp::FillReplayPage()
{
    const ConfigReplay& r = *m_config->GetReplaySection();
    dlg::SetCheck(Item(kReplay, kSaveReplays), r.saveReplays != 0);
    for (u32 slot = 0; slot < kReplaySlotCount; ++slot)
        dlg::SetCheck(Item(kReplay, kReplayLock + i32(slot)), r.locked[slot] != 0);
    return 1;
}

CConfigToolApp::LResult CConfigToolApp::OnReplayPage(Handle, u32 message, WParam wParam, LParam lParam)
{
    if (message != win::kWmCommand) return 0;
    if (win::HighWord(wParam) != dlg::kBnClicked) return 1;
    ConfigReplay& r = *m_config->GetReplaySection();
    const u32 ticked = dlg::IsChecked(reinterpret_cast<Handle>(lParam)) ? 1 : 0;
    const i32 id = i32(win::LowWord(wParam));
    if (id == kSaveReplays) r.saveReplays = ticked;
    else if (id >= kReplayLock && id < kReplayLock + i32(kReplaySlotCount)) r.locked[id - kReplayLock] = ticked;
    return 1;
}

// ---------------------------------------------------------------- BGM

i32 CConfigToolApp::FillBgmPage()
{
    ConfigBgm& bgm = *m_config->GetBgmSection();
    m_filling = true;
    for (u32 i = 0; i < kUserBgmCount; ++i) {
        const std::pair<BgmEditEntry*, const char*> edits[] = {{&m_bgmEdits[i], bgm.rows[i].bgmPath},
            {&m_tensionEdits[i], bgm.rows[i].tensionPath}};
        for (u32 k = 0; k < 2; ++k) {
            BgmEditEntry& entry = *edits[k].first;
            entry.controlId = u32(kBgmPath + kBgmRowStep * i32(i) + i32(k));
            const Handle edit = Item(kBgm, i32(entry.controlId));
            if (entry.window != edit) {   // subclassed once, whatever the fills
                entry.window = edit;
                entry.previousProc = win::SetWindowProc(edit, m_windowProc);
            }
            dlg::SetTextLimit(entry.window, i32(kPathChars));
            win::SetWindowText(entry.window, FieldText(edits[k].second, kBgmPathSize));
            win::DragAcceptFiles(entry.window, true);
        }
    }
    m_filling = false;
    return 1;
}

CConfigToolApp::LResult CConfigToolApp::OnBgmPage(Handle, u32 message, WParam wParam, LParam lParam)
{
    if (message != win::kWmCommand) return 0;
    if (m_filling) return 1;
    const i32 id = i32(win::LowWord(wParam));
    if (id < kBgmPath || id >= kBgmPath + kBgmRowStep * i32(kUserBgmCount)) return 1;
    const u32 row = u32(id - kBgmPath) / kBgmRowStep;
    ConfigBgmRow& paths = m_config->GetBgmSection()->rows[row];
    const auto control = reinterpret_cast<Handle>(lParam);
    switch (win::HighWord(wParam)) {
    case dlg::kBnClicked:
        if ((id - kBgmPath) % kBgmRowStep == kBgmBrowse - kBgmPath) Browse(row);
        else if ((id - kBgmPath) % kBgmRowStep == kBgmCheck - kBgmPath) return Check(row);
        return 1;
    case dlg::kEnUpdate:
        if ((id - kBgmPath) % kBgmRowStep == 0) TakePath(control, paths.bgmPath);
        else if ((id - kBgmPath) % kBgmRowStep == 1) TakePath(control, paths.tensionPath);
        return 1;
    default:
        return 1;
    }
}

bool CConfigToolApp::TakePath(Handle edit, char* field)
{
    const std::string text = win::GetWindowText(edit);
    if (text.size() > kPathChars) {
        Refuse(m_pages[kBgm].window, kPathTooLong);
        ShowText(edit, FieldText(field, kBgmPathSize));
        return false;
    }
    StoreText(field, kBgmPathSize, text);
    return true;
}

void CConfigToolApp::Browse(u32 row)
{
    const Handle main = GetMainWindow();
    ConfigBgmRow& paths = m_config->GetBgmSection()->rows[row];
    win::EnableWindow(main, false);
    char file[kMaxPath] = {};
    const char* refusal = nullptr;
    if (m_system->ShowOpenFileDialog(file, "BGMファイルを開く", kMusicFilter, "wav")) {
        StoreText(paths.bgmPath, kBgmPathSize, file);
        ShowText(m_bgmEdits[row].window, paths.bgmPath);
        std::memset(file, 0, sizeof file);
        if (m_system->ShowOpenFileDialog(file, "テンションファイルを開く", kTensionFilter, "txt")) {
            StoreText(paths.tensionPath, kBgmPathSize, file);
            ShowText(m_tensionEdits[row].window, paths.tensionPath);
        } else {
            refusal = ChooserRefusal();
        }
    } else {
        refusal = ChooserRefusal();
    }
    win::EnableWindow(main, true);
    if (refusal) Refuse(m_pages[kBgm].window, refusal);
}

i32 CConfigToolApp::Check(u32 row)
{
    const ConfigBgmRow& paths = m_config->GetBgmSection()->rows[row];
    const std::string music = FieldText(paths.bgmPath, kBgmPathSize);
    const std::string script = FieldText(paths.tensionPath, kBgmPathSize);
    auto sound = std::make_unique<CSoundBuffer>();
    if (!sound->Load(music.c_str(), 1, CSoundBuffer::kBufferStatic)) {
        win::MessageBox(nullptr, "BGMファイルが開けません", "", kMbOk);
        return 0;
    }
    CTensionFile tension;
    CString report;
    const i32 valid = tension.LoadFromText(sound.get(), script.c_str(), &report);
    if (valid) win::MessageBox(nullptr, "テンションファイル作成成功!!", "", kMbOk);
    else win::MessageBox(nullptr, report.GetText() ? report.GetText() : "", "", kMbOk);
    return valid ? 1 : 0;
}

CConfigToolApp::LResult CConfigToolApp::BgmEditProc(Handle window, u32 message, WParam wParam, LParam lParam)
{
    for (u32 i = 0; i < kUserBgmCount; ++i) {
        for (auto [entry, field] : {std::pair{&m_bgmEdits[i], m_config ? m_config->GetBgmSection()->rows[i].bgmPath
                                                                        : nullptr},
                 std::pair{&m_tensionEdits[i], m_config ? m_config->GetBgmSection()->rows[i].tensionPath : nullptr}}) {
            if (window != entry->window) continue;
            if (message != win::kWmDropFiles || !field)
                return win::CallWindowProc(entry->previousProc, window, message, wParam, lParam);
            // Only the first of the files dropped counts.
            const std::string path = win::DragQueryFile(wParam, 0);
            const bool onlyRefused = win::DragQueryFileCount(wParam) == 0 && win::DragQueryRefusedCount(wParam) > 0;
            win::DragFinish(wParam);
            if (onlyRefused || path.size() > kPathChars) {
                Refuse(m_pages[kBgm].window, onlyRefused ? kPathNotCp932 : kPathTooLong);
                return 0;
            }
            if (path.empty()) return 0;
            StoreText(field, kBgmPathSize, path);
            ShowText(window, path);
            return 0;
        }
    }
    return 0;
}

// ---------------------------------------------------------------- radio chat

i32 CConfigToolApp::FillRadioChatPage()
{
    const ConfigRadioChat& chat = *m_config->GetRadioChatSection();
    m_filling = true;
    for (u32 i = 0; i < kRadioChatCount; ++i) {
        const Handle edit = Item(kRadioChat, kChatMessage + 10 * i32(i));
        dlg::SetTextLimit(edit, i32(kChatChars));
        win::SetWindowText(edit, FieldText(chat.entries[i].message, sizeof chat.entries[i].message));
        dlg::SetCheck(Item(kRadioChat, kChatEveryone + 10 * i32(i)), chat.entries[i].destination == 0);
    }
    m_filling = false;
    return 1;
}

CConfigToolApp::LResult CConfigToolApp::OnRadioChatPage(Handle, u32 message, WParam wParam, LParam lParam)
{
    if (message != win::kWmCommand) return 0;
    if (m_filling) return 1;
    const i32 id = i32(win::LowWord(wParam));
    const i32 row = (id - kChatMessage) / 10;
    if (id < kChatMessage || row >= i32(kRadioChatCount)) return 1;
    ConfigRadioChatEntry& entry = m_config->GetRadioChatSection()->entries[row];
    const auto control = reinterpret_cast<Handle>(lParam);
    const u32 code = win::HighWord(wParam);
    if (code == dlg::kBnClicked && id == kChatEveryone + 10 * row) {
        entry.destination = dlg::IsChecked(control) ? 0 : 1;
    } else if (code == dlg::kEnUpdate && id == kChatMessage + 10 * row) {
        // A longer text (set by the program, say) is kept cut to its first
        // whole characters, as the edit shows it.
        std::string text = win::GetWindowText(control);
        if (text.size() > kChatChars) {
            text.resize(host::kernel::Cp932Fit(text, kChatChars));
            ShowText(control, text);
        }
        StoreText(entry.message, sizeof entry.message, text);
    }
    return 1;
}
