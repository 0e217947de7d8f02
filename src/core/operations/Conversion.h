#pragma once

#include <string>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"

namespace pelvaro {

// Who runs the conversion decides the wording of three messages: after a
// download the logger is "LOGGER"; the site window, the editor and the graph
// window speak of the "VELMORA". The graph window reads the sensor-count
// answer its own way, and the site window removes the calibrated files of a
// site that has no scans left.
enum class ConversionCaller { Download, SiteWindow, Editor, Graph };

inline constexpr char kCalibrationError[] =
    "This file has caused a calibration error and will not be processed.";

// Rebuilds the site's graph file and summary file from all its data blocks
// with the calibration of its header. Every failure is shown through the
// prompter; returns true only when the whole run completed.
bool ConvertSite(const Files& files, Prompter& prompter, const std::string& identification,
                 const std::string& dataDirectory,
                 ConversionCaller caller = ConversionCaller::Download);

// The window routine: the site and data directory named in Sitesel.dat.
bool ConvertSelectedSite(const Files& files, Prompter& prompter,
                         ConversionCaller caller = ConversionCaller::Download);

}  // namespace pelvaro
