// The launch decision from any module path and registry values. The input is
// the module path, the ProgramW6432Dir value and the ProgramFilesDir value,
// separated by LF; missing values are empty.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "Check.h"
#include "launcher/LaunchPlan.h"

namespace {

using QARN::Launcher::CopyWhole;
using QARN::Launcher::IsUnderProgramFiles;
using QARN::Launcher::kAdminLauncherName;
using QARN::Launcher::kCommandLineSize;
using QARN::Launcher::kModulePathSize;
using QARN::Launcher::kUserKernelName;
using QARN::Launcher::kWorkingFolderSize;
using QARN::Launcher::LaunchPlan;
using QARN::Launcher::LauncherFolder;
using QARN::Launcher::PlanLaunch;

// Takes the text up to the next LF (or the end) off the front of `input`.
std::string TakeField(const char*& input, const char* end) {
  const char* fieldEnd = input;
  while (fieldEnd != end && *fieldEnd != '\n') ++fieldEnd;
  std::string field(input, fieldEnd);
  input = fieldEnd == end ? end : fieldEnd + 1;
  return field;
}

std::string ModelFolder(const std::string& modulePath) {
  for (std::size_t i = modulePath.size(); i > 0; --i) {
    const char c = modulePath[i - 1];
    if (c == '\\' || c == '/') return modulePath.substr(0, i);
  }
  return modulePath;
}

// strncmp(folder, value, value length) == 0 for a non-empty value, byte by
// byte: both texts end at their first NUL, as the C strings they are handed
// over as.
bool ModelUnderCString(const std::string& folder, const std::string& value) {
  if (value.empty()) return false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char f = i < folder.size() ? folder[i] : '\0';
    if (f != value[i]) return false;
    if (f == '\0') return true;
  }
  return true;
}

// What the platform hands over holds no NUL; then the test is plainly a byte
// prefix.
bool ModelUnderBytes(const std::string& folder, const std::string& value) {
  return !value.empty() && folder.size() >= value.size() &&
         folder.compare(0, value.size(), value) == 0;
}

bool HasNul(const std::string& text) {
  return text.find('\0') != std::string::npos;
}

// The buffer is prefilled so that a copy that writes where it must not shows.
template <std::size_t Size>
void CheckCopyWhole(const std::string& text) {
  char buffer[Size];
  std::memset(buffer, 0x5A, Size);
  const bool copied = CopyWhole(text, buffer);
  QARN_FUZZ_CHECK(copied == (text.size() < Size));
  if (copied) {
    QARN_FUZZ_CHECK(std::memcmp(buffer, text.data(), text.size()) == 0);
    QARN_FUZZ_CHECK(buffer[text.size()] == '\0');
    for (std::size_t i = text.size() + 1; i < Size; ++i) {
      QARN_FUZZ_CHECK(buffer[i] == 0x5A);
    }
  } else {
    for (std::size_t i = 0; i < Size; ++i) QARN_FUZZ_CHECK(buffer[i] == 0x5A);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const char* input = reinterpret_cast<const char*>(data);
  const char* const end = input + size;
  const std::string modulePath = TakeField(input, end);
  const std::string programW6432Dir = TakeField(input, end);
  const std::string programFilesDir = TakeField(input, end);

  const std::string folder = LauncherFolder(modulePath);
  QARN_FUZZ_CHECK(folder == ModelFolder(modulePath));

  const bool under64 = IsUnderProgramFiles(folder, programW6432Dir);
  const bool under32 = IsUnderProgramFiles(folder, programFilesDir);
  QARN_FUZZ_CHECK(under64 == ModelUnderCString(folder, programW6432Dir));
  QARN_FUZZ_CHECK(under32 == ModelUnderCString(folder, programFilesDir));
  if (!HasNul(folder)) {
    if (!HasNul(programW6432Dir)) {
      QARN_FUZZ_CHECK(under64 == ModelUnderBytes(folder, programW6432Dir));
    }
    if (!HasNul(programFilesDir)) {
      QARN_FUZZ_CHECK(under32 == ModelUnderBytes(folder, programFilesDir));
    }
  }

  const LaunchPlan plan = PlanLaunch(folder, programW6432Dir, programFilesDir);
  const bool admin = under64 || under32;
  QARN_FUZZ_CHECK(plan.startsUserKernel == !admin);
  // Never cut: the whole folder, then the fixed parts, exactly.
  if (admin) {
    QARN_FUZZ_CHECK(plan.commandLine ==
                    "\"" + folder + kAdminLauncherName + "\"");
    QARN_FUZZ_CHECK(plan.workingFolder == folder);
    QARN_FUZZ_CHECK(std::string(plan.failureMessage) ==
                    "Failed to launch zib.launcher.admin.exe");
  } else {
    QARN_FUZZ_CHECK(plan.commandLine ==
                    "\"" + folder + kUserKernelName +
                        "\" updateandrun zib_launcher ZiBLauncher.exe");
    QARN_FUZZ_CHECK(plan.workingFolder == folder + "QARN");
    QARN_FUZZ_CHECK(std::string(plan.failureMessage) ==
                    "Failed to launch QARN\\system\\qarn_user_kernel.exe");
  }
  QARN_FUZZ_CHECK(plan.commandLine.compare(1, folder.size(), folder) == 0);
  QARN_FUZZ_CHECK(plan.workingFolder.compare(0, folder.size(), folder) == 0);

  // What reaches the platform is the whole text or nothing.
  CheckCopyWhole<kModulePathSize>(modulePath);
  CheckCopyWhole<kCommandLineSize>(plan.commandLine);
  CheckCopyWhole<kWorkingFolderSize>(plan.workingFolder);
  return 0;
}
