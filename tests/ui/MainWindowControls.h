#pragma once

// The main window's controls by the object names a driver finds them by,
// kept from the window's first forms.
namespace pelvaro::testing::main_window {

inline constexpr char kVersion[] = "Label2";
inline constexpr char kSiteList[] = "File1";
inline constexpr char kCreateNew[] = "Option1";
inline constexpr char kEditSite[] = "Option7";
inline constexpr char kDelete[] = "OptionDelete";
inline constexpr char kStart[] = "Option10";
inline constexpr char kDownloadData[] = "Option3";
inline constexpr char kTraceMode[] = "Option12";
inline constexpr char kEditData[] = "Option16";
inline constexpr char kViewGraph[] = "Option6";
inline constexpr char kOutlook[] = "OptionOutlook";
inline constexpr char kStatus[] = "Picture1";
inline constexpr char kProgressBar[] = "ProgressBar1";
inline constexpr char kExit[] = "Command1";
inline constexpr char kStop[] = "Command2";

}  // namespace pelvaro::testing::main_window
