#include "ui/graph/GraphWindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLegend>
#include <QPainter>
#include <QPdfWriter>
#include <QProgressDialog>
#include <QResizeEvent>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtMath>

#include "core/export/SeasonExport.h"
#include "core/graph/Decimation.h"
#include "ui/graph/GraphChartView.h"
#include "ui/platform/QtText.h"
#include "ui/site/DataDirDialog.h"

namespace pelvaro {

namespace {

const QSize kDesign(1000, 680);
// Room for the plot beside its axes and legend when the window is shrunk.
const QSize kChartMinimum(400, 300);
constexpr int kChartWidest = 700;
constexpr int kChartFrame = 60;  // the chart's rounded background, its layout and the view's frame
const QColor kHighlight(255, 255, 128);
const QColor kHeaderColour(0xD4, 0xD0, 0xC8);  // a grey row looks like the headings
const QColor kProjectionColour(120, 0, 180);
const std::array<QColor, kGraphSeries> kColours = {
    QColor(220, 20, 20), QColor(0, 150, 0),   QColor(20, 60, 220), QColor(200, 0, 200),
    QColor(240, 130, 0), QColor(0, 150, 150), QColor(140, 70, 20), QColor(120, 120, 0),
    QColor(90, 90, 90),  QColor(0, 0, 120),   QColor(160, 80, 0)};
constexpr const char* kDepthBoxNames[kDepthBoxes] = {
    "chkTen",   "chkTwnty", "chkThrty", "chkForty", "chkFifty",  "chkSixty",
    "chkSvnty", "chkEghty", "chkNinty", "chkHndrd", "chkHndTen", "chkHndTwnty"};
constexpr int kReadoutSeries = 5;  // the readout looks at series 0 to 4
constexpr double kHitPixels = 4;
constexpr int kBeeps = 20;
constexpr int kTicksPerPixel = 60;
constexpr double kPrintMargin = 0.05;  // of the page on each side
constexpr int kCellPadding = 10;
const QString kSaveFilters =
    "*.bmp Files(*.bmp);;*.png Files(*.png);;*.svg Files(*.svg);;*.pdf Files(*.pdf)";
const QString kCsvFilter = "*.csv Files(*.csv)";

int KeyCode(const QKeyEvent* event) {
  if (event->key() == Qt::Key_Backspace) return 8;
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return 13;
  const QString text = event->text();
  // Tab, arrows and the like move between cells and controls.
  if (text.size() != 1 || text[0].unicode() < 0x20 || text[0].unicode() > 0x7E) return -1;
  return text[0].unicode();
}

}  // namespace

GraphWindow::GraphWindow(const Files& files, Prompter& prompter, bool afterDownload,
                         QWidget* parent)
    : QDialog(parent),
      files_(files),
      model_(files, prompter),
      prompter_(prompter),
      afterDownload_(afterDownload),
      askSaveName_([this](QString& filter) {
        const QString offered = filter;
        filter = offered.section(";;", 0, 0);
        return QFileDialog::getSaveFileName(this, tr("Save As"), QString(), offered, &filter);
      }),
      beep_([] { QApplication::beep(); }),
      choosePrinter_(PrintDialogChooser(this)) {
  setObjectName("TVMKGRAPH1");
  setWindowTitle(tr("Site Data Graph"));
  setModal(true);
  Build();
  Load();
}

QChart* GraphWindow::Chart() const { return view_->chart(); }

void GraphWindow::Build() {
  auto* chart = new QChart;
  chart->setTitleFont(QFont("Times New Roman", 12));
  chart->legend()->setAlignment(Qt::AlignRight);
  bottom_ = new QCategoryAxis(chart);
  bottom_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  left_ = new QValueAxis(chart);
  chart->addAxis(bottom_, Qt::AlignBottom);
  chart->addAxis(left_, Qt::AlignLeft);
  for (int i = 0; i < kGraphSeries; ++i) {
    auto* series = new QLineSeries(chart);
    // Dashed limit lines never pass for a depth.
    const bool limit = i >= kFieldCapacitySeries;
    series->setPen(
        QPen(kColours[static_cast<std::size_t>(i)], 2, limit ? Qt::DashLine : Qt::SolidLine));
    chart->addSeries(series);
    series->attachAxis(bottom_);
    series->attachAxis(left_);
    series->setVisible(false);
    series_[static_cast<std::size_t>(i)] = series;
  }
  // The forecast is dashed like the limit lines it runs down to, in a colour
  // of its own.
  projection_ = new QLineSeries(chart);
  projection_->setName(tr("Forecast"));
  projection_->setPen(QPen(kProjectionColour, 2, Qt::DashLine));
  chart->addSeries(projection_);
  projection_->attachAxis(bottom_);
  projection_->attachAxis(left_);
  projection_->setVisible(false);
  view_ = new GraphChartView(chart, this);
  view_->setMinimumSize(kChartMinimum);
  connect(view_, &GraphChartView::PointerMoved, this, &GraphWindow::Readout);
  connect(view_, &GraphChartView::Pressed, this, [this](QPointF at) {
    if (!limits_->isChecked() || !HitTest(at, kGraphSeries)) return;
    for (int k = 0; k < kBeeps; ++k) beep_();
  });
  connect(bottom_, &QValueAxis::rangeChanged, this, &GraphWindow::Refill);
  // A zoom or a resize moves the points: a readout left where one was would
  // name a value that is no longer there.
  connect(bottom_, &QValueAxis::rangeChanged, view_, &GraphChartView::ClearReadout);
  connect(left_, &QValueAxis::rangeChanged, view_, &GraphChartView::ClearReadout);
  connect(chart, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
    view_->ClearReadout();
    if (qRound(area.width()) != refilledWidth_) Refill();
  });

