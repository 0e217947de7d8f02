#pragma once

#include <QObject>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QTextEdit>
#include <string>
#include <utility>
#include <vector>

#include "core/link/LinkDialogs.h"
#include "ui/shell/MainWindowServices.h"

namespace pelvaro {

// Where a logger operation of the main window shows how it goes: the lines
// it prints, a progress bar, and the button that ends it. All three stay
// hidden while the menu shows.
class StatusArea : public QObject {
  Q_OBJECT

 public:
  // The three widgets, children of the window that lays them out.
  explicit StatusArea(QWidget* window);

  QTextEdit* Lines() const { return lines_; }
  QProgressBar* Progress() const { return progress_; }
  QPushButton* StopButton() const { return stop_; }

  // An exchange with the logger whose status lines show here.
  LinkContext Link(const MainWindowServices& services);
  // One line, in the given point size.
  void Print(const std::string& line, int pointSize = 8);
  void Clear();
  // The lines show, empty, where the menu was.
  void Show();
  // The lines, the progress bar and the stop button go.
  void Hide();
  // The lines go (the menu shows in their place); the rest stays as it is.
  void HideLines();
  // The stop button shows, with this caption, and can be pressed.
  void OfferStop(const QString& caption);
  // The lines at this multiple of their point sizes.
  void Scale(double scale);

 private:
  void AppendLine(std::size_t index);

  QTextEdit* lines_;
  QProgressBar* progress_;
  QPushButton* stop_;
  // The lines printed since the area was cleared, with their point sizes.
  std::vector<std::pair<QString, int>> printed_;
  double scale_ = 1.0;
};

}  // namespace pelvaro
