#pragma once
// The language of the user interface: German (the language the program is written in) or
// English. What decides, first match wins: the option --lang, the environment variable
// KAVORCONFIG_LANG, the choice made in the window's menu (kept in the user's settings), and last
// the system's UI language: English when that is English, German otherwise.

#include <QStringList>
#include <optional>
#include <string>

enum TLanguage { lnGerman, lnEnglish };

// "de" or "en".
const char* LanguageCode(TLanguage language);
// "de", "en", also with a region or encoding ("en_GB", "de-AT", "en_US.UTF-8"), in any case.
std::optional<TLanguage> ParseLanguage(const std::string& text);

struct TLanguageSources {
  std::string Option;       // the value of --lang, if given
  std::string Environment;  // KAVORCONFIG_LANG
  std::optional<TLanguage> Stored;
  QStringList SystemLanguages;  // QLocale::system().uiLanguages(), most wanted first
};
// Unusable values are passed over.
TLanguage ChooseLanguage(const TLanguageSources& sources);

// Takes "--lang X" and "--lang=X" out of the arguments (up to a "--"). The value, if there was
// one; an empty value when --lang came without one.
std::optional<std::string> TakeLanguageOption(QStringList& arguments);

// The choice made in the window, kept in the user's settings.
std::optional<TLanguage> StoredLanguage();
void StoreLanguage(TLanguage language);

// Installs the translations of the program's texts and, with `qtTexts`, of Qt's own (standard
// buttons, file dialogs) for the language; needs the application object. Replaces what an
// earlier call installed.
void InstallLanguage(TLanguage language, bool qtTexts = true);
TLanguage CurrentLanguage();

// Reads the option (taking it out of `arguments`), the environment, the stored choice and the
// system's language, installs the result and returns it. `optionUnusable` is set when --lang came
// without de or en; the language is then chosen as if it had not been given.
TLanguage SetupLanguage(QStringList& arguments, bool qtTexts = true,
                        bool* optionUnusable = nullptr);
