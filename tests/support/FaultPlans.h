#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/platform/FileOps.h"

namespace pelvaro::testing {

// Counts file operations of the kinds it watches and fails or kills the k-th; after a kill all of
// them fail, as for a dead process. Other kinds proceed uncounted.
class FaultAt : public FaultPlan {
 public:
  enum class Mode { Count, Fail, Die };
  enum class Kinds { Changes, Reads };
  explicit FaultAt(Mode mode = Mode::Count, int k = 0, Kinds kinds = Kinds::Changes)
      : mode_(mode), k_(k), kinds_(kinds) {}
  // At the first operation described as `what` ("rename FARM_01.key").
  FaultAt(Mode mode, std::string what, Kinds kinds = Kinds::Changes)
      : mode_(mode), k_(-1), kinds_(kinds), what_(std::move(what)) {}

  Verdict Before(FileOp op, const fs::path& path) override {
    const bool read = op == FileOp::Open || op == FileOp::Read;
    if (read != (kinds_ == Kinds::Reads)) return Verdict::Proceed;
    ++count;
    ops.push_back(Name(op) + " " + path.filename().string());
    if (dead) return Verdict::Fail;
    if (k_ < 0 && ops.back() == what_) k_ = count;
    if (mode_ == Mode::Count || count != k_) return Verdict::Proceed;
    if (mode_ == Mode::Fail) return Verdict::Fail;
    dead = true;
    return Verdict::Die;
  }
  bool RealSync() const override { return false; }

  static std::string Name(FileOp op) {
    constexpr const char* kNames[] = {"write", "sync", "rename", "remove", "open", "read"};
    return kNames[static_cast<int>(op)];
  }

  int count = 0;
  bool dead = false;
  std::vector<std::string> ops;  // what each operation did, in order

 private:
  Mode mode_;
  int k_;
  Kinds kinds_ = Kinds::Changes;
  std::string what_;
};

// Installs a plan for the life of the object, then puts back the one before.
class InstalledPlan {
 public:
  explicit InstalledPlan(FaultPlan& plan) : previous_(InstallFaultPlan(&plan)) {}
  ~InstalledPlan() { InstallFaultPlan(previous_); }
  InstalledPlan(const InstalledPlan&) = delete;
  InstalledPlan& operator=(const InstalledPlan&) = delete;

 private:
  FaultPlan* previous_;
};

// What a power cut leaves is what was synced: a file is synced before it is renamed into
// place, the rename reaches the disk (its folder synced) before anything is removed, and
// nothing is left unsynced when the operation ends.
inline void ExpectDurableOrder(const std::vector<std::string>& ops) {
  std::set<std::string> written;
  std::set<std::string> unsynced;
  std::optional<std::string> renamed;  // not yet synced in its folder
  for (const std::string& op : ops) {
    const std::size_t space = op.find(' ');
    const std::string kind = op.substr(0, space);
    const std::string name = op.substr(space + 1);
    if (kind == "write") {
      written.insert(name);
      unsynced.insert(name);
    } else if (kind == "sync") {
      unsynced.erase(name);
      if (written.count(name) == 0) renamed.reset();  // a folder
    } else if (kind == "rename") {
      EXPECT_TRUE(unsynced.empty())
          << name << " renamed before " << *unsynced.begin() << " was synced";
      renamed = name;
    } else if (kind == "remove") {
      EXPECT_FALSE(renamed) << name << " removed before the rename to " << *renamed
                            << " reached the disk";
    }
  }
  EXPECT_FALSE(renamed) << "the rename to " << *renamed << " never reached the disk";
  EXPECT_TRUE(unsynced.empty()) << *unsynced.begin() << " was never synced";
}

}  // namespace pelvaro::testing
