#include "library/KV_LibraryPanel.h"

#include "widgets/SafeChoice.h"
#include "widgets/Zoom.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_Multiline_Input.H>
#include <FL/Fl_Table_Row.H>
#include <FL/Fl_Tooltip.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <numbers>

namespace kv {

namespace {
constexpr const char* kFavouriteTip = "Favourite: click a preset's star to mark it, again to unmark it";
}

const char* const KV_LibraryPanel::kHeadings[kColumns] = {"*", "Name", "DSP-X", "DSP-Y", "Tags", "Added"};

namespace {

constexpr LibraryColumn kSortOf[KV_LibraryPanel::kColumns] = {
    LibraryColumn::Favourite, LibraryColumn::Name, LibraryColumn::AlgorithmX,
    LibraryColumn::AlgorithmY, LibraryColumn::Tags, LibraryColumn::Added};
constexpr int kWidths[KV_LibraryPanel::kColumns] = {24, 140, 60, 60, 90, 86};
constexpr int kRowHeight = 20;
constexpr int kDragDistance = 8;

std::string joined(const std::vector<std::string>& tags)
{
    std::string out;
    for (const std::string& t : tags) out += (out.empty() ? "" : ", ") + t;
    return out;
}

// The toolkit's menu text for a label: "&" and "@" doubled, "/" and "\" kept
// out of add()'s reach by replace().
std::string menu_label(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '&' || c == '@') out += c;
        out += c;
    }
    return out;
}

} // namespace

// The table of rows: drawn cell by cell for the rows on screen only, so that
// 100,000 presets cost nothing until they are scrolled to.
class LibraryTable : public Fl_Table_Row {
public:
    LibraryTable(KV_LibraryPanel& panel, int x, int y, int w, int h) : Fl_Table_Row(x, y, w, h), panel_(panel)
    {
        type(SELECT_MULTI);
        cols(KV_LibraryPanel::kColumns);
        col_header(1);
        row_header(0);
        size_cells();
        color(FL_WHITE);
        selection_color(fl_rgb_color(142, 211, 211));
        end();
    }

    // Scrolls so that `row` is on screen.
    void show_row(int row)
    {
        int r1 = 0, r2 = 0, c1 = 0, c2 = 0;
        visible_cells(r1, r2, c1, c2);
        if (row < r1 + 1) row_position(std::max(0, row));
        else if (row >= r2) row_position(std::max(0, row - (r2 - r1) + 2));
    }
    int current = -1;   // the row last picked

    // New rows would take the toolkit's 25 pixels: every row at the zoom's height.
    using Fl_Table_Row::rows;
    void rows(int n) override
    {
        Fl_Table_Row::rows(n);
        row_height_all(zoomed(kRowHeight));
    }

