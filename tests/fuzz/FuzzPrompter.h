#pragma once

#include "core/platform/Prompter.h"

namespace pelvaro::fuzz {

// Answers every question the first way and every input box with "2".
class Prompter : public pelvaro::Prompter {
 public:
  Answer Message(const std::string&, const std::string&, Buttons buttons, Icon) override {
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
  }
  std::optional<std::string> Input(const std::string&, const std::string&,
                                   const std::string&) override {
    return "2";
  }
};

}  // namespace pelvaro::fuzz
