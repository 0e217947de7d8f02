#include "ui/graph/GraphOutput.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include "core/export/SeasonExport.h"
#include "ui/chart/GraphChart.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

constexpr double kPrintMargin = 0.05;  // of the page on each side
const QString kSaveFilters =
    "*.bmp Files(*.bmp);;*.png Files(*.png);;*.svg Files(*.svg);;*.pdf Files(*.pdf)";
const QString kCsvFilter = "*.csv Files(*.csv)";

// The folder of this session's last season export.
QString& LastExportFolder() {
  static QString folder;
  return folder;
}

}  // namespace

GraphOutput::GraphOutput(const Files& files, Prompter& prompter, const GraphModel& model,
                         GraphChart& chart, QWidget* window)
    : QObject(window),
      files_(files),
      prompter_(prompter),
      model_(model),
      chart_(chart),
      askSaveName_([window](const QString& start, QString& filter, bool programAsks) {
        const QString offered = filter;
        filter = offered.section(";;", 0, 0);
        return QFileDialog::getSaveFileName(
            window, tr("Save As"), start, offered, &filter,
            programAsks ? QFileDialog::DontConfirmOverwrite : QFileDialog::Options());
      }),
      choosePrinter_(PrintDialogChooser(window)),
      askReportName_(ReportDialogAsker(window)) {}

void GraphOutput::Print() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  // A cancelled print dialog prints nothing and says nothing.
  if (!choosePrinter_(printer)) return;
  PrintTo(printer);
}

bool GraphOutput::PrintTo(QPrinter& printer) {
  // With no printer installed a default printer still says it is valid;
  // only beginning to paint on it tells.
  if (chart_.PaintOn(printer, kPrintMargin)) return true;
  prompter_.Message("An error occurred while printing the graph.", "Printer Not Connected",
                    Buttons::Ok);
  return false;
}

void GraphOutput::SaveAs() {
  QString filter = kSaveFilters;
  QString path = askSaveName_(QString(), filter, false);
  if (path.isEmpty()) return;
  // A name typed without an extension takes the one of the chosen filter.
  const QString wanted = filter.section("(*", 1).chopped(1);
  static const QStringList known = {"bmp", "png", "svg", "pdf"};
  if (!known.contains(QFileInfo(path).suffix().toLower())) path += wanted;
  SavePicture(path);
}

bool GraphOutput::SaveFailed(const QString& why) {
  const std::string description = FromQt(why).value_or(why.toLatin1().toStdString());
  prompter_.Message(
      "An error occurred while saving site data graph.\r\nThe error is " + description, "",
      Buttons::Ok);
  return false;
}

bool GraphOutput::SavePicture(const QString& path) {
  chart_.LayOut();
  const QString format = QFileInfo(path).suffix().toLower();
  // Written beside the target and renamed over it at the end: a failed save
  // leaves an existing picture as it was, never half of a new one.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return SaveFailed(file.errorString());
  if (format == "svg") {
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(chart_.Size());
    svg.setViewBox(QRect(QPoint(0, 0), chart_.Size()));
    svg.setTitle(ToQt(model_.Header()));
    if (!chart_.PaintOn(svg, 0)) return SaveFailed(file.errorString());
  } else if (format == "pdf") {
    QPdfWriter pdf(&file);
    pdf.setPageOrientation(QPageLayout::Landscape);
    pdf.setTitle(ToQt(model_.Header()));
    if (!chart_.PaintOn(pdf, 0)) return SaveFailed(file.errorString());
  } else {
    QImage image(chart_.Size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    chart_.PaintOn(image, 0);
    QImageWriter writer(&file, format == "png" ? "png" : "bmp");
    if (!writer.write(image)) return SaveFailed(writer.errorString());
  }
  if (!file.commit()) return SaveFailed(file.errorString());
  return true;
}

void GraphOutput::ExportSeason() {
  const auto shown = model_.DateTimesBetween(chart_.ShownFrom(), chart_.ShownTo());
  const auto first = shown ? SplitDateTime(shown->first) : std::nullopt;
  const auto last = shown ? SplitDateTime(shown->second) : std::nullopt;
  const QString folder = LastExportFolder().isEmpty() ? DocumentsFolder() : LastExportFolder();
  QString start =
      QDir(folder).filePath(ToQt(SeasonExportName(model_.Identification(), first, last)));
  // Until the person cancels, or agrees to what the export replaces.
  for (;;) {
    QString filter = kCsvFilter;
    const QString chosen = askSaveName_(start, filter, true);
    if (chosen.isEmpty()) return;
    const fs::path target = CsvExportTarget(ToPath(chosen));
    const auto question = ReplaceQuestion(target);
    if (!question || prompter_.Message(ForMessage(*question), kExportTitle, Buttons::YesNoDefaultNo,
                                       Icon::Question) == Answer::Yes) {
      if (WriteExport(shown, target)) LastExportFolder() = QFileInfo(chosen).absolutePath();
      return;
    }
    start = chosen;
  }
}

bool GraphOutput::WriteExport(const std::optional<std::pair<double, double>>& shown,
                              const fs::path& target) {
  SeasonExportRequest request{
      model_.Identification(), model_.DataDirectory(), {}, ExportFormat::Csv};
  if (chart_.ShownFrom() > model_.XMin() || chart_.ShownTo() < model_.XMax()) {
    // A zoom between two scans shows none, and exports none.
    request.range = shown ? ExportRange{SplitDateTime(shown->first), SplitDateTime(shown->second)}
                          : ExportRange{ScanTime{1, 0}, ScanTime{0, 0}};
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const ExportReport report = ExportSeasonCsv(files_, request, target);
  QApplication::restoreOverrideCursor();
  prompter_.Message(ForMessage(report.text), report.title, Buttons::Ok,
                    report.written ? Icon::Information : Icon::Critical);
  return report.written;
}

void GraphOutput::Report() {
  ReportRequest request;
  request.sites = {model_.Identification()};
  request.paper = LocalePaper();
  if (chart_.ShownFrom() > model_.XMin() || chart_.ShownTo() < model_.XMax()) {
    if (const auto shown = model_.DateTimesBetween(chart_.ShownFrom(), chart_.ShownTo())) {
      request.period.from = shown->first;
      request.period.to = shown->second;
    }
  }
  SaveReport(qobject_cast<QWidget*>(parent()), files_, prompter_, askReportName_, request);
}

}  // namespace pelvaro
