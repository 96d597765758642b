#include "services/adb_location.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using namespace std::string_literals;

std::string fromValue(const std::string& bytes)
{
    return adbPathFromStoredValue(bytes.data(), bytes.size());
}

TEST(AdbPathFromStoredValue, ReadsUpToTheEndOrTheFirstNul)
{
    EXPECT_EQ(fromValue("C:\\adb\\adb.exe"), "C:\\adb\\adb.exe");
    EXPECT_EQ(fromValue("C:\\adb\\adb.exe\0"s), "C:\\adb\\adb.exe");
    EXPECT_EQ(fromValue("C:\\a\0b"s), "C:\\a");
    EXPECT_EQ(fromValue(""), "");
    EXPECT_EQ(fromValue("\0C:\\adb.exe"s), "");
}

TEST(AdbPathFromStoredValue, NeverCutsAValueThatDoesNotFit)
{
    const std::string longest(260, 'a');
    EXPECT_EQ(fromValue(longest), longest) << "260 bytes without terminator";
    EXPECT_EQ(fromValue(longest + '\0'), longest) << "260 bytes and a terminator";
    EXPECT_EQ(fromValue(std::string(261, 'a')), "") << "fills the buffer, no terminator";
    EXPECT_EQ(fromValue(std::string(262, 'a')), "");
    EXPECT_EQ(fromValue(std::string(5000, 'a')), "");
}

TEST(AdbPathFromStoredValue, WideValuesFollowTheSameRulesInUnits)
{
    const WideString longest(260, static_cast<wchar_t>(0x141));  // 260 of "Ł", 520 bytes
    EXPECT_EQ(adbPathFromStoredValue(longest.data(), longest.size()), longest);
    const WideString full = longest + L"x";
    EXPECT_EQ(adbPathFromStoredValue(full.data(), full.size()), L"");
}

TEST(AdbPathFromStoredValue, ControlCharactersMakeItNoValue)
{
    for (const std::string& value : {"C:\\adb\nPath to ADB: C:\\evil.exe"s, "C:\\a\rb"s, "\tC:\\adb.exe"s,
                                     "C:\\a\x7f"s, "\x1b[31mC:\\adb.exe"s})
        EXPECT_EQ(fromValue(value), "") << value;
    EXPECT_EQ(fromValue("C:\\Programme (x86)\\\xc4nderung\\adb.exe"s), "C:\\Programme (x86)\\\xc4nderung\\adb.exe");
    EXPECT_EQ(fromValue("C:\\adb.exe\0\n"s), "C:\\adb.exe") << "after the end nothing counts";
}

TEST(StoreAdbPath, RefusesWhatCouldNotBeReadBackWhole)
{
    EXPECT_TRUE(isStorableAdbPath(std::string(260, 'a')));
    EXPECT_TRUE(isStorableAdbPath(""));
    EXPECT_FALSE(isStorableAdbPath(std::string(261, 'a')));
    EXPECT_FALSE(isStorableAdbPath("C:\\a\0b.exe"s));
    EXPECT_FALSE(isStorableAdbPath("C:\\a\nb.exe"));
}

class AdbSetting : public testing::Test {
protected:
    void SetUp() override { forgetAdbSetting(); }
    void TearDown() override { forgetAdbSetting(); }
};

TEST_F(AdbSetting, NothingStoredReadsEmpty)
{
    EXPECT_EQ(loadAdbPath(), "");
}

TEST_F(AdbSetting, StoredPathReadsBackExactly)
{
    // Android Studio's SDK under the user's folder, whatever letters the user name has.
    const std::string unicode = "C:\\Users\\\xc5\x81ukasz\\AppData\\Local\\Android\\Sdk\\\xe6\x9d\xb1\\adb.exe";
    for (const std::string& path : {"C:\\Program Files\\Android SDK\\adb.exe"s,
                                   "C:\\tools\\100% adb\\adb.exe"s, std::string(260, 'x'), unicode}) {
        ASSERT_TRUE(storeAdbPath(path));
        EXPECT_EQ(loadAdbPath(), path);
    }
}

TEST_F(AdbSetting, RefusedPathKeepsTheStoredOne)
{
    ASSERT_TRUE(storeAdbPath("C:\\adb.exe"));
    EXPECT_FALSE(storeAdbPath(std::string(300, 'x')));
    EXPECT_EQ(loadAdbPath(), "C:\\adb.exe");
}

TEST_F(AdbSetting, ShorterPathReplacesLongerOneWholly)
{
    ASSERT_TRUE(storeAdbPath("C:\\a much longer folder name\\adb.exe"));
    ASSERT_TRUE(storeAdbPath("C:\\adb.exe"));
    EXPECT_EQ(loadAdbPath(), "C:\\adb.exe");
}

#ifdef _WIN32
TEST_F(AdbSetting, StoredValueCountsItsTerminatingNul)
{
    ASSERT_TRUE(storeAdbPath("C:\\adb.exe"));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Corvend\\Velmora", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"ADBPath", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(size, sizeof L"C:\\adb.exe");
}
#endif

}  // namespace
