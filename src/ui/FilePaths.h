// File names between Qt's strings and the core's byte strings: the core
// opens files by their names in the system's encoding, the window shows them
// decoded.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <string>

namespace kalix::ui {

inline std::string FileSystemPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

inline QString DisplayPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace kalix::ui
