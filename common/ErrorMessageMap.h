// The catalogue of user-facing messages, keyed by status code, in the user's
// language. Texts are held as UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <unordered_map>

#include "common/FirstUse.h"

namespace QARN {
namespace Common {

// The system's own status codes: facility bits 0x1E9, entry in the low word.
constexpr HRESULT QARN_S_ERROR_CAPTION = static_cast<HRESULT>(0x41E90001);
constexpr HRESULT QARN_E_COMMAND_LINE = static_cast<HRESULT>(0xC1E90002);
constexpr HRESULT QARN_E_FTP_CONNECT = static_cast<HRESULT>(0xC1E90003);
constexpr HRESULT QARN_E_HTTP_CONNECT = static_cast<HRESULT>(0xC1E90004);
constexpr HRESULT QARN_E_HTTP_CONNECTION_LOST = static_cast<HRESULT>(0xC1E90005);
constexpr HRESULT QARN_E_UPDATE_FAILED = static_cast<HRESULT>(0xC1E90006);
constexpr HRESULT QARN_E_ALREADY_RUNNING = static_cast<HRESULT>(0xC1E90007);
constexpr HRESULT QARN_E_REGION_BLOCKED = static_cast<HRESULT>(0xC1E90008);

class ErrorMessageMap {
 public:
  // The process-wide catalogue, built on the first call in the language that
  // the key "locale" of "locale.cfg" names (en_gb, fr_fr, es_es, de_de or
  // pl_pl, in any case; English otherwise). The locale is read once per
  // process. A call made while the catalogue is being built (reading
  // "locale.cfg" may log a failure, whose text is looked up here) gets the
  // catalogue as it stands then, which finds nothing.
  static ErrorMessageMap& Instance();

  // The text stored for exactly `code`, or null when `code` is not one of
  // the nine keys. Never falls back on another key.
  const std::string* Find(HRESULT code) const;

  ~ErrorMessageMap() = default;
  ErrorMessageMap(const ErrorMessageMap&) = delete;
  ErrorMessageMap& operator=(const ErrorMessageMap&) = delete;

 private:
  friend class FirstUse<ErrorMessageMap>;

  ErrorMessageMap();

  // The value of "locale" in "locale.cfg"; empty when the file cannot be
  // loaded or has no such key.
  static void ReadLocale(std::string& locale);

  std::unordered_map<HRESULT, std::string> messages_;
};

}  // namespace Common
}  // namespace QARN
