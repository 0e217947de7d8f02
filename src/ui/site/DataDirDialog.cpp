#include "ui/site/DataDirDialog.h"

#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/QtText.h"
#include "ui/platform/ScreenFit.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {

namespace {

const QColor kChosen(0xC0, 0xC0, 0xFF);  // light blue
const QColor kOther(Qt::white);

}  // namespace

DataDirDialog::DataDirDialog(const Files& files, Prompter& prompter, std::vector<std::string> names,
                             std::string current, QWidget* parent)
    : QDialog(parent), prompter_(prompter), choice_(files, std::move(names), std::move(current)) {
  setObjectName("DialogDataDir");
  FitToScreenOnShow(this);
  setWindowTitle(tr("Site Data Directories"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::StyledPanel);
  auto* inFrame = new QVBoxLayout(frame);
  auto* tabs = new QTabBar(frame);
  tabs->addTab(tr("Data Directories"));
  tabs->setFocusPolicy(Qt::NoFocus);  // one tab: nothing to choose there
  inFrame->addWidget(tabs);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  auto* columns = new QHBoxLayout;
  // The labels stand over the option captions' number and name.
  columns->addSpacing(style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                      style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing));
  auto* number = new QLabel(tr("No:"), frame);
  number->setFixedWidth(QFontMetrics(fixed).horizontalAdvance("  1    "));
  columns->addWidget(number);
  columns->addWidget(new QLabel(tr("Name"), frame), 1);
  inFrame->addLayout(columns);
  for (std::size_t i = 0; i < choice_.Options().size(); ++i) {
    auto* option = new QRadioButton(ToQt(choice_.Options()[i].caption), frame);
    option->setObjectName(QString("optDir%1").arg(i + 1));
    option->setFont(fixed);
    option->setAutoFillBackground(true);
    option->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    connect(option, &QRadioButton::clicked, this, [this, i] {
      choice_.Click(static_cast<int>(i));
      Render();
    });
    // The options share a taller dialog, up to twice their own height each.
    option->setMaximumHeight(2 * option->sizeHint().height());
    options_.push_back(option);
    inFrame->addWidget(option, 1);
  }
  inFrame->addStretch();
  layout->addWidget(frame, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* ok = new QPushButton(tr("&OK"), this);
  ok->setObjectName("OKButton");
  auto* cancel = new QPushButton(tr("&Cancel"), this);
  cancel->setObjectName("CancelButton");
  connect(ok, &QPushButton::clicked, this, [this] {
    if (choice_.Ok(prompter_)) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  // Choosing a folder to read is harmless: Enter takes the choice, as OK does.
  SetButtonKeys(this, ok);
  QList<QWidget*> order(options_.begin(), options_.end());
  SetTabOrder(order << ok << cancel);
  Render();
  resize(std::max(320, sizeHint().width()), sizeHint().height());
}

void DataDirDialog::Render() {
  for (std::size_t i = 0; i < options_.size(); ++i) {
    QRadioButton* option = options_[i];
    QPalette palette = option->palette();
    // A button fills its background with its own role's colour, not the window's.
    palette.setColor(option->backgroundRole(), choice_.Options()[i].highlighted ? kChosen : kOther);
    option->setPalette(palette);
    option->setChecked(choice_.Selected() == static_cast<int>(i));
  }
}

}  // namespace pelvaro
