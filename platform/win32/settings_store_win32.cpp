#include <windows.h>

#include <cstring>

#include "platform/settings_store.h"

namespace quorvel::platform {

struct SettingsKey::State {
  HKEY key = nullptr;
};

SettingsKey::SettingsKey() : state_(std::make_unique<State>()) {}
SettingsKey::~SettingsKey() { Close(); }

bool SettingsKey::OpenRead(const char* path) {
  Close();
  if (path == nullptr) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  state_->key = key;
  return true;
}

bool SettingsKey::OpenWrite(const char* path) {
  Close();
  if (path == nullptr) return false;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  state_->key = key;
  return true;
}

bool SettingsKey::IsOpen() const { return state_->key != nullptr; }

bool SettingsKey::ReadInt32(const char* name, std::int32_t* value) const {
  if (state_->key == nullptr || name == nullptr || value == nullptr) return false;
  DWORD type = 0;
  DWORD stored = 0;
  DWORD size = sizeof(stored);
  if (RegQueryValueExA(state_->key, name, nullptr, &type, reinterpret_cast<BYTE*>(&stored),
                       &size) != ERROR_SUCCESS) {
    return false;
  }
  // A value of another type that happens to fit four bytes is not ours.
  if (type != REG_DWORD || size != sizeof(stored)) return false;
  std::memcpy(value, &stored, sizeof(stored));
  return true;
}

bool SettingsKey::WriteInt32(const char* name, std::int32_t value) {
  if (state_->key == nullptr || name == nullptr) return false;
  DWORD stored = 0;
  std::memcpy(&stored, &value, sizeof(stored));
  return RegSetValueExA(state_->key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored),
                        sizeof(stored)) == ERROR_SUCCESS;
}

bool SettingsKey::Close() {
  if (state_->key == nullptr) return true;
  const bool closed = RegCloseKey(state_->key) == ERROR_SUCCESS;
  state_->key = nullptr;
  return closed;
}

bool DeleteSettingsKey(const char* path) {
  if (path == nullptr || *path == '\0') return false;
  return RegDeleteKeyA(HKEY_CURRENT_USER, path) == ERROR_SUCCESS;
}

std::string SettingsFilePath() { return {}; }

}  // namespace quorvel::platform
