#include "core/storage/TextRoutines.h"

#include <cstdint>

#include "core/platform/PathNames.h"
#include "core/storage/RecordFile.h"

namespace pelvaro {

std::string TwoDigitText(int n) {
  std::string text = std::to_string(n);
  return n >= 0 && n < 10 ? "0" + text : text;
}

namespace {
constexpr int kBackspace = 8;
constexpr int kReturn = 13;
}  // namespace

void NumericKeyFilter(int& key) {
  const bool keep = (key >= '0' && key <= '9') || key == '.' || key == kBackspace || key == kReturn;
  if (!keep) key = 0;
}

void LetterKeyFilter(int& key) {
  if (key >= 'a' && key <= 'z') {
    key = key - 'a' + 'A';
    return;
  }
  const bool keep = (key >= 'A' && key <= 'Z') || key == ' ' || key == '&' || key == '(' ||
                    key == '.' || key == kBackspace || key == kReturn;
  if (!keep) key = 0;
}

void ArrowKeyFilter(int& key) {
  if (key != 38 && key != 40) key = 0;
}

bool ContainsLetter(std::string_view text) {
  for (char c : Trim(text)) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  }
  return false;
}

bool IsNonBlank(std::string_view text) { return !Trim(text).empty(); }

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) AppendUtf8(out, Cp1252CodePoint(c));
  return out;
}

bool Utf8ToCp1252(std::string_view utf8, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t cp = 0;
    std::size_t length = 0;
    if (lead < 0x80) {
      cp = lead;
      length = 1;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      length = 2;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      length = 3;
    } else {
      return false;
    }
    if (i + length > utf8.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (next & 0x3F);
    }
    // A character spelt with more bytes than it needs is not UTF-8.
    if ((length == 2 && cp < 0x80) || (length == 3 && cp < 0x800)) return false;
    i += length;
    // The control characters 0x80 to 0x9F are never typed into a file.
    const auto byte = cp >= 0x80 && cp < 0xA0 ? std::nullopt : Cp1252Byte(cp);
    if (!byte) return false;
    out.push_back(static_cast<char>(*byte));
  }
  return true;
}

std::string TypedName(std::string_view typed) {
  std::string bytes;
  return Utf8ToCp1252(typed, bytes) ? bytes : std::string(typed);
}

std::string Cp1252ToTerminal(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (const unsigned char c : bytes) {
    if (c >= 0x80 && c <= 0x9F && Cp1252CodePoint(c) == c) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      AppendUtf8(out, Cp1252CodePoint(c));
    }
  }
  return out;
}

}  // namespace pelvaro
