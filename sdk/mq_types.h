#pragma once
// Types that cross the boundary between the host and the plug-in module.
// Every record here is part of the binary interface of both editions of the
// modeller, 32-bit and 64-bit: its sizes and offsets are asserted below with
// the figure of each edition. The 64-bit edition lays records out with
// natural alignment and 8-byte pointers; a record without pointers keeps one
// layout in both.
#include <cstddef>
#include <cstdint>

// Calling convention of the host API functions and of the callbacks the host
// calls. On 32-bit Windows the host's functions are stdcall; a cdecl/stdcall
// mix-up there corrupts the stack, so every pointer type uses this macro.
// x64 has one convention, which the attribute leaves alone.
#if defined(_WIN32)
#define MQAPICALL __stdcall
#else
#define MQAPICALL
#endif

// Member functions that a plug-in built with the vendor's compiler calls on
// objects of ours (the rendering model's table of virtual operations): `this`
// in ECX, the other arguments on the stack, popped by the callee. On x64 an
// ordinary function taking `this` first already matches (RCX, then RDX).
#if defined(_WIN32) && !defined(_WIN64)
#define MQTHISCALL __attribute__((thiscall))
#else
#define MQTHISCALL
#endif

// The module's exported entry points: C linkage, undecorated cdecl names.
#if defined(_WIN32)
#define MQPLUGIN_EXPORT extern "C" __attribute__((dllexport))
#else
#define MQPLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Same definitions as <windows.h>, so both may be included together.
typedef int BOOL;
#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

// Opaque handles of the host; the plug-in never looks inside them.
typedef struct MQCDocument* MQDocument;
typedef struct MQCObject* MQObject;
typedef struct MQCMaterial* MQMaterial;
typedef struct MQCScene* MQScene;
typedef struct MQCXmlElement* MQXmlElement;

struct MQPoint {
  float x, y, z;
};
struct MQCoordinate {
  float u, v;
};
struct MQColor {
  float r, g, b;
};

// The size of a record that holds pointers, which differs between the
// editions: the 32-bit edition's figure, or the 64-bit edition's (natural
// alignment, 8-byte pointers).
constexpr std::size_t MQEditionSize(std::size_t bytes32, std::size_t bytes64) {
  return sizeof(void*) == 4 ? bytes32 : bytes64;
}

// Registration of one user-data kind (MQDoc_CreateUserData); no pointers,
// so one layout in both editions.
struct MQUserDataInfo {
  uint32_t size;            // sizeof(MQUserDataInfo): 40
  uint32_t product_id;
  uint32_t plugin_id;
  char identifier[16];      // at most 15 characters, NUL-terminated
  int32_t userdata_type;    // MQUSERDATA_* below
  int32_t bytes_per_element;
  bool create;              // one byte, then padding to the record's size
  uint8_t reserved[3];
};
static_assert(sizeof(MQUserDataInfo) == 40, "user-data registration record is 40 bytes in both editions");

// One pair of a named-argument list; the list ends with a null name.
struct NAMED_ARG {
  const char* name;
  void* value;
};

// Every request of the plug-in to the host (MQ_SendMessage).
struct HOST_REQUEST_INFO {
  uint32_t product;
  uint32_t plugin_id;
  int32_t index;       // always 0
  NAMED_ARG* option;   // the request's named arguments
};

// The host calls this back (MQ_StationCallback) with the record it was given.
typedef BOOL(MQAPICALL* MQStationCallbackProc)(MQDocument doc, void* option);

// MQXmlElem_Value takes an array of pointer slots (4 bytes each, 8 in the
// 64-bit edition); which slot a code reads and which it writes is listed
// with the codes in host_codes.h. Names and text are UTF-8. Text the host
// returns stays valid until the element is changed or destroyed.
constexpr int kMQXmlSlotCount = 3;

