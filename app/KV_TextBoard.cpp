#include "app/KV_TextBoard.h"

#include <FL/Fl.H>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "app/Dialogs.h"
#include "platform/AtomicFile.h"
#include "platform/DataPaths.h"

namespace kv {

namespace {

// Size of the transfer buffer used when writing the log file.
constexpr size_t kLogTransferSize = 131072;

std::string vformat(const char* fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::string out(size_t(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(size_t(n));
    return out;
}

std::string two_digits(int v)
{
    char b[16];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

Fl_Menu_Item g_board_menu[] = {
    {"  < Save records to a log file >  ", 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

} // namespace

KV_TextBoard::KV_TextBoard(int x, int y, int w, int h, const char* label)
    : Fl_Text_Display(x, y, w, h, label), time_source_(local_time_now)
{
    text = new Fl_Text_Buffer(0, 1024);
    buffer(text);
    color(50);
    textsize(12);
    scrollbar_width(8);
    wrap_mode(Fl_Text_Display::WRAP_AT_PIXEL, w - 20);
}

KV_TextBoard::~KV_TextBoard()
{
    // Detach before freeing so the display no longer listens to the buffer.
    Fl_Text_Buffer* b = text;
    buffer(nullptr);
    text = nullptr;
    delete b;
}

int KV_TextBoard::handle(int event)
{
    if (event == FL_PUSH && Fl::event_key() == FL_Button + 3) {
        // One fresh menu per click, carrying this board as user data.
        Fl_Menu_Item menu[2] = {g_board_menu[0], g_board_menu[1]};
        menu[0].callback(save_log_cb, this);
        const Fl_Menu_Item* picked = nullptr;
        if (menu_popup_)
            picked = menu_popup_(menu, Fl::event_x(), Fl::event_y());
        else
            picked = menu->popup(Fl::event_x(), Fl::event_y());
        if (picked && picked->callback()) picked->do_callback(this, picked->user_data());
        return 1;
    }
    if (event == FL_RELEASE && Fl::event_key() == FL_Button + 3) return 1;
    return Fl_Text_Display::handle(event);
}

void KV_TextBoard::set_time_source(TimeSource source)
{
    time_source_ = source ? std::move(source) : TimeSource(local_time_now);
}

LocalTime KV_TextBoard::take_time()
{
    status_time_ = time_source_();
    return status_time_;
}

std::string KV_TextBoard::stamp(const LocalTime& t)
{
    char b[48];
    std::snprintf(b, sizeof b, "[%02d:%02d:%02d] :", t.hour, t.minute, t.second);
    return b;
}

std::string KV_TextBoard::format_line(const LocalTime& t, std::string_view text)
{
    std::string line = stamp(t);
    line.append(text);
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    return line;
}

std::string KV_TextBoard::format_text(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string s = vformat(fmt, args);
    va_end(args);
    return s;
}

void KV_TextBoard::append_line(const LocalTime& t, std::string_view message)
{
    std::string line = format_line(t, message);
    text->insert(text->length(), line.c_str());
}

int KV_TextBoard::write_status(std::string_view message)
{
    LocalTime t = take_time();
    append_line(t, message);
    status_lines_ += 1;
    scroll_to_status_lines();
    return status_lines_;
}

int KV_TextBoard::write_status(std::string_view first, std::string_view second)
{
    LocalTime t = take_time();
    append_line(t, first);
    append_line(t, second);
    status_lines_ += 2;
    scroll_to_status_lines();
    return status_lines_;
}

int KV_TextBoard::write_statusf(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string s = vformat(fmt, args);
    va_end(args);
    return write_status(s);
}

void KV_TextBoard::scroll_to_line(int line)
{
    // The display counts wrapped lines; a status line that wrapped takes more
    // than one display line, so find where text line `line` starts on screen.
    int display_line = line;
    if (line > 1 && text) {
        int pos = text->skip_lines(0, line - 1);
        display_line = count_lines(0, pos, true) + 1;
    }
    scroll(display_line, 0);
}

std::string KV_TextBoard::log_file_name(const LocalTime& t)
{
    return "Korvane_Log_" + two_digits(t.day) + "-" + two_digits(t.month) + "-" + two_digits(t.year) + "_at_" +
           two_digits(t.hour) + "." + two_digits(t.minute) + "." + two_digits(t.second) + ".log";
}

std::string KV_TextBoard::log_file_path(const LocalTime& t)
{
    return desktop_folder() + "/" + log_file_name(t);
}

std::string KV_TextBoard::contents() const
{
    char* s = text->text();
    std::string out(s ? s : "");
    free(s);
    return out;
}

bool KV_TextBoard::write_log(const std::string& path) const
{
    // Beside the target and renamed into place; a FIFO, device or folder of
    // that name is refused (platform/AtomicFile.h).
    AtomicFile out(path);
    if (!out.is_open()) return false;
    const std::string all = contents();
    bool ok = true;
    for (size_t pos = 0; pos < all.size() && ok; pos += kLogTransferSize) {
        const size_t n = std::min(kLogTransferSize, all.size() - pos);
        ok = out.write(all.data() + pos, n);
    }
    return out.commit().ok() && ok;
}

bool KV_TextBoard::save_log()
{
    LocalTime t = time_source_();
    if (desktop_folder().empty()) {
        // Never into the working directory or under "/".
        dialogs().alert(std::string("Status records could not be written to a log file.\n\n") + kNoHomeFolderText);
        return false;
    }
    last_log_path_ = log_file_path(t);
    if (write_log(last_log_path_)) {
        dialogs().message("Status records have been successfully written to a log file.\n\nFile location : Desktop");
        return true;
    }
    dialogs().alert("Status records could not be written to a log file.\n\nFile location : " + last_log_path_);
    return false;
}

void KV_TextBoard::set_menu_popup(MenuPopup popup)
{
    menu_popup_ = std::move(popup);
}

void KV_TextBoard::save_log_cb(Fl_Widget*, void* data)
{
    static_cast<KV_TextBoard*>(data)->save_log();
}

} // namespace kv
