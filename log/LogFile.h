// The optional log file: a sink that only a host of the log installs (the
// launcher itself never does).
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdio>

#include "common/UniqueAny.h"

namespace QARN {
namespace Log {

// An open C stream that the file sink writes every passing line to, flushing
// after each. Owns the stream: it is closed when the last reference goes.
class LogFile {
 public:
  explicit LogFile(std::FILE* stream) : stream_(stream) {}

  // Null when no stream is open; the file sink then writes nothing.
  std::FILE* Stream() const { return stream_.Get(); }

 private:
  // Every line was flushed, and its failure reported, when it was written,
  // so closing loses nothing.
  Common::UniqueStream stream_;
};

// Installs or removes (empty) the log file.
void SetLogFile(const boost::shared_ptr<LogFile>& file);

}  // namespace Log
}  // namespace QARN
