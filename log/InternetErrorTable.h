// Fixed texts for WinINet error codes and a few Win32 codes whose system
// messages are unhelpful for a launcher's log.
#pragma once

#include <cstddef>

namespace QARN {
namespace Log {
namespace Internal {

struct InternetErrorRow {
  unsigned long code;
  const char* text;
};

// 96 rows with unique codes: the WinINet codes 12001-12034, 12036-12050,
// 12052-12057, 12110-12112, 12130-12138, 12150-12174 and the Win32 codes
// 6, 18, 234 and 259.
extern const InternetErrorRow InternetErrorTable[];
extern const std::size_t InternetErrorTableSize;

// Returns the table's text for `code`, or null when no row has that code.
const char* FindInternetErrorText(unsigned long code);

}  // namespace Internal
}  // namespace Log
}  // namespace QARN
