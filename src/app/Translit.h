// The user's transliteration table: a UTF-8 file that the character policy
// reads before its shipped rules (platform/CharPolicy.h gives its format).
//
// The desktop program reads the file that the settings key "Translit" names
// (default "translit.txt"), beside "kalix.ini" when the name has no folder;
// kalix-cli reads the file of --translit, or "translit.txt" in the current
// folder when there is one, as it does with the rules file. A commented
// default is shipped as samples/translit.txt.
#pragma once

#include "context/Context.h"

#include <string>
#include <vector>

namespace kalix {

enum class TableLoad { Loaded, Missing };

// Loads the table at `path` into the context's character policy (replacing
// any table read before). Lines that cannot be used are left out, each
// giving a message in `messages` (UTF-8): the translated "Ligne ignorée dans
// la table de translittération :", a line feed, "PATH:LINE: what is wrong".
// Missing when the file cannot be read (the policy keeps the shipped rules
// alone).
TableLoad LoadTranslitTable(Context& context, const std::string& path, std::vector<std::string>* messages);

// The table's path for the desktop program: `name` as it stands when it
// holds a folder, otherwise beside the settings file.
std::string TranslitTablePath(const std::string& settingsPath, const std::string& name);

}  // namespace kalix
