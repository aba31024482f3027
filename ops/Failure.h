#pragma once
// How an operation that failed ends, the same way for all of them: its
// dialog, its status lines under one stamp, and the progress bar turned red
// with the label that names the failure.

#include "ops/Reporter.h"

#include <string_view>

namespace kv::ops {

struct Failure {
    std::string_view alert{};   // the dialog's text; empty: no dialog
    std::string_view first{};   // the status lines (second may be empty)
    std::string_view second{};
    std::string_view label{};   // the bar's label
    double value = 100;         // where the bar stands
    bool bar_first = false;     // the bar turns red before the lines are written
};

// The dialog, then the lines stamped `when` and the red bar (with bar_first,
// the bar and then the lines).
void report_failure(Reporter& report, const LocalTime& when, const Failure& failure);
// The same with the lines stamped as they are written, after the dialog.
void report_failure(Reporter& report, const Failure& failure);

// The pedal stopped answering: the dialog and its two lines, no bar.
void report_usb_problem(Reporter& report, const LocalTime& when);

} // namespace kv::ops
