#include "core/storage/SiteRepair.h"

#include <cmath>
#include <set>

#include "core/storage/BlockStore.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"

namespace pelvaro {

namespace {

// The leftovers of interrupted writes of a site's block files.
constexpr const char* kPartExtensions[] = {".DAT.part", ".KEY.part", ".DAT.new", ".KEY.new"};

class BlockFolder {
 public:
  BlockFolder(const Files& files, std::string identification, std::string dataDirectory)
      : files_(files),
        id_(std::move(identification)),
        dir_(std::move(dataDirectory)),
        folder_(files.DataFolder(dir_)) {}

  BlockPaths Paths(int number) const {
    return MakeBlockPaths(BlockStemPath(files_, dir_, BlockStem(id_, number)));
  }

  std::set<int> Numbers(std::string_view extension) const {
    std::set<int> numbers;
    const std::string pattern = id_ + "_???" + std::string(extension);
    for (const std::string& name : Files::List(folder_, pattern)) {
      if (const auto n = BlockNumberOfName(name, id_, extension)) numbers.insert(*n);
    }
    return numbers;
  }

  // Pairs whose write was cut short are finished when their first part is
  // in place, else undone; a single file's replacement that was cut short
  // left its old content in place, so only the sibling goes.
  void FinishInterruptedWrites() const {
    std::set<int> touched;
    for (const char* extension : kPartExtensions) {
      for (int n : Numbers(extension)) touched.insert(n);
    }
    for (int n : touched) {
      const BlockPaths paths = Paths(n);
      fileops::RecoverPair(paths.header, paths.data);
      Files::Remove(fileops::Sibling(paths.data));
      Files::Remove(fileops::Sibling(paths.header));
    }
  }

  // A block is its .DAT. A header without data is either half of a move cut
  // short (the data still waits one number up) or a leftover of a deletion.
  void PairHeadersWithData() const {
    std::set<int> data = Numbers(".DAT");
    const std::set<int> headers = Numbers(".KEY");
    for (int n : headers) {
      if (data.count(n) > 0) continue;
      if (data.count(n + 1) > 0 && headers.count(n + 1) == 0) {
        Files::Rename(Paths(n + 1).data, Paths(n).data);
        data.erase(n + 1);
        data.insert(n);
      } else {
        Files::Remove(Paths(n).header);
      }
    }
  }

  // Moves every block down into the first free number; ascending, so a
  // block only ever moves into a number that is already free.
  int CloseGaps() const {
    int wanted = 1;
    for (int n : Numbers(".DAT")) {
      if (n != wanted) MoveBlock(n, wanted);
      ++wanted;
    }
    return wanted - 1;
  }

  // The header first and the data last, so that a move cut short is found
  // and finished by PairHeadersWithData.
  void MoveBlock(int from, int to) const {
    const BlockPaths source = Paths(from);
    const BlockPaths target = Paths(to);
    if (Files::FileExists(source.header)) Files::Rename(source.header, target.header);
    Files::Rename(source.data, target.data);
  }

