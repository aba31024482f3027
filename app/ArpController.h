#pragma once
// The Arp Editor page's actions: a sequence chosen for an engine (the
// preset follows and the sequence is read back), a factory sequence loaded,
// a preview, and a save into the pedal's sequence library.

namespace kv {

class Korvane;

class ArpController {
public:
    explicit ArpController(Korvane& window) : w_(window) {}

    // The page's callback.
    void on_arp_editor();

private:
    Korvane& w_;
};

} // namespace kv
