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
// Reading a document: the characters that the character policy changed
// (followed by the counts and the characters), a code page read as 1252
// (followed by its number), a UTF-8 text that turned out not to be, and a
// line of the user's transliteration table that was left out (followed by
// the file, the line number and what is wrong).
inline constexpr const char* kCharactersChanged =
    "Caract\xe8res chang\xe9s \xe0 la lecture :";  // "Caractères changés à la lecture :"
inline constexpr const char* kTransliterated = "translitt\xe9r\xe9s";  // "translittérés"
inline constexpr const char* kDropped = "supprim\xe9s";                 // "supprimés"
inline constexpr const char* kReplaced = "remplac\xe9s par 0x81";       // "remplacés par 0x81"
inline constexpr const char* kUnknownCodePage =
    "Page de code inconnue, lue comme 1252 :";
inline constexpr const char* kInvalidUtf8 =
    "UTF-8 non valide : la suite du fichier est lue comme 1252";
inline constexpr const char* kBadTableLine =
    "Ligne ignor\xe9" "e dans la table de translitt\xe9ration :";  // "Ligne ignorée dans la table de translittération :"

// An operation of the window that failed (followed by a line feed and what
// failed), and one that ran out of memory.
inline constexpr const char* kOperationFailed = "L'op\xe9ration a \xe9\x63hou\xe9 :";  // "L'opération a échoué :"
inline constexpr const char* kOutOfMemory = "M\xe9moire insuffisante";            // "Mémoire insuffisante"

// A rules file that looks wrong (followed by the path and the reason, a
// line each; the window then asks kUseDoubtfulRules).
inline constexpr const char* kDoubtfulRules = "Le fichier de r\xe8gles semble incorrect :";
inline constexpr const char* kUseDoubtfulRules = "Utiliser ces r\xe8gles quand m\xeame ?";

// Reading XML documents (TEI, PAGE, ALTO). Each is followed by a line feed
// and the path (and, for a malformed file, a line feed and the place).
inline constexpr const char* kXmlMalformed = "Document XML mal form\xe9 :";  // "Document XML mal formé :"
inline constexpr const char* kXmlUnknown =
    "Document XML d'un type inconnu (ni TEI, ni PAGE, ni ALTO) :";
inline constexpr const char* kXmlEntities =
    "Expansion d'entit\xe9s refus\xe9" "e (trop grande ou en boucle) :";  // "Expansion d'entités refusée (trop grande ou en boucle) :"
inline constexpr const char* kXmlNoPages = "Aucune page PAGE ou ALTO dans le dossier :";
inline constexpr const char* kXmlSkipped = "Fichier ignor\xe9 (ni PAGE ni ALTO) :";  // "Fichier ignoré (ni PAGE ni ALTO) :"
inline constexpr const char* kXmlExternal = "Entit\xe9 externe non lue :";  // "Entité externe non lue :"
// Characters of an XML document that code page 1252 lacks (followed by a
// blank and their number).
inline constexpr const char* kCharsTransliterated = "Caract\xe8res translitt\xe9r\xe9s :";
inline constexpr const char* kCharsReplaced = "Caract\xe8res remplac\xe9s par 0x81 :";
inline constexpr const char* kCharsDropped = "Caract\xe8res supprim\xe9s :";

}  // namespace kalix::msg
