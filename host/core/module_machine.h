#pragma once
// What machine a module file was built for, read from its header without
// loading it: the host refuses a plug-in of the other edition (a 32-bit DLL
// in the 64-bit host or the reverse) with a message that names both, instead
// of the loader's bare "bad format".
#include <cstdint>
#include <string>

namespace mqhost {

struct ModuleMachine {
  enum Format { kUnreadable, kUnknown, kPE, kELF };
  Format format = kUnreadable;
  // PE: the COFF header's machine field (0x14c i386, 0x8664 x86-64).
  // ELF: e_machine (3 i386, 62 x86-64).
  uint16_t machine = 0;
  // PE32+ or ELFCLASS64.
  bool wide = false;

  bool operator==(const ModuleMachine& other) const {
    return format == other.format && machine == other.machine && wide == other.wide;
  }
  bool operator!=(const ModuleMachine& other) const { return !(*this == other); }
};

// The header of the file at `path`; kUnreadable when it cannot be opened or
// is too short, kUnknown when it is neither a PE nor an ELF file.
ModuleMachine ReadModuleMachine(const std::string& path);

// What the running host is built as.
ModuleMachine HostMachine();

// What a module is built for, in words: "32-bit Windows (i386)", "64-bit
// Windows (x86-64)", "64-bit ELF (x86-64)".
std::string DescribeModuleMachine(const ModuleMachine& machine);

}  // namespace mqhost
