#include "intake/adb_devices.h"

#include <gtest/gtest.h>

#include <map>

// Found by argument-dependent lookup, so beside DeviceEntry.
static bool operator==(const DeviceEntry& a, const DeviceEntry& b)
{
    return a.serial == b.serial && a.state == b.state && a.kind == b.kind;
}

static void PrintTo(const DeviceEntry& e, std::ostream* out)
{
    *out << '{' << e.serial << '|' << e.state << '|' << static_cast<int>(e.kind) << '}';
}

namespace {

using Kind = DeviceKind;

TEST(DeviceList, EveryShapeAdbPrints)
{
    const char* const linux =
        "* daemon not running; starting now at tcp:5037\n"
        "* daemon started successfully\n"
        "List of devices attached\n"
        "R58M12ABCDE            device usb:1-4 product:beyond1 model:SM_G973F device:beyond1 transport_id:1\n"
        "emulator-5554          device product:sdk_gphone64_x86_64 model:sdk_gphone64_x86_64 device:emu64xa "
        "transport_id:2\n"
        "192.168.1.23:5555      offline product:beyond1 model:SM_G973F device:beyond1 transport_id:3\n"
        "0123456789abcdef       unauthorized usb:1-5 transport_id:4\n"
        "adb-0123456789AB-CDdefg (2)._adb-tls-connect._tcp device product:p model:m device:d transport_id:5\n"
        "FEDCBA9876543210       no permissions (missing udev rules? user is in the plugdev group); see "
        "[http://developer.android.com/tools/device.html] usb:1-6 transport_id:6\n"
        "\n";
    EXPECT_EQ(parseDeviceList(linux),
              (std::vector<DeviceEntry>{
                  {"R58M12ABCDE", "device", Kind::Usb},
                  {"emulator-5554", "device", Kind::Emulator},
                  {"192.168.1.23:5555", "offline", Kind::Network},
                  {"0123456789abcdef", "unauthorized", Kind::Usb},
                  {"adb-0123456789AB-CDdefg (2)._adb-tls-connect._tcp", "device", Kind::Network},
                  {"FEDCBA9876543210",
                   "no permissions (missing udev rules? user is in the plugdev group); see "
                   "[http://developer.android.com/tools/device.html]",
                   Kind::Usb},
              }));
    // Windows: CR LF, and no usb: field.
    EXPECT_EQ(parseDeviceList("List of devices attached\r\n"
                              "R58M12ABCDE            device product:beyond1 model:SM_G973F device:beyond1 "
                              "transport_id:1\r\n"
                              "serial with spaces     device transport_id:2\r\n\r\n"),
              (std::vector<DeviceEntry>{{"R58M12ABCDE", "device", Kind::Usb},
                                        {"serial with spaces", "device", Kind::Usb}}));
    for (const char* nothing : {"", "List of devices attached\n\n", "error: cannot connect to daemon\n",
                                "device\n", "R58M12\tdevice\n", "R58M12 \x1b[2Jdevice\n"})
        EXPECT_TRUE(parseDeviceList(nothing).empty()) << nothing;
}

TEST(PhoneAddresses, TheWordAfterInet)
{
    const std::map<std::string, std::vector<std::string>> cases = {
        {"30: wlan0    inet 192.168.1.23/24 brd 192.168.1.255 scope global wlan0\\       valid_lft forever\n"
         "1: lo    inet 127.0.0.1/8 scope host lo\\       valid_lft forever preferred_lft forever\r\n",
         {"192.168.1.23", "127.0.0.1"}},
        {"7: rmnet0 inet 10.1.2.3 scope global", {"10.1.2.3"}},
        {"", {}},
        {"/system/bin/sh: ip: not found\n", {}},
        {"inet", {}},
    };
    for (const auto& [output, addresses] : cases)
        EXPECT_EQ(parsePhoneAddresses(output), addresses) << output;
}

struct ChoiceCase {
    const char* name;
    std::vector<DeviceEntry> entries;
    std::map<std::string, std::vector<std::string>> addresses;  // what each USB phone tells
    PhoneChoice expected;
    std::vector<std::string> asked;  // whose addresses were read
};

const std::string SENDER = "192.168.1.23";
const std::string NONE = "No device to switch has the address 192.168.1.23";
const DeviceEntry PHONE{"R58M12ABCDE", "device", Kind::Usb};
const DeviceEntry OTHER_PHONE{"0123456789abcdef", "device", Kind::Usb};
const DeviceEntry EMULATOR{"emulator-5554", "device", Kind::Emulator};

TEST(ChoosePhone, TheSendersPhoneAndNoOther)
{
    const ChoiceCase cases[] = {
        {"already connected", {PHONE, {"192.168.1.23:5555", "device", Kind::Network}}, {}, {"192.168.1.23:5555", true, ""}, {}},
        {"USB beside an emulator", {EMULATOR, PHONE}, {{PHONE.serial, {"127.0.0.1", SENDER}}}, {PHONE.serial, false, ""}, {PHONE.serial}},
        {"the second of two USB phones", {OTHER_PHONE, PHONE}, {{OTHER_PHONE.serial, {"192.168.1.99"}}, {PHONE.serial, {SENDER}}},
         {PHONE.serial, false, ""}, {OTHER_PHONE.serial, PHONE.serial}},
        {"two USB phones, neither tells", {OTHER_PHONE, PHONE}, {}, {"", false, NONE}, {OTHER_PHONE.serial, PHONE.serial}},
        {"one USB phone that cannot tell", {EMULATOR, PHONE}, {}, {PHONE.serial, false, ""}, {PHONE.serial}},
        {"one USB phone with another address", {PHONE}, {{PHONE.serial, {"192.168.1.99"}}}, {"", false, NONE}, {PHONE.serial}},
        {"listening on another port", {PHONE, {"192.168.1.23:4444", "device", Kind::Network}},
         {{PHONE.serial, {"10.0.0.5"}}}, {"192.168.1.23:4444", false, ""}, {PHONE.serial}},
        {"offline on the network", {{"192.168.1.23:5555", "offline", Kind::Network}}, {}, {"", false, NONE}, {}},
        {"emulator only", {EMULATOR}, {}, {"", false, NONE}, {}},
        {"unauthorized", {EMULATOR, {"R58", "unauthorized", Kind::Usb}}, {},
         {"", false, "A USB device waits for approval of debugging on the phone"}, {}},
    };
    for (const ChoiceCase& c : cases) {
        std::vector<std::string> asked;
        const PhoneChoice choice = choosePhone(c.entries, SENDER, "5555", [&](const std::string& serial) {
            asked.push_back(serial);
            const auto found = c.addresses.find(serial);
            return found == c.addresses.end() ? std::vector<std::string>() : found->second;
        });
        EXPECT_EQ(choice.serial, c.expected.serial) << c.name;
        EXPECT_EQ(choice.alreadyThere, c.expected.alreadyThere) << c.name;
        EXPECT_EQ(choice.whyNone, c.expected.whyNone) << c.name;
        EXPECT_EQ(asked, c.asked) << c.name;
    }
}

TEST(JudgeConnect, ByTheFirstLineAdbPrints)
{
    const std::pair<const char*, ConnectResult> cases[] = {
        {"connected to 192.168.1.23:5555\n", ConnectResult::Connected},
        {"* daemon not running; starting now at tcp:5037\r\n* daemon started successfully\r\n"
         "already connected to 192.168.1.23:5555\r\n",
         ConnectResult::Connected},
        {"failed to connect to '192.168.1.23:5555': Connection refused\n", ConnectResult::Refused},
        {"cannot connect to 192.168.1.23:5555: No connection could be made because the target machine actively "
         "refused it. (10061)\r\n",
         ConnectResult::Refused},
        {"unable to connect to 192.168.1.23:5555: Connection refused\n", ConnectResult::Refused},
        {"failed to authenticate to 192.168.1.23:5555\n", ConnectResult::Failed},
        {"error: cannot connect to daemon\nconnected to 192.168.1.23:5555\n", ConnectResult::Failed},
        {"", ConnectResult::Failed},
    };
    for (const auto& [output, result] : cases)
        EXPECT_EQ(judgeConnect(output), result) << output;
}

}  // namespace
