// What a person does to the main window and its dialogs, as Qt events sent to
// the widget they touch.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
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

}  // namespace pelvaro::testing
