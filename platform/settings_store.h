#pragma once
// The per-user store of named 32-bit values under a key path (such as
// "Software\Ostrak\Quorvel"). Windows: the registry below HKEY_CURRENT_USER,
// REG_DWORD values. Native: one text file holding every key, named by
// QUORVEL_SETTINGS, else $XDG_CONFIG_HOME/quorvel/settings, else
// $HOME/.config/quorvel/settings. Key paths and value names match without
// regard to ASCII case, as the registry's do.

#include <cstdint>
#include <memory>
#include <string>

namespace quorvel::platform {

// One open key; closed when the object goes away.
class SettingsKey {
 public:
  SettingsKey();
  ~SettingsKey();
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;

  // Opens an existing key for reading; false when the key does not exist.
  bool OpenRead(const char* path);
  // Opens the key for reading and writing, creating it when missing; false
  // when the store cannot hold it.
  bool OpenWrite(const char* path);
  bool IsOpen() const;

  // False when the key is not open or holds no 32-bit value of that name;
  // `value` is then left as it was.
  bool ReadInt32(const char* name, std::int32_t* value) const;
  // False when the key is not open for writing or the name cannot be stored.
  bool WriteInt32(const char* name, std::int32_t value);

  // Natively the values written reach the file here (one atomic replacement);
  // false when that failed. Closing a closed key does nothing and answers true.
  bool Close();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Removes a key that has no subkeys, with its values. Used to clean up
// scratch keys; false when there was nothing to remove or removal failed.
bool DeleteSettingsKey(const char* path);

// Native: the file the store reads and writes (empty when neither
// QUORVEL_SETTINGS, XDG_CONFIG_HOME nor HOME gives a place). Windows: empty,
// the registry needs no file.
std::string SettingsFilePath();

}  // namespace quorvel::platform
