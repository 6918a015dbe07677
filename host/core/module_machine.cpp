#include "host/core/module_machine.h"

#include <cstdio>
#include <fstream>

namespace mqhost {

namespace {

constexpr uint16_t kPeI386 = 0x14c;
constexpr uint16_t kPeX64 = 0x8664;
constexpr uint16_t kPe32PlusMagic = 0x20b;
constexpr uint16_t kElfI386 = 3;
constexpr uint16_t kElfX64 = 62;

// The PE signature, the COFF header and the optional header's magic: what
// is read at the offset the DOS header gives.
constexpr std::size_t kPeHeadBytes = 4 + 20 + 2;
// A DOS header places the PE header within the first few kilobytes; a
// larger offset is not a module anyone builds.
constexpr uint32_t kMaxPeOffset = 1u << 20;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

ModuleMachine Pe(const unsigned char* head) {
  ModuleMachine result;
  if (head[0] != 'P' || head[1] != 'E' || head[2] != 0 || head[3] != 0) {
    result.format = ModuleMachine::kUnknown;
    return result;
  }
  result.format = ModuleMachine::kPE;
  result.machine = Le16(head + 4);
  const uint16_t optional_size = Le16(head + 20);
  result.wide = optional_size >= 2 && Le16(head + 24) == kPe32PlusMagic;
  return result;
}

ModuleMachine Elf(const unsigned char* bytes) {
  ModuleMachine result;
  result.format = ModuleMachine::kELF;
  result.wide = bytes[4] == 2;
  // EI_DATA: 1 little-endian, 2 big-endian.
  result.machine = bytes[5] == 2 ? static_cast<uint16_t>(bytes[18] << 8 | bytes[19]) : Le16(bytes + 18);
  return result;
}

bool IsElf(const unsigned char* bytes, std::size_t size) {
  return size >= 20 && bytes[0] == 0x7f && bytes[1] == 'E' && bytes[2] == 'L' && bytes[3] == 'F';
}

bool IsDos(const unsigned char* bytes, std::size_t size) {
  return size >= 64 && bytes[0] == 'M' && bytes[1] == 'Z';
}

const char* MachineName(const ModuleMachine& m) {
  const bool pe = m.format == ModuleMachine::kPE;
  if (m.machine == (pe ? kPeI386 : kElfI386)) return "i386";
  if (m.machine == (pe ? kPeX64 : kElfX64)) return "x86-64";
  return nullptr;
}

}  // namespace

ModuleMachine ReadModuleMachine(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  unsigned char head[64] = {};
  file.read(reinterpret_cast<char*>(head), sizeof head);
  const std::size_t got = static_cast<std::size_t>(file.gcount());
  if (IsElf(head, got)) return Elf(head);
  if (!IsDos(head, got)) return ModuleMachine{got >= 4 ? ModuleMachine::kUnknown : ModuleMachine::kUnreadable};
  const uint32_t offset = Le32(head + 0x3c);
  if (offset > kMaxPeOffset) return ModuleMachine{ModuleMachine::kUnknown};
  // The PE header lies after the DOS stub: read it where it is.
  unsigned char pe[kPeHeadBytes] = {};
  file.clear();
  file.seekg(offset);
  file.read(reinterpret_cast<char*>(pe), sizeof pe);
  if (static_cast<std::size_t>(file.gcount()) != sizeof pe) return {};
  return Pe(pe);
}

ModuleMachine HostMachine() {
  ModuleMachine host;
  host.wide = sizeof(void*) == 8;
#if defined(_WIN32)
  host.format = ModuleMachine::kPE;
  host.machine = host.wide ? kPeX64 : kPeI386;
#else
  host.format = ModuleMachine::kELF;
  host.machine = host.wide ? kElfX64 : kElfI386;
#endif
  return host;
}

std::string DescribeModuleMachine(const ModuleMachine& m) {
  if (m.format == ModuleMachine::kUnreadable) return "an unreadable file";
  if (m.format == ModuleMachine::kUnknown) return "neither Windows nor ELF";
  std::string text = m.wide ? "64-bit " : "32-bit ";
  text += m.format == ModuleMachine::kPE ? "Windows" : "ELF";
  const char* name = MachineName(m);
  if (name != nullptr) {
    text += " (";
    text += name;
    text += ")";
  } else {
    char code[24];
    std::snprintf(code, sizeof code, " (machine %#x)", m.machine);
    text += code;
  }
  return text;
}

}  // namespace mqhost
