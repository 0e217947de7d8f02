#pragma once

#include <QFile>
#include <QString>
#include <filesystem>
#include <optional>
#include <string>

#include "core/storage/TextRoutines.h"

namespace pelvaro {

// The core keeps text as Windows-1252 bytes; the windows convert at their edge.
inline QString ToQt(const std::string& bytes) {
  return QString::fromStdString(Cp1252ToUtf8(bytes));
}

// A path a person chose or Qt gave: the system's own encoding of file names.
inline std::filesystem::path ToPath(const QString& path) {
#ifdef Q_OS_WIN
  return std::filesystem::path(path.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// A path as Qt takes it: the reverse of ToPath.
inline QString QtPath(const std::filesystem::path& path) {
#ifdef Q_OS_WIN
  return QString::fromStdWString(path.native());
#else
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

// Nothing when the text holds a character the code page cannot store.
inline std::optional<std::string> FromQt(const QString& text) {
  std::string bytes;
  if (!Utf8ToCp1252(text.toStdString(), bytes)) return std::nullopt;
  return bytes;
}

// Text for a message box, which takes Windows-1252 like the core: a path
// or name with a character the code page lacks stays in UTF-8.
inline std::string ForMessage(const std::string& utf8) {
  return FromQt(QString::fromUtf8(utf8)).value_or(utf8);
}

}  // namespace pelvaro
