#include "app/Translit.h"

#include "app/Settings.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"

namespace kalix {

TableLoad LoadTranslitTable(Context& context, const std::string& path, std::vector<std::string>* messages) {
  context.Characters = CharPolicy();
  const std::optional<std::string> text = ReadBinaryFile(path);
  if (!text) return TableLoad::Missing;
  std::vector<TableError> errors;
  context.Characters.LoadTable(*text, &errors);
  if (messages) {
    for (const TableError& e : errors) {
      messages->push_back(Cp1252ToUtf8(context.Tr(msg::kBadTableLine)) + "\n" + path + ":" +
                          std::to_string(e.line) + ": " + e.message);
    }
  }
  return TableLoad::Loaded;
}

std::string TranslitTablePath(const std::string& settingsPath, const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  return FolderOf(settingsPath) + name;
}

}  // namespace kalix
