// The French texts of the messages that the core produces, in code page 1252.
// They are keys of the message table: pass them through `Translate`.
#pragma once

namespace kalix::msg {

inline constexpr const char* kFileNotFound = "Fichier non trouv\xe9 :";          // "Fichier non trouvé :"
inline constexpr const char* kCannotWrite = "Impossible d'\xe9\x63rire le fichier :";  // "Impossible d'écrire le fichier :"
inline constexpr const char* kCannotRead = "Impossible de lire le fichier :";
// A file that is neither rich text nor text (a picture, an archive...).
inline constexpr const char* kNotADocument = "Ce fichier n'est ni du texte ni du texte enrichi :";
// The generation of variants stopped at its bound (followed by a line feed
// and the string).
inline constexpr const char* kVariantsBounded =
    "G\xe9n\xe9ration arr\xeat\xe9" "e \xe0 10000 variantes :";  // "Génération arrêtée à 10000 variantes :"

// A rules file that looks wrong (followed by the path and the reason, a
// line each; the window then asks kUseDoubtfulRules).
inline constexpr const char* kDoubtfulRules = "Le fichier de r\xe8gles semble incorrect :";
inline constexpr const char* kUseDoubtfulRules = "Utiliser ces r\xe8gles quand m\xeame ?";

}  // namespace kalix::msg
