// The French texts of the messages that the core produces, in code page 1252.
// They are keys of the message table: pass them through `Translate`.
#pragma once

namespace kalix::msg {

inline constexpr const char* kFileNotFound = "Fichier non trouv\xe9 :";          // "Fichier non trouvé :"
inline constexpr const char* kCannotWrite = "Impossible d'\xe9\x63rire le fichier :";  // "Impossible d'écrire le fichier :"
inline constexpr const char* kCannotRead = "Impossible de lire le fichier :";

}  // namespace kalix::msg