    // The window's zoom moves and sizes the table; its rows and columns follow.
    void resize(int x, int y, int w, int h) override
    {
        Fl_Table_Row::resize(x, y, w, h);
        if (zoom_factor() != sized_at_) size_cells();
    }

protected:
    void draw_cell(TableContext context, int R, int C, int X, int Y, int W, int H) override
    {
        switch (context) {
        case CONTEXT_STARTPAGE:
            fl_font(FL_HELVETICA, zoomed_font(12));
            return;
        case CONTEXT_COL_HEADER: {
            fl_push_clip(X, Y, W, H);
            fl_draw_box(FL_THIN_UP_BOX, X, Y, W, H, fl_rgb_color(200, 202, 204));
            fl_color(FL_BLACK);
            std::string text = KV_LibraryPanel::kHeadings[C];
            if (panel_.query.sort == kSortOf[C]) text += panel_.query.descending ? "  v" : "  ^";
            fl_draw(text.c_str(), X + zoomed(4), Y, W - zoomed(6), H, FL_ALIGN_LEFT, nullptr, 0);
            fl_pop_clip();
            return;
        }
        case CONTEXT_CELL: {
            if (R < 0 || size_t(R) >= panel_.shown().size()) return;
            const LibraryRow& row = panel_.rows()[panel_.shown()[size_t(R)]];
            fl_push_clip(X, Y, W, H);
            fl_color(row_selected(R) ? selection_color() : (R % 2 ? fl_rgb_color(240, 242, 244) : FL_WHITE));
            fl_rectf(X, Y, W, H);
            if (C == 0) {
                // A favourite's star is filled; the others are outlined, so
                // that the column shows where to click.
                draw_star(X + W / 2, Y + H / 2, std::min(W, H) * 2 / 5, row.favourite);
                fl_color(fl_rgb_color(220, 220, 220));
                fl_line(X, Y + H - 1, X + W, Y + H - 1);
                fl_pop_clip();
                return;
            }
            std::string text;
            Fl_Color ink = FL_BLACK;
            switch (C) {
            case 1: text = row.name; break;
            case 2: text = row.algorithm_x.empty() ? "?" : row.algorithm_x; break;
            case 3: text = row.algorithm_y.empty() ? "?" : row.algorithm_y; break;
            case 4: text = joined(row.tags); break;
            default: text = row.added.substr(0, 10); break;   // the date; the time sorts
            }
            fl_color(ink);
            if (C == 0) fl_font(FL_HELVETICA_BOLD, zoomed_font(16));
            // No symbols: "@" in a name is drawn as it is.
            fl_draw(text.c_str(), X + zoomed(4), Y, W - zoomed(6), H, C == 0 ? FL_ALIGN_CENTER : FL_ALIGN_LEFT,
                    nullptr, 0);
            if (C == 0) fl_font(FL_HELVETICA, zoomed_font(12));
            fl_color(fl_rgb_color(220, 220, 220));
            fl_line(X, Y + H - 1, X + W, Y + H - 1);
            fl_pop_clip();
            return;
        }
        default:
            return;
        }
    }

    // A five-pointed star around (cx, cy) with outer radius r.
    static void draw_star(int cx, int cy, int r, bool filled)
    {
        const double inner = r * 0.42;
        auto vertices = [&] {
            for (int i = 0; i < 10; ++i) {
                const double a = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
                const double d = i % 2 ? inner : r;
                fl_vertex(cx + d * std::cos(a), cy + d * std::sin(a));
            }
        };
        if (filled) {
            fl_color(fl_rgb_color(230, 150, 0));
            fl_begin_polygon();
            vertices();
            fl_end_polygon();
        }
        fl_color(filled ? fl_rgb_color(170, 100, 0) : fl_rgb_color(110, 110, 110));
        fl_line_style(FL_SOLID, std::max(1, zoomed(1)));
        fl_begin_loop();
        vertices();
        fl_end_loop();
        fl_line_style(0);
    }

