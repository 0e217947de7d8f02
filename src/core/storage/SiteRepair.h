#pragma once

#include <string>

#include "core/platform/Files.h"

namespace pelvaro {

struct SiteRepair {
  bool indexDamaged = false;  // the index held values that are no block numbers
  bool indexRebuilt = false;  // the index was written again from the block files
  int blocks = 0;             // the blocks on disk, numbered 1..blocks
};

// What the user is told when a damaged block index was rebuilt.
std::string IndexRebuiltText(const std::string& identification);

// Makes a site's block files and its block index agree, the files being the
// truth: a store or a block move that was cut short is finished or undone,
// stray pieces are removed, the blocks are numbered 1..n without a gap, and
// the index lists exactly them. Blocks found beyond the index (a store cut
// short before its header was written) are recorded as that store would have
// recorded them, the last one as the last download. A data folder without
// any block of the site leaves a sound index alone: it is more likely the
// wrong folder than a site whose blocks all vanished. Call it holding the
// writer lock. Throws IoError when a file cannot be moved or written.
SiteRepair RepairSite(const Files& files, const std::string& identification,
                      const std::string& dataDirectory);

// A download left in the temporary files by a download that did not finish.
struct LeftoverDownload {
  enum class Kind {
    None,       // no complete download was left
    Discarded,  // it equals a stored block (a store cut short after placing it)
    Kept,       // renamed to <stem>.DAT and <stem>.KEY in the working root
  };
  Kind kind = Kind::None;
  std::string stem;
};
// Sets a complete leftover download aside before a new download empties the
// temporary files: discarded when a data folder holds the same block, else
// kept under the first free UNSTORED_<n> name.
LeftoverDownload SetAsideLeftoverDownload(const Files& files);

}  // namespace pelvaro
