// A site header read by the header store, block index, conversion and site window.
#include "core/operations/Conversion.h"
#include "core/site/SiteForm.h"
#include "core/storage/BlockStore.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzPrompter.h"

using namespace pelvaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::Split(data, size);
  const Files files(fuzz::ScratchRoot());
  fuzz::WriteFile(files.HeaderPath("F_01"), input.content, input.extendTo);
  fuzz::WriteFile(files.Root() / "TVMKDATA" / "F_01_001.KEY", std::string(192, ' '));
  fuzz::WriteFile(files.Root() / "TVMKDATA" / "F_01_001.DAT", std::string(8, '\x10'));
  fuzz::Prompter prompter;
  try {
    SiteHeader header(files.HeaderPath("F_01"), RecordFile::Mode::ReadOnly);
    for (int r = 1; r <= header::kCreatedRecords + 1; ++r) header.ReadNumber(r);
    header.ReadBlockIndex();
    header.LastBlockNumber();
    header.BlockCount();
    header.Close();
    ConvertSite(files, prompter, "F_01", "TVMKDATA", ConversionCaller::Download);
    WriteSiteSelection(files, "F_01", "TVMKDATA", 2);
    SiteForm form(files, prompter, false);
    form.Load();
  } catch (const IoError&) {
  } catch (const UnsafeNameError&) {
  }
  return 0;
}
