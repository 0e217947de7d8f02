#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pelvaro {

namespace fs = std::filesystem;

// Windows-1252, the code page of every text the program's files hold. The
// five bytes the code page leaves unassigned stand for the control
// characters of the same number, as Windows maps them.
char32_t Cp1252CodePoint(unsigned char byte);
std::optional<unsigned char> Cp1252Byte(char32_t codePoint);
// A letter's capital and small form in the code page, as Windows forms them:
// every letter with a partner in the code page has it (ü and Ü, œ and Œ, ÿ
// and Ÿ); ß, µ and what is not a letter stay as they are.
char Cp1252Upper(char c);
char Cp1252Lower(char c);

// The one conversion between a name as the files store it (Windows-1252
// bytes: a site identification, a data directory, a block stem) and the path
// of the file it names. On Windows the bytes are decoded into the system's
// UTF-16 names; elsewhere the bytes are the name, as they always were, so a
// working root made by an earlier version keeps its file names.
fs::path NamePath(std::string_view name);
// The name of a path's last component as the files store it; nothing when it
// holds a character the code page has no byte for.
std::optional<std::string> PathName(const fs::path& path);
// A whole path in the same code page, for messages: a character it cannot
// hold shows as '?'.
std::string PathText(const fs::path& path);

// The value of an environment variable that names a folder (USERPROFILE,
// ProgramFiles), as a path; nothing when it is not set.
std::optional<fs::path> EnvironmentPath(const char* variable);

// Opens a file with an fopen mode ("rb", "r+b", "w+b"), whatever the
// characters of its path.
std::FILE* OpenFile(const fs::path& path, const char* mode);

}  // namespace pelvaro
