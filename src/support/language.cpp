#include "support/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>
#include <atomic>
#include <cstdlib>

namespace {

std::atomic<TLanguage> GCurrent{lnGerman};
QTranslator* GOwn = nullptr;
QTranslator* GQt = nullptr;

// The settings of the window's menu: a file of the user's, apart from the model.
QSettings UserSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, "KavorConfig", "KavorConfig");
}

const char* const kLanguageKey = "Sprache";

void RemoveTranslator(QTranslator*& translator) {
  if (!translator) return;
  QCoreApplication::removeTranslator(translator);
  delete translator;
  translator = nullptr;
}

}  // namespace

const char* LanguageCode(TLanguage language) {
  return language == lnEnglish ? "en" : "de";
}

std::optional<TLanguage> ParseLanguage(const std::string& text) {
  if (text.size() < 2) return std::nullopt;
  if (text.size() > 2 && text[2] != '_' && text[2] != '-' && text[2] != '.') return std::nullopt;
  std::string code;
  for (std::size_t i = 0; i < 2; ++i)
    code += static_cast<char>(text[i] >= 'A' && text[i] <= 'Z' ? text[i] - 'A' + 'a' : text[i]);
  if (code == "de") return lnGerman;
  if (code == "en") return lnEnglish;
  return std::nullopt;
}

TLanguage ChooseLanguage(const TLanguageSources& sources) {
  if (auto language = ParseLanguage(sources.Option)) return *language;
  if (auto language = ParseLanguage(sources.Environment)) return *language;
  if (sources.Stored) return *sources.Stored;
  if (!sources.SystemLanguages.isEmpty() &&
      ParseLanguage(sources.SystemLanguages.first().toStdString()) == lnEnglish)
    return lnEnglish;
  return lnGerman;
}

std::optional<std::string> TakeLanguageOption(QStringList& arguments) {
  std::optional<std::string> value;
  for (qsizetype i = 1; i < arguments.size();) {
    const QString& argument = arguments.at(i);
    if (argument == "--") break;
    if (argument == "--lang") {
      value = i + 1 < arguments.size() ? arguments.at(i + 1).toStdString() : std::string();
      arguments.remove(i, i + 1 < arguments.size() ? 2 : 1);
    } else if (argument.startsWith("--lang=")) {
      value = argument.mid(7).toStdString();
      arguments.remove(i);
    } else {
      ++i;
    }
  }
  return value;
}

std::optional<TLanguage> StoredLanguage() {
  return ParseLanguage(UserSettings().value(kLanguageKey).toString().toStdString());
}

void StoreLanguage(TLanguage language) {
  QSettings settings = UserSettings();
  settings.setValue(kLanguageKey, LanguageCode(language));
  settings.sync();
}

void InstallLanguage(TLanguage language, bool qtTexts) {
  RemoveTranslator(GOwn);
  RemoveTranslator(GQt);
  GCurrent = language;
  if (language == lnEnglish) {
    // Qt's own texts are English already.
    GOwn = new QTranslator();
    if (GOwn->load(":/i18n/kavorconfig_en.qm")) {
      QCoreApplication::installTranslator(GOwn);
    } else {
      delete GOwn;
      GOwn = nullptr;
    }
    return;
  }
  if (!qtTexts) return;
  // Qt's translations come with the system (Debian: qt6-translations-l10n); without them the
  // standard buttons stay English and nothing else changes.
  GQt = new QTranslator();
  if (GQt->load(QLocale(QLocale::German), "qtbase", "_",
                QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(GQt);
  } else {
    delete GQt;
    GQt = nullptr;
  }
}

TLanguage CurrentLanguage() {
  return GCurrent;
}

TLanguage SetupLanguage(QStringList& arguments, bool qtTexts, bool* optionUnusable) {
  TLanguageSources sources;
  const std::optional<std::string> option = TakeLanguageOption(arguments);
  if (option) sources.Option = *option;
  if (const char* environment = std::getenv("KAVORCONFIG_LANG")) sources.Environment = environment;
  sources.Stored = StoredLanguage();
  sources.SystemLanguages = QLocale::system().uiLanguages();
  const TLanguage language = ChooseLanguage(sources);
  InstallLanguage(language, qtTexts);
  if (optionUnusable) *optionUnusable = option && !ParseLanguage(*option);
  return language;
}
