#include "ui/TfrmInfo.h"

#include "ui/RtfDocument.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

namespace kalix::ui {

TfrmInfo::TfrmInfo(QWidget* parent) : QDialog(parent) {
  setObjectName("frmInfo");
  setWindowTitle("Kalix");
  resize(582, 382);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  reInfo = new QTextEdit(this);
  reInfo->setObjectName("reInfo");
  reInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  reInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reInfo->setMinimumSize(200, 120);
  layout->addWidget(reInfo, 1);
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  layout->addWidget(OKBtn, 0, Qt::AlignHCenter);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
}

bool TfrmInfo::LoadFile(const std::string& path) {
  QTextDocument* document = reInfo->document();
  if (!LoadDisplayFile(path, *document)) return false;
  reInfo->moveCursor(QTextCursor::Start);
  return true;
}

}  // namespace kalix::ui
