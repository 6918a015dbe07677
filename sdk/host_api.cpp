#include "sdk/host_api.h"

#include <cstddef>
#include <cstring>

#include "platform/module.h"

namespace {

MQHostApi g_host_api;

struct ApiEntry {
  const char* name;
  size_t offset;
};

#define QUORVEL_HOST_API_ENTRY(ret, name, params) {#name, offsetof(MQHostApi, name)},
constexpr ApiEntry kApiEntries[] = {MQ_HOST_API_LIST(QUORVEL_HOST_API_ENTRY)};
#undef QUORVEL_HOST_API_ENTRY

constexpr int kApiCount = static_cast<int>(sizeof(kApiEntries) / sizeof(kApiEntries[0]));
static_assert(sizeof(MQHostApi) == kApiCount * sizeof(void (*)()),
              "every table member is one function pointer");

}  // namespace

MQHostApi& HostApi() { return g_host_api; }

int HostApiFunctionCount() { return kApiCount; }

const char* HostApiFunctionName(int index) {
  return index >= 0 && index < kApiCount ? kApiEntries[index].name : nullptr;
}

BOOL LoadHostApi(const char* path, MQHostApi& table) {
  table = MQHostApi{};
  quorvel::platform::ModuleHandle module = quorvel::platform::OpenModule(path);
  if (module == nullptr) return FALSE;

  MQHostApi loaded;
  bool complete = true;
  for (const ApiEntry& entry : kApiEntries) {
    void* symbol = quorvel::platform::FindSymbol(module, entry.name);
    if (symbol == nullptr) {
      complete = false;
      break;
    }
    // Object and function pointers have the same size on every target we
    // build; copying the bytes avoids a conditionally-supported cast.
    static_assert(sizeof(symbol) == sizeof(void (*)()), "function pointer size");
    std::memcpy(reinterpret_cast<char*>(&loaded) + entry.offset, &symbol, sizeof(symbol));
  }
  quorvel::platform::CloseModule(module);
  if (!complete) return FALSE;
  table = loaded;
  return TRUE;
}
