#pragma once
// How the main window shows what a pedal operation reports: status lines on
// the status board (counted and scrolled into view), the link's progress
// bar with its label and colour, and the toolkit's dialogs (through
// dialogs(), which tests replace).

#include "ops/Reporter.h"

namespace kv {

class KV_TextBoard;
class KV_UsbController;

class WindowReporter : public ops::Reporter {
public:
    WindowReporter(KV_TextBoard& board, KV_UsbController& link) : board_(board), link_(link) {}

    LocalTime now() override;
    void status(const LocalTime& when, std::string_view first, std::string_view second) override;
    void status_uncounted(const LocalTime& when, std::string_view line) override;
    void progress(double value, std::optional<std::string_view> label, ops::Bar bar) override;
    void alert(std::string_view text) override;
    void message(std::string_view text) override;
    int choice(std::string_view text, const char* b0, const char* b1, const char* b2) override;
    using ops::Reporter::status;

private:
    KV_TextBoard& board_;
    KV_UsbController& link_;
};

} // namespace kv