    int handle(int event) override
    {
        switch (event) {
        case FL_MOVE: {
            // The star column says what its stars are for.
            int r = -1, c = -1;
            ResizeFlag flag = RESIZE_NONE;
            const TableContext where = cursor2rowcol(r, c, flag);
            int X = 0, Y = 0, W = 0, H = 0;
            if (c == 0 && (where == CONTEXT_CELL || where == CONTEXT_COL_HEADER) &&
                find_cell(where, r, c, X, Y, W, H) == 0)
                Fl_Tooltip::enter_area(this, X - x(), Y - y(), W, H, kFavouriteTip);
            else
                Fl_Tooltip::enter_area(this, 0, 0, w(), h(), tooltip());
            return Fl_Table_Row::handle(event);
        }
        case FL_PUSH: {
            press_x_ = Fl::event_x();
            press_y_ = Fl::event_y();
            dragging_ = false;
            int r = -1, c = -1;
            ResizeFlag flag = RESIZE_NONE;
            press_context_ = cursor2rowcol(r, c, flag);
            press_row_ = r;
            press_col_ = c;
            if (Fl::event_button() == FL_LEFT_MOUSE) Fl::focus(this);
            // A click on a star only toggles it: the selection stays.
            if (press_context_ == CONTEXT_CELL && c == 0) return 1;
            // What was selected before the press: a drag puts it back.
            selected_before_.assign(size_t(std::max(rows(), 0)), 0);
            for (int row = 0; row < rows(); ++row) selected_before_[size_t(row)] = char(row_selected(row) == 1);
            return Fl_Table_Row::handle(event);
        }
        case FL_DRAG:
            // A row pressed and moved is carried, never a selection swept:
            // the rows the pointer crosses stay as they were.
            if (press_context_ == CONTEXT_CELL && press_col_ != 0 &&
                (dragging_ || std::abs(Fl::event_x() - press_x_) > kDragDistance ||
                 std::abs(Fl::event_y() - press_y_) > kDragDistance)) {
                if (!dragging_) {
                    dragging_ = true;
                    for (int row = 0; row < rows() && size_t(row) < selected_before_.size(); ++row)
                        select_row(row, selected_before_[size_t(row)]);
                    window()->cursor(FL_CURSOR_MOVE);
                    redraw();
                }
                return 1;
            }
            if (dragging_) return 1;
            return Fl_Table_Row::handle(event);
        case FL_RELEASE: {
            if (dragging_) {
                dragging_ = false;
                window()->cursor(FL_CURSOR_DEFAULT);
                // Let go over the table itself: nothing is dropped.
                if (Fl::event_inside(this)) return 1;
                current = press_row_;
                panel_.dropped(Fl::event_x(), Fl::event_y());
                return 1;
            }
            const int result = (press_context_ == CONTEXT_CELL && press_col_ == 0) ? 1 : Fl_Table_Row::handle(event);
            const bool moved = std::abs(Fl::event_x() - press_x_) > kDragDistance ||
                               std::abs(Fl::event_y() - press_y_) > kDragDistance;
            if (Fl::event_button() != FL_LEFT_MOUSE || moved) return result;
            if (press_context_ == CONTEXT_COL_HEADER && press_col_ >= 0) {
                panel_.heading_clicked(press_col_);
            } else if (press_context_ == CONTEXT_CELL && press_row_ >= 0) {
                if (press_col_ == 0) {
                    panel_.star_clicked(press_row_);
                } else if (!(Fl::event_state() & (FL_CTRL | FL_SHIFT))) {
                    current = press_row_;
                    panel_.row_picked(press_row_);
                }
            }
            return 1;
        }
        case FL_KEYBOARD: {
            const int key = Fl::event_key();
            if ((key == FL_Up || key == FL_Down) && rows() > 0) {
                int next = current < 0 ? 0 : current + (key == FL_Down ? 1 : -1);
                next = std::clamp(next, 0, rows() - 1);
                select_all_rows(0);
                select_row(next, 1);
                show_row(next);
                current = next;
                redraw();
                panel_.row_picked(next);
                return 1;
            }
            return Fl_Table_Row::handle(event);
        }
        case FL_FOCUS:
        case FL_UNFOCUS:
            return 1;
        default:
            return Fl_Table_Row::handle(event);
        }
    }

private:
    void size_cells()
    {
        sized_at_ = zoom_factor();
        col_header_height(zoomed(22));
        row_height_all(zoomed(kRowHeight));
        for (int c = 0; c < KV_LibraryPanel::kColumns; ++c) col_width(c, zoomed(kWidths[c]));
    }

    KV_LibraryPanel& panel_;
    double sized_at_ = 1.0;
    int press_x_ = 0, press_y_ = 0;
    int press_row_ = -1, press_col_ = -1;
    TableContext press_context_ = CONTEXT_NONE;
    bool dragging_ = false;
    std::vector<char> selected_before_;   // per row, at the last press
};

