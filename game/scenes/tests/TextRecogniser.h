// Reading a written picture with a text recogniser (tesseract, which
// scripts/install-deps.sh installs): what it reads, and the words of that.
#pragma once

#include <cstdio>
#include <set>
#include <string>
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

}  // namespace text_recogniser
