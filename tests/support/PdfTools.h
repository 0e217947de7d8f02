#pragma once

// A PDF read back with poppler's tools, as a reader's viewer would read it.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <filesystem>
#include <string>

namespace pelvaro::testing {

// A poppler tool's standard output.
inline std::string Poppler(const QString& tool, const QStringList& args) {
  QProcess p;
  p.start(tool, args);
  EXPECT_TRUE(p.waitForFinished(30000)) << tool.toStdString();
  EXPECT_EQ(p.exitCode(), 0) << tool.toStdString() << ": "
                             << p.readAllStandardError().toStdString();
  return p.readAllStandardOutput().toStdString();
}

inline QString Q(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

// The text as the content stream holds it, every run of white space one space;
// of one page, or of them all.
inline std::string PdfText(const std::filesystem::path& pdf, int page = 0) {
  QStringList args = {"-raw", Q(pdf), "-"};
  if (page > 0) args = QStringList{"-f", QString::number(page), "-l", QString::number(page)} + args;
  const QString text = QString::fromStdString(Poppler("pdftotext", args));
  return text.simplified().toStdString();
}

inline std::string Info(const std::filesystem::path& pdf, const std::string& key) {
  const QString info = QString::fromStdString(Poppler("pdfinfo", {Q(pdf)}));
  const QRegularExpression line("^" + QString::fromStdString(key) + ":\\s*(.*)$",
                                QRegularExpression::MultilineOption);
  return line.match(info).captured(1).trimmed().toStdString();
}

}  // namespace pelvaro::testing
