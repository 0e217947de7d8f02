#include "core/platform/PathNames.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace pelvaro {

namespace {

// Code points of the bytes 0x80 to 0x9F; 0 marks the five unassigned bytes.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

#ifdef _WIN32
std::wstring Widened(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// UTF-16 to the code page; a character without a byte gives `missing`, or
// nothing when `missing` is 0.
std::optional<std::string> Narrowed(const std::wstring& wide, char missing) {
  std::string bytes;
  bytes.reserve(wide.size());
  for (const wchar_t c : wide) {
    // A surrogate is half of a character the code page does not have.
    const auto byte = c >= 0xD800 && c <= 0xDFFF ? std::nullopt : Cp1252Byte(c);
    if (!byte && missing == 0) return std::nullopt;
    bytes.push_back(byte ? static_cast<char>(*byte) : missing);
  }
  return bytes;
}
#endif

}  // namespace

char32_t Cp1252CodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] != 0) return kHigh[byte - 0x80];
  return byte;
}

std::optional<unsigned char> Cp1252Byte(char32_t codePoint) {
  if (codePoint <= 0xFF && Cp1252CodePoint(static_cast<unsigned char>(codePoint)) == codePoint) {
    return static_cast<unsigned char>(codePoint);
  }
  for (std::size_t k = 0; k < kHigh.size(); ++k) {
    if (kHigh[k] == codePoint) return static_cast<unsigned char>(0x80 + k);
  }
  return std::nullopt;
}

namespace {
// The capitals in 0x80-0x9F whose small forms also lie there or at 0xFF.
constexpr std::array<std::pair<unsigned char, unsigned char>, 4> kHighPairs{
    {{0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}}};
}  // namespace

char Cp1252Upper(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 'a' && byte <= 'z') return static_cast<char>(byte - 0x20);
  // à-þ lie 0x20 above À-Þ; ÷ (0xF7) is no letter and ß (0xDF) has no capital.
  if (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7) return static_cast<char>(byte - 0x20);
  for (const auto& [upper, lower] : kHighPairs) {
    if (byte == lower) return static_cast<char>(upper);
  }
  return c;
}

char Cp1252Lower(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 'A' && byte <= 'Z') return static_cast<char>(byte + 0x20);
  if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) return static_cast<char>(byte + 0x20);
  for (const auto& [upper, lower] : kHighPairs) {
    if (byte == upper) return static_cast<char>(lower);
  }
  return c;
}

#ifdef _WIN32

fs::path NamePath(std::string_view name) {
  std::wstring wide;
  wide.reserve(name.size());
  for (const unsigned char c : name) wide.push_back(static_cast<wchar_t>(Cp1252CodePoint(c)));
  return fs::path(wide);
}

std::optional<std::string> PathName(const fs::path& path) {
  return Narrowed(path.filename().native(), 0);
}

std::string PathText(const fs::path& path) { return *Narrowed(path.native(), '?'); }

std::optional<fs::path> EnvironmentPath(const char* variable) {
  const wchar_t* value = _wgetenv(Widened(variable).c_str());
  if (value == nullptr) return std::nullopt;
  return fs::path(value);
}

std::FILE* OpenFile(const fs::path& path, const char* mode) {
  return _wfopen(path.c_str(), Widened(mode).c_str());
}

#else

fs::path NamePath(std::string_view name) { return fs::path(std::string(name)); }

std::optional<std::string> PathName(const fs::path& path) { return path.filename().string(); }

std::string PathText(const fs::path& path) { return path.string(); }

std::optional<fs::path> EnvironmentPath(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr) return std::nullopt;
  return fs::path(value);
}

std::FILE* OpenFile(const fs::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

#endif

}  // namespace pelvaro
