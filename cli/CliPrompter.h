#pragma once

#include <iostream>
#include <optional>
#include <string>

#include "core/platform/Prompter.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

// The command line's answers: every message goes to stderr with the window's
// text, in UTF-8; questions take the answer given on the command line.
class CliPrompter : public Prompter {
 public:
  Answer Message(const std::string& text, const std::string& title, Buttons buttons,
                 Icon) override {
    std::cerr << Cp1252ToTerminal(title.empty() ? text : title + ": " + text) << "\n";
    ++messages;
    switch (buttons) {
      case Buttons::YesNo:
      case Buttons::YesNoDefaultNo:
      case Buttons::YesNoCancel:
        return yes ? Answer::Yes : Answer::No;
      case Buttons::RetryCancel:
      case Buttons::OkCancel:
        return Answer::Cancel;
      case Buttons::Ok:
        break;
    }
    return Answer::Ok;
  }

  std::optional<std::string> Input(const std::string& prompt, const std::string& title,
                                   const std::string&) override {
    std::cerr << Cp1252ToTerminal(title.empty() ? prompt : title + ": " + prompt) << "\n";
    if (answer) std::cerr << "  answered " << *answer << "\n";
    return answer;
  }

  bool yes = false;                   // the answer to Yes/No questions
  std::optional<std::string> answer;  // the answer to an input box
  int messages = 0;
};

}  // namespace pelvaro
