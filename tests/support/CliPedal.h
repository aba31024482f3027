#pragma once
// `korvane` run in this process against the simulated pedal behind the
// in-process driver (serial number "TV000001"), on a hand-driven clock: what
// a run printed on standard output and standard error, the bytes it wrote to
// standard output, and every request the pedal saw during it. With `answer`
// set, someone at a terminal answers every question with it.

#include "cli/Terminal.h"
#include "link/InProcessDriver.h"
#include "platform/Clock.h"
#include "sim/PedalModel.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv::test {

class CliPedal {
public:
    CliPedal()
    {
        driver.attach(kPedalDescription, "TV000001", &pedal);
        pedal.set_request_observer([this](const PedalRequest& r) {
            requests.push_back(r);
            if (on_request) on_request(r);
        });
    }

    // One `korvane ARGS...`; its exit status.
    int run(const std::vector<std::string>& args)
    {
        out.clear();
        err.clear();
        bytes.clear();
        requests.clear();
        cli::Terminal t;
        t.driver = &driver;
        t.clock = &clock;
        t.out = [this](const std::string& s) { out += s + "\n"; };
        t.err = [this](const std::string& s) { err += s + "\n"; };
        t.out_bytes = [this](std::span<const uint8_t> b) {
            bytes.insert(bytes.end(), b.begin(), b.end());
            return true;
        };
        if (answer) {
            t.interactive = true;
            t.read_answer = [this] { return *answer; };
        }
        return cli::run(args, t);
    }

    bool sent(uint8_t command) const
    {
        for (const auto& r : requests)
            if (r.command == command) return true;
        return false;
    }
    // Whether any preset was stored during the last run.
    bool stored_any() const
    {
        for (const auto& r : requests)
            if (r.name.rfind("Store preset", 0) == 0) return true;
        return false;
    }

    ManualClock clock;
    PedalModel pedal{clock};
    InProcessDriver driver{clock};
    std::vector<PedalRequest> requests;
    std::function<void(const PedalRequest&)> on_request;
    std::optional<std::string> answer;
    std::string out, err;
    std::vector<uint8_t> bytes;
};

} // namespace kv::test
