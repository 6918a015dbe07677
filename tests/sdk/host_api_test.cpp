#include "sdk/host_api.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "platform/module.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using quorvel::platform::FindSymbol;
using quorvel::platform::CloseModule;
using quorvel::platform::OpenModule;

using CallCountFn = int (*)(const char*);

bool IsLoaded(const char* path) {
#if defined(_WIN32)
  return GetModuleHandleA(path) != nullptr;
#else
  void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (handle != nullptr) dlclose(handle);
  return handle != nullptr;
#endif
}

TEST(HostApiTable, NamesAreUniqueAndInTableOrder) {
  ASSERT_EQ(HostApiFunctionCount(), 89);
  std::set<std::string> names;
  for (int i = 0; i < HostApiFunctionCount(); ++i) names.insert(HostApiFunctionName(i));
  EXPECT_EQ(names.size(), 89u);
  EXPECT_STREQ(HostApiFunctionName(0), "MQ_GetWindowHandle");
  EXPECT_STREQ(HostApiFunctionName(6), "MQDoc_GetObjectCount");
  EXPECT_STREQ(HostApiFunctionName(88), "MQXmlElem_Value");
  EXPECT_EQ(HostApiFunctionName(89), nullptr);
  EXPECT_EQ(HostApiFunctionName(-1), nullptr);
}

TEST(LoadHostApi, FillsEveryEntryWithTheFunctionOfItsName) {
  // The host process keeps its own module loaded; so does this test.
  quorvel::platform::ModuleHandle host = OpenModule(QUORVEL_TEST_HOST_PATH);
  ASSERT_NE(host, nullptr);
  auto call_count = reinterpret_cast<CallCountFn>(FindSymbol(host, "TestHost_CallCount"));
  ASSERT_NE(call_count, nullptr);

  MQHostApi table;
  ASSERT_EQ(LoadHostApi(QUORVEL_TEST_HOST_PATH, table), TRUE);
  const void* const* entries = reinterpret_cast<const void* const*>(&table);
  for (int i = 0; i < HostApiFunctionCount(); ++i) {
    EXPECT_EQ(entries[i], FindSymbol(host, HostApiFunctionName(i))) << HostApiFunctionName(i);
  }
  // Calls through the table land in the host's function of the same name.
  const int before = call_count("MQDoc_GetObjectCount");
  EXPECT_EQ(table.MQDoc_GetObjectCount(nullptr), 0);
  EXPECT_EQ(call_count("MQDoc_GetObjectCount"), before + 1);
  table.MQXmlElem_Value(nullptr, MQXMLELEM_GET_NAME, nullptr);
  EXPECT_EQ(call_count("MQXmlElem_Value"), 1);
  CloseModule(host);
}

TEST(LoadHostApi, ReleasesTheModuleHandleAfterLoading) {
  ASSERT_FALSE(IsLoaded(QUORVEL_TEST_HOST_PATH));
  MQHostApi table;
  EXPECT_EQ(LoadHostApi(QUORVEL_TEST_HOST_PATH, table), TRUE);
  EXPECT_FALSE(IsLoaded(QUORVEL_TEST_HOST_PATH)) << "the reference MQInit took is given back";
}

TEST(LoadHostApi, AMissingNameFailsAndLeavesTheTableCleared) {
  quorvel::platform::ModuleHandle host = OpenModule(QUORVEL_TEST_HOST_PARTIAL_PATH);
  ASSERT_NE(host, nullptr);
  ASSERT_EQ(FindSymbol(host, "MQXmlElem_Value"), nullptr);
  ASSERT_NE(FindSymbol(host, "MQMatrix_FloatValue"), nullptr);

  MQHostApi table;
  table.MQ_RefreshView = reinterpret_cast<void(MQAPICALL*)(void*)>(FindSymbol(host, "MQ_RefreshView"));
  EXPECT_EQ(LoadHostApi(QUORVEL_TEST_HOST_PARTIAL_PATH, table), FALSE);
  const void* const* entries = reinterpret_cast<const void* const*>(&table);
  for (int i = 0; i < HostApiFunctionCount(); ++i) {
    EXPECT_EQ(entries[i], nullptr) << HostApiFunctionName(i);
  }
  CloseModule(host);
}

TEST(LoadHostApi, AModuleThatCannotBeLoadedFails) {
  MQHostApi table;
  EXPECT_EQ(LoadHostApi("no-such-host-module.dll", table), FALSE);
  EXPECT_EQ(LoadHostApi(nullptr, table), FALSE);
  EXPECT_EQ(table.MQ_SendMessage, nullptr);
}

}  // namespace
