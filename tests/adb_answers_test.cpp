#include "phones/phone_choice.h"
#include "phones/phone_menu.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Each entry as "SERIAL|STATE|KIND|MODEL", KIND u, e or n.
std::vector<std::string> listed(std::string_view output)
{
    std::vector<std::string> entries;
    for (const DeviceEntry& e : parseDeviceList(output))
        entries.push_back(e.serial + "|" + e.state + "|" + "uen"[static_cast<int>(e.kind)] + "|" + e.model);
    return entries;
}

TEST(DeviceList, EveryShapeAdbPrints)
{
    // Linux lines, and a Windows one (CR LF, no usb: field) first.
    const char* const output =
        "* daemon started successfully\r\nList of devices attached\r\n"
        "R58M12ABCDE            device product:beyond1 model:SM_G973F device:beyond1 transport_id:1\r\n"
        "0123456789abcdef       device usb:1-4 product:p model:m device:d transport_id:2\n"
        "emulator-5554          device product:sdk model:sdk device:emu64xa transport_id:3\n"
        "192.168.1.23:5555      offline product:p model:m device:d transport_id:4\n"
        "0123456789abcdef       unauthorized usb:1-5 transport_id:5\n"
        "adb-0123456789AB-CDdefg (2)._adb-tls-connect._tcp device product:p model:m device:d transport_id:6\n"
        "adb-R58M123-AbCdEf._adb-tls-connect._tcp. device product:p model:m device:d transport_id:7\n"
        "FEDCBA9876543210       no permissions (missing udev rules?); see [http://d.android.com/x] usb:1-6\n"
        "HT7A1B2C3D4E           device usb:1-7 product:Pixel 7 Pro model:Pixel 7 Pro device:cheetah pro\n"
        "HT7A1B2C3D4F           device usb:1-8 model:Pixel 7 transport_id:9\n"
        "HT7A1B2C3D50           device product:p device:d\n\n";
    EXPECT_EQ(listed(output),
              (std::vector<std::string>{"R58M12ABCDE|device|u|SM_G973F", "0123456789abcdef|device|u|m",
                                        "emulator-5554|device|e|sdk", "192.168.1.23:5555|offline|n|m",
                                        "0123456789abcdef|unauthorized|u|",
                                        "adb-0123456789AB-CDdefg (2)._adb-tls-connect._tcp|device|n|m",
                                        "adb-R58M123-AbCdEf._adb-tls-connect._tcp.|device|n|m",
                                        "FEDCBA9876543210|no permissions (missing udev rules?); see "
                                        "[http://d.android.com/x]|u|",
                                        "HT7A1B2C3D4E|device|u|Pixel 7 Pro", "HT7A1B2C3D4F|device|u|Pixel 7",
                                        "HT7A1B2C3D50|device|u|"}));
    for (const char* nothing : {"", "error: cannot connect to daemon\n", "device\n", "R58M12 \x1b[2Jdevice\n"})
        EXPECT_TRUE(parseDeviceList(nothing).empty()) << nothing;
}

TEST(PhoneAddresses, TheWordAfterInet)
{
    EXPECT_EQ(parsePhoneAddresses("30: wlan0    inet 192.168.1.23/24 brd 192.168.1.255 scope global wlan0\\  "
                                  "valid_lft forever\n1: lo    inet 127.0.0.1/8 scope host lo\r\n7: rmnet0 inet 10.1.2.3"),
              (std::vector<std::string>{"192.168.1.23", "127.0.0.1", "10.1.2.3"}));
    for (const char* none : {"", "/system/bin/sh: ip: not found\n", "inet"})
        EXPECT_TRUE(parsePhoneAddresses(none).empty()) << none;
}

TEST(ChoosePhone, TheSendersPhoneAndNoOther)
{
    // The devices as adb lists them, the addresses that USB phones tell (not
    // there: they cannot tell), the choice ("=" before it when already
    // connected) or why none, and whose addresses were read.
    const std::string none = "No device to switch has the address 192.168.1.23";
    const struct {
        const char* devices;
        std::map<std::string, std::vector<std::string>> addresses;
        std::string choice;
        const char* asked;
    } cases[] = {
        {"R58 device\n192.168.1.23:5555 device\n", {}, "=192.168.1.23:5555", ""},
        {"emulator-5554 device\nR58 device\n", {{"R58", {"127.0.0.1", "192.168.1.23"}}}, "R58", "R58"},
        {"A1 device\nR58 device\n", {{"A1", {"192.168.1.99"}}, {"R58", {"192.168.1.23"}}}, "R58", "A1 R58"},
        {"A1 device\nR58 device\n", {}, none, "A1 R58"},
        {"emulator-5554 device\nR58 device\n", {}, "R58", "R58"},  // the one phone cannot tell
        {"R58 device\n", {{"R58", {"192.168.1.99"}}}, none, "R58"},
        {"R58 device\n", {{"R58", {}}}, none, "R58"},  // it answered, with no address
        {"R58 device\n192.168.1.23:4444 device\n", {{"R58", {"10.0.0.5"}}}, "192.168.1.23:4444", "R58"},
        {"emulator-5554 device\n", {}, none, ""},
        {"emulator-5554 device\nR58 unauthorized\n", {}, "A USB device waits for approval of debugging on the phone",
         ""},
    };
    for (const auto& c : cases) {
        std::string asked;
        const PhoneChoice choice =
            choosePhone(parseDeviceList(c.devices), "192.168.1.23", "5555", [&](const std::string& serial) {
                asked += (asked.empty() ? "" : " ") + serial;
                const auto found = c.addresses.find(serial);
                return found == c.addresses.end() ? std::nullopt : std::optional(found->second);
            });
        const std::string chosen = choice.serial.empty() ? choice.whyNone : choice.serial;
        EXPECT_EQ((choice.alreadyThere ? "=" : "") + chosen, c.choice) << c.devices;
        EXPECT_EQ(asked, c.asked) << c.devices;
    }
}

