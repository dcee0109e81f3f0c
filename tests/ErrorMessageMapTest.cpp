#include "common/ErrorMessageMap.h"

#include <ostream>
#include <string>

#include "gtest/gtest.h"
#include "tests/TestSupport.h"

namespace QARN {
namespace Common {
namespace {

const char kEnglishCaption[] = "QARN Error";
const char kEnglishUnspecified[] =
    "Unspecified error occurred. Please check the logs for more information.";
const char kRegionMessage[] =
    "Host machine is operating in a region which has been blocked.  QARN is "
    "not available in your region.";

// Every test runs in a process of its own, so the catalogue is built afresh
// from the locale.cfg that the test writes under an installation root of its
// own.
class ErrorMessageMapTest : public ::testing::Test {
 protected:
  ErrorMessageMapTest()
      : rootPath_(dir_.Path() + "root"), root_(rootPath_) {}

  void WriteLocaleFile(const std::string& content) {
    Testing::CreateDirectories(rootPath_ + "\\system");
    Testing::WriteFileBytes(rootPath_ + "\\system\\locale.cfg", content);
  }
  static std::string Text(HRESULT code) {
    const std::string* text = ErrorMessageMap::Instance().Find(code);
    return text ? *text : "<none>";
  }

  Testing::TempDir dir_;
  std::string rootPath_;
  Testing::InstallationRootOverride root_;
};

struct LocaleCase {
  const char* name;
  const char* localeFile;  // null: no file at all
  const char* caption;
  const char* regionPrefix;
};

void PrintTo(const LocaleCase& localeCase, std::ostream* os) {
  *os << localeCase.name;
}

class ErrorMessageMapLocaleTest
    : public ErrorMessageMapTest,
      public ::testing::WithParamInterface<LocaleCase> {};

TEST_P(ErrorMessageMapLocaleTest, ChoosesTheTextSet) {
  if (GetParam().localeFile) WriteLocaleFile(GetParam().localeFile);
  EXPECT_EQ(Text(QARN_S_ERROR_CAPTION), GetParam().caption);
  EXPECT_EQ(Text(QARN_E_REGION_BLOCKED),
            std::string(GetParam().regionPrefix) + kRegionMessage);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, ErrorMessageMapLocaleTest,
    ::testing::Values(
        LocaleCase{"EnGb", "locale=en_gb", kEnglishCaption, "en_gb "},
        LocaleCase{"UpperCase", "locale=EN_GB", kEnglishCaption, "en_gb "},
        LocaleCase{"MixedCase", "locale=En_Gb", kEnglishCaption, "en_gb "},
        LocaleCase{"French", "locale=fr_fr", "Erreur QARN", "fr_fr "},
        LocaleCase{"FrenchWithBlanks", " locale = fr_fr \r\n", "Erreur QARN",
                   "fr_fr "},
        LocaleCase{"Spanish", "locale=es_es", "Error de QARN", "es_es "},
        LocaleCase{"German", "locale=DE_de", "Patcher-Fehler", "de_de "},
        LocaleCase{"Polish", "locale=pl_pl", "B\xC5\x82\xC4\x85" "d QARN",
                   "pl_pl "},
        LocaleCase{"EnUs", "locale=en_us", kEnglishCaption, ""},
        LocaleCase{"LanguageOnly", "locale=fr", kEnglishCaption, ""},
        LocaleCase{"Hyphen", "locale=de-de", kEnglishCaption, ""},
        LocaleCase{"Suffix", "locale=fr_fr.utf8", kEnglishCaption, ""},
        LocaleCase{"EmptyValue", "locale=", kEnglishCaption, ""},
        LocaleCase{"NoLocaleKey", "language=fr_fr", kEnglishCaption, ""},
        LocaleCase{"NoFile", nullptr, kEnglishCaption, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct Utf8Case {
  const char* locale;
  HRESULT code;
  const char* bytes;
};

void PrintTo(const Utf8Case& utf8Case, std::ostream* os) {
  *os << utf8Case.locale << " " << std::hex << utf8Case.code;
}

class ErrorMessageMapUtf8Test : public ErrorMessageMapTest,
                                public ::testing::WithParamInterface<Utf8Case> {};

TEST_P(ErrorMessageMapUtf8Test, StoresTheExactUtf8Bytes) {
  WriteLocaleFile(std::string("locale=") + GetParam().locale);
  EXPECT_EQ(Text(GetParam().code), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ErrorMessageMapUtf8Test,
    ::testing::Values(
        Utf8Case{"fr_fr", E_FAIL,
                 "Une erreur non sp\xC3\xA9" "cifi\xC3\xA9" "e est survenue. "
                 "Veuillez consulter les journaux pour plus d'informations."},
        Utf8Case{"fr_fr", QARN_E_ALREADY_RUNNING,
                 "Une autre instance du jeu est d\xC3\xA9j\xC3\xA0 en cours "
                 "d'utilisation. Voulez-vous y mettre fin ?"},
        Utf8Case{"es_es", QARN_E_ALREADY_RUNNING,
                 "Hay otro proceso de la aplicaci\xC3\xB3n de inicio en "
                 "ejecuci\xC3\xB3n. \xC2\xBFQuieres terminarlo?"},
        Utf8Case{"de_de", QARN_E_ALREADY_RUNNING,
                 "Das Startprogramm l\xC3\xA4uft bereits. Soll es beendet "
                 "werden?"},
        Utf8Case{"pl_pl", E_FAIL,
                 "Wyst\xC4\x85pi\xC5\x82 nieokre\xC5\x9Blony b\xC5\x82\xC4\x85"
                 "d. Sprawd\xC5\xBA dzienniki po wi\xC4\x99" "cej informacji."},
        Utf8Case{"en_gb", QARN_E_HTTP_CONNECT,
                 "Could not connect to the HTTP server.  Please check that "
                 "your Internet connection is enabled and that your firewall "
                 "is not blocking access."}));

TEST_F(ErrorMessageMapTest, HoldsTheNineKeysAndNothingElse) {
  const HRESULT keys[] = {QARN_S_ERROR_CAPTION,   QARN_E_COMMAND_LINE,
                          QARN_E_FTP_CONNECT,     QARN_E_HTTP_CONNECT,
                          QARN_E_HTTP_CONNECTION_LOST, QARN_E_UPDATE_FAILED,
                          QARN_E_ALREADY_RUNNING, E_FAIL,
                          QARN_E_REGION_BLOCKED};
  for (HRESULT key : keys) {
    const std::string* text = ErrorMessageMap::Instance().Find(key);
    ASSERT_NE(text, nullptr) << std::hex << key;
    EXPECT_FALSE(text->empty());
  }
  EXPECT_GT(QARN_S_ERROR_CAPTION, 0);
  EXPECT_EQ(Text(E_FAIL), kEnglishUnspecified);
  EXPECT_EQ(ErrorMessageMap::Instance().Find(2), nullptr);
  EXPECT_EQ(ErrorMessageMap::Instance().Find(static_cast<HRESULT>(0xC1E90009)),
            nullptr);
  EXPECT_EQ(ErrorMessageMap::Instance().Find(static_cast<HRESULT>(0x80070002)),
            nullptr);
}

TEST_F(ErrorMessageMapTest, IsBuiltOnceAndReadsTheLocaleOnce) {
  WriteLocaleFile("locale=fr_fr");
  const ErrorMessageMap& first = ErrorMessageMap::Instance();
  WriteLocaleFile("locale=de_de");
  EXPECT_EQ(&ErrorMessageMap::Instance(), &first);
  EXPECT_EQ(Text(QARN_S_ERROR_CAPTION), "Erreur QARN");
}

// Without a locale.cfg, the failure to open it is resolved to a text while
// the catalogue is still being built: that lookup finds nothing, so the text
// comes from the system, and the catalogue is then completed with the
// default set.
TEST_F(ErrorMessageMapTest, LookupDuringConstructionFindsNothing) {
  Testing::LogRecorder log;
  EXPECT_EQ(Text(E_FAIL), kEnglishUnspecified);
  const std::vector<std::string> errors =
      log.Errors("QARN::Common::SettingsFile::SettingsFile::Load");
  ASSERT_EQ(errors.size(), 4u);  // the constructor's load, then the second
  EXPECT_FALSE(errors[0].empty());
  EXPECT_NE(errors[0], kEnglishUnspecified);
  EXPECT_EQ(errors[2], errors[0]);
}

}  // namespace
}  // namespace Common
}  // namespace QARN
