#include "log/LastError.h"

#include <windows.h>
#include <wininet.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include "common/ErrorMessageMap.h"
#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Log {
namespace Internal {
namespace {

using Testing::LogRecorder;

constexpr const char kContext[] = "QARN::Test::LastErrorTest::Op";
constexpr const char kOwnContext[] = "QARN::Log::Internal::LogGetLastError";

// The catalogue reads locale.cfg under the installation root: point the root
// at an empty folder of the test's own, so the English texts are chosen.
class LastErrorTest : public ::testing::Test {
 protected:
  LastErrorTest() : root_(dir_.Path() + "root") {}
  ~LastErrorTest() override {
    SetResponseInfoFunctionForTesting(nullptr);
    SetFormatMessageFunctionForTesting(nullptr);
  }

  // Resolves `error` as the thread's last error; errno is cleared.
  HRESULT Resolve(DWORD error) {
    ::_set_errno(0);
    ::SetLastError(error);
    return LogGetLastError(kContext);
  }

  Testing::TempDir dir_;
  Testing::InstallationRootOverride root_;
  LogRecorder log_;
};

TEST_F(LastErrorTest, NoErrorAtAllIsSuccessAndLogsNothing) {
  EXPECT_EQ(Resolve(0), S_OK);
  EXPECT_TRUE(log_.Entries().empty());
  EXPECT_EQ(CurrentLevel(), DEBUG);
  EXPECT_EQ(CurrentContext(), kContext);
}

TEST_F(LastErrorTest, LeftoverErrnoIsReportedWithTheRuntimeText) {
  ::SetLastError(0);
  ::_set_errno(ENOENT);
  EXPECT_EQ(LogGetLastError(kContext), E_FAIL);
  char expected[256];
  ASSERT_EQ(::strerror_s(expected, sizeof expected, ENOENT), 0);
  EXPECT_EQ(log_.Errors(kContext), std::vector<std::string>{expected});
  EXPECT_EQ(CurrentLevel(), ERROR);
}

TEST_F(LastErrorTest, SystemTextIsCutAtItsFirstLineBreak) {
  EXPECT_EQ(Resolve(ERROR_FILE_NOT_FOUND), E_FAIL);
  const std::vector<std::string> errors = log_.Errors(kContext);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_FALSE(errors[0].empty());
  EXPECT_EQ(errors[0].find_first_of("\r\n"), std::string::npos);
}

struct TableCase {
  DWORD error;
  const char* text;
};

void PrintTo(const TableCase& tableCase, std::ostream* os) {
  *os << "error " << tableCase.error;
}

class InternetErrorTableTest : public LastErrorTest,
                               public ::testing::WithParamInterface<TableCase> {
 protected:
  static DWORD WINAPI CountingFormatMessage(DWORD, LPCVOID, DWORD, DWORD,
                                            LPSTR, DWORD, va_list*) {
    ++systemLookups;
    return 0;
  }
  static inline int systemLookups = 0;
};

TEST_P(InternetErrorTableTest, TableTextWinsAndTheSystemIsNotAsked) {
  systemLookups = 0;
  SetFormatMessageFunctionForTesting(&CountingFormatMessage);
  EXPECT_EQ(Resolve(GetParam().error), E_FAIL);
  EXPECT_EQ(log_.Errors(kContext), std::vector<std::string>{GetParam().text});
  EXPECT_EQ(systemLookups, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, InternetErrorTableTest,
    ::testing::Values(
        TableCase{6,
                  "The handle that was passed to the API has been either "
                  "invalidated or closed."},
        TableCase{18, "No more files have been found."},
        TableCase{234, "No more data is available."},
        TableCase{259, "No more items have been found."},
        TableCase{12002, "The request has timed out."},
        TableCase{12007, "The server name could not be resolved."},
        TableCase{12029, "The attempt to connect to the server failed."},
        TableCase{12056, "ERROR_INTERNET_SEC_CERT_NO_REV"},
        TableCase{12057, "ERROR_INTERNET_SEC_CERT_REV_FAILED"}));

TEST_F(LastErrorTest, CertificateNameRowHoldsTheCodePageDash) {
  EXPECT_EQ(Resolve(12038), E_FAIL);
  const std::vector<std::string> errors = log_.Errors(kContext);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("incorrect\x97"), std::string::npos);
}

// A WinINet response text, which this machine cannot provoke from a server.
struct FakeResponse {
  static BOOL WINAPI Give(LPDWORD error, LPSTR buffer, LPDWORD length) {
    *error = responseError;
    std::strcpy(buffer, "550 No such file.\r\nSecond line");
    *length = static_cast<DWORD>(std::strlen(buffer));
    return TRUE;
  }
  static BOOL WINAPI TooLong(LPDWORD, LPSTR, LPDWORD length) {
    *length = 5000;
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  static BOOL WINAPI FailNegative(LPDWORD, LPSTR, LPDWORD) {
    ::SetLastError(static_cast<DWORD>(E_OUTOFMEMORY));
    return FALSE;
  }
  static inline DWORD responseError = 0;
};

struct ResponseCase {
  DWORD responseError;
  HRESULT status;
};

void PrintTo(const ResponseCase& responseCase, std::ostream* os) {
  *os << "response error " << responseCase.responseError;
}

class ExtendedErrorTest : public LastErrorTest,
                          public ::testing::WithParamInterface<ResponseCase> {};

TEST_P(ExtendedErrorTest, ResponseTextIsLoggedUnchanged) {
  FakeResponse::responseError = GetParam().responseError;
  SetResponseInfoFunctionForTesting(&FakeResponse::Give);
  EXPECT_EQ(Resolve(ERROR_INTERNET_EXTENDED_ERROR), GetParam().status);
  EXPECT_EQ(log_.Errors(kContext),
            std::vector<std::string>{"550 No such file.\r\nSecond line"});
}

INSTANTIATE_TEST_SUITE_P(
    ResponseErrors, ExtendedErrorTest,
    ::testing::Values(ResponseCase{0, E_FAIL}, ResponseCase{550, E_FAIL},
                      ResponseCase{0x80070005, static_cast<HRESULT>(0x80070005)}));

TEST_F(LastErrorTest, ResponseTooLongFallsBackOnTheTable) {
  SetResponseInfoFunctionForTesting(&FakeResponse::TooLong);
  EXPECT_EQ(Resolve(ERROR_INTERNET_EXTENDED_ERROR), E_FAIL);
  const std::vector<std::string> errors = log_.Errors(kContext);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].rfind("An extended error was returned from the server.", 0),
            0u);
}

TEST_F(LastErrorTest, ResponseFailingWithAStatusFailsTheResolution) {
  SetResponseInfoFunctionForTesting(&FakeResponse::FailNegative);
  EXPECT_EQ(Resolve(ERROR_INTERNET_EXTENDED_ERROR), E_OUTOFMEMORY);
  EXPECT_TRUE(log_.Errors(kContext).empty());
  EXPECT_EQ(log_.Errors(kOwnContext),
            std::vector<std::string>{
                "A failure occurred while trying to get the last error "
                "message. (0x8007000e)"});
}

TEST_F(LastErrorTest, CatalogueCodeKeepsItsStatusAndGetsItsText) {
  EXPECT_EQ(Resolve(static_cast<DWORD>(Common::QARN_E_HTTP_CONNECT)),
            Common::QARN_E_HTTP_CONNECT);
  EXPECT_EQ(log_.Errors(kContext),
            std::vector<std::string>{
                "Could not connect to the HTTP server.  Please check that "
                "your Internet connection is enabled and that your firewall "
                "is not blocking access."});
}

TEST_F(LastErrorTest, CodeUnknownEverywhereFailsWithItsOwnMessage) {
  EXPECT_EQ(Resolve(0x2000FFFF), E_FAIL);
  EXPECT_TRUE(log_.Errors(kContext).empty());
  EXPECT_EQ(log_.Errors(kOwnContext),
            std::vector<std::string>{
                "A failure occurred while trying to get the last error "
                "message. (0x80004005)"});
  EXPECT_STREQ(CurrentContext(), kOwnContext);
}

DWORD WINAPI LineBreakFirst(DWORD, LPCVOID, DWORD, DWORD, LPSTR buffer, DWORD,
                            va_list*) {
  const char text[] = "\r\nThe rest.\r\n";
  char* message = static_cast<char*>(::LocalAlloc(LMEM_FIXED, sizeof text));
  std::memcpy(message, text, sizeof text);
  *reinterpret_cast<char**>(buffer) = message;
  return sizeof text - 1;
}

TEST_F(LastErrorTest, SystemTextStartingWithALineBreakGivesTheUnspecifiedText) {
  SetFormatMessageFunctionForTesting(&LineBreakFirst);
  EXPECT_EQ(Resolve(ERROR_ACCESS_DENIED), E_FAIL);
  EXPECT_EQ(log_.Errors(kContext),
            std::vector<std::string>{"Unspecified error occurred. Please "
                                     "check the logs for more information."});
}

}  // namespace
}  // namespace Internal
}  // namespace Log
}  // namespace QARN
