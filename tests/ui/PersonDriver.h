// What a person does to the main window and its dialogs, as Qt events sent to
// the widget they touch.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>

namespace pelvaro::testing {

template <typename T>
T* Child(const QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// A click at the row as it is drawn: on the current row it changes nothing
// but is a click all the same.
inline void ClickRow(QListWidget* list, int row) {
  ASSERT_LT(row, list->count());
  const QPoint at = list->visualItemRect(list->item(row)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
}

// A double click as a mouse sends it: a click, then the second press that
// is the double click, and its release.
inline void DoubleClick(QWidget* widget, QPoint at) {
  QTest::mouseClick(widget, Qt::LeftButton, {}, at);
  QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

// A key pressed while the window is the active one, on whatever has the focus
// (window shortcuts such as F12 and Esc only fire then).
inline void PressKey(QWidget* window, Qt::Key key, QWidget* focus = nullptr) {
  QApplication::setActiveWindow(window);
  if (focus != nullptr) focus->setFocus();
  QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window;
  QTest::keyClick(target, key);
}

// Acts on the modal dialog the next step opens, once it is up; the step then
// goes on with what the person chose there. A window that loads before it
// opens is waited for, a few hundred turns of the event loop at most.
template <typename Dialog>
void WhenDialogOpens(std::function<void(Dialog&)> act, int turns = 500) {
  QTimer::singleShot(0, [act, turns] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr && turns > 0) return WhenDialogOpens(act, turns - 1);
    ASSERT_NE(dialog, nullptr);
    act(*dialog);
  });
}

// The pixels of a colour in a picture, or, with a distance (the sum of the
// channels' differences), near it, as antialiasing leaves a line.
inline int PixelsNear(const QImage& image, QColor colour, int distance = 0) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      count += std::abs(p.red() - colour.red()) + std::abs(p.green() - colour.green()) +
                   std::abs(p.blue() - colour.blue()) <=
               distance;
    }
  }
  return count;
}

// Every control the window shows lies inside it, clear of its neighbours, and
// at least as large as its text needs.
inline void ExpectNothingClipped(const QWidget& window) {
  const QRect inside = window.rect();
  QList<QWidget*> shown;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window) || w->inherits("QScrollBar") || w->inherits("QTextEdit") ||
        w->parentWidget()->inherits("QAbstractScrollArea")) {
      continue;
    }
    const QRect at(w->mapTo(&window, QPoint(0, 0)), w->size());
    EXPECT_TRUE(inside.contains(at)) << w->objectName().toStdString() << " at window size "
                                     << window.width() << "x" << window.height();
    if (w->inherits("QAbstractButton") || w->inherits("QLabel") || w->inherits("QGroupBox")) {
      EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
      const int height =
          w->hasHeightForWidth() ? w->heightForWidth(w->width()) : w->minimumSizeHint().height();
      EXPECT_GE(w->height(), height) << w->objectName().toStdString();
      shown.append(w);
    } else if (w->inherits("QAbstractScrollArea") || w->inherits("QProgressBar")) {
      shown.append(w);
    }
  }
  for (QWidget* a : shown) {
    for (QWidget* b : shown) {
      if (a == b || a->parentWidget() != b->parentWidget()) continue;
      EXPECT_FALSE(a->geometry().intersects(b->geometry()))
          << a->objectName().toStdString() << " over " << b->objectName().toStdString();
    }
  }
}

}  // namespace pelvaro::testing