 private:
  const Files& files_;
  std::string id_;
  std::string dir_;
  fs::path folder_;
};

std::vector<int> OneTo(int n) {
  std::vector<int> numbers;
  for (int k = 1; k <= n; ++k) numbers.push_back(k);
  return numbers;
}

}  // namespace

std::string IndexRebuiltText(const std::string& identification) {
  return "The block index of the site file " + Printable(identification) +
         " was damaged.\r\nIt has been rebuilt from the data block files.";
}

SiteRepair RepairSite(const Files& files, const std::string& identification,
                      const std::string& dataDirectory) {
  SiteRepair report;
  const BlockFolder folder(files, identification, dataDirectory);
  folder.FinishInterruptedWrites();
  folder.PairHeadersWithData();
  report.blocks = folder.CloseGaps();

  const fs::path headerPath = files.HeaderPath(identification);
  if (Files::FileLength(headerPath) <= header::kMissingUpTo) return report;
  SiteHeader::BlockIndex index;
  {
    SiteHeader header(headerPath, RecordFile::Mode::ReadOnly);
    index = header.ReadBlockIndex();
  }
  report.indexDamaged = index.damaged;
  const int blocks = std::min(report.blocks, header::kBlockSlots);
  const bool agrees = !index.damaged && (blocks == 0 || index.numbers == OneTo(blocks));
  if (agrees) return report;

  HeaderTransaction t(headerPath, headerPath);
  t.Header().WriteBlockIndex(blocks);
  if (blocks > 0 && (index.damaged || blocks > index.used)) {
    // The newest block is the last run downloaded: it is never taken twice.
    const RunHeader run = ReadBlockHeader(folder.Paths(blocks).header).run;
    t.Header().WriteRecord(header::kLastRunDay, Spaced(run.StartDay()));
    t.Header().WriteRecord(header::kLastRunTime, Spaced(run.StartTimeUnits()));
  }
  t.Commit();
  report.indexRebuilt = true;
  return report;
}

namespace {

// The whole file when it is there and no larger than a block file can be.
// Throws IoError when it cannot be read: a leftover that cannot be checked
// is never taken for stored, nor overwritten.
std::optional<std::string> BlockBytes(const fs::path& path, std::uint64_t limit) {
  if (Files::FileLength(path) > limit) return std::nullopt;
  return Files::ReadFileIfPresent(path, static_cast<std::size_t>(limit));
}

// Run header and word count, then the readings: what makes two copies of a
// download the same block (the download time differs between them).
bool SameBlock(const std::string& headerA, const std::string& dataA, const fs::path& headerB,
               const fs::path& dataB) {
  if (Files::FileLength(dataB) != dataA.size()) return false;
  const auto h = BlockBytes(headerB, kBlockHeaderBytes);
  if (!h || h->size() != headerA.size()) return false;
  const std::size_t r2 = kBlockHeaderRecordSize;
  if (h->compare(r2, 13, headerA, r2, 13) != 0 ||
      h->compare(2 * r2, r2, headerA, 2 * r2, r2) != 0) {
    return false;
  }
  return BlockBytes(dataB, kMaxBlockBytes) == dataA;
}

bool StoredSomewhere(const Files& files, const std::string& header, const std::string& data) {
  for (const std::string& folderName : Files::ListFolders(files.Root())) {
    if (!IsDataDirectoryName(folderName)) continue;
    const fs::path folder = files.DataFolder(folderName);
    for (const std::string& name : Files::List(folder, "*_???.KEY")) {
      const fs::path headerFile = Files::Child(folder, name);
      fs::path dataFile = headerFile;
      dataFile.replace_extension(".DAT");
      if (SameBlock(header, data, headerFile, Files::Resolve(dataFile))) return true;
    }
  }
  return false;
}

}  // namespace

LeftoverDownload SetAsideLeftoverDownload(const Files& files) {
  LeftoverDownload result;
  const fs::path head = TempHeaderPath(files);
  const fs::path body = TempDataPath(files);
  if (Files::FileLength(head) != kBlockHeaderBytes) return result;
  const double words = ReadBlockHeader(head).words;
  if (!(words >= 1 && words <= kMaxBlockWordCount)) return result;
  const auto header = BlockBytes(head, kBlockHeaderBytes);
  const auto data = BlockBytes(body, kMaxBlockBytes);
  if (!header || !data || data->size() != 2 * static_cast<std::uint64_t>(std::floor(words))) {
    return result;
  }
  if (StoredSomewhere(files, *header, *data)) {
    DiscardTempBlock(files);
    result.kind = LeftoverDownload::Kind::Discarded;
    return result;
  }
  // The first free name, so an earlier kept download is never overwritten.
  std::string stem;
  for (int n = 1; stem.empty(); ++n) {
    const std::string candidate = "UNSTORED_" + std::to_string(n);
    if (!Files::FileExists(files.Root() / (candidate + ".DAT")) &&
        !Files::FileExists(files.Root() / (candidate + ".KEY"))) {
      stem = candidate;
    }
  }
  // The readings first: they are what cannot be downloaded twice.
  Files::Rename(body, files.Root() / (stem + ".DAT"));
  Files::Rename(head, files.Root() / (stem + ".KEY"));
  result.kind = LeftoverDownload::Kind::Kept;
  result.stem = stem;
  return result;
}

}  // namespace pelvaro
