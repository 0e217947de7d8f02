// What a person does to the windows, as Qt events sent to the widget they touch.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>

#include "core/platform/Files.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"
#include "ui/platform/DataWatcher.h"

// Qt's strings as text in failure messages (found by argument lookup, so outside our namespace).
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace pelvaro::testing {

// A window's test: a working root of its own and a prompter that records every message.
class WindowTest : public ::testing::Test {
 protected:
  TempRoot root;
  Files files{root.Path()};
  ScriptedPrompter prompter;
};

template <typename T>
T* Child(const QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// The last message shown, as "title: text".
inline std::string LastMessage(const ScriptedPrompter& prompter) {
  return prompter.shown.empty() ? ""
                                : prompter.shown.back().title + ": " + prompter.shown.back().text;
}

// The titles of every message shown, each followed by "|".
inline std::string Titles(const ScriptedPrompter& prompter) {
  std::string titles;
  for (const auto& message : prompter.shown) titles += message.title + "|";
  return titles;
}

// A button's caption as a person reads it: without the "&" that marks its Alt key.
inline QString Caption(const QAbstractButton* button) {
  return QString(button->text()).replace("&&", "\x01").remove('&').replace("\x01", "&");
}

// A left click, in the middle unless told where.
inline void Click(QWidget* widget, QPoint at = {}) {
  QTest::mouseClick(widget, Qt::LeftButton, {}, at);
}

// A click where a person sees the cell.
inline void ClickCell(QTableView* grid, int row, int column) {
  Click(grid->viewport(), grid->visualRect(grid->model()->index(row, column)).center());
}

// Keys go where the focus is, as a keyboard's do; a window that closed has none.
inline void Type(const QString& keys) {
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  QTest::keyClicks(QApplication::focusWidget(), keys);
}
inline void Press(Qt::Key key) {
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  QTest::keyClick(QApplication::focusWidget(), key);
}

// Leaves a window by "title bar", "Esc X"/"Enter X" (that key on child X) or a button's name.
inline void Act(QWidget& window, const std::string& way) {
  if (way == "title bar") {
    window.close();
  } else if (const auto space = way.find(' '); space != std::string::npos) {
    QWidget* focus = Child<QWidget>(window, way.substr(space + 1).c_str());
    focus->setFocus();
    QTest::keyClick(focus, way.starts_with("Esc") ? Qt::Key_Escape : Qt::Key_Return);
  } else {
    Click(Child<QAbstractButton>(window, way.c_str()));
  }
}

// A click at the row as drawn: on the current row it changes nothing but is still a click.
inline void ClickRow(QListWidget* list, int row) {
  ASSERT_LT(row, list->count());
  Click(list->viewport(), list->visualItemRect(list->item(row)).center());
}

// A double click as a mouse sends it: a click, the second press, and its release.
inline void DoubleClick(QWidget* widget, QPoint at) {
  QTest::mouseClick(widget, Qt::LeftButton, {}, at);
  QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
  QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

// A double click where a person sees the cell.
inline void DoubleClickCell(QTableView* grid, int row, int column) {
  DoubleClick(grid->viewport(), grid->visualRect(grid->model()->index(row, column)).center());
}

// A key on the focus of the active window (shortcuts such as F12 and Esc only fire then).
inline void PressKey(QWidget* window, Qt::Key key, QWidget* focus = nullptr,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QApplication::setActiveWindow(window);
  if (focus != nullptr) focus->setFocus();
  QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window;
  QTest::keyClick(target, key, modifiers);
}

// Acts on the modal dialog the next step opens, waiting a few hundred event-loop turns at most.
template <typename Dialog>
void WhenDialogOpens(std::function<void(Dialog&)> act, int turns = 500) {
  QTimer::singleShot(0, [act, turns] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr && turns > 0) return WhenDialogOpens(act, turns - 1);
    ASSERT_NE(dialog, nullptr);
    act(*dialog);
  });
}

// Another program's writes reach the windows: the file events come in and
// the burst counts as settled at once. False when no change was told.
[[nodiscard]] inline bool ChangesLetIn(DataWatcher& watcher) {
  watcher.SetSettleTime(0);
  QSignalSpy told(&watcher, &DataWatcher::dataChanged);
  return told.wait(5000);
}

// Pixels of a colour, or within a sum of channel differences of it, as antialiasing leaves.
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

// Every control inside the window, unoverlapped, its text fitting; grids show their columns.
inline void ExpectNothingClipped(QWidget& window, bool gridsScroll = false) {
  QCoreApplication::sendPostedEvents();
  const std::string size = std::to_string(window.width()) + "x" + std::to_string(window.height());
  QList<QWidget*> shown;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window) || w->inherits("QScrollBar") || w->inherits("QTextEdit") ||
        w->parentWidget()->inherits("QAbstractScrollArea") ||
        w->parentWidget()->inherits("QAbstractSpinBox")) {
      continue;
    }
    const std::string name =
        (w->metaObject()->className() + (" " + w->objectName())).toStdString() + " at " + size;
    EXPECT_TRUE(window.rect().contains(QRect(w->mapTo(&window, QPoint(0, 0)), w->size()))) << name;
    if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
        qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) ||
        qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QTabBar*>(w) ||
        w->inherits("QGroupBox")) {
      EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name;
      const int height =
          w->hasHeightForWidth() ? w->heightForWidth(w->width()) : w->minimumSizeHint().height();
      EXPECT_GE(w->height(), height) << name;
      if (!qobject_cast<QTabBar*>(w)) shown.append(w);
    } else if (w->inherits("QAbstractScrollArea") || w->inherits("QProgressBar")) {
      shown.append(w);
    }
    if (auto* list = qobject_cast<QListWidget*>(w)) {
      for (int r = 0; r < list->count(); ++r) {
        const QRect row = list->visualItemRect(list->item(r));
        const std::string text = list->item(r)->text().toStdString();
        EXPECT_GE(row.width(), list->fontMetrics().horizontalAdvance(list->item(r)->text()))
            << text;
        EXPECT_TRUE(r >= 8 || list->viewport()->rect().contains(row)) << text;
      }
    }
    auto* grid = qobject_cast<QTableView*>(w);
    if (grid == nullptr) continue;
    const QAbstractItemModel* cells = grid->model();
    const int rows = cells->rowCount();
    if (!gridsScroll) {
      EXPECT_LE(grid->horizontalHeader()->length(), grid->viewport()->width()) << name;
      if (grid->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff) {
        EXPECT_LE(grid->verticalHeader()->length(), grid->viewport()->height()) << name;
      } else if (rows > 0) {
        EXPECT_GE(grid->viewport()->height(), std::min(rows, 8) * grid->rowHeight(0)) << name;
      }
    }
    // Every heading shown, and every cell's text, fits its column.
    const QFontMetrics headings(grid->horizontalHeader()->font());
    for (int c = 0; c < cells->columnCount(); ++c) {
      const QString heading = cells->headerData(c, Qt::Horizontal).toString();
      if (!heading.isEmpty() && !grid->horizontalHeader()->isHidden()) {
        EXPECT_GE(grid->columnWidth(c), headings.horizontalAdvance(heading))
            << name << " column " << c;
      }
      for (int r = 0; r < rows; ++r) {
        const QString text = cells->index(r, c).data().toString();
        EXPECT_LE(grid->fontMetrics().horizontalAdvance(text), grid->columnWidth(c))
            << name << " " << text.toStdString();
      }
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

enum Size { kDefault, kLarge, kSmallest };

// Default, large and smallest size: nothing clipped, and `also` checks what each must show.
inline void AtEverySize(QWidget& window, const std::function<void(Size)>& also = {},
                        bool gridsScroll = false) {
  const QSize sizes[] = {window.size(), QSize(1600, 1000), QSize(1, 1)};
  for (const Size size : {kDefault, kLarge, kSmallest}) {
    SCOPED_TRACE(size == kDefault ? "default size" : size == kLarge ? "large" : "smallest");
    window.resize(sizes[size]);
    QApplication::processEvents();
    EXPECT_TRUE(size != kSmallest || window.size() == window.minimumSize());
    ExpectNothingClipped(window, gridsScroll);
    if (also) also(size);
  }
}

}  // namespace pelvaro::testing
