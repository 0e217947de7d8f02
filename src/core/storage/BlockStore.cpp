#include "core/storage/BlockStore.h"

#include <algorithm>
#include <cmath>

#include "core/storage/NumberText.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

std::string BlockSuffix(int number) {
  std::string digits = std::to_string(number);
  switch (digits.size()) {
    case 1:
      return "_00" + digits;
    case 2:
      return "_0" + digits;
    case 3:
      return "_" + digits;
    default:
      return digits;
  }
}

std::string BlockStem(const std::string& identification, int number) {
  return identification + BlockSuffix(number);
}

std::string BlockFilePattern(const std::string& identification) {
  return identification + "_???.DAT";
}

std::optional<int> BlockNumberOfName(std::string_view name, const std::string& identification,
                                     std::string_view extension) {
  const std::size_t n = identification.size();
  if (name.size() != n + 4 + extension.size()) return std::nullopt;
  if (!Files::SameNameIgnoringCase(name.substr(0, n), identification) || name[n] != '_' ||
      !Files::SameNameIgnoringCase(name.substr(n + 4), extension)) {
    return std::nullopt;
  }
  int number = 0;
  for (std::size_t i = n + 1; i < n + 4; ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

std::vector<int> BlockNumbersOnDisk(const Files& files, const std::string& dataDirectory,
                                    const std::string& identification) {
  std::vector<int> numbers;
  for (const std::string& name :
       Files::List(files.DataFolder(dataDirectory), BlockFilePattern(identification))) {
    if (const auto n = BlockNumberOfName(name, identification, ".DAT")) numbers.push_back(*n);
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

fs::path BlockStemPath(const Files& files, const std::string& dataDirectory,
                       const std::string& stem) {
  return files.DataFolder(dataDirectory) / NamePath(CheckSafeName(stem));
}

BlockPaths MakeBlockPaths(const fs::path& stemPath) {
  fs::path data = stemPath;
  data += ".DAT";
  fs::path header = stemPath;
  header += ".KEY";
  return {Files::Resolve(data), Files::Resolve(header)};
}

RunHeader MakeRunHeader(int startDay, int startSeconds, int interval, int siteNumber,
                        int serialNumber, int sensorCount) {
  const auto low = [](int v) { return static_cast<std::uint8_t>(v & 255); };
  const auto high = [](int v) { return static_cast<std::uint8_t>((v >> 8) & 255); };
  const int units = startSeconds / 2;
  RunHeader run;
  run.b = {low(startDay),
           high(startDay),
           low(units),
           high(units),
           low(interval),
           high(interval),
           0,
           low(siteNumber),
           low(serialNumber),
           high(serialNumber),
           0,
           low(sensorCount),
           0};
  return run;
}

std::string BlockHeaderRecord1(double words) {
  std::string text = Spaced(words) + " SOIL MOISTURE TECHNOLOGY";
  if (text.size() < kBlockHeaderRecordSize) {
    text.insert(0, kBlockHeaderRecordSize - text.size(), ' ');
  }
  return text;
}

std::string BlockHeaderRecord2(const RunHeader& run, const DateTime& downloaded) {
  std::string text(run.b.begin(), run.b.end());
  text += TwoDigitText(downloaded.hour) + ":" + TwoDigitText(downloaded.minute) + ":" +
          TwoDigitText(downloaded.second);
  text += TwoDigitText(downloaded.day) + "-" + TwoDigitText(downloaded.month) + "-" +
          std::to_string(downloaded.year);
  text += "00";
  return text;
}

std::string BlockHeaderRecord3(double words) { return Spaced(words); }

BlockHeader ReadBlockHeader(const fs::path& headerFile) {
  RecordFile file(headerFile, kBlockHeaderRecordSize, RecordFile::Mode::ReadOnly, ' ');
  BlockHeader h;
  h.record2 = file.Read(2);
  std::copy_n(h.record2.begin(), h.run.b.size(), h.run.b.begin());
  h.timeText = h.record2.substr(13, 8);
  h.dateText = h.record2.substr(21, 10);
  h.trailer = h.record2.substr(31, 2);
  h.words = ParseLeadingNumber(file.Read(3));
  return h;
}

void CheckWordCount(const BlockHeader& header, const fs::path& headerFile) {
  if (!(header.words >= 0 && header.words <= kMaxBlockWordCount)) {
    throw DamagedFileError(headerFile, "it counts " + Plain(header.words) + " readings, " +
                                           (header.words < 0 ? "fewer than none."
                                                             : "more than a data block can hold."));
  }
}

void CheckBlockAgrees(const BlockHeader& header, std::uint64_t dataBytes,
                      const fs::path& headerFile) {
  CheckWordCount(header, headerFile);
  const std::uint64_t wholeWords = dataBytes / kWordSize;
  const auto held = static_cast<double>(wholeWords);
  if (std::floor(header.words) != held) {
    throw DamagedFileError(headerFile, "it counts " + Plain(header.words) +
                                           " readings, but its data file holds " + Plain(held) +
                                           ".");
  }
}

void WriteBlockHeaderRecord(const fs::path& headerFile, int record, std::string_view text) {
  // The run header is what identifies the block: the file is replaced whole,
  // so it must have been read whole first.
  std::string bytes = Files::ReadFile(headerFile, kBlockHeaderBytes);
  const std::size_t offset = static_cast<std::size_t>(record - 1) * kBlockHeaderRecordSize;
  bytes.resize(std::max(bytes.size(), offset + kBlockHeaderRecordSize), ' ');
  std::string field(text.substr(0, kBlockHeaderRecordSize));
  field.resize(kBlockHeaderRecordSize, ' ');
  bytes.replace(offset, kBlockHeaderRecordSize, field);
  Files::WriteWholeFile(headerFile, bytes);
}

void WriteBlockSensorCount(const fs::path& headerFile, const BlockHeader& header, int count) {
  std::string record2 = header.record2;
  record2[11] = static_cast<char>(count);  // the run header's byte 12
  WriteBlockHeaderRecord(headerFile, 2, record2);
}

BlockData::BlockData(const fs::path& dataFile, RecordFile::Mode mode)
    : file_(dataFile, kWordSize, mode, '\0') {}

std::uint16_t BlockData::ReadWord(std::uint64_t index) {
  const std::string bytes = file_.Read(index);
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[0]) +
                                    256 * static_cast<std::uint8_t>(bytes[1]));
}

void BlockData::WriteWordInPlace(std::uint64_t index, std::uint16_t value) {
  const char bytes[2] = {static_cast<char>(value & 0xff), static_cast<char>(value >> 8)};
  file_.Write(index, std::string_view(bytes, 2));
}

std::vector<std::uint16_t> BlockData::ReadAllWords() {
  if (file_.Length() > kMaxBlockBytes) {
    throw DamagedFileError(file_.Path(), "it is larger than a data block can be.");
  }
  const std::string bytes = Files::ReadFile(file_.Path(), kMaxBlockBytes);
  std::vector<std::uint16_t> words(bytes.size() / kWordSize);
  for (std::size_t i = 0; i < words.size(); ++i) {
    words[i] = static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[2 * i]) +
                                          256 * static_cast<std::uint8_t>(bytes[2 * i + 1]));
  }
  return words;
}

