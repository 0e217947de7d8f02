#pragma once

#include <QObject>
#include <QRectF>
#include <QSize>
#include <QWidget>
#include <vector>

namespace pelvaro {

// Keeps every child at the fractions of the window it had when the window was
// built, so a larger window shows larger controls rather than empty space.
class ProportionalResizer : public QObject {
 public:
  // Takes the children's geometry as it stands, relative to the given size.
  ProportionalResizer(QWidget* window, QSize designSize);
  void Add(QWidget* child);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Entry {
    QWidget* widget;
    QRectF fraction;
  };
  void Apply();

  QWidget* window_;
  QSize design_;
  std::vector<Entry> entries_;
};

}  // namespace pelvaro
