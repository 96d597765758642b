#include "phones/remembered_phones.h"

#include <gtest/gtest.h>

namespace {

TEST(RememberedPhones, OnePerAddressTheNewestLastAtMostSixteen)
{
    RememberedPhones phones;
    rememberPhone(phones, "10.0.0.2", "5555");
    rememberPhone(phones, "10.0.0.3", "5555");
    rememberPhone(phones, "10.0.0.2", "5556");
    EXPECT_EQ(phones, (RememberedPhones{"10.0.0.3:5555", "10.0.0.2:5556"}));
    EXPECT_TRUE(forgetPhone(phones, "10.0.0.3"));
    EXPECT_FALSE(forgetPhone(phones, "10.0.0.3"));
    EXPECT_FALSE(forgetPhone(phones, "10.0.0.20"));
    EXPECT_EQ(phones, RememberedPhones{"10.0.0.2:5556"});
    for (int i = 1; i <= 16; ++i)
        rememberPhone(phones, "10.0.1." + std::to_string(i), "5555");
    ASSERT_EQ(phones.size(), REMEMBERED_PHONES_LIMIT);
    EXPECT_EQ(phones.front(), "10.0.1.1:5555") << "the oldest goes";
}

TEST(RememberedPhones, AStoredListKeepsOnlyAddressesAndPorts)
{
    const std::pair<std::string, RememberedPhones> cases[] = {
        {"10.0.0.2:5555 192.168.1.23:05555", {"10.0.0.2:5555", "192.168.1.23:05555"}},
        {"10.0.0.2:5555\n255.255.255.255:65535\r\n\t", {"10.0.0.2:5555", "255.255.255.255:65535"}},
        {"10.0.0.2:5555 10.0.0.2:6666", {"10.0.0.2:6666"}},
        {"10.0.0.2 10.0.0.2: 10.0.0.2:0 10.0.0.2:65536 10.0.0.256:5555 10.0.0:5555 10.0.0.2.1:5555 "
         "010.0.0.2:5555 phone:5555 10.0.0.2:55x [::1]:5555 10.0.0.2:5555;reboot -s:5555 :5555 \xff:1 1.2.3.4:5",
         {"1.2.3.4:5"}},
        {"", {}},
    };
    for (const auto& [stored, phones] : cases)
        EXPECT_EQ(parseRememberedPhones(stored), phones) << stored;
    std::string seventeen;
    for (int i = 0; i < 17; ++i)
        seventeen += "10.0.1." + std::to_string(i) + ":5555 ";
    EXPECT_EQ(parseRememberedPhones(seventeen).front(), "10.0.1.1:5555");
}

TEST(RememberedPhones, ThoseADeviceListLeavesToReconnect)
{
    const std::vector<DeviceEntry> entries = parseDeviceList(
        "10.0.0.2:5555 device\n10.0.0.3:5555 offline\n10.0.0.4:5555 unauthorized\n10.0.0.5:4444 device\nR58 device\n");
    std::vector<std::string> left;
    for (const PhoneToReconnect& phone :
         phonesToReconnect({"10.0.0.2:5555", "10.0.0.3:5555", "10.0.0.4:5555", "10.0.0.5:5555"}, entries))
        left.push_back(phone.phone + (phone.listed ? " listed" : ""));
    EXPECT_EQ(left, (std::vector<std::string>{"10.0.0.3:5555 listed", "10.0.0.4:5555 listed", "10.0.0.5:5555"}));
}

}  // namespace
