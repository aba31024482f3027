#include "ops/Failure.h"

#include "ops/Texts.h"

namespace kv::ops {

namespace {

void show(Reporter& report, const LocalTime* when, const Failure& f)
{
    if (!f.alert.empty()) report.alert(f.alert);
    const auto lines = [&] {
        if (when) report.status(*when, f.first, f.second);
        else report.status(f.first, f.second);
    };
    if (!f.bar_first) lines();
    report.progress(f.value, f.label, Bar::Error);
    if (f.bar_first) lines();
}

} // namespace

void report_failure(Reporter& report, const LocalTime& when, const Failure& failure) { show(report, &when, failure); }

void report_failure(Reporter& report, const Failure& failure) { show(report, nullptr, failure); }

void report_usb_problem(Reporter& report, const LocalTime& when)
{
    report.alert(usb_problem_text());
    report.status(when, "  USB communication problem detected.",
                  "  > Recycle power to your pedal then click 'Connect'.");
}

} // namespace kv::ops
