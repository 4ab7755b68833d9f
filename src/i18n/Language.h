// Language files: message lines and caption lines that relabel the program,
// and the caption dump "label.txt" from which language files are written.
//
// A language file is read in text mode, line by line. Lines of any length are
// read whole, a final line without a line break is read as well (it is kept
// as if it ended with one), and a zero byte ends the text of its line.
//
//   Kalix:eng:...                       header (first meaningful line)
//   "message"="translation"             message line
//   frmMain:btnFind:"caption":"hint"    caption line (":"items"" for radio groups)
//
// The windows relabel themselves through `FindCaptionLine`, or by building a
// tree of `CaptionControl` / `CaptionMenuItem` records from their widgets and
// running `ApplyLanguageToControls` / `ApplyLanguageToMenu` on it. The same
// trees feed `DumpCaptions`.
#pragma once

#include "i18n/Translate.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// The French text shown after the path of a file whose first meaningful line
// is not a header (a key of the message table).
inline constexpr const char* kNotLanguageFile = "\nn'est pas un fichier langue.";

enum class LanguageLoadStatus {
  Loaded,      // a valid header was read; the language state was replaced
  Unreadable,  // the file could not be opened; nothing changed
  BadHeader,   // the first meaningful line is not a header; nothing changed
  NoContent,   // only comments and blank lines; nothing changed
};

// Reads a language file into `language` and tells what happened.
LanguageLoadStatus LoadLanguageFile(LanguageState& language, const std::string& path);

// The same over the text of a language file (text-mode input).
LanguageLoadStatus ParseLanguage(LanguageState& language, std::string_view text);

// Reads a language file. Returns false only for a file whose first
// meaningful line is not a header (the caller then shows
// `NotLanguageFileMessage`); a file that cannot be opened counts as loaded
// with no change, as does a file with nothing but comments and blank lines.
bool LoadLanguage(LanguageState& language, const std::string& path);

// The text of the warning for a file that is not a language file: the path
// as given followed by the translated "\nn'est pas un fichier langue.".
std::string NotLanguageFileMessage(const LanguageState& language, const std::string& path);

// The fields of one caption line.
struct CaptionEntry {
  std::string Caption;
  std::string Hint;
  std::string Items;  // radio-group items, each followed by the four characters \r\n
};

// The first caption line, in file order, for component `componentName` of
// form `formName` (case-sensitive), split into its fields; nothing when the
// language state has no such line (or no caption lines at all).
std::optional<CaptionEntry> FindCaptionLine(const LanguageState& language,
                                            std::string_view formName,
                                            std::string_view componentName);

// Splits a stored caption line after its key `formName:componentName:`.
CaptionEntry ParseCaptionFields(std::string_view line, size_t keyLength);

// The radio-group items of an items field: every \r\n sequence is a line
// break; one item per line, a break at the very end adds no empty item.
std::vector<std::string> SplitCaptionItems(std::string_view itemsField);

// A control of a form as the caption dump and the relabelling see it.
enum class CaptionControlKind {
  Plain,       // labels, speed buttons and other graphic controls
  Container,   // windowed controls: their children follow them
  RadioGroup,  // a radio group: caption, hint and items; never a container
};

struct CaptionControl {
  std::string Name;
  CaptionControlKind Kind = CaptionControlKind::Plain;
  std::string Caption;  // the control's text
  std::string Hint;
  std::vector<std::string> Items;  // radio groups only
  std::vector<CaptionControl> Children;
};

struct CaptionMenuItem {
  std::string Name;  // empty for a menu's root item
  std::string Caption;
  std::string Hint;
  std::vector<CaptionMenuItem> Children;
};

// Relabels `control` and, for a container, its children recursively, from
// the caption lines of form `formName`: a non-empty caption or hint replaces
// the control's; a radio group takes the line's items (none when the field is
// empty). Does nothing while no language file is loaded.
void ApplyLanguageToControls(const LanguageState& language, std::string_view formName,
                             CaptionControl& control);

// Relabels a menu item and its sub-items: caption and hint are set from the
// line, also when they are empty. Does nothing while no language file is
// loaded.
void ApplyLanguageToMenu(const LanguageState& language, std::string_view formName,
                         CaptionMenuItem& item);

// One form of the dump, under the name it is written with.
struct CaptionForm {
  std::string FormName;
  CaptionControl Root;  // the form itself
};

// What the dump writes: the menus of the first main window (main menu,
// popGrid, popText, each from its root item; written under "frmMain"), then
// the forms in order (frmMain, frmFind, frmWord, frmCorpus, frmThesaurus,
// frmResult, frmAddStr, frmMorva).
struct CaptionDump {
  std::vector<CaptionMenuItem> Menus;
  std::vector<CaptionForm> Forms;
};

// The dump's text with LF line ends: an empty first line, one record a line,
// two line breaks at the end.
std::string DumpCaptions(const CaptionDump& dump);

// Writes the dump to `path` (normally "label.txt" in the working folder),
// each LF stored as CR LF. Returns false when the file cannot be written.
bool WriteCaptionDump(const CaptionDump& dump, const std::string& path);

}  // namespace kalix
