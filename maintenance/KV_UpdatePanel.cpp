#include "maintenance/KV_UpdatePanel.h"
#include "widgets/Zoom.h"

#include "platform/DataPaths.h"
#include "platform/Platform.h"
#include "widgets/Artwork.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/Fl_Toggle_Button.H>
#include <FL/fl_draw.H>

#include <cstdio>

namespace kv {

KV_UpdatePanel::KV_UpdatePanel(int x, int y, int w, int h, const char* label) : Fl_Group(x, y, w, h, label)
{
    icon_image = load_png_artwork(image_path("update_icon_(140x123).png"));
    update_button = new Fl_Toggle_Button(x + 105, y + 350, 100, 25, "Update Now");
    update_button->labelsize(13);
    update_button->deactivate();
    cancel_button = new Fl_Toggle_Button(x + 250, y + 350, 100, 25, "Cancel");
    cancel_button->labelsize(13);
    browse_button = new Fl_Button(x + 145, y + 110, 170, 25, "Browse Firmware File");
    browse_button->labelsize(13);
    icon_box = new Fl_Box(x + 160, y + 160, 140, 123);
    if (icon_image && icon_image->w() > 0 && icon_image->h() > 0) icon_box->image(icon_image);
    installed_box = new Fl_Box(x + 105, y + 48, 100, 25);
    installed_box->labelfont(FL_HELVETICA_BOLD);
    installed_box->labelsize(13);
    installed_box->label(installed_version);
    package_box = new Fl_Box(x + 183, y + 80, 100, 25);
    package_box->labelfont(FL_HELVETICA_BOLD);
    package_box->labelsize(18);
    package_box->labelcolor(FL_BLUE);
    package_box->label(package_version);
    notes_text = new Fl_Text_Buffer();
    notes_display = new Fl_Text_Display(x + 25, y + 150, w - 50, 190);
    notes_display->buffer(notes_text);
    notes_display->wrap_mode(Fl_Text_Display::WRAP_AT_PIXEL, w - 50 - 25);
    notes_display->hide();
    end();
    // The three buttons report through on_request.
    update_button->callback(button_cb, this);
    cancel_button->callback(button_cb, this);
    browse_button->callback(button_cb, this);
}

void KV_UpdatePanel::button_cb(Fl_Widget* w, void* data)
{
    auto* panel = static_cast<KV_UpdatePanel*>(data);
    const UpdateRequest request = w == panel->update_button   ? UpdateRequest::update_now
                                  : w == panel->cancel_button ? UpdateRequest::cancel
                                                              : UpdateRequest::browse;
    if (panel->on_request) panel->on_request(request);
    // The toggles spring back once the owner has run: a Cancel that could not
    // reach the pedal must not make the next Browse look like a Cancel.
    panel->update_button->value(0);
    panel->cancel_button->value(0);
}

void KV_UpdatePanel::show_package(const std::string& path, const std::string& version_text,
                                  const std::vector<std::string>& notes)
{
    icon_box->hide();
    notes_text->text("");
    notes_display->show();
    std::snprintf(package_version, sizeof package_version, "%s", version_text.c_str());
    package_box->label(package_version);
    for (const auto& note : notes) {
        notes_text->append(note.c_str());
        notes_text->append("\n");
    }
    package_path_ = path;
    update_button->activate();
    cancel_button->label("Cancel");
    redraw();
}

void KV_UpdatePanel::forget_package()
{
    package_path_.clear();
    update_button->deactivate();
    redraw();
}

void KV_UpdatePanel::ready_buttons()
{
    update_button->value(0);
    cancel_button->value(0);
    cancel_button->activate();
    if (package_path_.empty()) update_button->deactivate();
    else update_button->activate();
}

std::string KV_UpdatePanel::chooser_directory()
{
    // Where a downloaded firmware package usually is: the Downloads folder.
    const std::string profile = user_profile();
    return is_directory(profile + "/Downloads") ? profile + "/Downloads" : profile;
}

KV_UpdatePanel::~KV_UpdatePanel()
{
    // The display is deleted with the group; the buffer and image are ours.
    if (notes_display) notes_display->buffer(nullptr);
    delete notes_text;
    notes_text = nullptr;
    if (icon_box) icon_box->image(nullptr);
    delete icon_image;
    icon_image = nullptr;
}

void KV_UpdatePanel::set_installed_version(int major, int minor, int patch)
{
    std::snprintf(installed_version, sizeof installed_version, "%d.%d.%d", major, minor, patch);
    installed_box->label(installed_version);
    installed_box->redraw();
    redraw();
}

void KV_UpdatePanel::draw()
{
    Fl_Group::draw();
    fl_color(fl_rgb_color(30, 20, 20));
    fl_line_style(FL_SOLID, zoomed(8));
    fl_rect(x() + zoomed(10), y() + zoomed(10), w() - zoomed(19), h() - zoomed(19));
    fl_line_style(0);
    fl_font(FL_HELVETICA_BOLD, zoomed_font(16));
    fl_draw("-  FIRMWARE UPDATE  -", x() + zoomed(135), y() + zoomed(35));
    fl_font(FL_HELVETICA, zoomed_font(13));
    fl_draw("Firmware", x() + zoomed(78), y() + zoomed(65));
    fl_draw("is currently installed in your pedal.", x() + zoomed(180), y() + zoomed(65));
}

} // namespace kv
