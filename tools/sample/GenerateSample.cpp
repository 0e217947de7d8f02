// Builds the sample site as loose files, as an installation may leave them in
// the program's current folder, and the seed of a new working root: the sample
// site already in its storage folders, converted, with the state files that
// select it.
#include <iostream>
#include <string>

#include "core/operations/Conversion.h"
#include "core/storage/BlockStore.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/DayNumbers.h"
#include "core/storage/StateFiles.h"
#include "tools/sample/SeasonModel.h"

namespace {

using namespace pelvaro;

class FailingPrompter : public Prompter {
 public:
  Answer Message(const std::string& text, const std::string&, Buttons, Icon) override {
    std::cerr << "pelvaro-sample: " << text << "\n";
    failed = true;
    return Answer::Ok;
  }
  std::optional<std::string> Input(const std::string&, const std::string&,
                                   const std::string&) override {
    return std::nullopt;
  }
  bool failed = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "Usage: pelvaro-sample SAMPLE_DIR SEED_DIR\n";
    return 2;
  }
  const fs::path out = argv[1];
  const fs::path seed = argv[2];
  const std::string id = "SAMPLE SITE_01";
  const fs::path work = out / ".work";
  fs::remove_all(out);
  fs::remove_all(seed);
  fs::create_directories(work);
  fs::create_directories(seed);

  const Files files(work);
  sample::SeasonSpec season;
  season.startDay = DateToDayNumber(7, 9, 2026);
  const auto sensors = sample::SampleSensors();
  const auto blocks = sample::SimulateSeason(season, sensors);
  sample::WriteSite(files, id, season, sensors, blocks);
  FailingPrompter prompter;
  if (!ConvertSite(files, prompter, id, "TVMKDATA") || prompter.failed) return 1;

  // The installation leaves the sample as loose files in the program's folder.
  Files::CopyFile(files.HeaderPath(id), out / (id + ".key"));
  for (std::size_t b = 1; b <= blocks.size(); ++b) {
    const BlockPaths paths =
        MakeBlockPaths(BlockStemPath(files, "TVMKDATA", BlockStem(id, static_cast<int>(b))));
    Files::CopyFile(paths.data, out / paths.data.filename());
    Files::CopyFile(paths.header, out / paths.header.filename());
  }
  Files::CopyFile(CalibratedPath(files, "TVMKDATA", id, kGraphExtension), out / (id + ".bgf"));

  // A new working root takes the seed's folders whole, so an installed program
  // started from a menu, far from any loose sample, still opens on the sample.
  for (const char* folder : {"TVMKHEADER", "TVMKDATA"}) {
    Files::CopyFolder(work / folder, seed / folder);
  }
  fs::remove_all(work);

  const Files seedFiles(seed);
  WriteSiteSelection(seedFiles, id, "TVMKDATA");
  WriteRestartRequest(seedFiles, "NO");
  return 0;
}
