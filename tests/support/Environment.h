#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "core/platform/PathNames.h"

namespace pelvaro::testing {

// An environment variable set or removed for the scope; wide calls on Windows keep paths.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::optional<fs::path>& value)
      : name_(std::move(name)), saved_(EnvironmentPath(name_.c_str())) {
    Set(value);
  }
  ~ScopedEnvironment() { Set(saved_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  void Set(const std::optional<fs::path>& value) const {
#ifdef _WIN32
    // An empty value removes the variable.
    const std::wstring name(name_.begin(), name_.end());
    _wputenv_s(name.c_str(), value ? value->c_str() : L"");
#else
    if (value) {
      setenv(name_.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
#endif
  }

  std::string name_;
  std::optional<fs::path> saved_;
};

}  // namespace pelvaro::testing