fs::path TempHeaderPath(const Files& files) { return files.InRoot(kTempHeaderName); }
fs::path TempDataPath(const Files& files) { return files.InRoot(kTempDataName); }

TempBlock::TempBlock(const Files& files)
    : header_(TempHeaderPath(files), kBlockHeaderRecordSize, RecordFile::Mode::Truncate, ' '),
      data_(TempDataPath(files), kWordSize, RecordFile::Mode::Truncate, '\0') {}

void TempBlock::WriteWord(std::uint64_t index, std::uint8_t low, std::uint8_t high) {
  const char bytes[2] = {static_cast<char>(low), static_cast<char>(high)};
  data_.Write(index, std::string_view(bytes, 2));
}

void TempBlock::WriteTempHeader(double words, const RunHeader& run, const DateTime& downloaded) {
  header_.Write(1, BlockHeaderRecord1(words));
  header_.Write(2, BlockHeaderRecord2(run, downloaded));
  header_.Write(3, BlockHeaderRecord3(words));
}

void TempBlock::Flush() {
  header_.Flush();
  data_.Flush();
}

void TempBlock::Close() {
  header_.Close();
  data_.Close();
}

void CommitBlock(const Files& files, const fs::path& stemPath) {
  const BlockPaths target = MakeBlockPaths(stemPath);
  const fs::path tempData = TempDataPath(files);
  const fs::path tempHeader = TempHeaderPath(files);
  if (!Files::FileExists(tempData) || !Files::FileExists(tempHeader)) {
    throw IoError("The downloaded data is missing from the working folder.");
  }
  try {
    Files::CopyFile(tempHeader, fileops::PairPart(target.header), kBlockHeaderBytes, true);
    Files::CopyFile(tempData, fileops::PairPart(target.data), kMaxBlockBytes, true);
    fileops::Rename(fileops::PairPart(target.header), target.header);
  } catch (const IoError&) {
    fileops::DiscardPair(target.header, target.data);
    throw;
  }
  try {
    fileops::Rename(fileops::PairPart(target.data), target.data);
  } catch (const IoError&) {
    // Without its data the header is no block: both go.
    fileops::Remove(fileops::PairPart(target.data));
    fileops::Remove(target.header);
    throw;
  }
  try {
    fileops::SyncFolder(target.data.parent_path());
  } catch (const IoError&) {
    // The block is in place; only its names may not be on the disk yet.
  }
  // A copy left behind is recognised as stored by the next download.
  Files::Remove(tempData);
  Files::Remove(tempHeader);
}

void DiscardTempBlock(const Files& files) {
  Files::Remove(TempHeaderPath(files));
  Files::Remove(TempDataPath(files));
}

}  // namespace pelvaro
