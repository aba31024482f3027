#pragma once
// What the parameter editor asks its owner to send after an edit: the
// parameter block (Change Core), one engine's program (Write Data), or one
// engine's arp sequence (GET_ARPDATA).

namespace kv {

enum class PreviewRequest : int {
    parameters = 0,
    program_x = 1,
    program_y = 2,
    sequence_x = 3,
    sequence_y = 4,
};

} // namespace kv