static_assert(sizeof(BOOL) == 4 && sizeof(int) == 4, "4-byte BOOL and int in both editions");
static_assert(sizeof(NAMED_ARG) == MQEditionSize(8, 16), "named argument pair: two pointers");
static_assert(sizeof(HOST_REQUEST_INFO) == MQEditionSize(16, 24), "host request record");
static_assert(offsetof(HOST_REQUEST_INFO, index) == 8, "host request record");
static_assert(offsetof(HOST_REQUEST_INFO, option) == MQEditionSize(12, 16),
              "host request record: the 64-bit edition pads before the pointer");
static_assert(sizeof(MQPoint) == 12 && sizeof(MQCoordinate) == 8 && sizeof(MQColor) == 12,
              "geometry records");
static_assert(offsetof(MQUserDataInfo, identifier) == 12 &&
                  offsetof(MQUserDataInfo, userdata_type) == 28 &&
                  offsetof(MQUserDataInfo, create) == 36 && sizeof(bool) == 1,
              "user-data registration record");

// What one element of a user-data kind belongs to (MQUserDataInfo).
enum MQUserDataType : int32_t {
  MQUSERDATA_OBJECT = 1,
  MQUSERDATA_MATERIAL = 2,
  MQUSERDATA_VERTEX = 3,
  MQUSERDATA_FACE = 4,
};

// Event codes of MQOnEvent.
enum MQEventCode : int {
  MQEVENT_INITIALIZE = 1,
  MQEVENT_EXIT = 2,
  MQEVENT_ACTIVATE = 100,
  MQEVENT_IS_ACTIVATED = 101,
  MQEVENT_MINIMIZE = 102,
  MQEVENT_USER_MESSAGE = 103,
  MQEVENT_DRAW = 110,
  MQEVENT_LBUTTON_DOWN = 120,
  MQEVENT_LBUTTON_MOVE = 121,
  MQEVENT_LBUTTON_UP = 122,
  MQEVENT_MBUTTON_DOWN = 123,
  MQEVENT_MBUTTON_MOVE = 124,
  MQEVENT_MBUTTON_UP = 125,
  MQEVENT_RBUTTON_DOWN = 126,
  MQEVENT_RBUTTON_MOVE = 127,
  MQEVENT_RBUTTON_UP = 128,
  MQEVENT_MOUSE_MOVE = 129,
  MQEVENT_MOUSE_WHEEL = 130,
  MQEVENT_KEY_DOWN = 140,
  MQEVENT_KEY_UP = 141,
  MQEVENT_NEW_DOCUMENT = 200,
  MQEVENT_END_DOCUMENT = 201,
  MQEVENT_SAVE_DOCUMENT = 202,
  MQEVENT_UNDO = 210,
  MQEVENT_REDO = 211,
  MQEVENT_UNDO_UPDATED = 212,
  MQEVENT_OBJECT_LIST = 220,
  MQEVENT_OBJECT_MODIFIED = 221,
  MQEVENT_OBJECT_SELECTED = 222,
  MQEVENT_MATERIAL_LIST = 230,
  MQEVENT_MATERIAL_MODIFIED = 231,
  MQEVENT_SCENE = 240,
};

// Request codes of MQ_SendMessage.
enum MQRequestCode : int {
  MQREQUEST_USER_MESSAGE = 101,
  MQREQUEST_NEW_DRAW_OBJECT = 200,
  MQREQUEST_NEW_DRAW_MATERIAL = 201,
  MQREQUEST_DELETE_DRAW_OBJECT = 210,
  MQREQUEST_DELETE_DRAW_MATERIAL = 211,
  MQREQUEST_UPDATE_UNDO = 301,
  MQREQUEST_REDRAW_ALL_SCENE = 401,
};

// Plug-in kinds returned by GetPlugInType.
enum MQPluginType : int {
  MQPLUGIN_TYPE_IMPORT = 1,
  MQPLUGIN_TYPE_EXPORT = 2,
  MQPLUGIN_TYPE_CREATE = 3,
  MQPLUGIN_TYPE_OBJECT = 4,
  MQPLUGIN_TYPE_SELECT = 5,
  MQPLUGIN_TYPE_STATION = 6,
  MQPLUGIN_TYPE_COMMAND = 7,
};

// The interface version this module was built for (MQCheckVersion).
constexpr uint32_t MQPLUGIN_VERSION = 0x0399;
