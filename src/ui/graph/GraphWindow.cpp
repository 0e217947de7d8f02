#include "ui/graph/GraphWindow.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QProgressDialog>
#include <QVBoxLayout>

#include "ui/chart/GraphChart.h"
#include "ui/chart/GraphChartView.h"
#include "ui/graph/CalibrationTableGrid.h"
#include "ui/graph/EventsGrid.h"
#include "ui/platform/DataWatcher.h"
#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/QtText.h"
#include "ui/platform/ScreenFit.h"
#include "ui/site/DataDirDialog.h"

namespace pelvaro {

namespace {

const QSize kDesign(1090, 760);
const QColor kHighlight(255, 255, 128);
constexpr const char* kDepthBoxNames[kDepthBoxes] = {
    "chkTen",   "chkTwnty", "chkThrty", "chkForty", "chkFifty",  "chkSixty",
    "chkSvnty", "chkEghty", "chkNinty", "chkHndrd", "chkHndTen", "chkHndTwnty"};
constexpr int kBeeps = 20;

}  // namespace

GraphWindow::GraphWindow(const Files& files, Prompter& prompter, bool afterDownload,
                         QWidget* parent)
    : QDialog(parent),
      files_(files),
      model_(files, prompter),
      eventsPass_(files),
      prompter_(prompter),
      afterDownload_(afterDownload),
      beep_([] { QApplication::beep(); }) {
  setObjectName("TVMKGRAPH1");
  FitToScreenOnShow(this);
  setWindowTitle(tr("Site Data Graph"));
  setModal(true);
  model_.SetScanSink(&eventsPass_);
  Build();
  Load();
}

QChart* GraphWindow::Chart() const { return chart_->Chart(); }
QLineSeries* GraphWindow::SeriesAt(int index) const { return chart_->SeriesAt(index); }
QLineSeries* GraphWindow::Projection() const { return chart_->Projection(); }
QString GraphWindow::ReadoutText() const { return chart_->ReadoutText(); }

void GraphWindow::SetReportNameAsker(ReportNameAsker asker) {
  output_->SetReportNameAsker(std::move(asker));
}

void GraphWindow::SetSaveNameAsker(GraphOutput::SaveNameAsker asker) {
  output_->SetSaveNameAsker(std::move(asker));
}

void GraphWindow::SetPrinterChooser(PrinterChooser chooser) {
  output_->SetPrinterChooser(std::move(chooser));
}

void GraphWindow::Follow(DataWatcher& watcher) {
  watcher.Follow(this, [this] {
    if (loaded_ && model_.RedrawIfGraphFileChanged()) ShowDrawing();
    return true;
  });
}

void GraphWindow::Build() {
  // Made before the chart: on a low screen the list gives up rows before
  // the chart gives up height.
  auto* eventsPanel = new QWidget(this);
  chart_ = new GraphChart(model_, this);
  // A click on a limit line is answered by the beeps.
  connect(chart_->View(), &GraphChartView::Pressed, this, [this](QPointF at) {
    if (!limitLinesBox_->isChecked() || !chart_->Hits(at)) return;
    for (int k = 0; k < kBeeps; ++k) beep_();
  });
  output_ = new GraphOutput(files_, prompter_, model_, *chart_, this);
  // The chart answers the mouse only; Tab passes it by.
  chart_->View()->setFocusPolicy(Qt::NoFocus);

  outlookLine_ = new QLabel(this);
  outlookLine_->setObjectName("lblOutlook");
  outlookLine_->setTextFormat(Qt::PlainText);
  outlookLine_->setWordWrap(true);
  auto* chartColumn = new QVBoxLayout;
  chartColumn->addWidget(chart_->View(), 1);
  chartColumn->addWidget(outlookLine_);
  auto* top = new QHBoxLayout;
  top->addLayout(chartColumn, 1);
  top->addWidget(BuildSideControls());
  // The line runs across the whole window, whatever its width.
  auto* line = new QFrame(this);
  line->setObjectName("LabelLine");
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  auto* hint = new QLabel(
      tr("Drag over the chart to zoom in, turn the wheel to zoom; Reset Zoom shows it all."), this);
  hint->setWordWrap(true);
  auto* outer = new QVBoxLayout(this);
  // The chart takes most of what a larger window gains; the list shows more rows.
  outer->addLayout(top, 3);
  outer->addWidget(BuildEvents(eventsPanel), 1);
  outer->addWidget(line);
  outer->addWidget(hint);
  SetButtonKeys(this);
  SetTabOrder(tabStops_);
  resize(kDesign.expandedTo(minimumSizeHint()));
}

QPushButton* GraphWindow::AddButton(const char* name, const QString& caption,
                                    std::function<void()> clicked) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(name);
  connect(button, &QPushButton::clicked, this, std::move(clicked));
  tabStops_.append(button);
  return button;
}

