#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/Prompter.h"

namespace pelvaro::testing {

// Answers from a script and remembers what was shown; unscripted: Ok, or a cancelled input.
class ScriptedPrompter : public Prompter {
 public:
  struct Shown {
    std::string text;
    std::string title;
    Buttons buttons;
    Icon icon;
  };

  Answer Message(const std::string& text, const std::string& title, Buttons buttons,
                 Icon icon) override {
    shown.push_back({text, title, buttons, icon});
    if (!answers.empty()) {
      const Answer a = answers.front();
      answers.pop_front();
      return a;
    }
    if (buttons == Buttons::RetryCancel) return Answer::Retry;
    const bool yesNo = buttons == Buttons::YesNo || buttons == Buttons::YesNoDefaultNo ||
                       buttons == Buttons::YesNoCancel;
    return yesNo ? Answer::Yes : Answer::Ok;
  }

  std::optional<std::string> Input(const std::string& prompt, const std::string& title,
                                   const std::string&) override {
    shown.push_back({prompt, title, Buttons::OkCancel, Icon::None});
    if (inputs.empty()) return std::nullopt;
    auto entry = inputs.front();
    inputs.pop_front();
    return entry;
  }

  std::deque<Answer> answers;
  std::deque<std::optional<std::string>> inputs;
  std::vector<Shown> shown;
};

}  // namespace pelvaro::testing
