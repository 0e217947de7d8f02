// The three state files, each holding the input, read by their readers.
#include "core/storage/StateFiles.h"
#include "fuzz/FuzzInput.h"

using namespace pelvaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::Split(data, size);
  const Files files(fuzz::ScratchRoot());
  for (const char* name : {kSiteSelectionName, kRestartName, kPortName}) {
    fuzz::WriteFile(files.Root() / name, input.content, input.extendTo);
  }
  try {
    ReadSiteSelection(files, 8);
  } catch (const UnsafeNameError&) {
  }
  ReadRestartRequest(files);
  ReadPortNumber(files);
  ReadFields(input.content, 3);
  return 0;
}
