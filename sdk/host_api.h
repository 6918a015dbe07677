#pragma once
// The host's API as the rest of the plug-in sees it: a table of function
// pointers filled once by MQInit. Nothing may call through the table before
// MQInit has answered TRUE.
#include "sdk/host_api_list.h"
#include "sdk/host_codes.h"

struct MQHostApi {
#define QUORVEL_HOST_API_MEMBER(ret, name, params) ret(MQAPICALL* name) params = nullptr;
  MQ_HOST_API_LIST(QUORVEL_HOST_API_MEMBER)
#undef QUORVEL_HOST_API_MEMBER
};

// The process-wide table.
MQHostApi& HostApi();

// Number of functions in the table, and the name of the i-th in lookup order.
int HostApiFunctionCount();
const char* HostApiFunctionName(int index);

// What MQInit does: load the host module at `path`, look up every function
// in order, stopping at the first missing name, and release the module handle
// again (the host stays loaded, so the pointers stay valid). On success the
// table is replaced as a whole; on failure it is left cleared, so a half-filled
// table is never used. Answers TRUE only when every name was found.
BOOL LoadHostApi(const char* path, MQHostApi& table);
