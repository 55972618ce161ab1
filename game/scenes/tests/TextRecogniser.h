// Reading a written picture with a text recogniser (tesseract, which
// scripts/install-deps.sh installs): what it reads, and the words of that.
#pragma once

#include "engine/core/Types.h"
#include "game/battle/scene/tests/gl/Png.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>
#include <sys/wait.h>

namespace text_recogniser {

// What tesseract reads in the picture at path, and its exit status (127
// when it is not installed). A sparse screen (labels in columns, far
// apart) reads whole with sparse set: its lines then come word by word.
// options go to tesseract as they are ("--psm 6 -c ...").
inline std::string Recognise(const std::string& path, int* status, bool sparse = false, const std::string& options = "")
{
    // One thread: its OpenMP threads spin, which on a busy machine takes
    // seconds instead of one.
    const std::string command = "OMP_THREAD_LIMIT=1 tesseract '" + path + "' stdout" + (sparse ? " --psm 11" : "") +
                                (options.empty() ? "" : " " + options) + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    if (!pipe) {
        *status = -1;
        return text;
    }
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) text.append(chunk, n);
    const int result = pclose(pipe);
    *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return text;
}

// The words (letters only) of text.
inline std::set<std::string> Words(const std::string& text)
{
    std::set<std::string> words;
    std::string word;
    for (char c : text + " ") {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            word += c;
        } else if (!word.empty()) {
            words.insert(word);
            word.clear();
        }
    }
    return words;
}

// Boxes of a frame (frameWidth texels a row) as black ink (its dark
// texels) on white, twice as large, each row's boxes side by side, the
// rows stacked, with a margin: what a text recogniser reads best. With
// lightInk the light texels are the ink (words light on a dark fill);
// small words read better larger still (kScale). Written as path and read as a block with the
// options given; the reading's lines without spaces, empty lines or the
// recogniser's notes.
struct Box {
    u32 x, y, w, h;
};
inline std::string ReadBoxes(const std::vector<u32>& frame, u32 frameWidth, const std::vector<std::vector<Box>>& rows,
                             const std::string& path, int* status, const std::string& options = "",
                             bool lightInk = false, u32 kScale = 2)
{
    constexpr u32 kMargin = 16, kGap = 4;
    u32 width = 0, height = kMargin;
    for (const std::vector<Box>& row : rows) {
        u32 w = 0, h = 0;
        for (const Box& b : row) w += b.w + kGap, h = std::max(h, b.h);
        width = std::max(width, w);
        height += h + kMargin;
    }
    width += 2 * kMargin;
    std::vector<u32> picture(width * height * kScale * kScale, 0xFFFFFFFFu);
    u32 top = kMargin;
    for (const std::vector<Box>& row : rows) {
        u32 left = kMargin, h = 0;
        for (const Box& b : row) {
            for (u32 y = 0; y < b.h * kScale; ++y)
                for (u32 x = 0; x < b.w * kScale; ++x) {
                    const u32 c = frame[(b.y + y / kScale) * frameWidth + b.x + x / kScale];
                    const u32 light = ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF);
                    if ((light < 3 * 96) != lightInk) picture[(top * kScale + y) * width * kScale + left * kScale + x] = 0xFF000000u;
                }
            left += b.w + kGap;
            h = std::max(h, b.h);
        }
        top += h + kMargin;
    }
    const std::string png = gl_test::Png(picture, width * kScale, height * kScale);
    if (!host::kernel::WriteFileAtomic(path, png.data(), png.size())) {
        *status = -1;
        return "cannot write " + path;
    }
    const std::string read = Recognise(path, status, false, "--psm 6 " + options);
    std::string lines, line;
    for (char c : read) {
        if (c != '\n') {
            if (c != ' ' && c != '\f') line += c;
            continue;
        }
        if (!line.empty() && line.rfind("Estimatingresolution", 0) != 0) lines += line + '\n';
        line.clear();
    }
    return lines + (line.empty() ? "" : line + '\n');
}

}  // namespace text_recogniser
