#pragma once

#include <QPointer>
#include <QWidget>

#include "core/platform/Prompter.h"

namespace pelvaro {

// Message boxes and input boxes over the window that owns the operation.
class QtPrompter : public Prompter {
 public:
  explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  Answer Message(const std::string& text, const std::string& title, Buttons buttons,
                 Icon icon) override;
  std::optional<std::string> Input(const std::string& prompt, const std::string& title,
                                   const std::string& initial) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace pelvaro
