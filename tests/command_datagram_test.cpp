#include "intake/command_datagram.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string padded(std::string text, std::size_t width)
{
    text.resize(width, ' ');
    return text;
}

// The bytes a well-behaved sender puts on the wire.
std::string wireDatagram(const std::string& command, const std::string& port)
{
    return "VQM" + padded(command, 15) + padded(port, 15);
}

CommandDatagram decode(const std::string& bytes, const char* sender = "198.18.0.2")
{
    return decodeCommandDatagram(bytes.data(), bytes.size(), sender);
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    const char* magic;
    const char* command;
    const char* port;
};

class DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, CutsFieldsByPosition)
{
    const DecodeCase& c = GetParam();
    const CommandDatagram d = decode(c.bytes);
    EXPECT_EQ(d.magic, c.magic);
    EXPECT_EQ(d.command, c.command);
    EXPECT_EQ(d.port, c.port);
    EXPECT_EQ(d.senderAddress, "198.18.0.2");
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Datagrams, DecodeTest,
    testing::Values(
        DecodeCase{"FullStart", wireDatagram("start", "5555"), "VQM", "start", "5555"},
        DecodeCase{"FullStop", wireDatagram("stop", ""), "VQM", "stop", ""},
        DecodeCase{"StopThenNul", "VQMstop\0 5555"s, "VQM", "stop", ""},
        DecodeCase{"NoSeparatorAfterMagic", "VQMstart", "VQM", "start", ""},
        DecodeCase{"LeadingSpacesInCommand", "VQM  start   " + padded("", 5) + "5555", "VQM", "start",
                   "5555"},
        DecodeCase{"CutAtFirstSpaceAfterLeadingOnes", "VQM" + padded("start now", 15) + "12 34",
                   "VQM", "start", "12"},
        DecodeCase{"PortOfSpacesOnly", wireDatagram("start", "     "), "VQM", "start", ""},
        DecodeCase{"PortNotTestedForDigits", wireDatagram("start", "55ab"), "VQM", "start", "55ab"},
        DecodeCase{"TabIsOrdinary", "VQM\tstart" + padded("", 9) + "\t5", "VQM", "\tstart", "\t5"},
        DecodeCase{"CommandFillsWholeWidth", "VQMabcdefghijklmno5555", "VQM", "abcdefghijklmno",
                   "5555"},
        DecodeCase{"PortFillsWholeWidthThenMore", wireDatagram("start", "").substr(0, 18) +
                                                      "123456789012345678901234567",
                   "VQM", "start", "123456789012345"},
        DecodeCase{"NulInsidePort", "VQM" + padded("start", 15) + "5\0" "55"s, "VQM", "start", "5"},
        DecodeCase{"TextEndsInsideCommand", "VQMsta", "VQM", "sta", ""},
        DecodeCase{"ShortMagic", "VQ", "VQ", "", ""},
        DecodeCase{"SpaceBeforeTwoLetters", " VQstart", "VQ", "start", ""},
        DecodeCase{"Empty", "", "", "", ""},
        DecodeCase{"LeadingNul", "\0VQMstart"s, "", "", ""}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

TEST(Decode, BytesAfterOffset32NeverMatter)
{
    const std::string base = wireDatagram("start", "5555");
    ASSERT_EQ(base.size(), 33u);
    const CommandDatagram expected = decode(base);
    for (const std::string& tail : {"x"s, "             "s, "0123456789AB"s, "\0\0\0"s, "\xff\x80\n\r"s}) {
        const CommandDatagram d = decode(base + tail);
        EXPECT_EQ(d.magic, expected.magic);
        EXPECT_EQ(d.command, expected.command);
        EXPECT_EQ(d.port, expected.port) << "tail of " << tail.size() << " bytes";
    }
}

TEST(Decode, ReadsNoMoreThanCount)
{
    const std::string bytes = wireDatagram("start", "5555");
    const CommandDatagram d = decodeCommandDatagram(bytes.data(), 20, "10.0.0.1");
    EXPECT_EQ(d.command, "start");
    EXPECT_EQ(d.port, "55");
    EXPECT_EQ(d.senderAddress, "10.0.0.1");
}

TEST(IsCommand, MagicMustMatchWholeAndCaseSensitive)
{
    EXPECT_TRUE(isCommand(decode(wireDatagram("start", "5555"))));
    EXPECT_TRUE(isCommand(decode("VQM")));
    for (const char* bytes : {"vqm", "VQm", "VQ", "", " VQMstart", "XVQMstart", "VQ M"})
        EXPECT_FALSE(isCommand(decode(bytes))) << '"' << bytes << '"';
}

TEST(ExtractField, StopsAtEndOfText)
{
    EXPECT_EQ(extractField("VQMstart", 3, 15), "start");
    EXPECT_EQ(extractField("VQMstart", 0, 3), "VQM");
    EXPECT_EQ(extractField("VQMstart", 8, 15), "");
    EXPECT_EQ(extractField("VQMstart", 40, 15), "");
    EXPECT_EQ(extractField("abc", 1, 0), "");
}

TEST(NormalizeField, SkipsLeadingSpacesAndStopsAtNextSpace)
{
    EXPECT_EQ(normalizeField("  start   "), "start");
    EXPECT_EQ(normalizeField("12 34"), "12");
    EXPECT_EQ(normalizeField("     "), "");
    EXPECT_EQ(normalizeField(""), "");
    EXPECT_EQ(normalizeField("\t5555\t"), "\t5555\t");
    EXPECT_EQ(normalizeField("a\nb c"), "a\nb");
}

}  // namespace
