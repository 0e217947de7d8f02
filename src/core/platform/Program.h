#pragma once

namespace pelvaro {

// What the program calls itself, in titles, printouts and --version.
inline constexpr char kAppName[] = "Velmora Pelvaro Soil Moisture";
inline constexpr char kVersion[] = PELVARO_VERSION;  // from the build
inline constexpr char kVersionText[] = "V" PELVARO_VERSION " ";

}  // namespace pelvaro
