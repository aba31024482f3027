#pragma once
// The console texts of the link's commands, one set for each request, as
// the pedal's protocol has them. Used only by UsbLink.cpp.

namespace kv::console {

// The console texts of one request, in the order they may appear; null where
// the command has no such line.
struct Lines {
    const char* write_failed = nullptr;    // %d: driver status
    const char* written_count = nullptr;   // after write_failed, %d: bytes accepted
    const char* write_ok = nullptr;        // %d: bytes written
    const char* write_note = nullptr;      // after write_ok
    const char* drain_timeout = nullptr;
    const char* drained_count = nullptr;   // after drain_timeout, %d: bytes that got out
    const char* reply_timeout = nullptr;   // then the bytes received
    const char* read_failed = nullptr;     // %d: driver status, then the bytes read
    const char* read_ok = nullptr;         // %d: reply length
};

// The console lines of every command.
extern const Lines kPedalStateLines;
extern const Lines kGetGlobalsLines;
extern const Lines kSetGlobalsLines;
extern const Lines kChangeCoreLines;
extern const Lines kReadAllLines;
extern const Lines kReadAllParamsLines;
extern const Lines kReadAllTitlesLines;
extern const Lines kMessageIdLines;
extern const Lines kWriteDataLines;
extern const Lines kGetArpLines;
extern const Lines kSetArpLines;
extern const Lines kReadPresetLines;
extern const Lines kStoreHeaderLines;
extern const Lines kStoreProgramLines[2];
extern const Lines kLibraryAddressLines;
extern const Lines kLibraryBlockLines;
extern const Lines kFirmwareAddressLines;
extern const Lines kFirmwarePageLines;
extern const Lines kSetVersionLines;
extern const Lines kSendOneMessageLines;

} // namespace kv::console
