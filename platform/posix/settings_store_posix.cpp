// The settings file: a comment header, then one "[key path]" line per key
// followed by its "name=value" lines (decimal int32). Anything else is
// ignored on reading, so a damaged file loses only its damaged lines; it is
// always replaced as a whole (temporary file, then rename), so a reader never
// sees half of it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/settings_store.h"

namespace quorvel::platform {

namespace {

using Values = std::vector<std::pair<std::string, std::int32_t>>;

struct Section {
  std::string key;
  Values values;
};

using Store = std::vector<Section>;

constexpr std::string_view kBlanks = " \t\r";
constexpr size_t kNoSection = static_cast<size_t>(-1);

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// Key paths and names must read back exactly as written: no control
// characters (a newline would split the line) and no surrounding blanks
// (reading trims them); a name must not look like a comment or a header.
bool StorableKey(std::string_view key) {
  if (key.empty() || Trim(key) != key) return false;
  for (const char c : key) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

bool StorableName(std::string_view name) {
  return StorableKey(name) && name.find('=') == std::string_view::npos &&
         std::string_view("#;[").find(name.front()) == std::string_view::npos;
}

bool ParseValue(std::string_view text, std::int32_t* value) {
  if (text.empty()) return false;
  std::int32_t parsed = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, parsed);
  if (error != std::errc() || stop != end) return false;
  *value = parsed;
  return true;
}

void SetValue(Values& values, std::string_view name, std::int32_t value) {
  for (auto& entry : values) {
    if (SameName(entry.first, name)) {
      entry.second = value;
      return;
    }
  }
  values.emplace_back(std::string(name), value);
}

const std::int32_t* FindValue(const Values& values, std::string_view name) {
  for (const auto& entry : values) {
    if (SameName(entry.first, name)) return &entry.second;
  }
  return nullptr;
}

Section* FindSection(Store& store, std::string_view key) {
  for (auto& section : store) {
    if (SameName(section.key, key)) return &section;
  }
  return nullptr;
}

Store Parse(std::string_view text) {
  Store store;
  // Index of the section that value lines belong to; none before the first
  // valid header and after a damaged one, so stray lines never join a key.
  size_t current = kNoSection;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;

    if (line.front() == '[') {
      // A damaged header ends the previous key as well: its values must not
      // land in the wrong place.
      current = kNoSection;
      if (line.size() < 2 || line.back() != ']') continue;
      const std::string_view key = Trim(line.substr(1, line.size() - 2));
      if (!StorableKey(key)) continue;
      for (size_t i = 0; i < store.size(); ++i) {
        if (SameName(store[i].key, key)) current = i;
      }
      if (current == kNoSection) {
        store.push_back(Section{std::string(key), {}});
        current = store.size() - 1;
      }
      continue;
    }

    const size_t equals = line.find('=');
    if (current == kNoSection || equals == std::string_view::npos) continue;
    const std::string_view name = Trim(line.substr(0, equals));
    std::int32_t value = 0;
    if (!StorableName(name) || !ParseValue(Trim(line.substr(equals + 1)), &value)) continue;
    SetValue(store[current].values, name, value);
  }
  return store;
}

std::string Serialize(const Store& store) {
  std::string text =
      "# Quorvel settings: one [key path] line per key, then its name=value lines\n"
      "# (32-bit integers). Rewritten as a whole whenever the settings are stored.\n";
  for (const auto& section : store) {
    text += '\n';
    text += '[';
    text += section.key;
    text += "]\n";
    for (const auto& [name, value] : section.values) {
      text += name;
      text += '=';
      text += std::to_string(value);
      text += '\n';
    }
  }
  return text;
}

// A missing or unreadable file reads as an empty store: settings then keep
// their defaults. Only regular files are read (a path naming a directory or a
// device must not hang or fail the plug-in).
Store LoadStore(const std::string& path) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Parse(text);
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

bool SaveStore(const std::string& path, const Store& store) {
  if (path.empty()) return false;
  const std::filesystem::path target(path);
  if (target.has_parent_path()) {
    std::error_code ignored;
    std::filesystem::create_directories(target.parent_path(), ignored);
  }
  std::string temporary = path + ".XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, Serialize(store)) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

}  // namespace

struct SettingsKey::State {
  bool open = false;
  bool writable = false;
  std::string file;
  std::string key;
  Values values;   // what reads answer: the key as opened plus later writes
  Values pending;  // writes not yet in the file
};

SettingsKey::SettingsKey() : state_(std::make_unique<State>()) {}
SettingsKey::~SettingsKey() { Close(); }

bool SettingsKey::OpenRead(const char* path) {
  Close();
  if (path == nullptr || !StorableKey(path)) return false;
  const std::string file = SettingsFilePath();
  Store store = LoadStore(file);
  Section* section = FindSection(store, path);
  if (section == nullptr) return false;
  state_->open = true;
  state_->file = file;
  state_->key = path;
  state_->values = std::move(section->values);
  return true;
}

bool SettingsKey::OpenWrite(const char* path) {
  Close();
  if (path == nullptr || !StorableKey(path)) return false;
  const std::string file = SettingsFilePath();
  Store store = LoadStore(file);
  Values values;
  if (Section* section = FindSection(store, path)) {
    values = std::move(section->values);
  } else {
    // The key exists from now on, as a created registry key does.
    store.push_back(Section{path, {}});
    if (!SaveStore(file, store)) return false;
  }
  state_->open = true;
  state_->writable = true;
  state_->file = file;
  state_->key = path;
  state_->values = std::move(values);
  return true;
}

bool SettingsKey::IsOpen() const { return state_->open; }

bool SettingsKey::ReadInt32(const char* name, std::int32_t* value) const {
  if (!state_->open || name == nullptr || value == nullptr) return false;
  const std::int32_t* found = FindValue(state_->values, name);
  if (found == nullptr) return false;
  *value = *found;
  return true;
}

bool SettingsKey::WriteInt32(const char* name, std::int32_t value) {
  if (!state_->open || !state_->writable || name == nullptr || !StorableName(name)) return false;
  SetValue(state_->values, name, value);
  SetValue(state_->pending, name, value);
  return true;
}

bool SettingsKey::Close() {
  if (!state_->open) return true;
  bool ok = true;
  if (!state_->pending.empty()) {
    // Read the file again so that keys and values stored meanwhile by
    // someone else survive; only this key's written values change.
    Store store = LoadStore(state_->file);
    Section* section = FindSection(store, state_->key);
    if (section == nullptr) {
      store.push_back(Section{state_->key, {}});
      section = &store.back();
    }
    for (const auto& [name, value] : state_->pending) SetValue(section->values, name, value);
    ok = SaveStore(state_->file, store);
  }
  *state_ = State{};
  return ok;
}

bool DeleteSettingsKey(const char* path) {
  if (path == nullptr) return false;
  const std::string file = SettingsFilePath();
  Store store = LoadStore(file);
  const size_t before = store.size();
  for (auto it = store.begin(); it != store.end();) {
    it = SameName(it->key, path) ? store.erase(it) : it + 1;
  }
  return store.size() != before && SaveStore(file, store);
}

std::string SettingsFilePath() {
  const char* explicit_path = std::getenv("QUORVEL_SETTINGS");
  if (explicit_path != nullptr && *explicit_path != '\0') return explicit_path;
  // A relative XDG_CONFIG_HOME is invalid and to be ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/quorvel/settings";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.config/quorvel/settings";
  return {};
}

}  // namespace quorvel::platform
