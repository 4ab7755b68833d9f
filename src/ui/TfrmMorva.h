// The generated-variants dialog "Morvo": the window's strings (typed
// strings, their generated variants, strings added here) in a coloured
// list, to review before a search in the "Générée" mode: delete variants,
// add strings, reverse the order, save or append the list to a file.
#pragma once

#include "document/Document.h"
#include "rules/Filters.h"
#include "search/SearchSpec.h"

#include <QAbstractListModel>
#include <QColor>
#include <QDialog>
#include <QStyledItemDelegate>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class QCheckBox;
class QLabel;
class QTimer;
class QListView;
class QPushButton;

namespace kalix::ui {

// The three kinds of strings of the list, told apart by their Source.
enum class MorvaKind { Typed, Added, Variant };

// The kind of the string at `row` of `strings`.
MorvaKind KindOf(const cArrowList& strings, size_t row);

// The colours an item is drawn in: text and background, selected or not.
struct MorvaColours {
  QColor text;
  QColor back;
};
MorvaColours ColoursOf(MorvaKind kind, bool selected);

// The list's model: one row per string of the attached list, in list
// order; the text of a row (display and accessible text) is the Key. Once
// the counts are known, a row's number of occurrences is its CountRole
// (-1: not counted) and its accessible description.
class MorvaListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  static constexpr int KindRole = Qt::UserRole + 1;
  static constexpr int CountRole = Qt::UserRole + 2;
  using QAbstractListModel::QAbstractListModel;
  // Attaches a list (nullptr: none) and shows it anew.
  void Attach(const cArrowList* strings);
  // The occurrences of each key (nullptr: none known); shows the list anew.
  void SetCounts(const std::unordered_map<std::string, size_t>* counts);
  // The counts set have changed (more documents read): the rows are drawn
  // again, the list stays as it is.
  void CountsChanged();
  // The occurrences of the string at `row`, or -1 when not counted.
  long long CountAt(size_t row) const;
  // Shows the attached list anew after it changed.
  void Refill();
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  const cArrowList* strings_ = nullptr;
  const std::unordered_map<std::string, size_t>* counts_ = nullptr;
};

// Paints each item in the colours of its kind.
class MorvaItemDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Where the counts of the list come from: the search about to run (its
// settings and filters) over the window's document or the corpus.
struct MorvaCountSource {
  SearchSettings Settings;
  cFilterList Filters;
  std::shared_ptr<const Document> Doc;  // without the corpus
  std::vector<std::string> Corpus;      // with Settings.UseCorpus
};

class TfrmMorva : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmMorva(QWidget* parent = nullptr);
  ~TfrmMorva() override;

  // The source of the counts of the next `Review` (none: no counts). The
  // dialog opens at once; the counts are made on a second thread and shown
  // when they come.
  void SetCountSource(std::optional<MorvaCountSource> source) { source_ = std::move(source); }
  // Waits for the counts of the showing in progress (for tests).
  void WaitForCounts();

  // Shows the dialog modally (through CurrentDialogs().Exec(this)) on the
  // window's strings (the typed strings followed by their generated
  // variants, Sources set). OK: returns true, the list as edited. Any other
  // result: every string that has a Source is removed (only the typed
  // strings remain) and it returns false.
  // `boundedTexts`: texts of the strings whose generation the bound stopped
  // (the dialog says so).
  bool Review(cArrowList& strings, const std::vector<std::string>& boundedTexts);

  // True while the list is in ascending order of Key.
  bool Ascending() const { return ascending_; }

  QListView* lstWord;
  MorvaListModel* WordModel;
  QPushButton* btnAdd;
  QPushButton* btnDel;
  QPushButton* btnSort;
  QLabel* Label1;
  QLabel* lblCount;
  QPushButton* btnSave;
  QPushButton* btnAppend;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  // Says which strings' generation the bound stopped; hidden otherwise.
  QLabel* Bounded;
  // "Masquer les variantes absentes": rows counted 0 are hidden.
  QCheckBox* chkHideAbsent;
  // "Tri par &fréquence": the list by number of occurrences, descending.
  QPushButton* btnFreq;
  // "Arrêter" the count; the progress of the count beside it.
  QPushButton* btnStopCount;
  QLabel* lblProgress;

 private:
  void btnAddClick();
  void btnDelClick();
  void btnSortClick();
  void btnSaveClick();
  void btnAppendClick();
  void WriteList(bool append);
  void Refill();
  void SetCount();
  void NameForScreenReaders();
  void BuildWordList();
  void BuildButtons();
  void ConnectButtons();
  void LayOutControls();
  void btnFreqClick();
  void StartCount();
  void StopCount();
  void PollCount();
  void ApplyHiding();

  cArrowList* strings_ = nullptr;
  bool ascending_ = true;

  // The count of the showing: a second thread, its progress and result.
  std::optional<MorvaCountSource> source_;
  std::thread countThread_;
  std::atomic<bool> countStop_{false};
  std::atomic<bool> countDone_{false};
  std::mutex countMutex_;
  size_t countIndex_ = 0, countTotal_ = 0;  // the corpus document being read
  std::unordered_map<std::string, size_t> counted_;  // written by the thread until countDone_
  // The counts of the documents read so far, while the count runs.
  std::unordered_map<std::string, size_t> partial_;
  bool partialFresh_ = false;
  std::unordered_map<std::string, size_t> counts_;   // shown
  QTimer* countTimer_ = nullptr;
};

// The one generated-variants dialog of the process, made on first use.
TfrmMorva& TheMorvaDialog();

}  // namespace kalix::ui