  outlookLine_ = new QLabel(this);
  outlookLine_->setObjectName("lblOutlook");
  outlookLine_->setTextFormat(Qt::PlainText);
  outlookLine_->setWordWrap(true);
  auto* chartColumn = new QVBoxLayout;
  chartColumn->addWidget(view_, 1);
  chartColumn->addWidget(outlookLine_);
  auto* top = new QHBoxLayout;
  top->addLayout(chartColumn, 1);
  top->addWidget(BuildSideControls());
  // LabelLine runs across the whole window, whatever its width.
  auto* line = new QFrame(this);
  line->setObjectName("LabelLine");
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  auto* hint = new QLabel(
      tr("Drag over the chart to zoom in, turn the wheel to zoom; Reset Zoom shows it all."), this);
  hint->setWordWrap(true);
  auto* outer = new QVBoxLayout(this);
  outer->addLayout(top, 1);
  outer->addWidget(line);
  outer->addWidget(hint);
  DisarmDefaultButtons(this);
  resize(kDesign.expandedTo(minimumSizeHint()));
}

QPushButton* GraphWindow::AddButton(const char* name, const QString& caption,
                                    void (GraphWindow::*clicked)()) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(name);
  connect(button, &QPushButton::clicked, this, clicked);
  return button;
}

QWidget* GraphWindow::BuildSideControls() {
  auto* panel = new QWidget(this);
  auto* side = new QVBoxLayout(panel);
  side->setContentsMargins(0, 0, 0, 0);
  depthsLabel_ = new QLabel(panel);
  depthsLabel_->setObjectName("lblDepths");
  side->addWidget(depthsLabel_);
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
  }
  side->addLayout(boxes);
  sum_ = new QCheckBox(tr("Sum Depths"), panel);
  sum_->setObjectName("chkSumDpth");
  connect(sum_, &QCheckBox::clicked, this, [this](bool checked) {
    model_.SetSum(checked);
    ShowDrawing();
  });
  side->addWidget(sum_);
  limits_ = new QCheckBox(panel);
  limits_->setObjectName("chkFC_RFON");
  // The column is as wide as the longest caption the box can take.
  limits_->setText(tr(kLimitCaptionBase) + tr(" at 120 cm"));
  limits_->setMinimumWidth(limits_->sizeHint().width());
  limits_->setText(tr(kLimitCaptionBase));
  connect(limits_, &QCheckBox::clicked, this, [this](bool checked) {
    model_.SetLimitLines(checked);
    ShowDrawing();
  });
  side->addWidget(limits_);

  grid_ = new QTableWidget(0, CalibrationTable::kColumns, panel);
  grid_->setObjectName("FgCalOnOff");
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->verticalHeader()->setVisible(false);
  grid_->verticalHeader()->setDefaultSectionSize(22);
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  QFont small = grid_->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  grid_->setFont(small);
  grid_->horizontalHeader()->setFont(small);
  grid_->setVisible(false);
  grid_->installEventFilter(this);
  connect(grid_, &QTableWidget::cellClicked, this, [this] { model_.Table().EnterCell(); });
  connect(grid_, &QTableWidget::currentCellChanged, this, [this] { model_.Table().EnterCell(); });
  side->addWidget(grid_);
  side->addStretch(1);

  side->addWidget(AddButton("cmdZoomReset", tr("Reset Zoom"), &GraphWindow::ResetZoom));
  side->addWidget(new QLabel(tr("Data Directory"), panel));
  dataDir_ = new QLineEdit(panel);
  dataDir_->setObjectName("txtDataDir");
  dataDir_->setReadOnly(true);
  side->addWidget(dataDir_);
  side->addWidget(
      AddButton("cmdChangeDataDir", tr("Change Data Directory"), &GraphWindow::ChangeDataDir));
  auto* printSave = new QHBoxLayout;
  printSave->addWidget(AddButton("ButtonPrint", tr("Print"), &GraphWindow::Print));
  printSave->addWidget(AddButton("ButtonSaveAs", tr("Save As"), &GraphWindow::SaveAs));
  printSave->addWidget(
      AddButton("cmdExportSeason", tr("Export Season..."), &GraphWindow::ExportSeason));
  side->addLayout(printSave);
  side->addWidget(AddButton("cmdExit", tr("Exit"), &GraphWindow::reject));
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
  for (int s = 1; s <= kDepthBoxes; ++s) {
    if (!model_.Box(s).highlighted) continue;
    QCheckBox* box = depthBoxes_[static_cast<std::size_t>(s - 1)];
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, kHighlight);
    box->setPalette(palette);
    box->setAutoFillBackground(true);
  }
  SetUpGrid();
  ShowDrawing();
}

