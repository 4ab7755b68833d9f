#include "i18n/Translate.h"

#include <gtest/gtest.h>

namespace kalix {
namespace {

TEST(Translate, BuiltInAndTable) {
  LanguageState lang;
  EXPECT_EQ(lang.LanguageCode, "fra");
  EXPECT_EQ(Translate(lang, "Fichier non trouv\xe9 :"), "Fichier non trouv\xe9 :");
  lang.Loaded = true;
  lang.LanguageCode = "eng";
  lang.MessageKeys = {"Oui", "Non", "Oui"};
  lang.MessageTexts = {"Yes", "No", "Yes again"};
  EXPECT_EQ(Translate(lang, "Oui"), "Yes");        // the first equal key wins
  EXPECT_EQ(Translate(lang, "oui"), "oui");        // exact, case-sensitive
  EXPECT_EQ(Translate(lang, "Oui "), "Oui ");      // a trailing blank differs
  ResetLanguage(lang);
  EXPECT_EQ(lang.LanguageCode, "fra");
  EXPECT_EQ(Translate(lang, "Oui"), "Oui");
}

}  // namespace
}  // namespace kalix
