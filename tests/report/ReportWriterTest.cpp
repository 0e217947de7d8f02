// Writing the report: beside its name, renamed over it only when whole.
#include <gtest/gtest.h>

#include "report/ReportWriter.h"
#include "support/RowNames.h"
#include "support/SampleSites.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

const fs::path kSample = PELVARO_SAMPLE_DIR;

// Cancelled at the first step of the reading, or at the last of the drawing.
struct CancelCase {
  const char* guards;
  bool drawing;
};

class ReportCancel : public ::testing::TestWithParam<CancelCase> {};

TEST_P(ReportCancel, LeavesTheFolderAsItWas) {
  TempRoot root;
  const Files files(root.Path());
  InstallSample(kSample, files, "ALPHA_01", true);
  InstallSample(kSample, files, "BRAVO_02", true);
  const fs::path out = root.Path() / "out";
  fs::create_directories(out);
  WriteBytes(out / "report.pdf", "the report before");
  ReportRequest request;
  request.sites = {"ALPHA_01", "BRAVO_02"};
  const bool drawing = GetParam().drawing;
  const ReportResult result =
      WriteReport(files, request, out / "report.pdf",
                  [&](int done, int total) { return drawing ? done < total : false; });
  EXPECT_EQ(result.outcome, ReportResult::Outcome::Cancelled);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(out)) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"report.pdf"});
  EXPECT_EQ(ReadBytes(out / "report.pdf"), "the report before");
}

INSTANTIATE_TEST_SUITE_P(Report, ReportCancel,
                         ::testing::Values(CancelCase{"cancelled while reading", false},
                                           CancelCase{"cancelled while drawing the last page",
                                                      true}),
                         ByGuards());

struct SaveName {
  const char* guards;
  const char* chosen;
  const char* written;
};

class ReportSaveName : public ::testing::TestWithParam<SaveName> {};

TEST_P(ReportSaveName, EndsInPdf) {
  EXPECT_EQ(ReportFileName(GetParam().chosen).toStdString(), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Report, ReportSaveName,
    ::testing::Values(SaveName{"a plain name", "/farm/season", "/farm/season.pdf"},
                      SaveName{"a name in .pdf", "/farm/season.pdf", "/farm/season.pdf"},
                      SaveName{"a name in .PDF", "/farm/SEASON.PDF", "/farm/SEASON.PDF"},
                      SaveName{"a name with another suffix", "/farm/season.2026",
                               "/farm/season.2026.pdf"}),
    ByGuards());

}  // namespace
}  // namespace pelvaro::testing
