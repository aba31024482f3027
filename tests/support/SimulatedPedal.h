#pragma once
// The simulated pedal on a link as the tests of the pedal operations use it,
// and for the maintenance tests a reporter that records everything an
// operation shows (every progress step too) and answers its questions from a
// queue.

#include "link/InProcessDriver.h"
#include "link/UsbLink.h"
#include "ops/Reporter.h"
#include "platform/Clock.h"
#include "sim/PedalModel.h"
#include "tests/support/RecordingReporter.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv::testing_support {

// The shared recording reporter, keeping in addition every progress step
// (the maintenance operations count pages and blocks on it), the messages
// and the questions.
class RecordingReporter : public test::RecordingReporter {
public:
    struct Progress {
        double value;
        std::optional<std::string> label;
        ops::Bar bar;
    };
    void progress(double v, std::optional<std::string_view> l, ops::Bar b) override
    {
        test::RecordingReporter::progress(v, l, b);
        progresses.push_back({v, l ? std::optional<std::string>(std::string(*l)) : std::nullopt, b});
    }
    void message(std::string_view text) override
    {
        test::RecordingReporter::message(text);
        messages.emplace_back(text);
    }
    int choice(std::string_view text, const char* b0, const char* b1, const char* b2) override
    {
        questions.emplace_back(text);
        return test::RecordingReporter::choice(text, b0, b1, b2);
    }

    bool has_line(const std::string& l) const { return has(l); }
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

    std::vector<std::string> messages, questions;
    std::vector<Progress> progresses;
};

// The simulated pedal behind the in-process driver and a link on it, on a
// hand-driven clock that only the link's waits move; the link's console
// lines are kept.
struct PedalOnLink {
    explicit PedalOnLink(const std::string& serial_number = "TV000001") : driver{pedal, clock, 0.0, serial_number}
    {
        link.set_console([this](const std::string& s) { console += s; });
    }
    PedalOnLink(const PedalOnLink&) = delete;
    PedalOnLink& operator=(const PedalOnLink&) = delete;

    ManualClock clock;
    PedalModel pedal{clock};
    InProcessDriver driver;
    UsbLink link{driver, clock};
    std::string console;
};

// The same for the maintenance tests: each pass of the event pump moves the
// clock by 1 ms. Every request the pedal completes is kept.
struct SimulatedPedal : PedalOnLink {
    SimulatedPedal() : PedalOnLink("TSV0417A")
    {
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

    std::vector<PedalRequest> requests;
    std::function<void(const PedalRequest&)> on_request;
};

} // namespace kv::testing_support
