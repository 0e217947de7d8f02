#pragma once

#include <optional>
#include <string>

namespace pelvaro {

// YesNoDefaultNo is a question whose Yes cannot be undone (a deletion): Enter
// or a stray keypress answers No.
enum class Buttons { Ok, OkCancel, YesNo, YesNoDefaultNo, YesNoCancel, RetryCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Answer { Ok, Cancel, Yes, No, Retry };

// Every message box and input box goes through here, so that the rules that
// decide on the answer stay in the core and a test never blocks on a dialog.
// Texts are single-byte Windows-1252; an empty title means the program's own.
class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual Answer Message(const std::string& text, const std::string& title = {},
                         Buttons buttons = Buttons::Ok, Icon icon = Icon::None) = 0;
  // Returns nothing when the user cancels.
  virtual std::optional<std::string> Input(const std::string& prompt, const std::string& title,
                                           const std::string& initial = {}) = 0;
};

}  // namespace pelvaro
