#include "link/DeviceAccess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {
namespace {

namespace fs = std::filesystem;

// A sysfs and /dev of our own: class/tty/<name>/device points at the port
// under a USB interface, whose device carries the product string, as the
// kernel lays it out for an FTDI bridge.
class FakeTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("kv_access_" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "sys/class/tty");
        fs::create_directories(root_ / "dev");
        places_.sys_class_tty = (root_ / "sys/class/tty").string();
        places_.dev = (root_ / "dev").string();
        places_.access_error = [this](const std::string& node) {
            auto it = denied_.find(node);
            return it == denied_.end() ? 0 : it->second;
        };
    }
    void TearDown() override { fs::remove_all(root_); }

    // A ttyUSB port of a USB device with the given product; with a /dev node unless told.
    std::string add_port(const std::string& name, const std::string& product, bool node = true)
    {
        const fs::path usb = root_ / "sys/devices/usb1" / ("1-" + name);
        const fs::path port = usb / "1-1:1.0" / name;
        fs::create_directories(port);
        std::ofstream(usb / "product") << product << "\n";
        std::ofstream(usb / "serial") << "TSV0001A\n";
        fs::create_directories(root_ / "sys/class/tty" / name);
        fs::create_directory_symlink(port, root_ / "sys/class/tty" / name / "device");
        const std::string dev = (root_ / "dev" / name).string();
        if (node) std::ofstream(dev) << "";
        return dev;
    }

    fs::path root_;
    DeviceAccessPlaces places_;
    std::map<std::string, int> denied_;
};

TEST_F(FakeTree, ADeniedPedalPortNamesItsNodeAndTheGroupThatMayOpenIt)
{
    add_port("ttyUSB0", "FT232R USB UART");   // someone else's adapter, also denied
    const std::string pedal = add_port("ttyUSB3", "Brakwell Tessivar");
    denied_[(root_ / "dev/ttyUSB0").string()] = EACCES;
    denied_[pedal] = EACCES;

    // Owned by a group that may read and write: joining it is the cure.
    gid_t gid = getegid();
    if (gid == 0) {
        const struct group* g = getgrnam("dialout");
        gid = g ? g->gr_gid : 20;
        ASSERT_EQ(chown(pedal.c_str(), 0, gid), 0);
    }
    ASSERT_EQ(chmod(pedal.c_str(), 0660), 0);
    const struct group* g = getgrgid(gid);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(pedal_access_hint(places_),
              "  > The pedal is on " + pedal + " but you may not open it: add yourself to the '" +
                  std::string(g->gr_name) + "' group (then log in again) or install the Korvane udev rule.");

    // Only its owner may open it: no group helps, the rule does.
    ASSERT_EQ(chmod(pedal.c_str(), 0600), 0);
    EXPECT_EQ(pedal_access_hint(places_),
              "  > The pedal is on " + pedal +
                  " but you may not open it: install the Korvane udev rule (60-korvane.rules), then plug the pedal in again.");

    // EPERM (a security module saying no) is the same story.
    denied_[pedal] = EPERM;
    EXPECT_NE(pedal_access_hint(places_), "");
}

TEST_F(FakeTree, NothingToSayUnlessThePedalIsThereAndItsNodeIsForbidden)
{
    EXPECT_EQ(pedal_access_hint(places_), "");   // no ports at all

    // An unplugged pedal's node is gone; another adapter being denied is not our business.
    const std::string other = add_port("ttyUSB0", "FT232R USB UART");
    denied_[other] = EACCES;
    add_port("ttyUSB1", "Brakwell Tessivar", /*node=*/false);
    denied_[(root_ / "dev/ttyUSB1").string()] = EACCES;
    EXPECT_EQ(pedal_access_hint(places_), "");

    // A pedal we may open, or one that is busy: the failure lies elsewhere.
    const std::string pedal = add_port("ttyUSB2", "Brakwell Tessivar");
    EXPECT_EQ(pedal_access_hint(places_), "");
    denied_[pedal] = EBUSY;
    EXPECT_EQ(pedal_access_hint(places_), "");

    // A product string is compared whole, not by its start; an oversized one is no product.
    add_port("ttyUSB4", "Brakwell Tessivar II");
    denied_[(root_ / "dev/ttyUSB4").string()] = EACCES;
    add_port("ttyUSB5", "Brakwell Tessivar" + std::string(400, ' '));
    denied_[(root_ / "dev/ttyUSB5").string()] = EACCES;
    EXPECT_EQ(pedal_access_hint(places_), "");
}

TEST_F(FakeTree, PortsAreTakenInTheKernelsNumberOrder)
{
    const std::string ten = add_port("ttyUSB10", "Brakwell Tessivar");
    const std::string two = add_port("ttyUSB2", "Brakwell Tessivar");
    denied_[ten] = EACCES;
    denied_[two] = EACCES;
    const std::string hint = pedal_access_hint(places_);
    EXPECT_NE(hint.find(two + " but"), std::string::npos) << hint;
}

TEST_F(FakeTree, WithoutAProbeTheProcesssOwnRightsDecide)
{
    const std::string pedal = add_port("ttyUSB0", "Brakwell Tessivar");
    ASSERT_EQ(chmod(pedal.c_str(), 0), 0);
    places_.access_error = nullptr;
    // root may open anything; everyone else is refused a mode-0 node.
    if (geteuid() == 0)
        EXPECT_EQ(pedal_access_hint(places_), "");
    else
        EXPECT_NE(pedal_access_hint(places_).find(pedal), std::string::npos);
}

TEST(DeviceAccess, TheSystemsOwnLookFitsTheConnectSequencesHook)
{
    // The connect operation takes a plain function looking at the real /sys
    // and /dev: whatever is plugged in here, it says nothing or the one line.
    std::string (*hook)() = &pedal_access_hint;
    const std::string line = hook();
    EXPECT_TRUE(line.empty() || line.rfind("  > The pedal is on /dev/ttyUSB", 0) == 0) << line;
}

} // namespace
} // namespace kv
