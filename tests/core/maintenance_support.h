#pragma once
// What the maintenance tests share: a reporter that records everything an
// operation shows and answers its questions from a queue, and the link wired
// to the simulated pedal on a hand-driven clock.

#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "ops/Reporter.h"
#include "platform/Clock.h"
#include "sim/PedalModel.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kv::testing_support {

class RecordingReporter : public ops::Reporter {
public:
    struct Progress {
        double value;
        std::optional<std::string> label;
        ops::Bar bar;
    };
    LocalTime now() override { return {}; }
    void status(const LocalTime&, std::string_view first, std::string_view second) override
    {
        lines.emplace_back(first);
        if (!second.empty()) lines.emplace_back(second);
    }
    void status_uncounted(const LocalTime&, std::string_view line) override { lines.emplace_back(line); }
    void progress(double value, std::optional<std::string_view> label, ops::Bar bar) override
    {
        progresses.push_back({value, label ? std::optional<std::string>(std::string(*label)) : std::nullopt, bar});
    }
    void alert(std::string_view text) override { alerts.emplace_back(text); }
    void message(std::string_view text) override { messages.emplace_back(text); }
    int choice(std::string_view text, const char*, const char*, const char*) override
    {
        questions.emplace_back(text);
        if (answers.empty()) return 0;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    using ops::Reporter::status;

    bool has_line(const std::string& l) const
    {
        for (const auto& x : lines)
            if (x == l) return true;
        return false;
    }
    // The last label given, with the value and bar of that call.
    std::optional<Progress> last_labelled() const
    {
        for (auto it = progresses.rbegin(); it != progresses.rend(); ++it)
            if (it->label) return *it;
        return std::nullopt;
    }
    std::vector<std::string> labels() const
    {
        std::vector<std::string> out;
        for (const auto& p : progresses)
            if (p.label) out.push_back(*p.label);
        return out;
    }

    std::vector<std::string> lines, alerts, messages, questions;
    std::vector<Progress> progresses;
    std::deque<int> answers;
};

// The simulated pedal behind the in-process driver; each pass of the event
// pump moves the clock by 1 ms. Every request the pedal completes is kept.
struct SimulatedPedal {
    SimulatedPedal()
    {
        link.set_console([this](const std::string& s) { console += s; });
        link.set_event_pump([this] { clock.advance(0.001); });
        pedal.set_request_observer([this](const PedalRequest& r) {
            requests.push_back(r);
            if (on_request) on_request(r);
        });
    }
    int count(uint8_t command) const
    {
        int n = 0;
        for (const auto& r : requests)
            if (r.command == command) ++n;
        return n;
    }

    ManualClock clock;
    PedalModel pedal{clock};
    InProcessDriver driver{pedal, clock, 0.0, "TSV0417A"};
    UsbLink link{driver, clock};
    std::string console;
    std::vector<PedalRequest> requests;
    std::function<void(const PedalRequest&)> on_request;
};

} // namespace kv::testing_support
