// The status board: line formats, counting and scrolling, the right-click
// menu and the log file on the desktop.

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Dialogs.h"
#include "app/KV_TextBoard.h"

namespace fs = std::filesystem;

namespace {

kv::LocalTime at(int year, int month, int day, int hour, int minute, int second)
{
    kv::LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

std::string read_file(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Sets or unsets an environment variable for one test and puts it back after.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : name_(name)
    {
        if (const char* v = std::getenv(name)) old_ = v;
    }
    ~EnvGuard()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    void set(const std::string& v) { setenv(name_, v.c_str(), 1); }
    void unset() { unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The board with its visible line count exposed.
class Board : public kv::KV_TextBoard {
public:
    using KV_TextBoard::KV_TextBoard;
    int visible_lines() const { return mNVisibleLines; }
    bool wraps_continuously() const { return mContinuousWrap != 0; }
    int wrap_margin() const { return mWrapMarginPix; }
};

class TextBoard : public ::testing::Test {
protected:
    void SetUp() override
    {
        kv::set_dialogs(&dialogs);
        win = std::make_unique<Fl_Double_Window>(0, 0, 1070, 650, "board");
        board = new Board(375, 650 - 50, 515, 48);
        win->end();
        board->set_time_source([this] { return now; });
        win->show();
        Fl::check();

        char tmpl[] = "/tmp/kv_board_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        tmp = tmpl;
    }
    void TearDown() override
    {
        kv::set_dialogs(nullptr);
        win.reset();
        std::error_code ec;
        fs::permissions(tmp, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(tmp, ec);
    }
    int right_click(int button = 3)
    {
        Fl::e_x = board->x() + 20;
        Fl::e_y = board->y() + 10;
        Fl::e_keysym = FL_Button + button;
        Fl::e_state = button == 1 ? FL_BUTTON1 : FL_BUTTON3;
        return board->handle(FL_PUSH);
    }
    int messages(const std::string& kind) const
    {
        int n = 0;
        for (const auto& s : dialogs.shown) n += s.kind == kind;
        return n;
    }

    kv::RecordingDialogs dialogs;
    std::unique_ptr<Fl_Double_Window> win;
    Board* board = nullptr;
    kv::LocalTime now = at(2027, 2, 1, 9, 5, 3);
    fs::path tmp;
};

TEST_F(TextBoard, BuiltWithItsLookAndAnEmptyBuffer)
{
    ASSERT_NE(board->text, nullptr);
    EXPECT_EQ(board->buffer(), board->text);
    EXPECT_EQ(board->text->length(), 0);
    EXPECT_EQ(board->color(), Fl_Color(50));
    EXPECT_EQ(board->textsize(), 12);
    EXPECT_EQ(board->scrollbar_width(), 8);
    EXPECT_EQ(board->label(), nullptr);
    EXPECT_EQ(board->status_lines(), 0);
    // Long lines wrap 20 pixels short of the board's width.
    EXPECT_TRUE(board->wraps_continuously());
    EXPECT_EQ(board->wrap_margin(), 515 - 20);
}

TEST_F(TextBoard, LinesCarryTheStampAndTheMessagesOwnSpacing)
{
    board->write_status("  Ready.");
    now = at(2027, 2, 1, 23, 59, 0);
    board->write_status("   Write operation failed.");
    board->write_status(" Arp sequence read/write OFFLINE.");
    board->write_statusf("  Initialization OK - Firmware %d.%d.%d.", 2, 5, 1);
    EXPECT_EQ(board->contents(),
              "[09:05:03] :  Ready.\n"
              "[23:59:00] :   Write operation failed.\n"
              "[23:59:00] : Arp sequence read/write OFFLINE.\n"
              "[23:59:00] :  Initialization OK - Firmware 2.5.1.\n");
    // A message that brings its own newline gets no second one.
    EXPECT_EQ(kv::KV_TextBoard::format_line(now, "  Ready.\n"), "[23:59:00] :  Ready.\n");
    EXPECT_EQ(kv::KV_TextBoard::stamp(at(2000, 1, 1, 0, 0, 0)), "[00:00:00] :");
}

TEST_F(TextBoard, ATwoLineMessageSharesOneStampAndCountsTwo)
{
    int calls = 0;
    board->set_time_source([&] {
        ++calls;
        return at(2027, 2, 1, 10, 0, calls);   // every reading a second later
    });
    EXPECT_EQ(board->write_status("  Read operation failed.", "  > No changes has been made. Please try again."), 2);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(board->contents(),
              "[10:00:01] :  Read operation failed.\n"
              "[10:00:01] :  > No changes has been made. Please try again.\n");
    EXPECT_EQ(board->status_time().second, 1);
    EXPECT_EQ(board->write_status("  Ready."), 3);
    EXPECT_EQ(board->status_lines(), 3);
}

TEST_F(TextBoard, UncountedLinesAreAppendedButNotCounted)
{
    // The start-up "Connecting ..." line goes in without being counted.
    board->append_line(board->take_time(), "  Connecting ...");
    EXPECT_EQ(board->status_lines(), 0);
    board->write_status("  Initialization OK - Firmware 2.5.1.", "  Ready.");
    EXPECT_EQ(board->status_lines(), 2);
    EXPECT_EQ(board->text->count_lines(0, board->text->length()), 3);
    EXPECT_EQ(board->add_status_lines(1), 3);
}

TEST_F(TextBoard, EveryWriteScrollsSoThatTheNewestLineIsInView)
{
    ASSERT_GT(board->visible_lines(), 0);
    for (int i = 1; i <= 12; ++i) board->write_statusf("  line %d", i);
    EXPECT_EQ(board->status_lines(), 12);
    int top = board->top_line();
    EXPECT_GT(top, 1);                                   // scrolled away from the first line
    EXPECT_LE(top, 12);                                  // line 12 is at or below the top
    EXPECT_GE(top + board->visible_lines() - 1, 12);     // and not below the bottom

    // Scrolling goes to the counted line, not the last one in the buffer.
    board->scroll_to_line(5);
    EXPECT_EQ(board->top_line(), 5);
    board->write_status("  Ready.");
    EXPECT_GE(board->top_line(), 5);
    EXPECT_GE(board->top_line() + board->visible_lines() - 1, 13);
}

TEST_F(TextBoard, LongLinesThatWrapDoNotPushTheNewestLineOutOfView)
{
    const std::string long_text(120, 'w');   // wider than the board: wraps
    for (int i = 1; i <= 6; ++i) board->write_status("  " + long_text);
    board->write_status("  Ready.");
    // The counted line, line 7 of the text, is the top line of the view.
    int ready_start = board->text->skip_lines(0, 6);
    ASSERT_EQ(board->contents().substr(size_t(ready_start)), "[09:05:03] :  Ready.\n");
    int display_line_of_ready = board->count_lines(0, ready_start, true) + 1;
    EXPECT_GT(display_line_of_ready, 7);   // the long lines did wrap
    EXPECT_EQ(board->top_line(), display_line_of_ready);
}

TEST_F(TextBoard, RightClickShowsTheOneItemMenuAndConsumesTheRelease)
{
    int popups = 0;
    std::string item;
    int items = 0;
    int popup_x = -1, popup_y = -1;
    board->set_menu_popup([&](const Fl_Menu_Item* menu, int x, int y) -> const Fl_Menu_Item* {
        ++popups;
        popup_x = x;
        popup_y = y;
        item = menu[0].label();
        for (const Fl_Menu_Item* m = menu; m->label(); ++m) ++items;
        return nullptr;   // dismissed
    });
    EXPECT_EQ(right_click(), 1);
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(items, 1);
    EXPECT_EQ(item, "  < Save records to a log file >  ");
    // At the pointer, in window coordinates.
    EXPECT_EQ(popup_x, board->x() + 20);
    EXPECT_EQ(popup_y, board->y() + 10);
    EXPECT_TRUE(dialogs.shown.empty());   // dismissed: nothing saved

    Fl::e_keysym = FL_Button + 3;
    Fl::e_state = 0;
    EXPECT_EQ(board->handle(FL_RELEASE), 1);
    EXPECT_EQ(popups, 1);

    // The left button selects text as in any text display.
    board->write_status("  Ready.");
    right_click(1);
    EXPECT_EQ(popups, 1);
}

TEST_F(TextBoard, PickingTheMenuItemSavesTheLogOnTheDesktop)
{
    EnvGuard profile("HOME"), config("XDG_CONFIG_HOME");
    config.unset();
    profile.set(tmp.string());
    fs::create_directory(tmp / "Desktop");
    board->write_status("  Ready.");
    board->set_menu_popup([](const Fl_Menu_Item* menu, int, int) { return menu; });
    EXPECT_EQ(right_click(), 1);

    fs::path file = tmp / "Desktop" / "Korvane_Log_01-02-2027_at_09.05.03.log";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(read_file(file), "[09:05:03] :  Ready.\n");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "message");
    EXPECT_EQ(dialogs.shown[0].text,
              "Status records have been successfully written to a log file.\n\nFile location : Desktop");
}

TEST_F(TextBoard, LogFileNamesUseDayMonthYearAndTheTime)
{
    EXPECT_EQ(kv::KV_TextBoard::log_file_name(at(2027, 2, 1, 9, 5, 3)), "Korvane_Log_01-02-2027_at_09.05.03.log");
    EXPECT_EQ(kv::KV_TextBoard::log_file_name(at(2026, 12, 6, 11, 52, 7)), "Korvane_Log_06-12-2026_at_11.52.07.log");
}

TEST_F(TextBoard, TheEmptyBoardSavesAnEmptyFileAndALargeOneSavesWhole)
{
    EnvGuard profile("HOME"), config("XDG_CONFIG_HOME");
    config.unset();
    profile.set(tmp.string());
    fs::create_directory(tmp / "Desktop");
    EXPECT_TRUE(board->save_log());
    fs::path file = tmp / "Desktop" / "Korvane_Log_01-02-2027_at_09.05.03.log";
    EXPECT_EQ(board->last_log_path(), file.string());
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);

    // More than one transfer buffer's worth (128 KiB).
    for (int i = 0; i < 4000; ++i) board->append_line(now, "  > Make sure pedal is powered up and connected.");
    now.second = 4;
    EXPECT_TRUE(board->save_log());
    std::string saved = read_file(tmp / "Desktop" / "Korvane_Log_01-02-2027_at_09.05.04.log");
    EXPECT_GT(saved.size(), 131072u);
    EXPECT_EQ(saved, board->contents());
}

TEST_F(TextBoard, AFailedWriteIsReportedAsAFailure)
{
    EnvGuard home("HOME"), config("XDG_CONFIG_HOME");
    config.unset();
    board->write_status("  Ready.");

    // A home folder that is not there (and so no desktop in it).
    home.set((tmp / "gone").string());
    EXPECT_FALSE(board->save_log());
    // "gone" is a file, not a folder: no permission trick needed, even as root.
    std::ofstream(tmp / "gone") << "x";
    EXPECT_FALSE(board->save_log());

    EXPECT_EQ(messages("message"), 0);
    ASSERT_EQ(messages("alert"), 2);
    EXPECT_NE(dialogs.shown[0].text.find("could not be written"), std::string::npos);
    EXPECT_NE(dialogs.shown[0].text.find("Korvane_Log_01-02-2027_at_09.05.03.log"), std::string::npos);
}

TEST_F(TextBoard, AnUnwritableDesktopIsReportedAsAFailure)
{
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    EnvGuard profile("HOME"), config("XDG_CONFIG_HOME");
    config.unset();
    profile.set(tmp.string());
    fs::create_directory(tmp / "Desktop");
    fs::permissions(tmp / "Desktop", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(board->save_log());
    EXPECT_EQ(messages("alert"), 1);
    EXPECT_EQ(messages("message"), 0);
    fs::permissions(tmp / "Desktop", fs::perms::owner_all);
}

TEST_F(TextBoard, AVeryLongProfilePathIsNotCutShort)
{
    EnvGuard profile("HOME"), config("XDG_CONFIG_HOME");
    config.unset();
    fs::path deep = tmp / std::string(120, 'p');
    fs::create_directories(deep / "Desktop");
    profile.set(deep.string());
    board->write_status("  Ready.");
    EXPECT_TRUE(board->save_log());
    EXPECT_GT(board->last_log_path().size(), 100u);
    EXPECT_EQ(read_file(deep / "Desktop" / "Korvane_Log_01-02-2027_at_09.05.03.log"), "[09:05:03] :  Ready.\n");
}

TEST_F(TextBoard, WithoutADesktopTheLogGoesToTheHomeFolder)
{
    EnvGuard profile("USERPROFILE");
    EnvGuard home("HOME"), config("XDG_CONFIG_HOME");
    profile.set((tmp / "profile").string());   // a Windows name: not looked at here
    config.unset();
    home.set(tmp.string());
    EXPECT_TRUE(board->save_log());   // no Desktop under HOME: HOME itself
    EXPECT_TRUE(fs::exists(tmp / "Korvane_Log_01-02-2027_at_09.05.03.log"));
    fs::create_directory(tmp / "Desktop");
    EXPECT_TRUE(board->save_log());
    EXPECT_TRUE(fs::exists(tmp / "Desktop" / "Korvane_Log_01-02-2027_at_09.05.03.log"));
    // The desktop the user-dirs file names comes first.
    fs::create_directories(tmp / ".config");
    fs::create_directories(tmp / "Schreibtisch");
    std::ofstream(tmp / ".config" / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
    now.second = 4;
    EXPECT_TRUE(board->save_log());
    EXPECT_TRUE(fs::exists(tmp / "Schreibtisch" / "Korvane_Log_01-02-2027_at_09.05.04.log"));
}

} // namespace
