// Every form in the user's language: the caption dump of every form and
// menu, loaded back without changing a caption (French and English), and an
// English line in samples/eng.lng for every caption, hint and message.

#include "FakeDialogs.h"
#include "i18n/Language.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"
#include "ui/EditorList.h"
#include "ui/TfrmCorpus.h"
#include "ui/TfrmMain.h"
#include "ui/TfrmThesaurus.h"
#include "ui/UiLanguage.h"

#include <QApplication>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <cctype>
#include <set>

using namespace kalix;
using namespace kalix::ui;

namespace {

const char* const kForms[] = {"frmMain", "frmFind", "frmWord", "frmCorpus", "frmThesaurus",
                              "frmResult", "frmAddStr", "frmMorva"};

std::string Dump(TfrmMain* w) {
  QFile::remove("label.txt");
  DumpCaptionsOf(w);
  return ReadBinaryFile("label.txt").value_or("<no dump>");
}

// Relabels every form as its showing does.
void ApplyEverywhere(TfrmMain* w) {
  w->ApplyLanguage();
  for (QWidget* top : QApplication::topLevelWidgets()) {
    for (const char* form : kForms) {
      if (top != w && top->objectName() == form && qobject_cast<QDialog*>(top)) {
        ApplyLanguageToWidgets(form, top);
      }
    }
  }
}

// One record of a dump: form, component and its fields.
struct Record {
  std::string Form;
  std::string Name;
  CaptionEntry Fields;
};

std::vector<Record> Records(const std::string& dump) {
  std::vector<Record> out;
  const std::string text = TextModeInput(dump);
  for (std::string_view line : SplitLines(text)) {
    size_t first = line.find(':');
    if (first == std::string_view::npos) continue;
    size_t second = line.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    Record r;
    r.Form = std::string(line.substr(0, first));
    r.Name = std::string(line.substr(first + 1, second - first - 1));
    // The caption line parser reads a line with its line break, as here.
    r.Fields = ParseCaptionFields(line, second + 1);
    out.push_back(std::move(r));
  }
  return out;
}

// The value of a C string literal sequence ("a" "b\xe9"...).
std::string Unescape(const QString& literals) {
  std::string out;
  static const QRegularExpression one(R"re("((?:[^"\\]|\\.)*)")re");
  for (const QRegularExpressionMatch& m : one.globalMatch(literals)) {
    const QString body = m.captured(1);
    for (qsizetype i = 0; i < body.size(); ++i) {
      QChar c = body[i];
      if (c != '\\' || i + 1 >= body.size()) {
        out += ToCp1252(QString(c));
        continue;
      }
      QChar e = body[++i];
      if (e == 'x') {
        int value = 0;
        while (i + 1 < body.size() && QString("0123456789abcdefABCDEF").contains(body[i + 1])) {
          value = value * 16 + QString(body[++i]).toInt(nullptr, 16);
        }
        out += static_cast<char>(value);
      } else if (e == 'n') {
        out += '\n';
      } else if (e == 'r') {
        out += '\r';
      } else if (e == 't') {
        out += '\t';
      } else {
        out += ToCp1252(QString(e));
      }
    }
  }
  return out;
}

// Every message that the program translates, read from its sources: the
// message constants, the texts given to Tr/Translate, and the tables whose
// entries go through them.
std::set<std::string> TranslatedMessages() {
  const QString literals = R"re(((?:"(?:[^"\\]|\\.)*"\s*)+))re";
  const QRegularExpression constant(R"re(constexpr\s+const\s+char\s*\*\s*(k\w+)\s*=\s*)re" + literals);
  const QRegularExpression direct(R"re((?:\bTr|\bTranslate\s*\([^,();]*,)\s*\(?\s*)re" + literals);
  const QRegularExpression named(R"re((?:\bTr|\bTranslate\s*\([^,();]*,)\s*\(?\s*(?:NameOf\s*\(\s*)?(?:msg::)?(k\w+))re");
  const QRegularExpression string(R"re("(?:[^"\\]|\\.)*"(?:\s*"(?:[^"\\]|\\.)*")*)re");
  std::set<std::string> out;
  std::map<QString, std::string> constants;
  std::vector<std::pair<QString, QString>> uses;  // file text, table name
  QDirIterator files(QString(KALIX_SOURCE_DIR) + "/src", {"*.cpp", "*.h"}, QDir::Files,
                     QDirIterator::Subdirectories);
  while (files.hasNext()) {
    QFile f(files.next());
    if (f.fileName().contains("/cli/") || !f.open(QIODevice::ReadOnly)) continue;
    const QString text = QString::fromUtf8(f.readAll());
    for (const QRegularExpressionMatch& m : constant.globalMatch(text)) constants[m.captured(1)] = Unescape(m.captured(2));
    for (const QRegularExpressionMatch& m : direct.globalMatch(text)) out.insert(Unescape(m.captured(1)));
    for (const QRegularExpressionMatch& m : named.globalMatch(text)) uses.push_back({text, m.captured(1)});
  }
  for (const auto& [text, name] : uses) {
    if (constants.count(name)) {
      out.insert(constants[name]);
      continue;
    }
    // A table of texts in the same file.
    QRegularExpression table(name + R"re(\s*\[\s*\d*\s*\]\s*=\s*\{([^}]*)\})re");
    QRegularExpressionMatch t = table.match(text);
    for (const QRegularExpressionMatch& m : string.globalMatch(t.captured(1))) out.insert(Unescape(m.captured(0)));
  }
  // The questions of the thesaurus and corpus go through their kinds.
  for (const char* name : {"kThesaurusChanged", "kCorpusChanged"}) out.insert(constants[name]);
  out.erase(std::string());
  return out;
}

}  // namespace

class CaptionsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;
  QString oldCurrent_;

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    FreshShell(dir_, dialogs_);
    oldCurrent_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
  }
  void cleanup() {
    for (TfrmMain* w : TheShell().MainWindowList) delete w;
    QDir::setCurrent(oldCurrent_);
    SetDialogs(nullptr);
  }

  // The dump holds every form, and loading it back changes no caption, in
  // French and in English.
  void dumpRoundTripOverEveryForm() {
    auto* w = new TfrmMain();
    const std::string french = Dump(w);
    std::set<std::string> forms;
    for (const Record& r : Records(french)) forms.insert(r.Form);
    for (const char* form : {"frmMain", "frmCorpus", "frmThesaurus", "frmAddStr", "frmMorva"}) {
      QVERIFY2(forms.count(form), form);
    }
    QVERIFY(TextModeInput(french).find("\nfrmThesaurus:btnRepl:\"&Remplacer\":\"\"\n") != std::string::npos);
    QVERIFY(TextModeInput(french).find("\nfrmCorpus:btnSave:\"Sau&ver\":\"\"\n") != std::string::npos);

    QVERIFY(WriteBinaryFile("back.lng", "Kalix:fra:\r\n" + french));
    QVERIFY(LoadLanguageReporting(w, "back.lng"));
    ApplyEverywhere(w);
    QCOMPARE(Dump(w), french);

    QVERIFY(LoadLanguageReporting(w, std::string(KALIX_SOURCE_DIR) + "/samples/eng.lng"));
    ApplyEverywhere(w);
    const std::string english = Dump(w);
    QVERIFY(english != french);
    QVERIFY(TextModeInput(english).find("\nfrmThesaurus:btnRepl:\"&Replace\":\"\"\n") != std::string::npos);
    QVERIFY(WriteBinaryFile("back.lng", "Kalix:eng:\r\n" + english));
    QVERIFY(LoadLanguageReporting(w, "back.lng"));
    ApplyEverywhere(w);
    QCOMPARE(Dump(w), english);
  }

  // The editors take the language each time they are shown.
  void editorsRelabelledOnEachShowing() {
    auto* w = new TfrmMain();
    QVERIFY(LoadLanguageReporting(w, std::string(KALIX_SOURCE_DIR) + "/samples/eng.lng"));
    TfrmThesaurus& thesaurus = TheThesaurusEditor();
    TfrmCorpus& corpus = TheCorpusEditor();
    thesaurus.btnAdd->setText("x");
    corpus.btnDel->setText("x");
    QStringList seen;
    dialogs_.onExec = [&](QDialog* d) {
      for (QPushButton* b : d->findChildren<QPushButton*>()) seen << b->objectName() + "=" + b->text() + "/" + b->accessibleName();
      seen << d->windowTitle();
      return int(QDialog::Rejected);
    };
    w->mnuTNew->trigger();
    w->mnuCNew->trigger();
    for (const char* expected : {"btnAdd=&Add/Add", "btnRepl=&Replace/Replace", "btnSave=Sa&ve/Save",
                                 "CancelBtn=Cancel/Cancel", "btnDel=&Delete/Delete"}) {
      QVERIFY2(seen.contains(expected), expected);
    }
    QCOMPARE(seen.count("btnDel=&Delete/Delete"), 2);
    QVERIFY(seen.contains("Thesaurus") && seen.contains("Corpus"));
    QCOMPARE(thesaurus.edWord->accessibleName(), QString("Thesaurus"));
    QCOMPARE(corpus.lstWord->accessibleName(), QString("Corpus"));
  }

  // samples/eng.lng has an English line for every caption and hint of every
  // form and menu, and for every message the program translates.
  void englishForEveryCaptionAndMessage() {
    auto* w = new TfrmMain();
    const std::string french = Dump(w);
    LanguageState english;
    QVERIFY(LoadLanguage(english, std::string(KALIX_SOURCE_DIR) + "/samples/eng.lng"));
    QVERIFY(english.Loaded);
    QStringList missing;
    for (const Record& r : Records(french)) {
      if (r.Name.empty() || (r.Fields.Caption.empty() && r.Fields.Hint.empty() && r.Fields.Items.empty())) continue;
      QString key = QString::fromStdString(r.Form + ":" + r.Name);
      std::optional<CaptionEntry> e = FindCaptionLine(english, r.Form, r.Name);
      if (!e && r.Fields.Hint.empty() && r.Fields.Items.empty() &&
          r.Fields.Caption.find_first_not_of("0123456789. ") == std::string::npos) {
        continue;  // only a count or "..."
      }
      if (!e) {
        missing << key;
        continue;
      }
      // A caption without letters (a count, "...") needs no translation.
      const bool words = std::any_of(r.Fields.Caption.begin(), r.Fields.Caption.end(),
                                     [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
      if (words && e->Caption.empty()) missing << key + " caption";
      if (!r.Fields.Hint.empty() && e->Hint.empty()) missing << key + " hint";
      if (SplitCaptionItems(r.Fields.Items).size() != SplitCaptionItems(e->Items).size()) missing << key + " items";
    }
    const std::set<std::string> messages = TranslatedMessages();
    for (const char* known : {"Fichier non trouv\xe9 :", "Texte", "Paragraphe", "Modifi\xe9" "e", "RESULTATS :",
                              "Le corpus a chang\xe9. Voulez-vous l'enregistrer ?"}) {
      QVERIFY2(messages.count(known), known);  // the scan finds messages of every kind
    }
    for (const std::string& m : messages) {
      if (m.find('\n') != std::string::npos) continue;  // a message line cannot hold it
      const auto& keys = english.MessageKeys;
      if (std::find(keys.begin(), keys.end(), m) == keys.end()) missing << "message " + FromCp1252(m);
    }
    QVERIFY2(missing.isEmpty(), qPrintable("no English line for:\n" + missing.join("\n")));
  }
};

QTEST_MAIN(CaptionsTest)
#include "captions_test.moc"
