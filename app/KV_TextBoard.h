#pragma once
// The status board: a read-only text view at the bottom of the main window
// that receives one time-stamped line for every user-visible result, counts
// them, keeps the newest in view, and can save its whole content to a log
// file on the desktop (right-click menu).
//
// Every line reads "[hh:mm:ss] :" followed by the message text and a newline.
// The message text carries its own leading spaces ("  Ready.", "   Write
// operation failed.", " Arp sequence read/write OFFLINE."); follow-up lines
// start their text with "  > ".

#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>

#include <functional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace kv {

class KV_TextBoard : public Fl_Text_Display {
public:
    using TimeSource = std::function<LocalTime()>;
    // Shows a popup menu at (x, y) inside the window and returns the item
    // picked, or nullptr. The default is Fl_Menu_Item::popup.
    using MenuPopup = std::function<const Fl_Menu_Item*(const Fl_Menu_Item* menu, int x, int y)>;

    // Builds the board with its own look: no label, background colour 50,
    // text size 12, scrollbar width 8, wrapping at the board's width less 20.
    KV_TextBoard(int x, int y, int w, int h, const char* label = nullptr);
    ~KV_TextBoard() override;

    // Right button pressed: the one-item menu "  < Save records to a log file >  ";
    // right button released: consumed; everything else: the text display's own.
    int handle(int event) override;

    // --- time ---
    // Where time stamps come from (default: local_time_now). Tests inject a fixed time.
    void set_time_source(TimeSource source);
    // Takes the time from the time source and remembers it as status_time().
    LocalTime take_time();
    // The time of the last status line (or of the last take_time()).
    const LocalTime& status_time() const { return status_time_; }

    // --- lines ---
    // "[hh:mm:ss] :" for the given time.
    static std::string stamp(const LocalTime& t);
    // One whole line: stamp(t) + text + "\n" (no newline is added when text
    // already ends with one).
    static std::string format_line(const LocalTime& t, std::string_view text);
    // printf-style message text (without the stamp) into a std::string.
    static std::string format_text(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

    // Appends one line stamped with t at the end of the board. Neither counts
    // nor scrolls (for lines the caller counts itself).
    void append_line(const LocalTime& t, std::string_view text);

    // A status message: takes the time, appends the line (or both lines, with
    // the same stamp), adds the line count to status_lines() and scrolls so
    // that line status_lines() is the top line. Returns the new count.
    int write_status(std::string_view text);
    int write_status(std::string_view first, std::string_view second);
    // The same with a printf-style one-line message text.
    int write_statusf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    // --- counting and scrolling ---
    int status_lines() const { return status_lines_; }
    void set_status_lines(int n) { status_lines_ = n; }
    // Adds n to the count without writing (for lines appended uncounted).
    int add_status_lines(int n) { return status_lines_ += n; }
    // Makes text line `line` (counting from 1) the top line, also when
    // earlier lines wrapped over several display lines.
    void scroll_to_line(int line);
    // Scrolls to status_lines().
    void scroll_to_status_lines() { scroll_to_line(status_lines_); }
    // The board's current top display line (counting from 1).
    int top_line() const { return mTopLineNum; }

    // --- log file ---
    // The log file's name for a save at time t: "Korvane_Log_DD-MM-YYYY_at_HH.MM.SS.log".
    static std::string log_file_name(const LocalTime& t);
    // The full path of that file in the desktop folder.
    static std::string log_file_path(const LocalTime& t);
    // Writes the whole board to `path` as plain text; true when every byte was written.
    bool write_log(const std::string& path) const;
    // The menu action: takes the time, writes the log to the desktop folder and
    // then tells the user the outcome (message on success, alert on failure).
    // Returns true when the file was written.
    bool save_log();
    // Path of the last save attempt (empty before the first).
    const std::string& last_log_path() const { return last_log_path_; }

    // The whole text of the board.
    std::string contents() const;

    // The popup used by the right-click menu (tests replace it).
    void set_menu_popup(MenuPopup popup);

    // The text buffer the board displays (owned by the board).
    Fl_Text_Buffer* text = nullptr;

private:
    static void save_log_cb(Fl_Widget* w, void* data);

    TimeSource time_source_;
    MenuPopup menu_popup_;
    LocalTime status_time_{};
    int status_lines_ = 0;
    std::string last_log_path_;
};

} // namespace kv
