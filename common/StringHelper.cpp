#include "common/StringHelper.h"

#include <memory>

#include "log/Log.h"

namespace QARN {
namespace Common {
namespace {

constexpr const char kContext[] = "QARN::Common::StringHelper::ConvertToMultiByte";

}  // namespace

bool StringHelper::ConvertToMultiByte(const std::wstring& input, std::string& output) {
  output.clear();
  if (input.empty()) return true;
  // A length of -1 reads the input up to its first null character and counts
  // that terminator in the size.
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, input.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    Log::LogPrintf(Log::ERROR, kContext, "Failed to get size to convert to mb string: %ls", input.c_str());
    return false;
  }
  const int bufferSize = size + 1;
  const std::unique_ptr<char[]> buffer(new char[bufferSize]());
  if (::WideCharToMultiByte(CP_UTF8, 0, input.c_str(), -1, buffer.get(), bufferSize, nullptr, nullptr) <= 0) {
    Log::LogPrintf(Log::ERROR, kContext, "Failed to convert to mb string[%d]: %ls", bufferSize, input.c_str());
    return false;
  }
  output.append(buffer.get());
  return true;
}

}  // namespace Common
}  // namespace QARN
