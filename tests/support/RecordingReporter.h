#pragma once
// A Reporter for tests of the pedal operations: it keeps every status line
// (without stamps), every dialog, and the last state of the progress bar, and
// answers questions from a queue (default: the first button, "Cancel").

#include "ops/Reporter.h"

#include <deque>
#include <string>
#include <vector>

namespace kv::test {

class RecordingReporter : public ops::Reporter {
public:
    std::vector<std::string> lines;     // counted and uncounted, in order
    std::vector<std::string> alerts;
    std::vector<std::string> dialogs;   // "alert:<text>", "message:<text>", "choice:<text>"
    std::deque<int> answers;            // for choice(), front first
    std::string label;                  // the progress bar's last label
    double value = -1;
    ops::Bar bar = ops::Bar::Level;

    LocalTime now() override { return {}; }
    void status(const LocalTime&, std::string_view first, std::string_view second) override
    {
        lines.emplace_back(first);
        if (!second.empty()) lines.emplace_back(second);
    }
    void status_uncounted(const LocalTime&, std::string_view line) override { lines.emplace_back(line); }
    void progress(double v, std::optional<std::string_view> l, ops::Bar b) override
    {
        value = v;
        if (l) label = *l;
        bar = b;
    }
    void alert(std::string_view t) override
    {
        alerts.emplace_back(t);
        dialogs.push_back("alert:" + std::string(t));
    }
    void message(std::string_view t) override { dialogs.push_back("message:" + std::string(t)); }
    int choice(std::string_view t, const char*, const char*, const char*) override
    {
        dialogs.push_back("choice:" + std::string(t));
        if (answers.empty()) return 0;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }

    bool has(const std::string& line) const
    {
        for (const auto& l : lines)
            if (l == line) return true;
        return false;
    }
};

} // namespace kv::test
