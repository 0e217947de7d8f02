// A block (header file, then readings) read by the store, conversion, editor and export.
#include "core/editor/BlockEditor.h"
#include "core/editor/BlockExport.h"
#include "core/operations/Conversion.h"
#include "core/storage/BlockStore.h"
#include "core/storage/StateFiles.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzPrompter.h"
#include "support/SiteBuilder.h"

using namespace pelvaro;

namespace {

// A sound site with two sensors and one block, written once.
void SoundSite(const Files& files) {
  static bool written = false;
  if (written) return;
  testing::SiteBuilder(files, "F_01").Header(testing::LoggerSensors(2), 1);
  WriteSiteSelection(files, "F_01", "TVMKDATA");
  written = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::Split(data, size);
  const Files files(fuzz::ScratchRoot());
  SoundSite(files);
  const std::string_view key = input.content.substr(0, kBlockHeaderBytes);
  const std::string_view readings =
      input.content.size() > kBlockHeaderBytes ? input.content.substr(kBlockHeaderBytes) : "";
  const fs::path stem = files.Root() / "TVMKDATA" / "F_01_001";
  fuzz::WriteFile(fs::path(stem) += ".KEY", key);
  fuzz::WriteFile(fs::path(stem) += ".DAT", readings, input.extendTo);
  fuzz::Prompter prompter;
  try {
    const BlockHeader h = ReadBlockHeader(fs::path(stem) += ".KEY");
    BlockData block(fs::path(stem) += ".DAT", RecordFile::Mode::ReadOnly);
    block.ReadWord(block.WordCount() + 1);
    CheckWordCount(h, fs::path(stem) += ".KEY");
    block.ReadAllWords();
  } catch (const IoError&) {
  }
  ConvertSite(files, prompter, "F_01", "TVMKDATA", ConversionCaller::Editor);
  BlockEditor editor(files, prompter);
  editor.Load();
  if (editor.OpenBlock(1)) PrintoutLines(files, editor);
  try {
    BlockCsv(files, "F_01", stem);
  } catch (const IoError&) {
    // A damaged block is reported, as SaveBlockCsv shows it.
  }
  return 0;
}
