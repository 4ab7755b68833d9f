#include "ui/DocumentView.h"

#include "platform/Cp1252.h"

namespace kalix::ui {

QString ViewTextOf(std::string_view text) {
  QString s = FromCp1252(text);
  for (QChar& ch : s) {
    if (ch == QChar('\r')) ch = QChar('\n');
  }
  return s;
}

}  // namespace kalix::ui