QWidget* GraphWindow::BuildSideControls() {
  auto* panel = new QWidget(this);
  // The choices scroll on a screen too small for them; the buttons stay below.
  auto* choices = new QWidget(panel);
  auto* column = new QVBoxLayout(choices);
  column->setContentsMargins(0, 0, 0, 0);
  depthsLabel_ = new QLabel(choices);
  depthsLabel_->setObjectName("lblDepths");
  column->addWidget(depthsLabel_);
  column->addLayout(BuildOptionBoxes(choices));
  grid_ = new CalibrationTableGrid(
      model_, [this] { ShowDrawing(); }, choices);
  column->addWidget(grid_->Widget());
  tabStops_.append(grid_->Widget());
  column->addStretch(1);
  auto* side = new QVBoxLayout(panel);
  side->setContentsMargins(0, 0, 0, 0);
  side->addWidget(new ScrollingContent(choices, panel), 1);
  side->addLayout(BuildButtons(panel));
  return panel;
}

QLayout* GraphWindow::BuildOptionBoxes(QWidget* panel) {
  auto* options = new QVBoxLayout;
  auto* boxes = new QGridLayout;
  boxes->setVerticalSpacing(2);
  for (int s = 1; s <= kDepthBoxes; ++s) {
    auto* box = new QCheckBox(QString::number(10 * s), panel);
    box->setObjectName(kDepthBoxNames[s - 1]);
    box->setEnabled(false);
    connect(box, &QCheckBox::clicked, this, [this, s](bool checked) {
      model_.ClickDepth(s, checked);
      ShowDrawing();
    });
    boxes->addWidget(box, (s - 1) / 2, (s - 1) % 2);
    depthBoxes_[static_cast<std::size_t>(s - 1)] = box;
    tabStops_.append(box);
  }
  options->addLayout(boxes);
  sumBox_ = new QCheckBox(tr("Sum Depths"), panel);
  sumBox_->setObjectName("chkSumDpth");
  connect(sumBox_, &QCheckBox::clicked, this, [this](bool checked) {
    model_.SetSum(checked);
    ShowDrawing();
  });
  options->addWidget(sumBox_);
  limitLinesBox_ = new QCheckBox(panel);
  limitLinesBox_->setObjectName("chkFC_RFON");
  // The column is as wide as the longest caption the box can take.
  limitLinesBox_->setText(tr(kLimitCaptionBase) + tr(" at 120 cm"));
  limitLinesBox_->setMinimumWidth(limitLinesBox_->sizeHint().width());
  limitLinesBox_->setText(tr(kLimitCaptionBase));
  connect(limitLinesBox_, &QCheckBox::clicked, this, [this](bool checked) {
    model_.SetLimitLines(checked);
    ShowDrawing();
  });
  options->addWidget(limitLinesBox_);
  tabStops_.append(sumBox_);
  tabStops_.append(limitLinesBox_);
  return options;
}

QLayout* GraphWindow::BuildButtons(QWidget* panel) {
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(AddButton("cmdZoomReset", tr("&Reset Zoom"), [this] { chart_->ResetZoom(); }));
  buttons->addWidget(new QLabel(tr("Data Directory"), panel));
  dataDirectoryField_ = new QLineEdit(panel);
  dataDirectoryField_->setObjectName("txtDataDir");
  dataDirectoryField_->setReadOnly(true);
  tabStops_.append(dataDirectoryField_);
  buttons->addWidget(dataDirectoryField_);
  buttons->addWidget(
      AddButton("cmdChangeDataDir", tr("C&hange Data Directory"), [this] { ChangeDataDir(); }));
  auto* printSave = new QHBoxLayout;
  printSave->addWidget(AddButton("ButtonPrint", tr("&Print"), [this] { output_->Print(); }));
  printSave->addWidget(AddButton("ButtonSaveAs", tr("&Save As"), [this] { output_->SaveAs(); }));
  printSave->addWidget(
      AddButton("cmdExportSeason", tr("&Export Season..."), [this] { output_->ExportSeason(); }));
  buttons->addLayout(printSave);
  auto* reportExit = new QHBoxLayout;
  reportExit->addWidget(AddButton("cmdReport", tr("Rep&ort..."), [this] { output_->Report(); }));
  reportExit->addWidget(AddButton("cmdExit", tr("E&xit"), [this] { reject(); }));
  buttons->addLayout(reportExit);
  return buttons;
}

QWidget* GraphWindow::BuildEvents(QWidget* panel) {
  auto* caption = new QLabel(tr("Events"), panel);
  caption->setObjectName("lblEvents");
  eventsGrid_ = new EventsGrid(events_, panel);
  caption->setBuddy(eventsGrid_->Widget());
  tabStops_.append(eventsGrid_->Widget());
  connect(eventsGrid_, &EventsGrid::Edited, this, [this] {
    chart_->ShowEvents(events_.List().events);  // a band takes its kind's colour
    saveLabels_->setEnabled(events_.Changed());
  });
  connect(eventsGrid_, &EventsGrid::EventChosen, this, [this](std::size_t index) {
    chart_->ZoomToEvent(events_.List().events.at(index).event);
  });
  saveLabels_ = AddButton("cmdSaveLabels", tr("Save &Labels"), [this] { SaveLabels(); });
  saveLabels_->setEnabled(false);
  auto* head = new QHBoxLayout;
  head->addWidget(caption);
  head->addStretch(1);
  head->addWidget(saveLabels_);
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(0, 0, 0, 0);
  column->addLayout(head);
  column->addWidget(eventsGrid_->Widget(), 1);
  return panel;
}

