#include "ui/site/DataDirDialog.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include "ui/platform/QtText.h"

namespace pelvaro {

DataDirDialog::DataDirDialog(const Files& files, Prompter& prompter, std::vector<std::string> names,
                             std::string current, QWidget* parent)
    : QDialog(parent), prompter_(prompter), choice_(files, std::move(names), std::move(current)) {
  setObjectName("DialogDataDir");
  setWindowTitle(tr("Site Data Directories"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* tabs = new QTabBar(this);
  tabs->addTab(tr("Data Directories"));
  layout->addWidget(tabs);
  auto* columns = new QHBoxLayout;
  columns->addWidget(new QLabel(tr("No:"), this));
  columns->addWidget(new QLabel(tr("Name"), this), 1);
  layout->addLayout(columns);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (std::size_t i = 0; i < choice_.Options().size(); ++i) {
    auto* option = new QRadioButton(ToQt(choice_.Options()[i].caption), this);
    option->setObjectName(QString("optDir%1").arg(i + 1));
    option->setFont(fixed);
    option->setAutoFillBackground(true);
    connect(option, &QRadioButton::clicked, this, [this, i] {
      choice_.Click(static_cast<int>(i));
      Render();
    });
    options_.push_back(option);
    layout->addWidget(option);
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* ok = new QPushButton(tr("OK"), this);
  ok->setObjectName("OKButton");
  auto* cancel = new QPushButton(tr("Cancel"), this);
  cancel->setObjectName("CancelButton");
  connect(ok, &QPushButton::clicked, this, [this] {
    if (choice_.Ok(prompter_)) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  Render();
}

void DataDirDialog::Render() {
  for (std::size_t i = 0; i < options_.size(); ++i) {
    const bool on = choice_.Options()[i].highlighted;
    QPalette palette = options_[i]->palette();
    palette.setColor(QPalette::Window, on ? QColor(0xC0, 0xC0, 0xFF) : QColor(Qt::white));
    options_[i]->setPalette(palette);
    options_[i]->setChecked(choice_.Selected() == static_cast<int>(i));
  }
}

}  // namespace pelvaro
