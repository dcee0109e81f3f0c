// How the bytes of a settings file fall into lines. Pure text work, no
// platform calls: the file is read elsewhere, in blocks.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

namespace QARN {
namespace Common {
namespace SettingsFile {

// Takes a file's bytes in pieces of any size, so the file need not be held
// whole. A line ends at LF, which is not part of it; every other byte is, NUL
// included (the platform's text mode has already turned CR LF into LF). The
// bytes after the last LF are a line too, unless there are none: a file that
// ends with LF has no empty line after it.
class LineSplitter {
 public:
  // Hands `onLine` each line that `data` completes, in order. The line is a
  // buffer of the splitter's, which `onLine` may change; it is emptied after.
  template <typename OnLine>
  void Feed(const char* data, std::size_t size, OnLine&& onLine) {
    // An empty piece completes nothing, and memchr must not see a null
    // pointer even for zero bytes.
    if (size == 0) return;
    const char* start = data;
    const char* const end = data + size;
    for (const char* lineEnd;
         (lineEnd = static_cast<const char*>(std::memchr(start, '\n', static_cast<std::size_t>(end - start)))) !=
         nullptr;
         start = lineEnd + 1) {
      line_.append(start, lineEnd);
      onLine(line_);
      line_.clear();
    }
    line_.append(start, end);
  }

  // Hands `onLine` the last line when the bytes did not end with LF. Call
  // once, after the last piece.
  template <typename OnLine>
  void Finish(OnLine&& onLine) {
    if (!line_.empty()) onLine(line_);
    line_.clear();
  }

 private:
  std::string line_;
};

}  // namespace SettingsFile
}  // namespace Common
}  // namespace QARN