int GraphWindow::exec() { return loaded_ ? QDialog::exec() : QDialog::Rejected; }

void GraphWindow::setVisible(bool visible) { QDialog::setVisible(visible && loaded_); }

void GraphWindow::SetUpGrid() {
  grid_->setVisible(true);
  QStringList headings;
  for (int c = 0; c < CalibrationTable::kColumns; ++c) headings << tr(CalibrationTable::Heading(c));
  grid_->setHorizontalHeaderLabels(headings);
  grid_->setRowCount(static_cast<int>(model_.Table().Rows().size()));
  for (int r = 0; r < grid_->rowCount(); ++r) {
    for (int c = 0; c < CalibrationTable::kColumns; ++c) grid_->setItem(r, c, new QTableWidgetItem);
  }
  RenderGrid();
}

void GraphWindow::RenderGrid() {
  const auto& rows = model_.Table().Rows();
  for (int r = 0; r < grid_->rowCount() && r < static_cast<int>(rows.size()); ++r) {
    const CalibrationTable::Row& row = rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < CalibrationTable::kColumns; ++c) {
      QTableWidgetItem* item = grid_->item(r, c);
      item->setText(ToQt(row.cells[static_cast<std::size_t>(c)]));
      const bool grey = c == CalibrationTable::kDepth || row.disabled;
      item->setBackground(grey ? kHeaderColour : QColor(Qt::white));
    }
  }
  FitGrid();
}

void GraphWindow::FitGrid() {
  const QFontMetrics cells(grid_->font());
  const QFontMetrics headings(grid_->horizontalHeader()->font());
  std::array<int, CalibrationTable::kColumns> needed{};
  int total = 0;
  int twips = 0;
  for (int c = 0; c < CalibrationTable::kColumns; ++c) {
    int width = headings.horizontalAdvance(tr(CalibrationTable::Heading(c)));
    for (int r = 0; r < grid_->rowCount(); ++r) {
      width = std::max(width, cells.horizontalAdvance(grid_->item(r, c)->text()));
    }
    needed[static_cast<std::size_t>(c)] = width + kCellPadding;
    total += width + kCellPadding;
    twips += CalibrationTable::WidthTwips(c);
  }
  const int frame = 2 * grid_->frameWidth();
  grid_->setMinimumWidth(total + frame);
  grid_->setFixedHeight(grid_->horizontalHeader()->sizeHint().height() +
                        grid_->rowCount() * grid_->verticalHeader()->defaultSectionSize() + frame);
  // Every row is in view, so no scroll bar takes from the width.
  const int extra = std::max(0, grid_->width() - frame - total);
  int given = 0;
  for (int c = 0; c < CalibrationTable::kColumns; ++c) {
    // The last column takes what rounding left over, so the grid ends flush.
    const int share = c + 1 == CalibrationTable::kColumns
                          ? extra - given
                          : extra * CalibrationTable::WidthTwips(c) / twips;
    given += share;
    grid_->setColumnWidth(c, needed[static_cast<std::size_t>(c)] + share);
  }
}

