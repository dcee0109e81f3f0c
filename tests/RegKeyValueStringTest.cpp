#include "common/RegKeyValueString.h"

#include <ostream>
#include <string>

#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Common {
namespace RegistryHelp {
namespace {

using Testing::kTestKeyPath;
using Testing::LogRecorder;

constexpr const char kContext[] =
    "QARN::Common::RegistryHelp::RegKeyValueString::RegKeyValueString";

class RegKeyValueStringTest : public ::testing::Test {
 protected:
  void SetValue(DWORD type, const std::string& data) {
    Testing::SetRegistryValue(kTestKeyPath, "Value", type, data);
  }
  std::string Read() {
    return RegKeyValueString(kTestKeyPath, "Value", "fallback").Value();
  }

  Testing::ScopedTestKey key_;
  LogRecorder log_;
};

TEST_F(RegKeyValueStringTest, ReadsAStringValue) {
  SetValue(REG_SZ, std::string("D:\\Games\0", 9));
  EXPECT_EQ(Read(), "D:\\Games");
  EXPECT_TRUE(log_.Errors(kContext).empty());
}

TEST_F(RegKeyValueStringTest, MissingKeyKeepsTheDefaultAndLogsCode2) {
  EXPECT_EQ(Read(), "fallback");
  EXPECT_EQ(log_.Errors(kContext),
            std::vector<std::string>{
                "Failed to find registry key \"Software\\QARN Tests\" (2)."});
}

TEST_F(RegKeyValueStringTest, MissingValueKeepsTheDefaultAndLogsCode2) {
  Testing::SetRegistryValue(kTestKeyPath, "Other", REG_SZ, std::string(1, '\0'));
  EXPECT_EQ(Read(), "fallback");
  EXPECT_EQ(log_.Errors(kContext),
            std::vector<std::string>{
                "Failed to find registry value \"Value\" (2)."});
}

TEST_F(RegKeyValueStringTest, EmptyValueIsEmptyNotTheDefault) {
  SetValue(REG_SZ, std::string(1, '\0'));
  EXPECT_EQ(Read(), "");
}

TEST_F(RegKeyValueStringTest, ValueOf260BytesIsReadWhole) {
  const std::string text(259, 'a');
  SetValue(REG_SZ, text + '\0');
  EXPECT_EQ(Read(), text);
}

TEST_F(RegKeyValueStringTest, ValueOf261BytesFailsWithMoreData) {
  SetValue(REG_SZ, std::string(260, 'a') + '\0');
  EXPECT_EQ(Read(), "fallback");
  EXPECT_EQ(log_.Errors(kContext),
            std::vector<std::string>{
                "Failed to find registry value \"Value\" (234)."});
}

TEST_F(RegKeyValueStringTest, ExpandableValueStaysUnexpanded) {
  SetValue(REG_EXPAND_SZ, std::string("%SystemRoot%\\qarn\0", 18));
  EXPECT_EQ(Read(), "%SystemRoot%\\qarn");
}

TEST_F(RegKeyValueStringTest, MultiStringGivesItsFirstString) {
  SetValue(REG_MULTI_SZ, std::string("first\0second\0\0", 14));
  EXPECT_EQ(Read(), "first");
}

TEST_F(RegKeyValueStringTest, DataWithoutTerminatorEndWithTheReturnedBytes) {
  SetValue(REG_BINARY, "abc");
  EXPECT_EQ(Read(), "abc");
  SetValue(REG_BINARY, std::string(260, 'z'));
  EXPECT_EQ(Read(), std::string(260, 'z'));
}

// Data of any type are taken as text up to their first zero byte, and never
// beyond the bytes the registry returned.
struct TypeCase {
  const char* name;
  DWORD type;
  std::string data;
  const char* expected;
};

void PrintTo(const TypeCase& typeCase, std::ostream* os) { *os << typeCase.name; }

class RegKeyValueTypeTest : public RegKeyValueStringTest,
                            public ::testing::WithParamInterface<TypeCase> {};

TEST_P(RegKeyValueTypeTest, TakesTheDataAsText) {
  SetValue(GetParam().type, GetParam().data);
  EXPECT_EQ(Read(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Types, RegKeyValueTypeTest,
    ::testing::Values(
        TypeCase{"Dword", REG_DWORD, std::string("A\0\0\0", 4), "A"},
        TypeCase{"DwordWithoutZeroByte", REG_DWORD, "ABCD", "ABCD"},
        TypeCase{"BigEndianDword", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0A", 4), ""},
        TypeCase{"Qword", REG_QWORD, std::string("qword\0\0\0", 8), "qword"},
        TypeCase{"None", REG_NONE, "none", "none"},
        TypeCase{"Link", REG_LINK, std::string("l\0i\0", 4), "l"},
        TypeCase{"EmptyBinary", REG_BINARY, "", ""},
        TypeCase{"StringWithoutTerminator", REG_SZ, "abc", "abc"},
        TypeCase{"StringWithInnerZero", REG_SZ, std::string("ab\0cd\0", 6), "ab"},
        TypeCase{"HighBytes", REG_SZ, std::string("\xE9t\xE9\0", 4), "\xE9t\xE9"},
        TypeCase{"ThousandBytes", REG_SZ, std::string(999, 'k') + '\0', "fallback"},
        TypeCase{"ThousandBytesBinary", REG_BINARY, std::string(1000, 'b'), "fallback"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GetLocalRootFolderTest, ReadsTheRegistryOnceAndKeepsTheFirstText) {
  Testing::InstallationRootOverride root("E:\\QARN");
  LogRecorder log;
  EXPECT_EQ(GetLocalRootFolder(), "E:\\QARN");
  Testing::InstallationRootOverride changed("F:\\Elsewhere");
  const size_t entriesAfterFirstRead = log.Entries().size();
  EXPECT_EQ(GetLocalRootFolder(), "E:\\QARN");
  EXPECT_EQ(log.Entries().size(), entriesAfterFirstRead);
}

TEST(GetLocalRootFolderTest, MissingValueGivesTheDefaultRoot) {
  Testing::RegistryValueOverride keyExists("Software\\Ombrel Studio\\QARN",
                                           "Other", "x");
  Testing::RegistryValueOverride removed("Software\\Ombrel Studio\\QARN",
                                         "LocalRootFolder");
  LogRecorder log;
  EXPECT_EQ(GetLocalRootFolder(), "c:\\qarn");
  EXPECT_EQ(log.Errors(kContext),
            std::vector<std::string>{
                "Failed to find registry value \"LocalRootFolder\" (2)."});
}

}  // namespace
}  // namespace RegistryHelp
}  // namespace Common
}  // namespace QARN
