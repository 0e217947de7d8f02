#pragma once

#include <string>
#include <string_view>

namespace pelvaro {

// n in decimal, with a "0" in front when below 10 (5 -> "05", 2010 -> "2010").
std::string TwoDigitText(int n);

// Key filters of the input fields: a refused key becomes 0 (discarded).
void NumericKeyFilter(int& key);
void LetterKeyFilter(int& key);
void ArrowKeyFilter(int& key);

bool ContainsLetter(std::string_view text);
bool IsNonBlank(std::string_view text);

// Windows-1252 bytes to UTF-8 and back; characters outside the code page give
// nothing, so they are refused where they are typed.
std::string Cp1252ToUtf8(std::string_view bytes);
bool Utf8ToCp1252(std::string_view utf8, std::string& out);

// A name typed on a command line, which speaks UTF-8, in the code page of the
// stored names; text that is not UTF-8, or holds a character the code page
// lacks, stays as typed, since older scripts pass the code page's bytes.
std::string TypedName(std::string_view typed);
// Text for a UTF-8 terminal: as Cp1252ToUtf8, except that the five bytes the
// code page leaves unassigned show as "\x81" and the like, never as the
// control characters a terminal would act on.
std::string Cp1252ToTerminal(std::string_view bytes);

}  // namespace pelvaro