void GraphWindow::ShowDrawing() {
  QChart* chart = Chart();
  // Rich text collapses runs of spaces; the second line keeps its own.
  const QString subtitle = ToQt(model_.Subtitle()).toHtmlEscaped().replace(' ', "&nbsp;");
  chart->setTitle(QString("<p align=center><b>%1</b><br>%2</p>")
                      .arg(ToQt(model_.Header()).toHtmlEscaped(), subtitle));
  // Shrinking the window never cuts the titles short, unless a site's long
  // name would make the window wider than a small screen.
  QTextDocument title;
  title.setDefaultFont(chart->titleFont());
  title.setHtml(chart->title());
  const QMargins margins = chart->margins();
  const int titleWidth = qCeil(title.idealWidth()) + margins.left() + margins.right() + kChartFrame;
  view_->setMinimumWidth(std::clamp(titleWidth, kChartMinimum.width(), kChartWidest));
  left_->setTitleText(ToQt(model_.LeftTitle()));
  left_->setTickType(QValueAxis::TicksDynamic);
  left_->setTickAnchor(0);
  left_->setTickInterval(NiceStep((model_.AxisMax() - model_.AxisMin()) / 8));
  left_->setLabelFormat("%g");
  bottom_->setTitleText(ToQt(model_.BottomTitle()));
  for (int i = 0; i < kGraphSeries; ++i) {
    const GraphSeries& s = model_.Series(i);
    QLineSeries* series = series_[static_cast<std::size_t>(i)];
    series->setName(ToQt(s.title));
    // An active series without points would be an empty entry in the legend.
    series->setVisible(s.active && (!s.y.empty() || (s.level && model_.Scans() > 0)));
  }
  outlookLine_->setText(ToQt(OutlookLine(model_.Outlook())));
  projection_->setVisible(model_.Projection().has_value());
  view_->ClearReadout();
  RenderControls();
  ResetZoom();
}

void GraphWindow::RenderControls() {
  for (int s = 1; s <= kDepthBoxes; ++s) {
    QCheckBox* box = depthBoxes_[static_cast<std::size_t>(s - 1)];
    box->setEnabled(model_.Box(s).enabled);
    box->setChecked(model_.Box(s).checked);
  }
  sum_->setEnabled(model_.SumEnabled());
  sum_->setChecked(model_.SumChecked());
  limits_->setEnabled(model_.LimitEnabled());
  limits_->setChecked(model_.LimitChecked());
  limits_->setText(ToQt(model_.LimitCaption()));
  dataDir_->setText(ToQt(model_.DataDirectory()));
  RenderGrid();
}

void GraphWindow::ResetZoom() {
  double from = model_.XMin();
  double to = model_.XEnd();
  if (to <= from) {
    // One scan: room on both sides of its single point.
    from -= 1;
    to += 1;
  }
  refilling_ = true;
  Chart()->zoomReset();  // forgets the zoom steps a right click would go back through
  left_->setRange(model_.AxisMin(), model_.AxisMax());
  bottom_->setRange(from, to);
  refilling_ = false;
  Refill();
}

