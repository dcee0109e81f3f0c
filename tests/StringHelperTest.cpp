#include "common/StringHelper.h"

#include <ostream>
#include <string>

#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Common {
namespace {

constexpr const char kContext[] =
    "QARN::Common::StringHelper::ConvertToMultiByte";

struct ConversionCase {
  std::wstring input;
  std::string output;
};

void PrintTo(const ConversionCase& conversionCase, std::ostream* os) {
  *os << conversionCase.output.size() << " bytes";
}

class ConvertToMultiByteTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ConvertToMultiByteTest, GivesUtf8AndReplacesWhatTheOutputHeld) {
  Testing::LogRecorder log;
  std::string output = "stale";
  EXPECT_TRUE(StringHelper::ConvertToMultiByte(GetParam().input, output));
  EXPECT_EQ(output, GetParam().output);
  EXPECT_TRUE(log.Entries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConvertToMultiByteTest,
    ::testing::Values(
        ConversionCase{L"", ""}, ConversionCase{L"abc", "abc"},
        ConversionCase{L"\u00e9", "\xC3\xA9"},
        ConversionCase{L"B\u0142\u0105d", "B\xC5\x82\xC4\x85" "d"},
        ConversionCase{L"\U0001F600", "\xF0\x9F\x98\x80"},
        ConversionCase{std::wstring(L"ab\0cd", 5), "ab"}));

int WINAPI FailToSize(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL) {
  return 0;
}

int WINAPI FailToConvert(UINT codePage, DWORD flags, LPCWCH input, int length,
                         LPSTR output, int size, LPCCH defaultChar,
                         LPBOOL usedDefault) {
  if (size == 0) {
    return ::WideCharToMultiByte(codePage, flags, input, length, output, size,
                                 defaultChar, usedDefault);
  }
  return 0;
}

struct FailureCase {
  const char* name;
  StringHelper::WideToMultiByteFunction convert;
  const wchar_t* input;
  const char* error;
};

void PrintTo(const FailureCase& failureCase, std::ostream* os) {
  *os << failureCase.name;
}

class ConvertToMultiByteFailureTest
    : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ConvertToMultiByteFailureTest, ClearsTheOutputAndLogs) {
  Testing::LogRecorder log;
  std::string output = "stale";
  EXPECT_FALSE(StringHelper::ConvertToMultiByte(GetParam().input, output,
                                                GetParam().convert));
  EXPECT_EQ(output, "");
  EXPECT_EQ(log.Errors(kContext), std::vector<std::string>{GetParam().error});
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ConvertToMultiByteFailureTest,
    ::testing::Values(
        FailureCase{"Sizing", &FailToSize, L"abc",
                    "Failed to get size to convert to mb string: abc"},
        // The size counts the terminator, and the buffer has one byte more.
        FailureCase{"Conversion", &FailToConvert, L"abcd",
                    "Failed to convert to mb string[6]: abcd"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace Common
}  // namespace QARN
