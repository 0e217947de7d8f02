// What a person does to the main window and its dialogs, as Qt events sent to
// the widget they touch.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
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

// A key pressed while the window is the active one, on whatever has the focus
// (window shortcuts such as F12 and Esc only fire then).
inline void PressKey(QWidget* window, Qt::Key key, QWidget* focus = nullptr) {
  QApplication::setActiveWindow(window);
  if (focus != nullptr) focus->setFocus();
  QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window;
  QTest::keyClick(target, key);
}

// Acts on the modal dialog the next step opens, once it is up; the step then
// goes on with what the person chose there.
template <typename Dialog>
void WhenDialogOpens(std::function<void(Dialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(*dialog);
  });
}

// Every control stays whole: inside the window and no smaller than it asks to
// be; every cell's and list row's text fits; a grid of a few fixed rows shows
// them all, and a long one or a list shows several.
inline void ExpectNothingClipped(QWidget& window) {
  QCoreApplication::sendPostedEvents();
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                         qobject_cast<QLabel*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
                         qobject_cast<QTabBar*>(w);
    if (auto* list = qobject_cast<QListWidget*>(w)) {
      for (int r = 0; r < list->count(); ++r) {
        const QRect row = list->visualItemRect(list->item(r));
        const std::string text = list->item(r)->text().toStdString();
        EXPECT_GE(row.width(), list->fontMetrics().horizontalAdvance(list->item(r)->text()))
            << text;
        EXPECT_TRUE(r >= 8 || list->viewport()->rect().contains(row)) << text;
      }
    }
    auto* grid = qobject_cast<QTableWidget*>(w);
    if (!control && grid == nullptr) continue;
    const std::string name = (w->metaObject()->className() + (" " + w->objectName())).toStdString();
    EXPECT_TRUE(window.rect().contains(QRect(w->mapTo(&window, QPoint(0, 0)), w->size()))) << name;
    if (control) {
      EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name;
      EXPECT_GE(w->height(), w->minimumSizeHint().height()) << name;
    }
    if (grid == nullptr) continue;
    EXPECT_LE(grid->horizontalHeader()->length(), grid->viewport()->width()) << name;
    if (grid->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff) {
      EXPECT_LE(grid->verticalHeader()->length(), grid->viewport()->height()) << name;
    } else if (grid->rowCount() > 0) {
      EXPECT_GE(grid->viewport()->height(), 8 * grid->rowHeight(0)) << name;
    }
    for (int r = 0; r < grid->rowCount(); ++r) {
      for (int c = 0; c < grid->columnCount(); ++c) {
        const QTableWidgetItem* item = grid->item(r, c);
        if (item == nullptr) continue;
        EXPECT_LE(grid->fontMetrics().horizontalAdvance(item->text()), grid->columnWidth(c))
            << name << " " << item->text().toStdString();
      }
    }
  }
}

}  // namespace pelvaro::testing