void GraphWindow::Refill() {
  if (refilling_) return;
  refilling_ = true;
  const QRectF area = Chart()->plotArea();
  // Until the chart is laid out on screen its plot area means nothing; the
  // view's width is close to what the plot will be.
  const int width = view_->isVisible() ? qRound(area.width()) : view_->width();
  refilledWidth_ = qRound(area.width());
  const double from = bottom_->min();
  const double to = bottom_->max();
  const auto x = model_.X();
  // The limit lines run on to the forecast's end.
  const double end = model_.XEnd();
  for (int i = 0; i < kGraphSeries; ++i) {
    const GraphSeries& s = model_.Series(i);
    QList<QPointF> points;
    if (!s.y.empty()) {
      for (const PlotPoint& p : Decimate(x, s.y, from, to, width)) points.append({p.x, p.y});
    } else if (s.level && !x.empty()) {
      points = {{model_.XMin(), *s.level}};
      if (end > model_.XMin()) points.append({end, *s.level});
    }
    QLineSeries* series = series_[static_cast<std::size_t>(i)];
    series->replace(points);
    // A line needs two points: the single scan of a new site shows as a dot.
    series->setPointsVisible(points.size() == 1);
  }
  QList<QPointF> forecast;
  if (const auto p = model_.Projection()) {
    forecast = {{p->fromDateTime, p->fromValue}, {p->toDateTime, p->toValue}};
  }
  projection_->replace(forecast);
  SetBottomLabels(from, to);
  refilling_ = false;
}

void GraphWindow::SetBottomLabels(double from, double to) {
  const int plotWidth = std::max(refilledWidth_, view_->width() / 2);
  const auto ticks = AxisTicks(model_.Mode(), from, to, std::max(2, plotWidth / kTicksPerPixel));
  for (const QString& label : bottom_->categoriesLabels()) bottom_->remove(label);
  bottom_->setStartValue(from);
  QString seen;
  for (const AxisTick& tick : ticks) {
    // The axis wants distinct labels; a date repeats a year later, so an
    // invisible zero-width space tells the two apart.
    QString label = ToQt(tick.label);
    while (bottom_->categoriesLabels().contains(label)) label += QChar(0x200B);
    bottom_->append(label, tick.x);
  }
}

std::optional<QPointF> GraphWindow::HitTest(QPointF at, int seriesCount) const {
  for (int i = 0; i < seriesCount; ++i) {
    QLineSeries* series = series_[static_cast<std::size_t>(i)];
    if (!series->isVisible()) continue;
    for (const QPointF& p : series->points()) {
      const QPointF position = Chart()->mapToPosition(p, series);
      if (std::abs(position.x() - at.x()) <= kHitPixels &&
          std::abs(position.y() - at.y()) <= kHitPixels) {
        return p;
      }
    }
  }
  return std::nullopt;
}

void GraphWindow::Readout(QPointF at) {
  if (const auto p = HitTest(at, kReadoutSeries)) {
    const QPointF position = Chart()->mapToPosition(*p);
    view_->ShowReadout(position, ToQt(pelvaro::ReadoutText(model_.Mode(), p->x(), p->y())));
  } else {
    view_->ClearReadout();
  }
}

QString GraphWindow::ReadoutText() const { return view_->Readout(); }

bool GraphWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_ && event->type() == QEvent::Resize) FitGrid();
  if (watched != grid_ || event->type() != QEvent::KeyPress) {
    return QDialog::eventFilter(watched, event);
  }
  const int code = KeyCode(static_cast<QKeyEvent*>(event));
  if (code < 0) return false;
  const int row = grid_->currentRow();
  const int column = grid_->currentColumn();
  if (model_.TypeInTable(row, column, code)) {
    ShowDrawing();
  } else {
    RenderGrid();
  }
  return true;
}

void GraphWindow::reject() {
  // A save refused by its checks keeps the window open with the typed values;
  // one that reloaded a header changed under it, with what it now holds.
  if (loaded_ && model_.Table().Changed()) {
    switch (model_.SaveTable()) {
      case CalibrationTable::SaveResult::Refused:
        return;
      case CalibrationTable::SaveResult::Reloaded:
        ShowDrawing();
        return;
      default:
        break;
    }
  }
  QDialog::reject();
}

void GraphWindow::ChangeDataDir() {
  DataDirDialog dialog(files_, prompter_, model_.DirectoryNames(), model_.DataDirectory(), this);
  if (dialog.exec() != QDialog::Accepted || !dialog.DirectoryChosen()) return;
  model_.ChooseDirectory(dialog.CurrentDirectory());
  ShowDrawing();
}

