#pragma once

#include <QScrollArea>

namespace pelvaro {

// Keeps a window on the screen it opens on, each time it is shown: a window
// larger than the screen's free area (the task bar left out, room kept for the
// title bar) opens smaller, and one placed partly off it moves onto it. When
// even its smallest size is too large, its scrolling content gives up the
// difference, so the buttons outside that content stay on the screen. On a
// screen with room for the window, nothing changes.
void FitToScreenOnShow(QWidget* window);

// A widget whose smallest size gives way when its window does not fit the
// screen; the fit takes the difference from each such widget in turn.
class Squeezable {
 public:
  virtual ~Squeezable() = default;
  // Takes up to `wanted` off the smallest size; returns what it took.
  virtual QSize Squeeze(QSize wanted) = 0;
};

// Content that scrolls only when the screen is too small for it: otherwise it
// asks for, and is laid out with, the room the content itself asks for.
class ScrollingContent : public QScrollArea, public Squeezable {
 public:
  ScrollingContent(QWidget* content, QWidget* parent);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  // The content still shows a few lines.
  QSize Squeeze(QSize wanted) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QSize Least() const;

  QSize squeezed_;
};

}  // namespace pelvaro
