#pragma once
// How the window tests reach the main window's widgets and shared state,
// which the window keeps private: `ui(w).dashboard`, `ui(w).globals[3]`;
// and how they start a window once it is built.
// Each member refers to the window's own pointer or bytes, so a test sees
// (and may replace, as the window would) exactly what the window holds.

#include "app/KV_TextBoard.h"
#include "app/Korvane.h"
#include "tests/support/BoardLines.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

struct KorvaneTestAccess {
    explicit KorvaneTestAccess(Korvane& k)
        : backdrop_box(k.backdrop_box), tabs(k.tabs), dashboard(k.dashboard), preset_panel(k.preset_panel),
          preset_prompt(k.preset_prompt), transport_panel(k.transport_panel), usb(k.usb),
          update_panel(k.update_panel), glo_conf_panel(k.glo_conf_panel), midi_conf_panel(k.midi_conf_panel),
          expression_editor(k.expression_editor), arp_editor(k.arp_editor), library_page(k.library_page),
          connect_button(k.connect_button), menu_button(k.menu_button), quit_button(k.quit_button),
          write_button(k.write_button), compare_button(k.compare_button), preset_selector(k.preset_selector),
          infographic_button(k.infographic_button), text_board(k.text_board), templates_button(k.templates_button),
          template_panel(k.template_panel), serial_number(k.session_.pedal.serial_number),
          globals(k.session_.globals.bytes.data()), work_buffer(k.session_.image.data()),
          preset_of_item(k.preset_of_item), item_of_preset(k.item_of_preset),
          library_controller(k.library_controller_)
    {
    }

    Fl_Box*& backdrop_box;
    Fl_Tabs*& tabs;
    KV_Parameters*& dashboard;
    KV_PresetPanel*& preset_panel;
    KV_PresetPrompt*& preset_prompt;
    KV_TransportPanel*& transport_panel;
    KV_UsbController*& usb;
    KV_UpdatePanel*& update_panel;
    KV_GloConfPanel*& glo_conf_panel;
    KV_MidiConfPanel*& midi_conf_panel;
    KV_ExpressionEditor*& expression_editor;
    KV_ArpEditor*& arp_editor;
    KV_LibraryPanel*& library_page;
    Fl_Button*& connect_button;
    Fl_Button*& menu_button;
    Fl_Button*& quit_button;
    Fl_Button*& write_button;
    Fl_Button*& compare_button;
    Fl_Choice*& preset_selector;
    Fl_Button*& infographic_button;
    KV_TextBoard*& text_board;
    Fl_Button*& templates_button;
    KV_TemplatePanel*& template_panel;
    std::string& serial_number;
    uint8_t* globals;       // kGlobalsRecordSize bytes, record order
    uint8_t* work_buffer;   // kPresetImageSize bytes
    int (&preset_of_item)[39];
    int (&item_of_preset)[4][8];
    std::unique_ptr<LibraryController>& library_controller;
};

inline KorvaneTestAccess ui(Korvane& k) { return KorvaneTestAccess(k); }
inline KorvaneTestAccess ui(const Korvane& k) { return KorvaneTestAccess(const_cast<Korvane&>(k)); }

// Starts a built window as the program does (the start-up connect
// sequence). Where the program would end (firmware too old), the setup's
// exit hook hears status 0, as it did when the window ended the process.
inline void start_window(Korvane& k, const KorvaneSetup& setup)
{
    if (k.start() == Korvane::StartResult::EndProgram && setup.exit) setup.exit(0);
}

namespace test {

// The status board of a main window (tests/support/BoardLines.h), reached
// through the access above.
inline std::vector<std::string> board_lines(const Korvane& w) { return board_lines(ui(w)); }
inline bool board_has(const Korvane& w, std::string_view text) { return board_has(ui(w), text); }

} // namespace test

} // namespace kv
