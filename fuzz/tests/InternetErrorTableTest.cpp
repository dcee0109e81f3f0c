#include "log/InternetErrorTable.h"

#include <cstring>
#include <set>

#include "gtest/gtest.h"

namespace QARN {
namespace Log {
namespace Internal {
namespace {

// The codes the table promises, written out independently of it.
bool Promised(unsigned long code) {
  const auto in = [code](unsigned long first, unsigned long last) {
    return code >= first && code <= last;
  };
  return code == 6 || code == 18 || code == 234 || code == 259 ||
         in(12001, 12034) || in(12036, 12050) || in(12052, 12057) ||
         in(12110, 12112) || in(12130, 12138) || in(12150, 12174);
}

TEST(InternetErrorTableTest, HasNinetySixRowsOfUniqueCodesWithTexts) {
  ASSERT_EQ(InternetErrorTableSize, 96u);
  std::set<unsigned long> codes;
  for (std::size_t i = 0; i < InternetErrorTableSize; ++i) {
    codes.insert(InternetErrorTable[i].code);
    ASSERT_NE(InternetErrorTable[i].text, nullptr);
    EXPECT_GT(std::strlen(InternetErrorTable[i].text), 0u);
  }
  EXPECT_EQ(codes.size(), 96u);
}

TEST(InternetErrorTableTest, FindsExactlyThePromisedCodes) {
  for (unsigned long code = 0; code < 70000; ++code) {
    const char* text = FindInternetErrorText(code);
    ASSERT_EQ(text != nullptr, Promised(code)) << code;
  }
  for (const unsigned long code :
       {0x7FFFFFFFul, 0x80000000ul, 0x80072EE2ul, 0xFFFFFFFFul}) {
    EXPECT_EQ(FindInternetErrorText(code), nullptr) << code;
  }
}

TEST(InternetErrorTableTest, FindsEachRowsOwnText) {
  for (std::size_t i = 0; i < InternetErrorTableSize; ++i) {
    EXPECT_EQ(FindInternetErrorText(InternetErrorTable[i].code),
              InternetErrorTable[i].text);
  }
}

TEST(InternetErrorTableTest, TheDashOf12038IsTheWindows1252Byte) {
  const char* text = FindInternetErrorText(12038);
  ASSERT_NE(text, nullptr);
  EXPECT_NE(std::strstr(text, "incorrect\x97" "for example"), nullptr);
}

}  // namespace
}  // namespace Internal
}  // namespace Log
}  // namespace QARN