TEST(ThisComputersPhone, KnownToAdbOrRemembered)
{
    using Addresses = std::vector<std::string>;
    const struct {
        const char* devices;
        ToldAddresses told;
        RememberedPhones remembered;
        bool known;
    } cases[] = {
        {"R58 device\n", {{"R58", Addresses{"10.0.0.5", "192.168.1.23"}}}, {}, true},
        {"R58 device\n", {{"R58", std::nullopt}}, {}, true},  // the only USB phone, which cannot tell
        {"R58 device\nR59 device\n", {{"R58", std::nullopt}, {"R59", Addresses{"10.0.0.5"}}}, {}, false},
        {"R58 device\n", {{"R58", Addresses{"192.168.1.99"}}}, {}, false},  // another phone's address only
        {"R58 unauthorized\n", {}, {}, true},
        {"192.168.1.23:6666 offline\n", {}, {}, true},
        {"192.168.1.230:5555 device\nemulator-5554 device\n", {}, {"192.168.1.230:5555"}, false},
        {"", {}, {"10.0.0.5:5555", "192.168.1.23:4444"}, true},
        {"", {}, {}, false},  // known nowhere
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isThisComputersPhone(parseDeviceList(c.devices), "192.168.1.23", c.told, c.remembered), c.known)
            << c.devices << c.told.size() << c.remembered.size();
    }
}

TEST(JudgeConnect, ByTheFirstLineAdbPrints)
{
    using R = ConnectResult;
    const std::pair<const char*, ConnectResult> cases[] = {
        {"connected to 10.0.0.2:5555\n", R::Connected},
        {"* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n"
         "already connected to 10.0.0.2:5555\r\n", R::Connected},
        {"adb server version (41) doesn't match this client (39); killing...\n* daemon started successfully\n"
         "connected to 10.0.0.2:5555\n", R::Connected},
        {"failed to connect to '10.0.0.2:5555': Connection refused\n", R::Refused},
        {"cannot connect to 10.0.0.2:5555: No connection could be made... (10061)\r\n", R::Refused},
        {"unable to connect to 10.0.0.2:5555: Connection refused\n", R::Refused},
        {"failed to authenticate to 10.0.0.2:5555\n", R::Failed},
        {"error: cannot connect to daemon\nconnected to 10.0.0.2:5555\n", R::Failed},
        {"", R::Failed},
    };
    for (const auto& [output, result] : cases)
        EXPECT_EQ(judgeConnect(output), result) << output;
}

TEST(PhoneMenu, ReadyPhonesOnUsbToWifiAndOnTheNetworkToUsb)
{
    const struct {
        const char* devices;
        std::vector<std::string> items;  // "SERIAL: TEXT"
    } cases[] = {
        {"R58M12ABCDE device usb:1-4 product:beyond1 model:SM_G973F device:beyond1 transport_id:1\n"
         "emulator-5554 device product:sdk model:sdk_gphone64 device:emu64xa transport_id:2\n"
         "192.168.1.23:5555 device product:p model:Pixel_7 Pro device:d transport_id:3\n"
         "0123456789abcdef device transport_id:4\n",
         {"R58M12ABCDE: Switch SM G973F to Wi-Fi", "192.168.1.23:5555: Switch Pixel 7 Pro to USB",
          "0123456789abcdef: Switch 0123456789abcdef to Wi-Fi"}},
        {"R58M12ABCDE unauthorized usb:1-4 transport_id:1\n192.168.1.23:5555 offline transport_id:2\n"
         "adb-R58M123-AbCdEf._adb-tls-connect._tcp device model:m transport_id:3\nphone.lan:5555 device\n"
         "emulator-5554 device\n",
         {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> items;
        for (const PhoneMenuItem& item : phoneMenuItems(parseDeviceList(c.devices)))
            items.push_back(item.serial + ": " + item.text);
        EXPECT_EQ(items, c.items) << c.devices;
    }
}

TEST(PhoneMenu, TheAddressThatFacesTheWorkstation)
{
    const std::vector<std::string> phone = {"127.0.0.1", "10.64.1.9", "192.168.1.23"};  // lo, mobile data, wlan0
    const Adapter wifi{"wlan", "192.168.1.10", 3, "255.255.255.0"}, vpn{"vpn", "172.16.0.2", 9, "255.255.0.0"};
    EXPECT_EQ(chooseFacingAddress(phone, {vpn, wifi}), "192.168.1.23");
    EXPECT_EQ(chooseFacingAddress(phone, {vpn}), "10.64.1.9") << "none in a subnet: the first that is not loopback";
    EXPECT_EQ(chooseFacingAddress({"127.0.0.1"}, {wifi}), "");
    EXPECT_EQ(chooseFacingAddress({}, {wifi}), "");
}

}  // namespace
