#include "support/language.h"

#include <gtest/gtest.h>

#include "support/texts.h"

namespace {

TEST(LanguageTest, FirstUsableSourceDecides) {
  struct TCase {
    const char* Name;
    TLanguageSources Sources;
    TLanguage Expected;
  };
  const std::vector<TCase> cases = {
      {"nothing known", {}, lnGerman},
      {"system English", {"", "", std::nullopt, {"en-US", "de-DE"}}, lnEnglish},
      {"system British", {"", "", std::nullopt, {"en_GB"}}, lnEnglish},
      {"system German", {"", "", std::nullopt, {"de-AT"}}, lnGerman},
      // Only the most wanted system language counts: German is the default otherwise.
      {"system French first", {"", "", std::nullopt, {"fr-FR", "en-US"}}, lnGerman},
      {"stored beats system", {"", "", lnGerman, {"en-US"}}, lnGerman},
      {"environment beats stored", {"", "en", lnGerman, {"de-DE"}}, lnEnglish},
      {"environment with region", {"", "EN_us.UTF-8", std::nullopt, {}}, lnEnglish},
      {"option beats environment", {"de", "en", lnEnglish, {"en-US"}}, lnGerman},
      {"unusable option passed over", {"fr", "en", std::nullopt, {}}, lnEnglish},
      {"unusable environment passed over", {"", "english", lnEnglish, {"de"}}, lnEnglish},
      {"look-alike is not English", {"eng", "", std::nullopt, {"ende"}}, lnGerman},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(ChooseLanguage(c.Sources), c.Expected) << c.Name;
}

TEST(LanguageTest, OptionIsTakenOutOfTheArguments) {
  struct TCase {
    QStringList Arguments;
    std::optional<std::string> Value;
    QStringList Left;
  };
  const std::vector<TCase> cases = {
      {{"p", "scan", "--port", "SIM"}, std::nullopt, {"p", "scan", "--port", "SIM"}},
      {{"p", "--lang", "en", "scan"}, "en", {"p", "scan"}},
      {{"p", "scan", "--lang=de"}, "de", {"p", "scan"}},
      {{"p", "scan", "--lang"}, "", {"p", "scan"}},
      // The last one counts, as with any option given twice.
      {{"p", "--lang", "de", "--lang=en"}, "en", {"p"}},
      // After "--" everything is an argument of the verb.
      {{"p", "send", "--", "--lang", "en"}, std::nullopt, {"p", "send", "--", "--lang", "en"}},
  };
  for (TCase c : cases) {
    const QStringList given = c.Arguments;
    EXPECT_EQ(TakeLanguageOption(c.Arguments), c.Value) << given.join(' ').toStdString();
    EXPECT_EQ(c.Arguments, c.Left) << given.join(' ').toStdString();
  }
}

TEST(LanguageTest, PlaceholdersAreFilledOnceAndInOrder) {
  // An argument holding "%2" stays as it is; a placeholder without an argument stays too.
  EXPECT_EQ(FillPlaceholders("%1 -> %2 (%3)", {"a%2", "b"}), "a%2 -> b (%3)");
  EXPECT_EQ(FillPlaceholders("100% %1", {"x"}), "100% x");
  // Without a translator the German text comes back as written, arguments filled in.
  const TText text = TrText("Test", "Karte %1 von %2").Arg(3).Arg(TText::Plain("%1"));
  EXPECT_EQ(text.Source(), "Karte 3 von %1");
  EXPECT_EQ(text.Shown(), "Karte 3 von %1");
}

}  // namespace
