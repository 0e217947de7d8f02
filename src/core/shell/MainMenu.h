#pragma once

#include <optional>
#include <string>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"
#include "core/storage/SiteHeader.h"

namespace pelvaro {

// A click on a site list entry: reads its header and rewrites Sitesel.dat
// with the identification, the data directory and " 2". Nothing when the
// header names a data directory that cannot be used (the user is told).
std::optional<CurrentSite> ClickSite(const Files& files, Prompter& prompter,
                                     const std::string& entry);

// Blocks of a site header: the slots before the first free one (101 when
// none is free).
int CountBlocks(const fs::path& headerPath);

// What an operation button leads to once its checks pass.
enum class NextWindow { None, SiteWindow, StartWindow, Editor, Graph, Outlook };

// The checks of the operation buttons, each with the main window's messages.
// They read Sitesel.dat themselves, as every window does.
NextWindow CheckCreateNew(const Files& files, Prompter& prompter, bool siteListEmpty);
NextWindow CheckEditSite(const Files& files, Prompter& prompter, bool siteListEmpty);
NextWindow CheckStart(const Files& files, Prompter& prompter);
NextWindow CheckEditData(const Files& files, Prompter& prompter);
NextWindow CheckViewGraph(const Files& files, Prompter& prompter);

// DELETE: asks, then removes the site's block files, graph file and summary
// file from every directory of its list, and its header. True when deleted.
bool DeleteSite(const Files& files, Prompter& prompter, const std::string& entry);

}  // namespace pelvaro
