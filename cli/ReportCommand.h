#pragma once

#include <QCoreApplication>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/Files.h"

namespace pelvaro {

// The application a command runs in. The report draws text, which takes the
// GUI's fonts: without a display it draws on the offscreen platform.
std::unique_ptr<QCoreApplication> CommandApplication(int& argc, char** argv, bool draws);

// `pelvaro-cli report OUT.pdf [SITE ...] [--days N] [--from DATE --to DATE]
// [--paper a4|letter]`: `words` are the command and its words, `usage` says
// what was wrong with them. Exit status 0 when the report was written and
// every site read, 1 when not.
int ReportCommand(const Files& files, const std::vector<std::string>& words,
                  const std::map<std::string, std::string>& options,
                  const std::function<int(const std::string&)>& usage);

}  // namespace pelvaro
