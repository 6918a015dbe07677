#pragma once
// A settings key of the test's own, so that no user's settings are ever
// touched: natively QUORVEL_SETTINGS names a file in a fresh temporary
// directory; on Windows a random subkey of "Software\Ostrak\QuorvelTest" is
// used and deleted afterwards.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/settings_store.h"

#if !defined(_WIN32)
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdlib.h>
#endif

namespace quorvel_test {

inline constexpr char kScratchParentKey[] = "Software\\Ostrak\\QuorvelTest";

inline std::string RandomSuffix() {
  std::random_device device;
  const auto ticks =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::mt19937_64 mix(ticks ^ (std::uint64_t{device()} << 32 | device()));
  char text[17];
  std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(mix()));
  return text;
}

#if !defined(_WIN32)

// Sets (or with nullopt removes) an environment variable for the lifetime of
// the object and then puts the previous value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      setenv(name_.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  std::string name_;
  std::optional<std::string> old_;
};

// A fresh directory under the system's temporary directory, removed with
// everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-io-XXXXXX").string();
    // Never fall back to a relative path: the test would write where it runs.
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary directory");
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void WriteTextFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string ReadTextFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

#endif

class ScratchSettings {
 public:
  ScratchSettings()
      : key_(std::string(kScratchParentKey) + "\\" + RandomSuffix())
#if !defined(_WIN32)
        ,
        file_(dir_.path() / "settings"),
        env_("QUORVEL_SETTINGS", file_.string())
#endif
  {
  }
  ~ScratchSettings() {
#if defined(_WIN32)
    for (const auto& key : handed_out_) quorvel::platform::DeleteSettingsKey(key.c_str());
    // Fails, harmlessly, while another test still has a key below it.
    quorvel::platform::DeleteSettingsKey(kScratchParentKey);
#endif
  }
  ScratchSettings(const ScratchSettings&) = delete;
  ScratchSettings& operator=(const ScratchSettings&) = delete;

  // A key of the scratch area; `Key()` and `Key("other")` are different
  // sibling keys, each deleted at the end.
  std::string Key(const std::string& name = {}) {
    std::string key = name.empty() ? key_ : key_ + "-" + name;
    handed_out_.push_back(key);
    return key;
  }
#if !defined(_WIN32)
  const std::filesystem::path& File() const { return file_; }
  const std::filesystem::path& Dir() const { return dir_.path(); }
#endif

 private:
  std::string key_;
  std::vector<std::string> handed_out_;
#if !defined(_WIN32)
  ScratchDir dir_;
  std::filesystem::path file_;
  ScopedEnv env_;
#endif
};

}  // namespace quorvel_test
