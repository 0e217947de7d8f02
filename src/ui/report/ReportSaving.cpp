#include "ui/report/ReportSaving.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <optional>

#include "ui/platform/QtText.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {
namespace {

std::string ReplaceText(const QString& name) {
  return ForMessage(QDir::toNativeSeparators(name).toStdString()) +
         "\r\nalready exists.\r\n\r\nDo you want to replace it?";
}

std::string ResultText(const ReportResult& result, const QString& name) {
  std::string text =
      "The report was written to\r\n" + ForMessage(QDir::toNativeSeparators(name).toStdString());
  for (const auto& [site, why] : result.unread) text += "\r\n\r\n" + site + ": " + why;
  return text;
}

}  // namespace

ReportNameAsker ReportDialogAsker(QWidget* window) {
  return [window](const QString& start) {
    return QFileDialog::getSaveFileName(window, QObject::tr("Report"), start,
                                        QObject::tr("PDF (*.pdf)"), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  };
}

QString ReportOfferedName(const ReportRequest& request) {
  if (request.sites.size() == 1) return ToQt(request.sites.front()) + "_report.pdf";
  return "sites_report.pdf";
}

bool SaveReport(QWidget* window, const Files& files, Prompter& prompter,
                const ReportNameAsker& askName, const ReportRequest& request) {
  QString start = QDir(DocumentsFolder()).filePath(ReportOfferedName(request));
  QString name;
  // Until the person cancels, or agrees to what the report replaces.
  for (;;) {
    const QString chosen = askName(start);
    if (chosen.isEmpty()) return false;
    name = ReportFileName(chosen);
    if (!QFileInfo::exists(name) ||
        prompter.Message(ReplaceText(name), kReportTitle, Buttons::YesNoDefaultNo,
                         Icon::Question) == Answer::Yes) {
      break;
    }
    start = chosen;
  }
  std::optional<QProgressDialog> bar;
  if (request.sites.size() > 1) {
    bar.emplace(QObject::tr("Writing the report..."), QObject::tr("Cancel"), 0,
                static_cast<int>(request.sites.size()), window);
    bar->setObjectName("ReportProgress");
    bar->setWindowTitle(QObject::tr(kReportTitle));
    bar->setWindowModality(Qt::WindowModal);
    bar->setMinimumDuration(0);
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const ReportResult result =
      WriteReport(files, request, ToPath(name), [&bar](int done, int total) {
        if (!bar) return true;
        bar->setMaximum(total);
        bar->setValue(done);
        QApplication::processEvents();
        return !bar->wasCanceled();
      });
  QApplication::restoreOverrideCursor();
  bar.reset();
  switch (result.outcome) {
    case ReportResult::Outcome::Written:
      prompter.Message(ResultText(result, name), kReportTitle, Buttons::Ok, Icon::Information);
      return true;
    case ReportResult::Outcome::Failed:
      prompter.Message(result.error, kReportTitle, Buttons::Ok, Icon::Critical);
      return false;
    case ReportResult::Outcome::Cancelled:
      break;
  }
  return false;
}

}  // namespace pelvaro
