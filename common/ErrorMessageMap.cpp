#include "common/ErrorMessageMap.h"

#include <cstring>
#include <iterator>

#include "common/SettingsFile.h"
#include "common/StringHelper.h"
#include "log/Log.h"

namespace QARN {
namespace Common {
namespace {

constexpr const char kContext[] = "QARN::Common::ErrorMessageMap::ErrorMessageMap";

// The keys whose texts are translated, in the order they are stored; the
// region message is stored after them, unconverted.
const HRESULT kConvertedKeys[] = {
    QARN_S_ERROR_CAPTION,        QARN_E_COMMAND_LINE,  QARN_E_FTP_CONNECT,     QARN_E_HTTP_CONNECT,
    QARN_E_HTTP_CONNECTION_LOST, QARN_E_UPDATE_FAILED, QARN_E_ALREADY_RUNNING, E_FAIL,
};
constexpr std::size_t kConvertedTextCount = std::size(kConvertedKeys);

// Non-ASCII characters are written as universal character names, so the
// texts do not depend on the encoding the sources are read in.
// English
const wchar_t* const kEnglishTexts[kConvertedTextCount] = {
    L"QARN Error",
    L"Could not parse commandline. Please check for invalid parameters.",
    L"Could not connect to the FTP server.  Please check that your Internet connection is enabled and that your "
    L"firewall is not blocking access.",
    L"Could not connect to the HTTP server.  Please check that your Internet connection is enabled and that your "
    L"firewall is not blocking access.",
    L"Connection lost to HTTP server.  Please check that your Internet connection is stable, and that HTTP connections "
    L"are not being blocked by a firewall.",
    L"Failed to download or extract all required update files after several attempts. Please ensure that you have a "
    L"stable Internet connection, and that you have sufficient hard disk space.",
    L"Another instance of the launcher is running.  Do you want to terminate it?",
    L"Unspecified error occurred. Please check the logs for more information.",
};
// French
const wchar_t* const kFrenchTexts[kConvertedTextCount] = {
    L"Erreur QARN",
    L"Analyse impossible de la ligne de commande. Veuillez vous assurer qu'il n'y a pas de param\u00e8tre invalide.",
    L"Impossible de se connecter au serveur FTP. Veuillez vous assurer que vous \u00eates connect\u00e9 \u00e0 "
    L"Internet et que votre pare-feu ne bloque pas l'acc\u00e8s.",
    L"Impossible de se connecter au serveur HTTP. Veuillez vous assurer que vous \u00eates connect\u00e9 \u00e0 "
    L"Internet et que votre pare-feu ne bloque pas l'acc\u00e8s.",
    L"Connexion au serveur HTTP perdue. Veuillez v\u00e9rifier que votre connexion Internet est stable et que les "
    L"connexions HTTP ne sont pas bloqu\u00e9es par un pare-feu.",
    L"Impossible de t\u00e9l\u00e9charger ou d'extraire toutes les donn\u00e9es requises malgr\u00e9 plusieurs "
    L"tentatives. Veuillez vous assurer que vous disposez d'une connexion Internet stable et que vous avez "
    L"suffisamment d'espace libre sur votre disque dur.",
    L"Une autre instance du jeu est d\u00e9j\u00e0 en cours d'utilisation. Voulez-vous y mettre fin ?",
    L"Une erreur non sp\u00e9cifi\u00e9e est survenue. Veuillez consulter les journaux pour plus d'informations.",
};
// Spanish
const wchar_t* const kSpanishTexts[kConvertedTextCount] = {
    L"Error de QARN",
    L"No se ha podido analizar la l\u00ednea de comandos. Aseg\u00farate de no haber incluido par\u00e1metros no "
    L"v\u00e1lidos.",
    L"No se ha podido conectar al servidor de FTP. Comprueba que tu conexi\u00f3n a Internet est\u00e1 habilitada y "
    L"aseg\u00farate de que tu firewall no est\u00e1 bloqueando el acceso.",
    L"No se ha podido conectar al servidor de HTTP. Comprueba que tu conexi\u00f3n a Internet est\u00e1 habilitada y "
    L"aseg\u00farate de que tu firewall no est\u00e1 bloqueando el acceso.",
    L"Se ha perdido la conexi\u00f3n con el servidor de HTTP. Comprueba que tienes una conexi\u00f3n estable a "
    L"Internet y aseg\u00farate de que tu firewall no est\u00e1 bloqueando las conexiones de HTTP.",
    L"Error al descargar o extraer todos los archivos de actualizaci\u00f3n requeridos tras varios intentos. Comprueba "
    L"que tienes una conexi\u00f3n estable a Internet y espacio suficiente en el disco duro.",
    L"Hay otro proceso de la aplicaci\u00f3n de inicio en ejecuci\u00f3n. \u00bfQuieres terminarlo?",
    L"Se ha producido un error no especificado. Consulta los registros para obtener m\u00e1s informaci\u00f3n.",
};
// German
const wchar_t* const kGermanTexts[kConvertedTextCount] = {
    L"Patcher-Fehler",
    L"Konnte die Befehlszeile nicht auswerten. Bitte \u00fcberpr\u00fcfen sie nach ung\u00fcltigen Parametern.",
    L"Konnte den FTP-Server nicht erreichen. Bitte \u00fcberpr\u00fcfe deine Internet-Verbindung und dass deine "
    L"Firewall den Zugriff nicht verhindert.",
    L"Konnte den HTTP-Server nicht erreichen. Bitte \u00fcberpr\u00fcfe deine Internet-Verbindung und dass deine "
    L"Firewall den Zugriff nicht verhindert.",
    L"Die Verbindung zum HTTP-Server wurde unterbrochen. Bitte \u00fcberpr\u00fcfe deine Internet-Verbindung und dass "
    L"deine Firewall HTTP-Zugriffe nicht verhindert.",
    L"Konnte trotz mehrerer Versuche die ben\u00f6tigten Daten nicht vollst\u00e4ndig herunterladen oder entpacken. "
    L"Bitte \u00fcberpr\u00fcfe deine Internet-Verbindung und dass genug Platz auf der Festplatte vorhanden ist.",
    L"Das Startprogramm l\u00e4uft bereits. Soll es beendet werden?",
    L"Ein nicht n\u00e4her spezifizierter Fehler ist aufgetreten. Bitte \u00fcbermittle die Berichte, damit wir uns "
    L"darum k\u00fcmmern k\u00f6nnen.",
};
// Polish
const wchar_t* const kPolishTexts[kConvertedTextCount] = {
    L"B\u0142\u0105d QARN",
    L"Nie mo\u017cna przetworzy\u0107 linii polece\u0144, Upewnij si\u0119, \u017ce u\u017cywasz poprawnych "
    L"parametr\u00f3w.",
    L"Nie mo\u017cna po\u0142\u0105czy\u0107 z serwerem FTP. Upewnij si\u0119, \u017ce twoje po\u0142\u0105czenie z "
    L"internetem dzia\u0142a poprawnie oraz czy firewall nie blokuje dost\u0119pu.",
    L"Nie mo\u017cna po\u0142\u0105czy\u0107 z serwerem HTTP. Upewnij si\u0119, \u017ce twoje po\u0142\u0105czenie z "
    L"internetem dzia\u0142a poprawnie oraz czy firewall nie blokuje dost\u0119pu.",
    L"Utracono po\u0142\u0105czenie z serwerem HTTP. Upewnij si\u0119, \u017ce twoje po\u0142\u0105czenie z internetem "
    L"dzia\u0142a poprawnie oraz czy firewall nie blokuje po\u0142\u0105czenia.",
    L"Nie uda\u0142o si\u0119 pobra\u0107 lub rozpakowa\u0107 wszystkich plik\u00f3w potrzebnych do aktualizacji "
    L"pomimo kilku pr\u00f3b. Upewnij si\u0119, \u017ce twoje po\u0142\u0105czenie z internetem dzia\u0142a poprawnie "
    L"oraz czy masz wystarczaj\u0105c\u0105 ilo\u015b\u0107 wolnego miejsca na dysku.",
    L"Dzia\u0142a ju\u017c inna kopia programu startowego. Czy chcesz j\u0105 zamkn\u0105\u0107?",
    L"Wyst\u0105pi\u0142 nieokre\u015blony b\u0142\u0105d. Sprawd\u017a dzienniki po wi\u0119cej informacji.",
};

struct TextSet {
  const char* locale;  // null for the default set
  const wchar_t* const* texts;
  const char* regionMessage;
};

// Searched in order; the first locale equal to the user's, ignoring case,
// selects its set.
const TextSet kLocaleSets[] = {
    {"en_gb", kEnglishTexts,
     "en_gb Host machine is operating in a region which has been blocked.  "
     "QARN is not available in your region."},
    {"fr_fr", kFrenchTexts,
     "fr_fr Host machine is operating in a region which has been blocked.  "
     "QARN is not available in your region."},
    {"es_es", kSpanishTexts,
     "es_es Host machine is operating in a region which has been blocked.  "
     "QARN is not available in your region."},
    {"de_de", kGermanTexts,
     "de_de Host machine is operating in a region which has been blocked.  "
     "QARN is not available in your region."},
    {"pl_pl", kPolishTexts,
     "pl_pl Host machine is operating in a region which has been blocked.  "
     "QARN is not available in your region."},
};

const TextSet kDefaultSet = {nullptr, kEnglishTexts,
                             "Host machine is operating in a region which has been blocked.  "
                             "QARN is not available in your region."};

const TextSet& ChooseTextSet(const std::string& locale) {
  for (const TextSet& set : kLocaleSets) {
    if (::_stricmp(locale.c_str(), set.locale) == 0) return set;
  }
  return kDefaultSet;
}

}  // namespace

ErrorMessageMap& ErrorMessageMap::Instance() { return FirstUse<ErrorMessageMap>::Get(); }

const std::string* ErrorMessageMap::Find(HRESULT code) const {
  const auto found = messages_.find(code);
  return found == messages_.end() ? nullptr : &found->second;
}

ErrorMessageMap::ErrorMessageMap() {
  std::string locale;
  ReadLocale(locale);
  Log::LogPrintf(Log::DEBUG, kContext, "locale: %s", locale.c_str());
  const TextSet& set = ChooseTextSet(locale);
  std::string converted;
  for (std::size_t i = 0; i < kConvertedTextCount; ++i) {
    // A failed conversion leaves `converted` empty, and the key gets the
    // empty text; the failure is logged by the conversion.
    static_cast<void>(StringHelper::ConvertToMultiByte(set.texts[i], converted));
    messages_[kConvertedKeys[i]] = converted;
  }
  messages_[QARN_E_REGION_BLOCKED] = set.regionMessage;
}

void ErrorMessageMap::ReadLocale(std::string& locale) {
  SettingsFile::SettingsFile settings("locale.cfg");
  if (settings.Load() < 0) return;
  locale = settings.GetValue("locale");
}

}  // namespace Common
}  // namespace QARN