void GraphWindow::Load() {
  // The progress dialog belongs to the first drawing only.
  QProgressDialog progress(tr("Reading the graph file..."), QString(), 0, 100, this);
  progress.setObjectName("DialogProgressBar");
  progress.setMinimumDuration(0);
  progress.show();
  const auto step = [&progress](int percent) {
    progress.setValue(percent);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  const GraphModel::LoadResult result = model_.Load(step);
  progress.close();
  loaded_ = result == GraphModel::LoadResult::Drawn;
  if (!loaded_) return;
  depthsLabel_->setText(tr("Measured Depths in cm"));
  setWindowTitle(tr("Site Data Graph"));
  HighlightMeasuredDepths();
  grid_->SetUp();
  ShowDrawing();
}

void GraphWindow::HighlightMeasuredDepths() {
  for (int s = 1; s <= kDepthBoxes; ++s) {
    if (!model_.Box(s).highlighted) continue;
    QCheckBox* box = depthBoxes_[static_cast<std::size_t>(s - 1)];
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, kHighlight);
    box->setPalette(palette);
    box->setAutoFillBackground(true);
  }
}

int GraphWindow::exec() { return loaded_ ? QDialog::exec() : QDialog::Rejected; }

void GraphWindow::setVisible(bool visible) { QDialog::setVisible(visible && loaded_); }

void GraphWindow::ShowDrawing() {
  TakeEvents();
  chart_->Show();
  outlookLine_->setText(ToQt(OutlookLine(model_.Outlook())));
  RenderControls();
  chart_->ResetZoom();
}

void GraphWindow::RenderControls() {
  for (int s = 1; s <= kDepthBoxes; ++s) {
    QCheckBox* box = depthBoxes_[static_cast<std::size_t>(s - 1)];
    box->setEnabled(model_.Box(s).enabled);
    box->setChecked(model_.Box(s).checked);
  }
  sumBox_->setEnabled(model_.SumEnabled());
  sumBox_->setChecked(model_.SumChecked());
  limitLinesBox_->setEnabled(model_.LimitEnabled());
  limitLinesBox_->setChecked(model_.LimitChecked());
  limitLinesBox_->setText(ToQt(model_.LimitCaption()));
  dataDirectoryField_->setText(ToQt(model_.DataDirectory()));
  grid_->Render();
}

void GraphWindow::TakeEvents() {
  if (model_.OutlookReads() == eventsRead_) return;
  eventsRead_ = model_.OutlookReads();
  // A pass that failed saw only some of the scans: its events are none.
  std::optional<std::vector<WettingEvent>> found;
  if (model_.Outlook().error.empty()) found = eventsPass_.Finish();
  events_.Load(std::move(found), eventsPass_.LabelsPath());
  ShowEventList();
  const std::string& error = events_.LabelsError();
  if (!error.empty() && error != toldLabelsError_) {
    prompter_.Message(
        "The event labels cannot be read: the events show as unknown and no label can be "
        "saved.\r\nThe error is " +
            error,
        "Event Labels", Buttons::Ok, Icon::Exclamation);
  }
  toldLabelsError_ = error;
}

void GraphWindow::ShowEventList() {
  eventsGrid_->Render();
  chart_->ShowEvents(events_.List().events);
  saveLabels_->setEnabled(events_.Changed());
}

void GraphWindow::SaveLabels() {
  if (events_.Save(files_, prompter_, false) == EventTable::SaveResult::Reloaded) {
    ShowEventList();
  }
  saveLabels_->setEnabled(events_.Changed());
}

void GraphWindow::reject() {
  // A save refused by its checks keeps the window open with what was typed;
  // one that reloaded a file changed under it, with what it now holds.
  const auto staysOpen = [this](auto result) {
    using Result = decltype(result);
    if (result == Result::Reloaded) {
      ShowDrawing();
      ShowEventList();
    }
    return result == Result::Refused || result == Result::Reloaded;
  };
  if (loaded_ && model_.Table().Changed() && staysOpen(model_.SaveTable())) return;
  if (loaded_ && events_.Changed() && staysOpen(events_.Save(files_, prompter_, true))) return;
  QDialog::reject();
}

void GraphWindow::ChangeDataDir() {
  DataDirDialog dialog(files_, prompter_, model_.DirectoryNames(), model_.DataDirectory(), this);
  if (dialog.exec() != QDialog::Accepted || !dialog.DirectoryChosen()) return;
  model_.ChooseDirectory(dialog.CurrentDirectory());
  ShowDrawing();
}

}  // namespace pelvaro
