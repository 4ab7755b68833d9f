#include "ui/TfrmStart.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QStyle>

namespace kalix::ui {

TfrmStart::TfrmStart(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint) {
  setObjectName("frmStart");
  setWindowTitle("Kalix");
  resize(139, 73);
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setGeometry(8, 20, 32, 32);
  Image1->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(32, 32));
  Label1 = new QLabel("Kalix", this);
  Label1->setObjectName("Label1");
  QFont font = Label1->font();
  font.setBold(true);
  font.setPixelSize(19);
  Label1->setFont(font);
  Label1->setGeometry(48, 22, 85, 28);
}

void TfrmStart::closeEvent(QCloseEvent* event) {
  event->accept();
  emit closed();
}

}  // namespace kalix::ui