void GraphWindow::LayOutChart() {
  if (view_->testAttribute(Qt::WA_PendingResizeEvent)) {
    QResizeEvent resize(view_->size(), QSize());
    QCoreApplication::sendEvent(view_, &resize);
    view_->setAttribute(Qt::WA_PendingResizeEvent, false);
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  QCoreApplication::sendPostedEvents();
}

void GraphWindow::Print() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  // A cancelled print dialog prints nothing and says nothing.
  if (!choosePrinter_(printer)) return;
  PrintTo(printer);
}

bool GraphWindow::PrintTo(QPrinter& printer) {
  // With no printer installed a default printer still says it is valid;
  // only beginning to paint on it tells.
  if (PaintOn(printer, kPrintMargin)) return true;
  prompter_.Message("An error occurred while printing the graph.", "Printer Not Connected",
                    Buttons::Ok);
  return false;
}

bool GraphWindow::PaintOn(QPaintDevice& device, double margin) {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  LayOutChart();
  const QRectF page = painter.viewport();
  const QRectF target = page.adjusted(page.width() * margin, page.height() * margin,
                                      -page.width() * margin, -page.height() * margin);
  view_->PaintChart(painter, target);
  return painter.end();
}

void GraphWindow::SaveAs() {
  QString filter = kSaveFilters;
  QString path = askSaveName_(filter);
  if (path.isEmpty()) return;
  // A name typed without an extension takes the one of the chosen filter.
  const QString wanted = filter.section("(*", 1).chopped(1);
  static const QStringList known = {"bmp", "png", "svg", "pdf"};
  if (!known.contains(QFileInfo(path).suffix().toLower())) path += wanted;
  SavePicture(path);
}

bool GraphWindow::SaveFailed(const QString& why) {
  const std::string description = FromQt(why).value_or(why.toLatin1().toStdString());
  prompter_.Message(
      "An error occurred while saving site data graph.\r\nThe error is " + description, "",
      Buttons::Ok);
  return false;
}

bool GraphWindow::SavePicture(const QString& path) {
  LayOutChart();
  const QString format = QFileInfo(path).suffix().toLower();
  // Written beside the target and renamed over it at the end: a failed save
  // leaves an existing picture as it was, never half of a new one.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return SaveFailed(file.errorString());
  if (format == "svg") {
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(view_->size());
    svg.setViewBox(QRect(QPoint(0, 0), view_->size()));
    svg.setTitle(ToQt(model_.Header()));
    if (!PaintOn(svg, 0)) return SaveFailed(file.errorString());
  } else if (format == "pdf") {
    QPdfWriter pdf(&file);
    pdf.setPageOrientation(QPageLayout::Landscape);
    pdf.setTitle(ToQt(model_.Header()));
    if (!PaintOn(pdf, 0)) return SaveFailed(file.errorString());
  } else {
    QImage image(view_->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    PaintOn(image, 0);
    QImageWriter writer(&file, format == "png" ? "png" : "bmp");
    if (!writer.write(image)) return SaveFailed(writer.errorString());
  }
  if (!file.commit()) return SaveFailed(file.errorString());
  return true;
}

void GraphWindow::ExportSeason() {
  QString filter = kCsvFilter;
  QString path = askSaveName_(filter);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().toLower() != "csv") path += ".csv";
  SeasonExportRequest request{
      model_.Identification(), model_.DataDirectory(), {}, ExportFormat::Csv};
  const bool zoomed = bottom_->min() > model_.XMin() || bottom_->max() < model_.XMax();
  if (zoomed) {
    // A zoom between two scans shows none, and exports none.
    const auto shown = model_.DateTimesBetween(bottom_->min(), bottom_->max());
    request.range = shown ? ExportRange{SplitDateTime(shown->first), SplitDateTime(shown->second)}
                          : ExportRange{ScanTime{1, 0}, ScanTime{0, 0}};
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::string why;
  try {
    pelvaro::ExportSeason(files_, request, ToPath(path));
  } catch (const std::exception& e) {
    // The message names the site in Windows-1252 or the file in UTF-8.
    why = FromQt(QString::fromUtf8(e.what())).value_or(e.what());
  }
  QApplication::restoreOverrideCursor();
  if (!why.empty()) {
    prompter_.Message("An error occurred while exporting the season.\r\nThe error is " + why, "",
                      Buttons::Ok);
  }
}

}  // namespace pelvaro
