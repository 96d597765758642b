#include "intake/command_datagram.h"
#include "intake/multicast_listeners.h"

#include <gtest/gtest.h>

namespace {

TEST(UsableAdapterAddress, NeedsARealDottedQuad)
{
    for (const char* address : {"1.2.3.4", "198.18.0.1", "255.255.255.255"})
        EXPECT_TRUE(isUsableAdapterAddress(address)) << address;
    for (const char* address : {"0.0.0.0", "", "1.2.3.", "1.2.3"})
        EXPECT_FALSE(isUsableAdapterAddress(address)) << address;
}

TEST(PrintSetupError, NamesStepCodeAndAddressWithoutLineEnd)
{
    testing::internal::CaptureStdout();
    printSetupError("Bind error", 10048, "198.18.0.1");
    printSetupError("Add membership error", -1, "10.0.0.2");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Bind error (10048) on 198.18.0.1Add membership error (-1) on 10.0.0.2");
}

TEST(EncodeCommandDatagram, IsWhatTheDecoderReads)
{
    const std::string start = encodeCommandDatagram("start", "5555");
    EXPECT_EQ(start, "VQMstart          5555           ");
    const CommandDatagram decoded = decodeCommandDatagram(start.data(), start.size(), "10.0.0.2");
    EXPECT_TRUE(isCommand(decoded));
    EXPECT_EQ(decoded.command, "start");
    EXPECT_EQ(decoded.port, "5555");

    const std::string stop = encodeCommandDatagram("stop", "");
    EXPECT_EQ(stop.size(), 33u);
    EXPECT_EQ(decodeCommandDatagram(stop.data(), stop.size(), "").command, "stop");
}

}  // namespace
