// The thread's last error turned into a status code and a logged text.
#include <cerrno>
#include <cstring>
#include <regex>

#include "common/ErrorMessageMap.h"
#include "common/PlatformHooks.h"
#include "log/LastError.h"
#include "tests/TestSupport.h"

namespace QARN::Testing {

constexpr char kFailed[] =
    "QARN::Log::Internal::LogGetLastError: A failure occurred while "
    "trying to get the last error message. (0x";

// WinINet's answer for error 12003: the server's text, or a failure (setting the last error) as for a text too
// long for the buffer.
BOOL g_fetched;
DWORD g_error;
BOOL WINAPI FakeResponse(LPDWORD error, LPSTR buffer, LPDWORD length) {
  if (!g_fetched) ::SetLastError(g_error);
  *error = g_error;
  *length = 13;
  std::strcpy(buffer, "first\r\nsecond");
  return g_fetched;
}

class LastErrorTest : public InstallationTest {
 protected:
  const Common::ScopedHook<Common::InternetGetLastResponseInfoFunction> fake_{
      Common::PlatformHooks::internetGetLastResponseInfo, &FakeResponse};
  // Resolves `error` (and errno `number`) as a failing call would; the text logged for the caller is left in text_.
  HRESULT Resolve(DWORD error, int number = 0) {
    log_.lines.clear();
    ::_set_errno(number);
    ::SetLastError(error);
    const HRESULT status = Log::Internal::LogGetLastError("Caller");
    text_ = log_.lines.size() == 1 && log_.lines[0].rfind("Caller: ", 0) == 0 ? log_.lines[0].substr(8) : "?";
    return status;
  }

  std::string text_;
};

TEST_F(LastErrorTest, SystemRuntimeAndCatalogueTexts) {
  EXPECT_EQ(Resolve(0), S_OK);
  EXPECT_TRUE(log_.lines.empty());
  EXPECT_EQ(Resolve(0, EACCES), E_FAIL);
  EXPECT_EQ(text_, std::strerror(EACCES));
  EXPECT_EQ(Resolve(ERROR_FILE_NOT_FOUND), E_FAIL);
  EXPECT_TRUE(std::regex_match(text_, std::regex("[^\r\n]+"))) << text_;  // the first line
  EXPECT_EQ(Resolve(ERROR_BAD_EXE_FORMAT), E_FAIL);
  EXPECT_NE(text_.find("%1"), std::string::npos) << text_;  // inserts left alone
  EXPECT_EQ(Resolve(Common::QARN_E_HTTP_CONNECT), Common::QARN_E_HTTP_CONNECT);
  EXPECT_EQ(text_,
            "Could not connect to the HTTP server.  Please check that your Internet "
            "connection is enabled and that your firewall is not blocking access.");
  EXPECT_EQ(Resolve(0x2000abcd), E_FAIL);  // unknown
  EXPECT_EQ(log_.lines, std::vector<std::string>{kFailed + std::string("80004005)")});
}

// The codes of the table, from and to.
constexpr std::pair<DWORD, DWORD> kTableCodes[] = {{6, 6},         {18, 18},       {234, 234},     {259, 259},
                                                   {12001, 12034}, {12036, 12050}, {12052, 12057}, {12110, 12112},
                                                   {12130, 12138}, {12150, 12174}};

TEST_F(LastErrorTest, TableRowsHoldThePublishedTexts) {
  g_fetched = FALSE;  // 12003 gets the table's text
  g_error = ERROR_INSUFFICIENT_BUFFER;
  std::string all;
  for (const auto& [from, to] : kTableCodes) {
    for (DWORD code = from; code <= to; ++code) {
      EXPECT_EQ(Resolve(code), E_FAIL);
      all += std::to_string(code) + "=" + text_ + "\n";
    }
  }
  EXPECT_EQ(Digest(all), 0xafbaf350432b307cULL) << all;
}

TEST_F(LastErrorTest, ExtendedErrorGivesTheServersText) {
  for (const auto& [fetched, error, status, text] : {std::tuple{TRUE, 0ul, E_FAIL, "first\r\nsecond"},
                                                     {TRUE, 5ul, E_FAIL, "first\r\nsecond"},
                                                     {TRUE, 0x80070005ul, HRESULT(0x80070005), "first\r\nsecond"},
                                                     {FALSE, 122ul, E_FAIL, "An extended error was returned"}}) {
    g_fetched = fetched;
    g_error = error;
    EXPECT_EQ(Resolve(12003), status);
    EXPECT_EQ(text_.rfind(text, 0), 0u) << text_;
  }
  g_error = 0x8007007a;
  EXPECT_EQ(Resolve(12003), HRESULT(0x8007007a));
  EXPECT_EQ(log_.lines, std::vector<std::string>{kFailed + std::string("8007007a)")});
}

// WinINet is not one of the system's known DLLs: a "wininet.dll" beside the program would be loaded in its place, and
// an "mpr.dll" there in place of the system's one that WinINet imports, but for loading WinINet from the system folder
// with its imports looked for there. (Wine prefers its own DLLs, unlike Windows, unless told.) The planted mpr.dll
// fails every load that brings it in; the system's WinINet answers with an empty text when none of its calls failed.
TEST_F(LastErrorTest, PlantedWinInetIsNeverLoaded) {
  const std::string overrides = "Software\\Wine\\AppDefaults\\qarn_tests.exe";
  for (const std::string dll : {"wininet", "mpr"}) {
    CopyProgram("planted\\" + dll + ".dll", root_.path + dll + ".dll");
    ::RegSetKeyValueA(HKEY_CURRENT_USER, (overrides + "\\DllOverrides").c_str(), dll.c_str(), REG_SZ, "native,builtin",
                      15);
  }
  CopyProgram("qarn_tests.exe", root_.path + "qarn_tests.exe");
  const std::string program = "\"" + root_.path + "qarn_tests.exe\" --resolve-extended-error";
  const std::vector<std::string> planted = RunProgram(program + " --load-plainly", root_.path);
  const std::vector<std::string> resolved = RunProgram(program, root_.path);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, overrides.c_str());
  EXPECT_EQ(planted, std::vector<std::string>{"QARN::Test::Resolve: planted response"});
  EXPECT_EQ(resolved, std::vector<std::string>{"QARN::Test::Resolve: "});
}

}  // namespace QARN::Testing
