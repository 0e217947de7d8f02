// A graph file from the input, read as the graph window reads it.
#include "core/storage/CalibratedFiles.h"
#include "core/storage/GraphFile.h"
#include "fuzz/FuzzInput.h"

using namespace pelvaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::Split(data, size);
  const fs::path path = fuzz::ScratchRoot() / "TVMKDATA" / "F_01.BGF";
  fuzz::WriteFile(path, input.content, input.extendTo);
  try {
    ReadGraphFile(path, [](int) {});
    CalibratedFile file(path, kGraphRecordSize, RecordFile::Mode::ReadOnly);
    for (std::uint64_t r = 1; r <= 12; ++r) SensorLineValue(file.ReadRecord(r));
  } catch (const IoError&) {
  } catch (const GraphFileError&) {
  }
  return 0;
}
