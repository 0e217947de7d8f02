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

}  // namespace pelvaro
