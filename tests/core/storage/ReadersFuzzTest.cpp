// Truncated and hostile files fed to the readers: each reads what is there,
// or reports the damage, whatever a damaged disk or an old program left
// behind. Random bytes are the fuzz targets' (tests/fuzz), run in CI.
#include <gtest/gtest.h>

#include "core/editor/BlockEditor.h"
#include "core/editor/BlockExport.h"
#include "core/operations/Conversion.h"
#include "core/storage/BlockStore.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/GraphFile.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

constexpr std::uintmax_t kTwoGigabytes = std::uintmax_t{2} << 30;

TEST(ReadersFuzz, TruncatedHeaderReadsWhatIsThere) {
  TempRoot root;
  Files files(root.Path());
  std::string full(14208, ' ');
  full.replace(64 * 113, 1, "7");
  for (std::size_t cut : {0u, 1u, 64u, 65u, 127u, 128u, 7233u, 7232u, 14207u}) {
    WriteBytes(root.Path() / "TVMKHEADER" / "T_01.key", full.substr(0, cut));
    auto h = SiteHeader::Open(files, "T_01", RecordFile::Mode::ReadOnly);
    EXPECT_EQ(h.HeaderLength(), cut);
    EXPECT_EQ(h.ReadNumber(114), cut > 64 * 113 ? 7 : 0) << cut;
  }
}

// A count read from a file is checked against what the format allows, and a
// file larger than its format is reported: each reader ends at once, with a
// message, whatever the file holds. (A word count of 99,999,999 once ran the
// editor and the CSV export for 83 s into 2 GB; a 2 GB sparse block file took
// the conversion 114 s and 4 GB.)
TEST(HostileFiles, EveryBlockReaderReportsDamageInsteadOfTrustingIt) {
  using Spoil = std::function<void(const fs::path& key, const fs::path& dat)>;
  const std::vector<std::pair<const char*, Spoil>> damage = {
      {"a word count of 99999999",
       [](auto& key, auto&) { WriteBlockHeaderRecord(key, 3, " 99999999"); }},
      {"a negative word count", [](auto& key, auto&) { WriteBlockHeaderRecord(key, 3, "-5"); }},
      {"a 2 GB sparse data file", [](auto&, auto& dat) { fs::resize_file(dat, kTwoGigabytes); }},
  };
  for (const auto& [what, spoil] : damage) {
    SCOPED_TRACE(what);
    TempRoot root;
    const Files files(root.Path());
    SiteBuilder site(files, "H_01");
    site.Header(LoggerSensors(2), 1);
    site.Block(1, {200, 36000, 900, 2, {3000, 3001, 3002, 3003}});
    WriteSiteSelection(files, "H_01", "TVMKDATA");
    const fs::path stem = root.Path() / "TVMKDATA" / "H_01_001";
    spoil(fs::path(stem) += ".KEY", fs::path(stem) += ".DAT");
    ScriptedPrompter prompter;
    const auto damaged = [&prompter] {
      return !prompter.shown.empty() &&
             prompter.shown.back().text.find("H_01_001.") != std::string::npos &&
             prompter.shown.back().text.find(" is damaged") != std::string::npos;
    };

    EXPECT_FALSE(ConvertSite(files, prompter, "H_01", "TVMKDATA"));
    EXPECT_TRUE(damaged()) << prompter.shown.back().text;
    BlockEditor editor(files, prompter);
    editor.Load();
    EXPECT_FALSE(editor.OpenBlock(1));
    EXPECT_TRUE(damaged());
    EXPECT_FALSE(SaveBlockCsv(files, prompter, "H_01", stem, root.Path() / "out.csv"));
    EXPECT_TRUE(damaged());
    EXPECT_FALSE(fs::exists(root.Path() / "out.csv"));
  }
}

TEST(HostileFiles, HugeStateHeaderAndGraphFilesAreReadNoFurtherThanTheirFormat) {
  TempRoot root;
  const Files files(root.Path());
  SiteBuilder site(files, "H_01");
  site.Header(LoggerSensors(1), 0);
  // The state files: a valid start, then 2 GB of nothing.
  WriteBytes(root.Path() / "Sitesel.dat", "H_01\r\nTVMKDATA\r\n");
  WriteBytes(root.Path() / "DEF.INS", " 3\r\n");
  for (const char* name : {"Sitesel.dat", "DEF.INS"}) {
    fs::resize_file(root.Path() / name, kTwoGigabytes);
  }
  EXPECT_EQ(ReadSiteSelection(files).identification, "H_01");
  EXPECT_EQ(ReadPortNumber(files), 3);
  // A header of 2 GB: its records are read, and a rewrite keeps the records only.
  const fs::path header = files.HeaderPath("H_01");
  fs::resize_file(header, kTwoGigabytes);
  EXPECT_EQ(SiteHeader::Open(files, "H_01", RecordFile::Mode::ReadOnly).ReadRecord(2), "TVMKDATA");
  HeaderTransaction t(header, header);
  t.Header().WriteRecord(header::kRootZone, "300");
  t.Commit();
  EXPECT_EQ(fs::file_size(header), header::kRecordsBytes);
  // A graph file of two scans, then 2 GB of nothing, whose reading count
  // names more scans than any conversion writes: the scans that were written
  // are read, and nothing beyond them.
  const fs::path graph = root.Path() / "TVMKDATA" / "H_01.BGF";
  {
    CalibratedFile g(graph, kGraphRecordSize, RecordFile::Mode::Truncate);
    for (const char* r :
         {" 3001", " 900", " 12", " 1", " 999999999999999", "1996", "01/01", "00:00:00", " 1", " 0",
          " 900", " 1", " 25.00", " 900", " 1.01", " 26.00"}) {
      g.WriteRecord(g.RecordCount() + 1, r);
    }
    g.Close();
  }
  fs::resize_file(graph, kTwoGigabytes);
  const auto data = ReadGraphFile(graph);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->values, (std::vector<std::vector<double>>{{25, 26}}));
}

}  // namespace
}  // namespace pelvaro::testing
