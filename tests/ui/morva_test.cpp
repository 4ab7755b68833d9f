// The generated-variants dialog and the add-string dialog: the coloured
// list, its operations, OK and Cancel, the files, the relabelling.

#include "FakeDialogs.h"
#include "i18n/Language.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "platform/TextFile.h"
#include "ui/TfrmAddStr.h"
#include "ui/TfrmMorva.h"
#include "ui/UiLanguage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace kalix;
using namespace kalix::ui;

namespace {

// Typed CHAT and BOL followed by their variants, as the search hands them.
cArrowList Strings(bool withVariants = true) {
  cArrowList list;
  list.emplace_back("CHAT");
  list.back().Index = 0;
  list.emplace_back("BOL");
  list.back().Index = 1;
  if (!withVariants) return list;
  for (auto [key, source] : {std::pair{"CHATT", 0}, std::pair{"CAT", 0}, std::pair{"BOLL", 1}, std::pair{"CHA", 0}}) {
    SearchString s;
    s.SetKey(key);
    s.Source = source;
    s.Index = source;
    list.push_back(s);
  }
  return list;
}

QStringList ShownKeys(TfrmMorva& d) {
  QStringList keys;
  for (int r = 0; r < d.WordModel->rowCount(); ++r) keys << d.WordModel->index(r).data().toString();
  return keys;
}

QStringList Keys(const cArrowList& list) {
  QStringList keys;
  for (const SearchString& s : list) keys << FromCp1252(s.Key);
  return keys;
}

// The colours found in one row of the grabbed list: every pixel colour.
QSet<QRgb> RowColours(TfrmMorva& d, int row) {
  d.lstWord->resize(200, 300);
  d.lstWord->doItemsLayout();
  QImage image = d.lstWord->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  QRect rect = d.lstWord->visualRect(d.WordModel->index(row));
  if (qEnvironmentVariableIsSet("KALIX_SHOT")) image.save(QString("/tmp/morva_row%1.png").arg(row));
  QSet<QRgb> colours;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= std::min(rect.right(), image.width() - 1); ++x) colours.insert(image.pixel(x, y) & 0xFFFFFF);
  }
  return colours;
}

// Checks that a row is drawn in exactly its text and background colours
// (antialiased blends aside): the background fills it, the text colour is
// present, the other kinds' text colours are absent.
void ExpectRowDrawn(TfrmMorva& d, int row, MorvaKind kind, bool selected) {
  const MorvaColours c = ColoursOf(kind, selected);
  QSet<QRgb> colours = RowColours(d, row);
  QVERIFY2(colours.contains(c.back.rgb() & 0xFFFFFF), qPrintable(QString("row %1 background").arg(row)));
  QVERIFY2(colours.contains(c.text.rgb() & 0xFFFFFF), qPrintable(QString("row %1 text").arg(row)));
  for (MorvaKind other : {MorvaKind::Typed, MorvaKind::Added, MorvaKind::Variant}) {
    if (other == kind) continue;
    QRgb foreign = ColoursOf(other, selected).text.rgb() & 0xFFFFFF;
    if (foreign == (c.back.rgb() & 0xFFFFFF)) continue;
    QVERIFY2(!colours.contains(foreign), qPrintable(QString("row %1 has another kind's colour").arg(row)));
  }
}

// Types a text key by key (keys beyond ASCII as key events with their text).
void TypeInto(QLineEdit* edit, const QString& text) {
  for (QChar ch : text) {
    if (ch.unicode() < 0x80) {
      QTest::keyClick(edit, ch.toLatin1());
    } else {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
      QApplication::sendEvent(edit, &press);
    }
  }
}

}  // namespace

class MorvaTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  FakeDialogs dialogs_;
  // Answers of the add-string dialog: the keys to type (empty queue: Cancel).
  std::deque<QString> typed_;

  // Routes the add-string dialog to `typed_` and the variants dialog to `step`.
  void Script(std::function<int(TfrmMorva&)> step) {
    dialogs_.onExec = [this, step](QDialog* dialog) -> int {
      if (auto* add = qobject_cast<TfrmAddStr*>(dialog)) {
        if (typed_.empty()) return QDialog::Rejected;
        TypeInto(add->edWord, typed_.front());
        typed_.pop_front();
        return QDialog::Accepted;
      }
      auto* morva = qobject_cast<TfrmMorva*>(dialog);
      return morva ? step(*morva) : QDialog::Rejected;
    };
  }

 private slots:
  void init() {
    dialogs_ = FakeDialogs();
    typed_.clear();
    FreshShell(dir_, dialogs_);
  }
  void cleanup() { SetDialogs(nullptr); }

  // With KALIX_SHOT set: pictures of both dialogs under /tmp, to look at.
  void pictures() {
    if (!qEnvironmentVariableIsSet("KALIX_SHOT")) QSKIP("KALIX_SHOT not set");
    cArrowList list = Strings();
    typed_ = {"chien"};
    Script([&](TfrmMorva& d) {
      d.btnAdd->click();
      d.lstWord->selectionModel()->select(d.WordModel->index(1), QItemSelectionModel::Select);
      d.lstWord->selectionModel()->select(d.WordModel->index(4), QItemSelectionModel::Select);
      d.lstWord->selectionModel()->select(d.WordModel->index(6), QItemSelectionModel::Select);
      d.show();
      QApplication::processEvents();
      d.grab().save("/tmp/morva_dialog.png");
      d.hide();
      return QDialog::Accepted;
    });
    QVERIFY(TheMorvaDialog().Review(list, {"CHAT"}));
    TfrmAddStr& add = TheAddStrDialog();
    add.show();
    TypeInto(add.edWord, "chat");
    QApplication::processEvents();
    add.grab().save("/tmp/addstr_dialog.png");
    add.hide();
  }

  // No rule applying: only the typed strings, all red, and their number.
  void typedStringsOnly() {
    cArrowList list = Strings(false);
    bool ran = false;
    Script([&](TfrmMorva& d) {
      ran = true;
      [&] {
        QCOMPARE(d.lblCount->text(), QString("2"));
        QCOMPARE(ShownKeys(d), (QStringList{"BOL", "CHAT"}));
        QVERIFY(d.Ascending());
        QVERIFY(d.Bounded->isHidden());
        for (int r = 0; r < 2; ++r) ExpectRowDrawn(d, r, MorvaKind::Typed, false);
        d.lstWord->selectionModel()->select(d.WordModel->index(1), QItemSelectionModel::Select);
        ExpectRowDrawn(d, 1, MorvaKind::Typed, true);
        // Typed strings cannot be deleted.
        d.btnDel->click();
        QCOMPARE(d.lblCount->text(), QString("2"));
      }();
      return QDialog::Accepted;
    });
    QVERIFY(TheMorvaDialog().Review(list, {}));
    QVERIFY(ran);
    QCOMPARE(Keys(list), (QStringList{"BOL", "CHAT"}));
    // The list box is emptied once the dialog closed.
    QCOMPARE(TheMorvaDialog().WordModel->rowCount(), 0);
  }

  // Every item selected and deleted: exactly the typed strings remain.
  void deleteEverything() {
    cArrowList list = Strings();
    Script([&](TfrmMorva& d) {
      [&] {
        QCOMPARE(ShownKeys(d), (QStringList{"BOL", "BOLL", "CAT", "CHA", "CHAT", "CHATT"}));
        QCOMPARE(d.lblCount->text(), QString("6"));
        ExpectRowDrawn(d, 0, MorvaKind::Typed, false);
        ExpectRowDrawn(d, 1, MorvaKind::Variant, false);
        d.lstWord->selectionModel()->select(d.WordModel->index(1), QItemSelectionModel::Select);
        ExpectRowDrawn(d, 1, MorvaKind::Variant, true);
        d.lstWord->selectAll();
        d.btnDel->click();
        QCOMPARE(ShownKeys(d), (QStringList{"BOL", "CHAT"}));
        QCOMPARE(d.lblCount->text(), QString("2"));
        // The typed strings stay selected.
        QCOMPARE(d.lstWord->selectionModel()->selectedRows().size(), 2);
      }();
      return QDialog::Accepted;
    });
    QVERIFY(TheMorvaDialog().Review(list, {}));
    QCOMPARE(Keys(list), (QStringList{"BOL", "CHAT"}));
    for (const SearchString& s : list) QVERIFY(!s.HasSource());
  }

  // Reversing, adding while descending, deleting some, then OK or Cancel.
  void reverseAddAndClose() {
    for (bool ok : {true, false}) {
      cArrowList list = Strings();
      typed_ = {"  chien", "   "};
      Script([&](TfrmMorva& d) {
        [&] {
          d.btnSort->click();
          QVERIFY(!d.Ascending());
          QCOMPARE(ShownKeys(d), (QStringList{"CHATT", "CHAT", "CHA", "CAT", "BOLL", "BOL"}));
          d.btnAdd->click();  // "  chien": typed in upper case, trimmed
          QCOMPARE(ShownKeys(d), (QStringList{"CHIEN", "CHATT", "CHAT", "CHA", "CAT", "BOLL", "BOL"}));
          QCOMPARE(d.lblCount->text(), QString("7"));
          ExpectRowDrawn(d, 0, MorvaKind::Added, false);
          d.lstWord->selectionModel()->select(d.WordModel->index(0), QItemSelectionModel::Select);
          ExpectRowDrawn(d, 0, MorvaKind::Added, true);
          d.lstWord->clearSelection();
          d.btnAdd->click();  // blank: nothing added
          d.btnAdd->click();  // the add-string dialog cancelled
          QCOMPARE(d.lblCount->text(), QString("7"));
          // Twice reversed: ascending again.
          d.btnSort->click();
          d.btnSort->click();
          QCOMPARE(ShownKeys(d), (QStringList{"CHIEN", "CHATT", "CHAT", "CHA", "CAT", "BOLL", "BOL"}));
          d.btnSort->click();
          QVERIFY(d.Ascending());
          QCOMPARE(ShownKeys(d), (QStringList{"BOL", "BOLL", "CAT", "CHA", "CHAT", "CHATT", "CHIEN"}));
          // The own string survives a deletion it is not part of.
          d.lstWord->selectionModel()->select(d.WordModel->index(2), QItemSelectionModel::Select);
          d.btnDel->click();
          QCOMPARE(ShownKeys(d), (QStringList{"BOL", "BOLL", "CHA", "CHAT", "CHATT", "CHIEN"}));
        }();
        return ok ? QDialog::Accepted : QDialog::Rejected;
      });
      QCOMPARE(TheMorvaDialog().Review(list, {}), ok);
      if (ok) {
        QCOMPARE(Keys(list), (QStringList{"BOL", "BOLL", "CHA", "CHAT", "CHATT", "CHIEN"}));
        const SearchString& own = list[5];
        QCOMPARE(own.Source, 5);
        QCOMPARE(own.Index, 2);
        QCOMPARE(own.Text, std::string("CHIEN"));
        // Variants still point at their typed strings.
        QCOMPARE(list[1].Source, 0);
        QCOMPARE(list[2].Source, 3);
        QCOMPARE(list[4].Source, 3);
      } else {
        QCOMPARE(Keys(list), (QStringList{"BOL", "CHAT"}));
      }
      // The dialog shows ascending again at the next showing.
      cArrowList again = Strings();
      Script([&](TfrmMorva& d) {
        [&] {
          QVERIFY(d.Ascending());
          QCOMPARE(ShownKeys(d).first(), QString("BOL"));
        }();
        return QDialog::Rejected;
      });
      QVERIFY(!TheMorvaDialog().Review(again, {}));
    }
  }

  // The add-string dialog: upper case, 32 characters, position and
  // exclusion reaching the new string and kept between showings.
  void addStringDialog() {
    TfrmAddStr& add = TheAddStrDialog();
    QCOMPARE(add.windowTitle(), FromCp1252("Ajouter une cha\xeene"));
    QVERIFY(add.PlaceItems[0]->isChecked());
    QVERIFY(!add.chkExclude->isEnabled());
    QVERIFY(!add.chkExclude->isChecked());
    QCOMPARE(add.edWord->maxLength(), 32);
    QVERIFY(add.OKBtn->isDefault());

    cArrowList list = Strings(false);
    Script([&](TfrmMorva& d) {
      // Position "Milieu de mot" and "Exclure" set, then a long text typed.
      add.PlaceItems[3]->click();
      add.chkExclude->setChecked(true);
      typed_ = {QString("ab") + QChar(0xE9) + QString(40, 'x')};
      d.btnAdd->click();
      typed_ = {"  x y "};
      d.btnAdd->click();
      return QDialog::Accepted;
    });
    QVERIFY(TheMorvaDialog().Review(list, {}));
    QCOMPARE(list.size(), size_t{4});
    const std::string longText = "AB\xc9" + std::string(29, 'X');
    // Ascending: the long text, BOL, CHAT, X Y.
    QCOMPARE(FromCp1252(list[0].Key), FromCp1252(longText));
    QCOMPARE(FromCp1252(list[3].Key), QString("X Y"));
    for (size_t k : {size_t{0}, size_t{3}}) {
      QCOMPARE(list[k].Position, int16_t{3});
      QCOMPARE(list[k].Exclude, int16_t{1});
      QCOMPARE(list[k].Source, static_cast<int32_t>(k));
    }
    QCOMPARE(list[0].Index, 2);
    QCOMPARE(list[3].Index, 3);
    // Emptied at each showing; position and exclusion kept.
    dialogs_.onExec = [](QDialog*) { return QDialog::Rejected; };
    add.edWord->setText("OLD");
    QVERIFY(!add.Ask());
    QCOMPARE(add.edWord->text(), QString());
    QCOMPARE(add.Place(), int16_t{3});
    QCOMPARE(add.Excluded(), int16_t{1});
    add.PlaceItems[0]->click();
    add.chkExclude->setChecked(false);
  }

  // "Sau&ver" replaces a file, "&Rajouter" keeps its lines; a file that
  // cannot be written says so.
  void saveAndAppend() {
    const QString path = QDir(dir_.path()).filePath("list.the");
    QVERIFY(WriteTextFile(path.toStdString(), "OLD\n"));
    const QString bad = QDir(dir_.path()).filePath("missing/list.the");
    cArrowList list = Strings();
    Script([&](TfrmMorva& d) {
      dialogs_.files = {path};
      d.btnAppend->click();
      d.btnSort->click();
      dialogs_.files = {path};
      d.btnAppend->click();
      d.btnSave->click();  // the file dialog cancelled: nothing written
      dialogs_.files = {bad};
      d.btnSave->click();
      return QDialog::Accepted;
    });
    QVERIFY(TheMorvaDialog().Review(list, {}));
    QCOMPARE(QString::fromStdString(*ReadBinaryFile(path.toStdString())),
             QString("OLD\r\nBOL\r\nBOLL\r\nCAT\r\nCHA\r\nCHAT\r\nCHATT\r\n"
                     "CHATT\r\nCHAT\r\nCHA\r\nCAT\r\nBOLL\r\nBOL\r\n"));
    QCOMPARE(dialogs_.fileRequests.size(), size_t{4});
    const FileDialogOptions& o = dialogs_.fileRequests[0];
    QCOMPARE(o.filter, QString("Thesaurus file (*.the)|*.the|Any file (*.*)|*.*"));
    QCOMPARE(o.defaultExtension, QString("the"));
    QCOMPARE(o.initialFolder, QString::fromStdString(TheShell().ProgramDir));
    QVERIFY(!o.mustExist);
    QCOMPARE(dialogs_.messages.size(), size_t{1});
    QCOMPARE(dialogs_.messages[0].caption, QString("Kalix"));
    QCOMPARE(dialogs_.messages[0].text, FromCp1252(msg::kCannotWrite) + "\n" + bad);

    Script([&](TfrmMorva& d) {
      dialogs_.files = {path};
      d.btnSave->click();
      return QDialog::Rejected;
    });
    QVERIFY(!TheMorvaDialog().Review(list, {}));
    QCOMPARE(QString::fromStdString(*ReadBinaryFile(path.toStdString())),
             QString("BOL\r\nBOLL\r\nCAT\r\nCHA\r\nCHAT\r\nCHATT\r\n"));
  }

  // A generation stopped by its bound is said in the dialog.
  void boundedGeneration() {
    cArrowList list = Strings();
    QString said;
    Script([&](TfrmMorva& d) {
      said = d.Bounded->isHidden() ? QString() : d.Bounded->text();
      return QDialog::Accepted;
    });
    QVERIFY(TheMorvaDialog().Review(list, {"CHAT"}));
    QCOMPARE(said, FromCp1252(msg::kVariantsBounded) + "\nCHAT");
    QVERIFY(TheMorvaDialog().Review(list, {}));
    QVERIFY(TheMorvaDialog().Bounded->isHidden());
  }

  // Relabelled at each showing; every control named for screen readers;
  // the controls in the caption dump's order.
  void languageAndAccessibility() {
    auto names = [](const CaptionControl& c) {
      QStringList out;
      std::function<void(const CaptionControl&)> walk = [&](const CaptionControl& n) {
        out << QString::fromStdString(n.Name);
        for (const CaptionControl& child : n.Children) walk(child);
      };
      walk(c);
      return out;
    };
    QCOMPARE(names(ControlTree(&TheMorvaDialog())),
             (QStringList{"frmMorva", "lstWord", "btnAdd", "btnDel", "btnSort", "Label1", "lblCount", "btnSave",
                          "btnAppend", "OKBtn", "CancelBtn", "chkHideAbsent", "btnFreq", "btnStopCount"}));
    QCOMPARE(names(ControlTree(&TheAddStrDialog())),
             (QStringList{"frmAddStr", "edWord", "pnlPlace", "GroupBox4", "chkExclude", "OKBtn", "CancelBtn"}));
    CaptionControl place = ControlTree(TheAddStrDialog().pnlPlace);
    QCOMPARE(place.Kind, CaptionControlKind::RadioGroup);
    QCOMPARE(place.Items.size(), size_t{5});
    QCOMPARE(place.Items[0], std::string("Indiff\xe9rente"));
    LanguageState& language = TheShell().Ctx.Language;
    QCOMPARE(ParseLanguage(language, "Kalix:eng:\n"
                                     "frmMorva:btnSort:\"&Reverse\":\"\"\n"
                                     "frmMorva:Label1:\"Count:\":\"\"\n"
                                     "frmAddStr:pnlPlace:\"Place\":\"\":\"Anywhere\\r\\nStart\\r\\nEnd\\r\\nMiddle\\r\\nWhole\\r\\n\"\n"),
             LanguageLoadStatus::Loaded);
    cArrowList list = Strings();
    Script([&](TfrmMorva& d) {
      [&] {
        QCOMPARE(d.btnSort->text(), QString("&Reverse"));
        QCOMPARE(d.btnSort->accessibleName(), QString("Reverse"));
        QCOMPARE(d.Label1->text(), QString("Count:"));
        QCOMPARE(d.lstWord->accessibleName(), QString("Morvo"));
        QCOMPARE(d.lblCount->accessibleName(), QString("6"));
        QCOMPARE(d.WordModel->index(0).data(Qt::AccessibleTextRole).toString(), QString("BOL"));
        for (QWidget* w : d.findChildren<QWidget*>()) {
          if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_"))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
      }();
      return QDialog::Accepted;
    });
    QVERIFY(TheMorvaDialog().Review(list, {}));
    dialogs_.onExec = [](QDialog* d) {
      auto* add = qobject_cast<TfrmAddStr*>(d);
      [&] {
        QVERIFY(add);
        QCOMPARE(add->pnlPlace->title(), QString("Place"));
        QCOMPARE(add->PlaceItems[3]->text(), QString("Middle"));
        QCOMPARE(add->PlaceItems[3]->accessibleName(), QString("Middle"));
        QCOMPARE(add->edWord->accessibleName(), FromCp1252("Ajouter une cha\xeene"));
      }();
      return QDialog::Rejected;
    };
    QVERIFY(!TheAddStrDialog().Ask());
    language = LanguageState();

  }
};

QTEST_MAIN(MorvaTest)
#include "morva_test.moc"
