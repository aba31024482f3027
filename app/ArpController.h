#pragma once
// The Arp Editor page's actions: a sequence chosen for an engine (the
// preset follows and the sequence is read back), a factory sequence loaded,
// a preview, and a save into the pedal's sequence library.

namespace kv {

class Korvane;
enum class ArpAction : int;

class ArpController {
public:
    explicit ArpController(Korvane& window) : w_(window) {}

    // What the page asked for.
    void on_arp_editor(ArpAction action);

private:
    Korvane& w_;
};

} // namespace kv
