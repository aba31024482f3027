#include "link/ConsoleTexts.h"

namespace kv::console {

namespace {
constexpr const char* kGetWritten = "Number of bytes get written : %d \n\n";
constexpr const char* kWritten = "Number of bytes written : %d \n\n";
} // namespace

// The console lines of every command, as the pedal's protocol has them.
const Lines kPedalStateLines{
    .write_failed = "Get Pedal State command FAILED, error code : %d\n\n",
    .write_ok = "Get Pedal State command successful (%d bytes written).\n",
    .reply_timeout = "Get Pedal State TIMEOUT. \n\n",
    .read_failed = "Get Pedal State FAILED, error code : %d \n\n",
    .read_ok = "Get Pedal State successful (%d bytes read).\n\n",
};
const Lines kGetGlobalsLines{
    .write_failed = "Send GET_GLOBALS command FAILED, error code : %d\n\n",
    .write_ok = "Send GET_GLOBALS command successful (%d bytes written).\n",
    .reply_timeout = "Get Global Conf TIMEOUT. \n\n",
    .read_failed = "Get Global Conf FAILED, error code : %d \n\n",
    .read_ok = "Get Global Conf successful (%d bytes read).\n\n",
};
const Lines kSetGlobalsLines{
    .write_failed = "Send SET_GLOBALS command FAILED, error code : %d \n",
    .written_count = kGetWritten,
    .write_ok = "'Send SET_GLOBALS command successful (%d bytes written).\n",
};
const Lines kChangeCoreLines{
    .write_failed = "Change Core (Preview) FAILED, error code : %d \n",
    .written_count = kWritten,
    .write_ok = "Change Core (Preview) successful (%d bytes written).\n",
    .write_note = "Verification is not done.\n\n",
};
const Lines kReadAllLines{
    .write_failed = "Write ReadAll command FAILED, error code : %d\n\n",
    .write_ok = "Write ReadAll command successful (%d bytes written).\n",
};
const Lines kReadAllParamsLines{
    .reply_timeout = "ReadAll (Params) TIMEOUT. \n\n",
    .read_failed = "ReadAll (Params) FAILED, error code : %d \n\n",
    .read_ok = "ReadAll (Params) successful (%d bytes read).\n\n",
};
const Lines kReadAllTitlesLines{
    .reply_timeout = "ReadAll (Titles) TIMEOUT. \n\n",
    .read_failed = "ReadAll (Titles) FAILED, error code : %d \n\n",
    .read_ok = "ReadAll (Titles) successful (%d bytes read).\n\n",
};
const Lines kMessageIdLines{
    .write_failed = "Sending messageId FAILED, error code : %d \n",
    .written_count = kGetWritten,
    .write_ok = "Sending messageId successful (%d bytes written).\n",
    .drain_timeout = "Waiting for pedal to receive first packet data TIMEOUT. \n\n",
};
const Lines kWriteDataLines{
    .write_failed = "Write Data (Preview) FAILED, error code : %d \n",
    .written_count = kWritten,
    .write_ok = "Write Data (Preview) successful (%d bytes written).\n",
    .write_note = "Verification is not done.\n\n",
};
const Lines kGetArpLines{
    .write_failed = "Send GET_ARPDATA command FAILED, error code : %d\n\n",
    .write_ok = "Send GET_ARPDATA command successful (%d bytes written).\n",
    .reply_timeout = "Get Arp Data TIMEOUT. \n\n",
    .read_failed = "Get Arp Data FAILED, error code : %d \n\n",
    .read_ok = "Get Arp Data successful (%d bytes read).\n\n",
};
const Lines kSetArpLines{
    .write_failed = "Send SET_ARPDATA command FAILED, error code : %d \n",
    .written_count = kGetWritten,
    .write_ok = "Send SET_ARPDATA successful (%d bytes written).\n",
};
const Lines kReadPresetLines{
    .write_failed = "Write preset address FAILED, error code : %d\n\n",
    .write_ok = "Write preset address successful (%d bytes written).\n",
    .reply_timeout = "Read parameters & title TIMEOUT. \n\n",
    .read_failed = "Read parameters & title FAILED, error code : %d \n\n",
    .read_ok = "Read parameters & title successful (%d bytes read).\n\n",
};
const Lines kStoreHeaderLines{
    .write_failed = "Sending parameters & title data FAILED, error code : %d \n",
    .written_count = kGetWritten,
    .write_ok = "Sending parameters & title data successful (%d bytes written).\n",
    .drain_timeout = "Waiting for pedal to receive transmitted parameters & title data TIMEOUT. \n\n",
    .drained_count = "Number of transmitted bytes get read : %d \n\n",
};
const Lines kStoreProgramLines[2]{
    {
        .write_failed = "Write (Store) X-Data FAILED, error code : %d \n",
        .written_count = kWritten,
        .write_ok = "Write (Store) X-Data successful (%d bytes written).\n",
        .reply_timeout = "Read X-Data back (verification) TIMEOUT. \n\n",
        .read_failed = "Read X-Data back FAILED, error code : %d \n",
    },
    {
        .write_failed = "Write (Store) Y-Data FAILED, error code : %d \n",
        .written_count = kWritten,
        .write_ok = "Write (Store) Y-Data successful (%d bytes written).\n",
        .reply_timeout = "Read Y-Data back (verification) TIMEOUT. \n\n",
        .read_failed = "Read Y-Data back FAILED, error code : %d \n",
    },
};
const Lines kLibraryAddressLines{
    .write_failed = "Sending address FAILED, error code : %d \n",
    .written_count = kGetWritten,
    .write_ok = "Sending address successful (%d bytes written).\n",
    .drain_timeout = "Waiting for pedal to receive transmitted address data TIMEOUT. \n\n",
};
const Lines kLibraryBlockLines{
    .write_failed = "Write Algo Library data FAILED, error code : %d \n",
    .written_count = kWritten,
    .write_ok = "Write Algo Library data successful (%d bytes written).\n",
    .reply_timeout = "Read Back (verification) TIMEOUT. \n\n",
    .read_failed = "Read Back FAILED, error code : %d \n",
    .read_ok = "Read Back successful (%d bytes read).\n",
};
const Lines kFirmwareAddressLines{
    .write_failed = "Sending command-ID and page address FAILED, error code : %d \n",
    .written_count = kGetWritten,
    .write_ok = "Sending command-ID and page address successful (%d bytes written).\n",
    .drain_timeout = "Waiting for pedal to receive command & page-address data TIMEOUT. \n\n",
};
const Lines kFirmwarePageLines{
    .write_failed = "Sending page data FAILED, error code : %d \n",
    .written_count = kGetWritten,
    .write_ok = "Sending page data successful (%d bytes written).\n",
    .reply_timeout = "Reading back verification status TIMEOUT. \n\n",
    .read_failed = "Reading back page data FAILED, error code : %d \n",
    .read_ok = "Reading back page data successful (%d bytes read).\n\n",
};
const Lines kSetVersionLines{
    .write_failed = "Set Version command FAILED, error code : %d \n",
    .written_count = kGetWritten,
    .write_ok = "Set Version successful (%d bytes written).\n",
};
const Lines kSendOneMessageLines{
    .write_failed = "'Send One Message' command FAILED, error code : %d \n",
    .written_count = kGetWritten,
    .write_ok = "'Send One Message' command successful (%d bytes written).\n",
};

} // namespace kv::console
