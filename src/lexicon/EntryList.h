// The thesaurus of a main window and the corpus of the program: a list of
// entries kept in a file of one entry a line, with its state (open,
// modified, file name, menu state) and the operations of their menus.
//
// The operations ask their questions (save the changes? which file? the
// editor) through `EntryListDialogs`, which the windows implement and tests
// replace. Files are read with the list-file rules (lines end at CR, LF or
// CR LF, a NUL ends the text) and written one entry a line, each followed by
// CR LF, replacing the file atomically. A file that cannot be read or written
// gives a message ("Impossible de lire le fichier :" / "Impossible d'écrire
// le fichier :", a line feed, the path) and the operation fails; nothing is
// lost.
#pragma once

#include "i18n/Translate.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalix {

// Menu states: 0 none, 1 open, 2 open and changed.
enum EntryListMenuState : int { kListMenuNone = 0, kListMenuOpen = 1, kListMenuChanged = 2 };

struct EntryListState {
  std::vector<std::string> Entries;
  std::string FileName;  // empty: not saved yet
  bool Open = false;
  bool Modified = false;
  int MenuState = kListMenuNone;  // last state applied to the menu
};

// The per-window thesaurus and the process-wide corpus share one layout.
struct Thesaurus : EntryListState {};
struct Corpus : EntryListState {};

// What differs between the thesaurus and the corpus.
struct EntryListKind {
  const char* Caption;       // caption of the save question
  const char* SaveQuestion;  // French text of the save question (translated)
  const char* OpenFilter;
  const char* SaveFilter;
  const char* DefaultExtension;
};

extern const EntryListKind kThesaurusKind;
extern const EntryListKind kCorpusKind;

// "Le thesaurus a changé. Voulez-vous l'enregistrer ?" and its corpus twin.
inline constexpr const char* kThesaurusChanged = "Le thesaurus a chang\xe9. Voulez-vous l'enregistrer ?";
inline constexpr const char* kCorpusChanged = "Le corpus a chang\xe9. Voulez-vous l'enregistrer ?";

enum class SaveAnswer { Yes, No, Cancel };
// How the editor was left: OK (with a change), "Sau&ver", or anything else.
enum class EditorResult { Ok, Save, Cancel };

// A file dialog as the operations want it shown.
struct FileDialogRequest {
  std::string Filter;            // "Description (*.ext)|*.ext|..." as the program writes it
  std::string DefaultExtension;  // added to a name typed without one
  std::string FileName;          // proposed name; empty for none
  // Open dialogs start in the program's folder and accept existing files only.
};

class EntryListDialogs {
 public:
  virtual ~EntryListDialogs() = default;
  // Yes / No / Cancel question, with `caption` and the translated `text`.
  virtual SaveAnswer AskSave(const std::string& caption, const std::string& text) = 0;
  virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;
  // Shows the editor on `entries` (it sorts them); on Ok or Save, `edited`
  // receives the editor's lines in list order.
  virtual EditorResult Edit(const std::vector<std::string>& entries, std::vector<std::string>& edited) = 0;
  // A message box with the caption "Kalix" and the (translated) text.
  virtual void ShowError(const std::string& text) = 0;
  // Applies menu state 0, 1 or 2 (for the corpus: in every main window).
  virtual void ApplyMenuState(int state) = 0;
};

// The bytes of a list file: each entry followed by CR LF.
std::string FormatEntryList(const std::vector<std::string>& entries);

// Writes a list file atomically; false when it cannot be written.
bool WriteEntryListFile(const std::string& path, const std::vector<std::string>& entries);

// Context shared by the operations below.
struct EntryListOps {
  EntryListState& State;
  const EntryListKind& Kind;
  EntryListDialogs& Dialogs;
  const LanguageState& Language;

  // "&Fermer": asks to save a modified list (Cancel, or a failed save, keeps
  // it and returns false), then empties it and applies menu state 0. Also
  // what a closing window runs, so no unsaved work is lost.
  bool Close();
  // The two steps of `Close`, for a closing window that holds several lists:
  // every question is asked before any list is emptied. `SaveIfWanted` asks
  // and saves (false on Cancel or a failed save; the list is kept as it is);
  // `Discard` empties the list and applies menu state 0.
  bool SaveIfWanted();
  void Discard();
  // "&Enregistrer" (asNew false) and "Enregistrer &sous" (asNew true).
  bool Save(bool asNew);
  // "&Modifier".
  bool Edit();
  // "&Nouveau".
  void New();
  // Closes the list, asks for a file and reads it; true when a file was read.
  bool OpenFile();

  void SetMenuState(int state);
};

// The thesaurus "&Ouvrir": open a file, then edit it.
void OpenThesaurus(EntryListOps ops);
// The corpus "&Ouvrir": open a file, then edit, whether or not a file was
// chosen.
void OpenCorpusAndEdit(EntryListOps ops);

}  // namespace kalix
