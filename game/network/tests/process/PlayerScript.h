// The script of orv_net_player: one step a line, each a condition waited
// for within a time limit, then an action.
//
//   <seconds> <condition> <argument> <action> [text...]
//
// Conditions: scene NAME (the application's scene class), child NAME (the
// network scene's child class, - for none), screen N (the lobby screen, no message
// waiting), message N (that message shown, not answered), members N (that
// many room members), results N (at least N battles counted in the member
// table, every member's summed), rooms N (at least N rooms listed, no
// message waiting), chat N (at least N room chat lines), over - (the
// battle's end test passed), endpage - (the local console's end menu is
// open), frames N (N frames passed), file PATH (the test made that file:
// what another process did, without waiting on the clock).
// Actions: none, press BUTTON [COUNT] (decide, cancel, up, down, left,
// right, start, stick-up/down/left/right), key SCANCODE (hex), digits
// DIGITS (each digit's key in turn), type TEXT (the rest of the line, as
// typed characters), dump (the member table into the log), quit. An
// action with a '*' (press* decide) is done every 10 frames while the
// condition does not hold, and not after.
// A '#' starts a comment line.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace net_player {

struct Step {
    unsigned line = 0;
    double seconds = 0;
    std::string condition, argument, action, text;
};

// The steps of a script; false with the line that does not read.
inline bool ReadScript(const std::string& path, std::vector<Step>& steps, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::string line;
    for (unsigned n = 1; std::getline(in, line); ++n) {
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream words(line);
        Step step;
        step.line = n;
        if (!(words >> step.seconds >> step.condition >> step.argument >> step.action) || step.seconds <= 0) {
            error = "line " + std::to_string(n) + " does not read: " + line;
            return false;
        }
        std::getline(words >> std::ws, step.text);
        steps.push_back(step);
    }
    return true;
}

}  // namespace net_player
