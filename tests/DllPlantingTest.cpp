// A "wininet.dll" dropped beside the launcher must never be loaded: WinINet
// is not one of the system's known DLLs, so only loading it from the system
// folder keeps a planted copy out.
#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace {

// Makes Wine prefer a native wininet.dll for one program, as Windows would,
// for the test's length.
class PreferNativeWinInet {
 public:
  explicit PreferNativeWinInet(const std::string& program)
      : key_("Software\\Wine\\AppDefaults\\" + program) {
    HKEY overrides = nullptr;
    const std::string path = key_ + "\\DllOverrides";
    EXPECT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                KEY_SET_VALUE, nullptr, &overrides, nullptr),
              ERROR_SUCCESS);
    const char order[] = "native,builtin";
    EXPECT_EQ(::RegSetValueExA(overrides, "wininet", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(order),
                               sizeof order),
              ERROR_SUCCESS);
    ::RegCloseKey(overrides);
  }
  ~PreferNativeWinInet() { ::RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }

 private:
  std::string key_;
};

class DllPlantingTest : public ::testing::Test {
 protected:
  DllPlantingTest() : folder_(dir_.Path()) {
    Testing::CopyFileTo(Testing::ProgramFolder() + "planted\\wininet.dll",
                        folder_ + "wininet.dll");
  }

  // Runs a program of the build from the folder holding the planted DLL.
  Testing::ProcessResult RunBeside(const std::string& program,
                                   const std::string& arguments = "") {
    const PreferNativeWinInet preferNative(program);
    Testing::CopyFileTo(Testing::ProgramFolder() + program, folder_ + program);
    return Testing::RunProcess("\"" + folder_ + program + "\"" + arguments,
                               folder_);
  }
  bool PlantedDllWasLoaded() const {
    return Testing::PathExists(folder_ + "planted-loaded.txt");
  }

  Testing::TempDir dir_;
  std::string folder_;
};

// Shows that the planted DLL would win an ordinary load here, so the other
// tests' "not loaded" means something.
TEST_F(DllPlantingTest, PlantedDllWinsAnOrdinaryLoad) {
  const Testing::ProcessResult run =
      RunBeside("resolve-extended-error.exe", " --load-plainly");
  EXPECT_TRUE(PlantedDllWasLoaded());
  EXPECT_NE(run.stderrText.find("planted response"), std::string::npos);
}

TEST_F(DllPlantingTest, LauncherDoesNotLoadAPlantedWinInet) {
  EXPECT_EQ(RunBeside(QARN_LAUNCHER_EXE).exitCode, 0u);
  EXPECT_FALSE(PlantedDllWasLoaded());
}

// The response text comes from the system's WinINet (an empty text when no
// request was made), not from the planted copy and not from the fixed table,
// which would mean that WinINet could not be loaded at all.
TEST_F(DllPlantingTest, ExtendedErrorIsAnsweredByTheSystemWinInet) {
  const Testing::ProcessResult run = RunBeside("resolve-extended-error.exe");
  EXPECT_FALSE(PlantedDllWasLoaded());
  EXPECT_NE(run.stderrText.find("QARN::Test::ResolveExtendedError: "),
            std::string::npos)
      << run.stderrText;
  EXPECT_EQ(run.stderrText.find("planted response"), std::string::npos);
  EXPECT_EQ(run.stderrText.find("An extended error was returned"),
            std::string::npos);
  EXPECT_NE(run.stderrText.find("status 0x80004005"), std::string::npos);
}

}  // namespace
}  // namespace QARN
