#pragma once

#include <QString>
#include <optional>
#include <string>

#include "core/storage/TextRoutines.h"

namespace pelvaro {

// The core keeps text as Windows-1252 bytes; the windows convert at their edge.
inline QString ToQt(const std::string& bytes) {
  return QString::fromStdString(Cp1252ToUtf8(bytes));
}

// Nothing when the text holds a character the code page cannot store.
inline std::optional<std::string> FromQt(const QString& text) {
  std::string bytes;
  if (!Utf8ToCp1252(text.toStdString(), bytes)) return std::nullopt;
  return bytes;
}

}  // namespace pelvaro