// The chosen setlist, one preset a line; a line dragged onto another goes
// there and the lines between move up or down.
class SetlistBrowser : public Fl_Hold_Browser {
public:
    SetlistBrowser(KV_LibraryPanel& panel, int x, int y, int w, int h) : Fl_Hold_Browser(x, y, w, h), panel_(panel)
    {
        format_char(0);   // names are shown as they are, "@" included
    }
    int handle(int event) override
    {
        if (event == FL_PUSH) {
            const int r = Fl_Hold_Browser::handle(event);
            from_ = value();
            return r;
        }
        if (event == FL_RELEASE) {
            const int r = Fl_Hold_Browser::handle(event);
            void* item = find_item(Fl::event_y());
            const int to = item ? lineno(item) : (Fl::event_y() >= y() + h() / 2 ? size() : 1);
            if (from_ > 0 && to > 0 && to != from_ && from_ <= size()) {
                const std::string text = this->text(from_) ? this->text(from_) : "";
                remove(from_);
                insert(to, text.c_str());
                value(to);
                panel_.order_changed();
            }
            from_ = 0;
            return r;
        }
        return Fl_Hold_Browser::handle(event);
    }

private:
    KV_LibraryPanel& panel_;
    int from_ = 0;
};

KV_LibraryPanel::KV_LibraryPanel(int X, int Y, int W, int H, const char* label) : Fl_Group(X, Y, W, H, label)
{
    const int left = X + 10;
    search = new Fl_Input(left + 55, Y + 10, 250, 25, "Search");
    search->when(FL_WHEN_CHANGED);
    search->callback(filter_cb, this);
    search->tooltip("Name, algorithm, tag or notes; every word must occur");
    tag_filter = new SafeChoice(left + 360, Y + 10, 140, 25, "Tag");
    tag_filter->callback(filter_cb, this);
    favourites = new Fl_Check_Button(left + 515, Y + 10, 110, 25, "Favourites");
    favourites->callback(filter_cb, this);
    count_box = new Fl_Box(left + 600, Y + 10, 80, 25);
    count_box->align(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE);

    table = new LibraryTable(*this, left, Y + 42, 480, 300);
    auto* order_title = new Fl_Box(left + 490, Y + 42, 190, 20, "Setlist order (drag to reorder)");
    order_title->labelsize(12);
    order_title->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    setlist_browser = new SetlistBrowser(*this, left + 490, Y + 62, 190, 250);
    setlist_browser->textsize(12);
    save_order_button = new Fl_Button(left + 490, Y + 317, 190, 25, "Save order");
    save_order_button->callback(button_cb, this);
    save_order_button->deactivate();

    const int by = Y + 350;
    tags_input = new Fl_Input(left + 55, by, 300, 25, "Tags");
    tags_input->tooltip("Tags of the selected preset, separated by commas");
    notes_input = new Fl_Multiline_Input(left + 55, by + 30, 300, 40, "Notes");
    save_meta_button = new Fl_Button(left + 365, by, 90, 25, "Save notes");
    save_meta_button->callback(button_cb, this);
    export_button = new Fl_Button(left + 480, by, 200, 25, "Export selected...");
    export_button->callback(button_cb, this);
    import_button = new Fl_Button(left + 480, by + 30, 200, 25, "Import .tessivar.json...");
    import_button->callback(button_cb, this);

    const int sy = by + 77;
    setlist_input = new Fl_Input(left + 55, sy, 180, 25, "Setlist");
    setlist_save_button = new Fl_Button(left + 245, sy, 210, 25, "Make setlist of selected rows");
    setlist_save_button->callback(button_cb, this);
    setlist_choice = new SafeChoice(left + 55, sy + 30, 180, 25, "Send");
    setlist_choice->callback(button_cb, this);
    first_slot_input = new Fl_Int_Input(left + 430, sy + 30, 40, 25, "from slot");
    first_slot_input->value("1");
    send_button = new Fl_Button(left + 480, sy + 30, 200, 25, "Send to pedal");
    send_button->callback(button_cb, this);
    for (Fl_Widget* w : std::initializer_list<Fl_Widget*>{search, tag_filter, favourites, tags_input, notes_input,
                                                           setlist_input, setlist_choice, first_slot_input}) {
        w->labelsize(12);
        w->labelcolor(FL_BLACK);
    }
    end();
    fill_tag_filter();
}

