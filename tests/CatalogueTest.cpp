// The catalogue of localized texts, in the locale that "locale.cfg" names.
#include "common/ErrorMessageMap.h"
#include "tests/TestSupport.h"

namespace QARN::Testing {
using namespace Common;

struct Locale {
  const char* name;
  const char* file;           // null: no locale.cfg
  unsigned long long digest;  // of the nine texts, each with LF, in key order
};

class CatalogueTest : public InstallationTest, public ::testing::WithParamInterface<Locale> {};

std::string Texts() {
  std::string all;
  for (const HRESULT code :
       {QARN_S_ERROR_CAPTION, QARN_E_COMMAND_LINE, QARN_E_FTP_CONNECT, QARN_E_HTTP_CONNECT, QARN_E_HTTP_CONNECTION_LOST,
        QARN_E_UPDATE_FAILED, QARN_E_ALREADY_RUNNING, E_FAIL, QARN_E_REGION_BLOCKED}) {
    const std::string* text = ErrorMessageMap::Instance().Find(code);
    all += (text ? *text : "missing") + "\n";
  }
  return all;
}

TEST_P(CatalogueTest, HoldsTheTextsOfTheLocale) {
  const Locale& row = GetParam();
  if (!row.file) fs::remove(Native(root_.path + "system\\locale.cfg"));
  if (row.file) WriteFile(root_.path + "system\\locale.cfg", row.file);
  const std::string texts = Texts();
  EXPECT_EQ(Digest(texts), GetParam().digest) << texts;
}

INSTANTIATE_TEST_SUITE_P(Locales, CatalogueTest,
                         ::testing::Values(Locale{"en_gb", "locale=en_gb", 0x217b833d72e3300dULL},
                                           Locale{"fr_fr", " locale = fr_fr \n", 0xbc146b357994236bULL},
                                           Locale{"es_es", "locale=es_es", 0xe628d46e468b2e42ULL},
                                           Locale{"de_de", "locale=De_De", 0xea0b63934b69f4abULL},
                                           Locale{"pl_pl", "locale=pl_pl", 0x988f73bea2a53316ULL},
                                           Locale{"Other", "locale=fr_fr.utf8", 0xcaa50c857229aa88ULL},
                                           Locale{"NoFile", nullptr, 0xcaa50c857229aa88ULL}),
                         kRowName);

}  // namespace QARN::Testing
