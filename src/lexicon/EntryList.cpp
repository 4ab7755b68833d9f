#include "lexicon/EntryList.h"

#include "i18n/Messages.h"
#include "lexicon/ListFile.h"
#include "platform/TextFile.h"

namespace kalix {

const EntryListKind kThesaurusKind = {
    "Thesaurus",
    kThesaurusChanged,
    "Thesaurus file (*.the)|*.the|Any file (*.*)|*.*",
    "Thesaurus file (*.the)|*.the|Any file (*.*)|*.*",
    "the",
};

const EntryListKind kCorpusKind = {
    "Corpus",
    kCorpusChanged,
    "Corpus file (*.cor)|*.cor|Any file (*.*)|*.*",
    "Corpus file (*.cop)|*.cor|Any file (*.*)|*.*",
    "cor",
};

std::string FormatEntryList(const std::vector<std::string>& entries) {
  size_t size = 0;
  for (const std::string& e : entries) size += e.size() + 2;
  std::string bytes;
  bytes.reserve(size);
  for (const std::string& e : entries) {
    bytes += e;
    bytes += "\r\n";
  }
  return bytes;
}

bool WriteEntryListFile(const std::string& path, const std::vector<std::string>& entries) {
  return WriteBinaryFile(path, FormatEntryList(entries));
}

void EntryListOps::SetMenuState(int state) {
  State.MenuState = state;
  Dialogs.ApplyMenuState(state);
}

bool EntryListOps::Close() {
  if (!SaveIfWanted()) return false;
  Discard();
  return true;
}

bool EntryListOps::SaveIfWanted() {
  if (State.Modified) {
    switch (Dialogs.AskSave(Kind.Caption, Translate(Language, Kind.SaveQuestion))) {
      case SaveAnswer::Cancel:
        return false;
      case SaveAnswer::Yes:
        if (!Save(false)) return false;
        break;
      case SaveAnswer::No:
        break;
    }
  }
  return true;
}

void EntryListOps::Discard() {
  State.Open = false;
  State.Modified = false;
  State.Entries.clear();
  State.FileName.clear();
  SetMenuState(kListMenuNone);
}

bool EntryListOps::Save(bool asNew) {
  FileDialogRequest request{Kind.SaveFilter, Kind.DefaultExtension, asNew ? std::string() : State.FileName};
  std::optional<std::string> path = Dialogs.ChooseSaveFile(request);
  if (!path) return false;
  if (!WriteEntryListFile(*path, State.Entries)) {
    // The entries stay as they are, still marked modified.
    Dialogs.ShowError(Translate(Language, msg::kCannotWrite) + "\n" + *path);
    return false;
  }
  State.FileName = *path;
  State.Modified = false;
  SetMenuState(kListMenuOpen);
  return true;
}

bool EntryListOps::Edit() {
  std::vector<std::string> edited;
  EditorResult r = Dialogs.Edit(State.Entries, edited);
  if (r == EditorResult::Cancel) return false;
  State.Modified = true;
  SetMenuState(kListMenuChanged);
  State.Entries = std::move(edited);
  if (r == EditorResult::Save) Save(false);
  return true;
}

void EntryListOps::New() {
  if (!Close()) return;
  if (!Edit()) return;
  State.Open = true;
  SetMenuState(kListMenuOpen);
}

bool EntryListOps::OpenFile() {
  if (!Close()) return false;
  FileDialogRequest request{Kind.OpenFilter, Kind.DefaultExtension, std::string()};
  std::optional<std::string> path = Dialogs.ChooseOpenFile(request);
  if (!path) return false;
  std::optional<std::vector<std::string>> entries = ReadListFile(*path);
  if (!entries) {
    // The list stays closed.
    Dialogs.ShowError(Translate(Language, msg::kCannotRead) + "\n" + *path);
    return false;
  }
  State.FileName = *path;
  State.Entries = std::move(*entries);
  State.Open = true;
  SetMenuState(kListMenuOpen);
  return true;
}

void OpenThesaurus(EntryListOps ops) {
  if (ops.OpenFile()) ops.Edit();
}

void OpenCorpusAndEdit(EntryListOps ops) {
  // The editor follows even when no file was opened. A close that the user
  // cancelled stops the command instead: the modified list would otherwise
  // be edited further without having been saved or discarded.
  if (ops.State.Modified) {
    if (!ops.OpenFile() && ops.State.Modified) return;
  } else {
    ops.OpenFile();
  }
  ops.Edit();
}

}  // namespace kalix