void KV_LibraryPanel::set_rows(std::vector<LibraryRow> rows)
{
    rows_ = std::move(rows);
    fill_tag_filter();
    apply_query();
}

void KV_LibraryPanel::fill_tag_filter()
{
    const std::string chosen = query.tag;
    tag_labels_.clear();
    tag_labels_.push_back("All tags");
    for (const std::string& t : all_tags(rows_)) tag_labels_.push_back(t);
    tag_filter->clear();
    int pick = 0;
    for (size_t i = 0; i < tag_labels_.size(); ++i) {
        const int item = tag_filter->add("item");
        tag_filter->replace(item, menu_label(tag_labels_[i]).c_str());
        if (i > 0 && tag_labels_[i] == chosen) pick = int(i);
    }
    tag_filter->value(pick);
    if (pick == 0) query.tag.clear();
}

void KV_LibraryPanel::apply_query()
{
    query.text = search->value();
    const int t = tag_filter->value();
    query.tag = t > 0 && size_t(t) < tag_labels_.size() ? tag_labels_[size_t(t)] : std::string();
    query.favourites_only = favourites->value() != 0;
    shown_ = find_rows(rows_, query);
    table->select_all_rows(0);
    table->rows(int(shown_.size()));
    table->current = -1;
    count_text_ = std::to_string(shown_.size()) + " of " + std::to_string(rows_.size());
    count_box->label(count_text_.c_str());
    redraw();
}

void KV_LibraryPanel::set_setlists(const std::vector<std::string>& names)
{
    setlist_labels_ = names;
    setlist_choice->clear();
    for (const std::string& n : names) {
        const int item = setlist_choice->add("item");
        setlist_choice->replace(item, menu_label(n).c_str());
    }
    if (!names.empty()) setlist_choice->value(0);
}

void KV_LibraryPanel::show_setlist(const std::vector<std::string>& presets)
{
    setlist_browser->clear();
    for (const std::string& p : presets) setlist_browser->add(p.c_str());
    save_order_button->deactivate();
    setlist_browser->redraw();
}

std::vector<std::string> KV_LibraryPanel::setlist_order_shown() const
{
    std::vector<std::string> out;
    for (int i = 1; i <= setlist_browser->size(); ++i) out.emplace_back(setlist_browser->text(i) ? setlist_browser->text(i) : "");
    return out;
}

void KV_LibraryPanel::order_changed() { save_order_button->activate(); }

std::vector<size_t> KV_LibraryPanel::selected_entries() const
{
    std::vector<size_t> out;
    for (size_t r = 0; r < shown_.size(); ++r)
        if (table->row_selected(int(r)) == 1) out.push_back(rows_[shown_[r]].entry);
    return out;
}

void KV_LibraryPanel::select_entry(size_t entry)
{
    table->select_all_rows(0);
    for (size_t r = 0; r < shown_.size(); ++r)
        if (rows_[shown_[r]].entry == entry) {
            table->select_row(int(r), 1);
            table->show_row(int(r));
            table->current = int(r);
            show_meta(int(r));
            break;
        }
    table->redraw();
}

void KV_LibraryPanel::show_meta(int row)
{
    if (row < 0 || size_t(row) >= shown_.size()) return;
    const LibraryRow& r = rows_[shown_[size_t(row)]];
    tags_input->value(joined(r.tags).c_str());
    notes_input->value(r.notes.c_str());
    shown_tags = r.tags;
    shown_notes = r.notes;
}

