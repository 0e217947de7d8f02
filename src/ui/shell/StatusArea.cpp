#include "ui/shell/StatusArea.h"

#include <QScrollBar>
#include <QTextCursor>

#include "ui/platform/QtText.h"

namespace pelvaro {

StatusArea::StatusArea(QWidget* window)
    : QObject(window),
      lines_(new QTextEdit(window)),
      progress_(new QProgressBar(window)),
      stop_(new QPushButton(window)) {
  lines_->setObjectName("Picture1");
  lines_->setReadOnly(true);
  // Trace rows are a table: they keep their columns rather than wrap. The
  // rows line up in a proportional font, where a digit is two blanks wide.
  lines_->setLineWrapMode(QTextEdit::NoWrap);
  progress_->setObjectName("ProgressBar1");
  progress_->setVisible(false);
  stop_->setObjectName("Command2");
  stop_->setVisible(false);
}

LinkContext StatusArea::Link(const MainWindowServices& services) {
  return {services.port, services.clock, services.prompter, services.dialogs,
          [this](const std::string& line) { Print(line); }};
}

void StatusArea::Print(const std::string& line, int pointSize) {
  printed_.emplace_back(ToQt(line), pointSize);
  AppendLine(printed_.size() - 1);
}

void StatusArea::AppendLine(std::size_t index) {
  const auto& [text, points] = printed_[index];
  QTextCharFormat format;
  format.setFontPointSize(points * scale_);
  QTextCursor cursor(lines_->document());
  cursor.movePosition(QTextCursor::End);
  // The first line goes into the empty first paragraph, every later one,
  // empty lines included, into a paragraph of its own.
  if (index > 0) cursor.insertBlock();
  cursor.setBlockCharFormat(format);
  cursor.insertText(text, format);
  lines_->setTextCursor(cursor);
  lines_->ensureCursorVisible();
  // The newest line in view, from its start: the scan number comes first.
  lines_->horizontalScrollBar()->setValue(0);
}

void StatusArea::Clear() {
  lines_->clear();
  printed_.clear();
}

void StatusArea::Show() {
  lines_->setVisible(true);
  lines_->setEnabled(true);
  Clear();
}

void StatusArea::Hide() {
  Clear();
  HideLines();
  progress_->setVisible(false);
  stop_->setVisible(false);
  stop_->setEnabled(false);
}

void StatusArea::HideLines() {
  lines_->setVisible(false);
  lines_->setEnabled(false);
}

void StatusArea::OfferStop(const QString& caption) {
  stop_->setText(caption);
  stop_->setVisible(true);
  stop_->setEnabled(true);
}

void StatusArea::Scale(double scale) {
  scale_ = scale;
  lines_->clear();
  for (std::size_t i = 0; i < printed_.size(); ++i) AppendLine(i);
}

}  // namespace pelvaro
