// Language files: header, message and caption lines, caption lookup and
// relabelling of a small control tree.
#include "i18n/Language.h"
#include "platform/TextFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view raw(reinterpret_cast<const char*>(data), size);
  kalix::LanguageState lang;
  kalix::ParseLanguage(lang, kalix::TextModeInput(raw));
  (void)kalix::Translate(lang, "Fichier non trouv\xe9 :");
  kalix::CaptionControl form{"frmFind", kalix::CaptionControlKind::Container, "Recherche", "", {}, {}};
  form.Children.push_back({"pnlContext", kalix::CaptionControlKind::RadioGroup, "Contexte", "", {"Texte"}, {}});
  form.Children.push_back({"btnAdd", kalix::CaptionControlKind::Plain, "&Ajouter", "", {}, {}});
  kalix::ApplyLanguageToControls(lang, "frmFind", form);
  kalix::CaptionMenuItem menu{"", "", "", {{"mnuLangue", "&Langue", "", {}}}};
  kalix::ApplyLanguageToMenu(lang, "frmMain", menu);
  // Every stored caption line parses, whatever its key length.
  for (const std::string& line : lang.CaptionLines) {
    for (size_t key = 0; key <= line.size() + 1; key += 7) (void)kalix::ParseCaptionFields(line, key);
    (void)kalix::SplitCaptionItems(line);
  }
  kalix::CaptionDump dump;
  dump.Forms.push_back({"frmFind", form});
  dump.Menus.push_back(menu);
  (void)kalix::DumpCaptions(dump);
  return 0;
}
