#pragma once
// The Library page: the offline presets as a table (favourite star, name,
// DSP-X and DSP-Y algorithms, tags, date added) with a search field that
// filters as it is typed, a tag filter and a favourites filter, sorting by
// any column (click its heading; again for the reverse order), several rows
// selected at once, and an editor for the tags and notes of the selected
// preset. Below: export of the selected rows, import, and setlists built
// from the selected rows and sent to the pedal.
//
// The panel only shows and collects: every user action ends in on_action
// saying what, with the details in the fields below, and the owner (the Library controller of the
// main window) loads, previews, writes files and talks to the pedal. Rows
// come from set_rows(); the search is library/core/LibrarySearch.h.

#include "library/core/LibrarySearch.h"

#include <FL/Fl_Group.H>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class Fl_Box;
class Fl_Button;
class Fl_Check_Button;
class Fl_Choice;
class Fl_Input;
class Fl_Int_Input;
class Fl_Multiline_Input;

namespace kv {

class LibraryTable;

class KV_LibraryPanel : public Fl_Group {
public:
    enum class Action {
        Picked,             // a row was clicked or reached with Up/Down: picked_entry
        FavouriteToggled,   // the star of picked_entry was clicked
        MetaSaved,          // "Save" of the tags and notes editor: picked_entry, edited_tags, edited_notes
        ExportPressed,      // export the selected rows
        ImportPressed,
        SetlistSaved,       // a setlist named setlist_name from the selected rows
        SetlistSend,        // send the setlist chosen to the pedal from first_slot
        DroppedAt,          // a row was dragged and let go at window point drop_x, drop_y
        SetlistChosen,      // another setlist was chosen: the owner shows it (show_setlist)
        SetlistOrderSaved,  // "Save order": setlist_name in the order setlist_order
    };

    KV_LibraryPanel(int x, int y, int w, int h, const char* label = nullptr);

    // The library's rows (replacing those shown); the filters stay.
    void set_rows(std::vector<LibraryRow> rows);
    // Filters and sorts again after a change of the query.
    void apply_query();
    // Shows the setlists' names in the setlist list.
    void set_setlists(const std::vector<std::string>& names);
    // The chosen setlist's presets in the order list (dragged to reorder).
    void show_setlist(const std::vector<std::string>& presets);
    // The order list as it is now.
    std::vector<std::string> setlist_order_shown() const;

    // The rows shown, as indices into rows(), in order.
    const std::vector<size_t>& shown() const { return shown_; }
    const std::vector<LibraryRow>& rows() const { return rows_; }
    // Library entries of the selected rows, in the order shown.
    std::vector<size_t> selected_entries() const;
    // Selects the shown row holding `entry` (only it) and scrolls it into view.
    void select_entry(size_t entry);
    // The library entry of the row the tags and notes editor belongs to.
    std::optional<size_t> current_entry() const;
    // After new rows (the folder changed): selects the rows of `entries` and
    // makes `current`'s row the editor's again, leaving the editor's text as
    // the user left it.
    void reselect(const std::vector<size_t>& entries, std::optional<size_t> current);

    std::function<void(Action)> on_action;
    size_t picked_entry = 0;
    std::string edited_tags;     // MetaSaved: "live, clean"
    std::string edited_notes;
    // MetaSaved: what the editor was filled with, so that only what the user
    // changed is applied (tags added or removed, notes rewritten or not).
    std::vector<std::string> shown_tags;
    std::string shown_notes;
    std::string setlist_name;    // SetlistSaved / SetlistSend
    int first_slot = 0;          // SetlistSend: 0 to 31
    std::vector<std::string> setlist_order;   // SetlistOrderSaved
    int drop_x = 0, drop_y = 0;  // DroppedAt
    LibraryQuery query;

    Fl_Input* search = nullptr;
    Fl_Choice* tag_filter = nullptr;
    Fl_Check_Button* favourites = nullptr;
    LibraryTable* table = nullptr;
    Fl_Box* count_box = nullptr;
    Fl_Input* tags_input = nullptr;
    Fl_Multiline_Input* notes_input = nullptr;
    Fl_Button* save_meta_button = nullptr;
    Fl_Button* export_button = nullptr;
    Fl_Button* import_button = nullptr;
    Fl_Input* setlist_input = nullptr;
    Fl_Button* setlist_save_button = nullptr;
    Fl_Choice* setlist_choice = nullptr;
    Fl_Int_Input* first_slot_input = nullptr;
    Fl_Button* send_button = nullptr;
    class SetlistBrowser* setlist_browser = nullptr;
    Fl_Button* save_order_button = nullptr;

    // The table's parts the controller and tests use.
    static constexpr int kColumns = 6;   // star, name, DSP-X, DSP-Y, tags, added
    static const char* const kHeadings[kColumns];

    // Called by the table.
    void row_picked(int row);
    void star_clicked(int row);
    void heading_clicked(int column);
    void dropped(int x, int y);
    // Called by the order list after a line was dragged to another place.
    void order_changed();

private:
    void notify(Action a);
    void show_meta(int row);
    void fill_tag_filter();
    static void filter_cb(class Fl_Widget*, void* panel);
    static void button_cb(class Fl_Widget*, void* panel);

    std::vector<LibraryRow> rows_;
    std::vector<size_t> shown_;
    std::vector<std::string> tag_labels_;
    std::vector<std::string> setlist_labels_;
    std::string count_text_;
};

} // namespace kv
