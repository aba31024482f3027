// Reading what Windows' SetupAPI reports for a serial port as a pedal bridge
// (link/ComPorts.h): instance IDs, port names and descriptions, including the
// malformed and foreign ones a machine with other USB-serial adapters shows.

#include "link/ComPorts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kv {
namespace {

TEST(ComPorts, TheSerialNumberComesFromFtdiInstanceIdsOnly)
{
    struct Case {
        const char* id;
        std::optional<std::string> serial;
    };
    const Case cases[] = {
        // FTDI's bus driver: serial number and channel letter after the second '+'.
        {"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "A50285BI"},
        {"ftdibus\\vid_0403+pid_6015+TSV0777CA\\0000", "TSV0777C"},
        {"FTDIBUS\\VID_0403+PID_6010+FT4XYZ12B\\0000", "FT4XYZ12"},   // second channel of a dual bridge
        // The USB device itself: the serial number is the last level.
        {"USB\\VID_0403&PID_6001\\A50285BI", "A50285BI"},
        // Other vendors, the same shapes.
        {"FTDIBUS\\VID_1234+PID_6001+A50285BIA\\0000", std::nullopt},
        {"USB\\VID_067B&PID_2303\\5&2C6A4F3&0&2", std::nullopt},
        // A device without a serial number gets an ID Windows made up.
        {"USB\\VID_0403&PID_6001\\5&2C6A4F3&0&2", std::nullopt},
        // Malformed.
        {"FTDIBUS\\VID_0403+PID_6001+A\\0000", std::nullopt},    // no serial before the channel
        {"FTDIBUS\\VID_0403+PID_6001+ABCDE\\0000", std::nullopt}, // 'E' is no channel
        {"FTDIBUS\\VID_0403+PID_6001\\0000", std::nullopt},
        {"FTDIBUS\\VID_0403+PID_6001+A50285BIA+X\\0000", std::nullopt},
        {"FTDIBUS\\VID_0403+PID_6001+A5028 5BIA\\0000", std::nullopt},
        {"FTDIBUS\\VID_0403+PID_6001+A123456789012345A\\0000", std::nullopt},   // 16 characters: too long
        {"ACPI\\PNP0501\\1", std::nullopt},
        {"FTDIBUS", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ftdi_serial_from_instance_id(c.id), c.serial) << c.id;
}

TEST(ComPorts, PortNamesAreComOneTo256)
{
    for (const char* good : {"COM1", "COM5", "com9", "COM10", "COM256"}) EXPECT_TRUE(is_com_port_name(good)) << good;
    for (const char* bad : {"", "COM", "COM0", "COM01", "COM257", "COM1000", "COMX", "LPT1", "COM5:", "\\\\.\\COM5"})
        EXPECT_FALSE(is_com_port_name(bad)) << bad;
}

TEST(ComPorts, AReportBecomesAPedalCandidateOnlyWhenWhole)
{
    const ComPortReport pedal{"FTDIBUS\\VID_0403+PID_6001+TSV0777CA\\0000", "Brakwell Tessivar", "COM12"};
    const auto d = pedal_candidate(pedal);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->path, "//./COM12");
    EXPECT_EQ(d->description, "Brakwell Tessivar");
    EXPECT_EQ(d->serial_number, "TSV0777C");

    // Another FTDI bridge is still a candidate: the description decides later.
    EXPECT_TRUE(pedal_candidate({pedal.instance_id, "FT232R USB UART", "COM3"}));

    ComPortReport no_port = pedal;
    no_port.port_name = "";
    ComPortReport no_description = pedal;
    no_description.description = "";
    ComPortReport long_description = pedal;
    long_description.description = std::string(64, 'x');
    ComPortReport control_character = pedal;
    control_character.description = "Brakwell\tTessivar";
    ComPortReport other_vendor = pedal;
    other_vendor.instance_id = "USB\\VID_067B&PID_2303\\ABC123";
    for (const ComPortReport& r : {no_port, no_description, long_description, control_character, other_vendor})
        EXPECT_FALSE(pedal_candidate(r)) << r.instance_id << " / " << r.description << " / " << r.port_name;
}

}  // namespace
}  // namespace kv