std::optional<size_t> KV_LibraryPanel::current_entry() const
{
    const int row = table->current;
    if (row < 0 || size_t(row) >= shown_.size()) return std::nullopt;
    return rows_[shown_[size_t(row)]].entry;
}

void KV_LibraryPanel::reselect(const std::vector<size_t>& entries, std::optional<size_t> current)
{
    table->select_all_rows(0);
    for (size_t r = 0; r < shown_.size(); ++r) {
        const size_t entry = rows_[shown_[r]].entry;
        if (std::find(entries.begin(), entries.end(), entry) != entries.end()) table->select_row(int(r), 1);
        if (current && entry == *current) table->current = int(r);
    }
    table->redraw();
}

void KV_LibraryPanel::notify(Action a)
{
    if (on_action) on_action(a);
}

void KV_LibraryPanel::row_picked(int row)
{
    if (row < 0 || size_t(row) >= shown_.size()) return;
    picked_entry = rows_[shown_[size_t(row)]].entry;
    show_meta(row);
    notify(Action::Picked);
}

void KV_LibraryPanel::star_clicked(int row)
{
    if (row < 0 || size_t(row) >= shown_.size()) return;
    picked_entry = rows_[shown_[size_t(row)]].entry;
    notify(Action::FavouriteToggled);
}

void KV_LibraryPanel::heading_clicked(int column)
{
    if (column < 0 || column >= kColumns) return;
    if (query.sort == kSortOf[column]) query.descending = !query.descending;
    else {
        query.sort = kSortOf[column];
        query.descending = false;
    }
    apply_query();
}

void KV_LibraryPanel::dropped(int x, int y)
{
    if (table->current < 0 || size_t(table->current) >= shown_.size()) return;
    picked_entry = rows_[shown_[size_t(table->current)]].entry;
    drop_x = x;
    drop_y = y;
    notify(Action::DroppedAt);
}

void KV_LibraryPanel::filter_cb(Fl_Widget*, void* data) { static_cast<KV_LibraryPanel*>(data)->apply_query(); }

void KV_LibraryPanel::button_cb(Fl_Widget* w, void* data)
{
    auto* p = static_cast<KV_LibraryPanel*>(data);
    if (w == p->save_meta_button) {
        const int row = p->table->current;
        if (row < 0 || size_t(row) >= p->shown_.size()) return;
        p->picked_entry = p->rows_[p->shown_[size_t(row)]].entry;
        p->edited_tags = p->tags_input->value();
        p->edited_notes = p->notes_input->value();
        p->notify(Action::MetaSaved);
    } else if (w == p->export_button) {
        p->notify(Action::ExportPressed);
    } else if (w == p->import_button) {
        p->notify(Action::ImportPressed);
    } else if (w == p->setlist_save_button) {
        p->setlist_name = p->setlist_input->value();
        p->notify(Action::SetlistSaved);
    } else if (w == p->setlist_choice) {
        const int i = p->setlist_choice->value();
        if (i < 0 || size_t(i) >= p->setlist_labels_.size()) return;
        p->setlist_name = p->setlist_labels_[size_t(i)];
        p->notify(Action::SetlistChosen);
    } else if (w == p->save_order_button) {
        const int i = p->setlist_choice->value();
        if (i < 0 || size_t(i) >= p->setlist_labels_.size()) return;
        p->setlist_name = p->setlist_labels_[size_t(i)];
        p->setlist_order = p->setlist_order_shown();
        p->notify(Action::SetlistOrderSaved);
        p->save_order_button->deactivate();
    } else if (w == p->send_button) {
        const int i = p->setlist_choice->value();
        if (i < 0 || size_t(i) >= p->setlist_labels_.size()) return;
        p->setlist_name = p->setlist_labels_[size_t(i)];
        p->first_slot = std::atoi(p->first_slot_input->value()) - 1;
        p->notify(Action::SetlistSend);
    }
}

} // namespace kv
