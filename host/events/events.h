#pragma once
// The events the modeller sends its plug-ins, each with the named arguments
// that event carries, delivered through Host::SendEvent.
//
// Every function delivers to all loaded plug-ins, or only to `only` when it is
// given, and answers what Host::SendEvent answers: the last plug-in's BOOL
// (FALSE when no plug-in is loaded). Strings (file names, descriptions) are
// passed in the process's narrow encoding, as the file functions take them.
#include <cstdint>
#include <string>

#include "sdk/mq_types.h"
#include "sdk/named_args.h"

namespace mqhost {

class Document;
class Host;
class PluginModule;

// ---------------------------------------------------------------- plug-in life
BOOL SendInitialize(Host& host, PluginModule* only = nullptr);  // 1
BOOL SendExit(Host& host, PluginModule* only = nullptr);        // 2

// ---------------------------------------------------------------- the command
// 100: the option points at a BOOL (TRUE: the command is taken, FALSE: given up).
BOOL SendActivate(Host& host, Document* document, bool activate, PluginModule* only = nullptr);
BOOL SendIsActivated(Host& host, Document* document, PluginModule* only = nullptr);  // 101
// 102: the option points at a BOOL (TRUE: the main window was minimised).
BOOL SendMinimize(Host& host, Document* document, bool minimized, PluginModule* only = nullptr);

// 103: a user message from `src_product`/`src_id` (0, 0: the host itself).
// The target's answer lands in *result when that is given.
BOOL SendUserMessage(Host& host, Document* document, PluginModule* target, uint32_t src_product,
                     uint32_t src_id, const char* description, void* message, int* result);

// ---------------------------------------------------------------- the view
// 110: sets the scene's viewport to width × height first, then sends "scene",
// "width" and "height". The host's viewport painter, when set, sees the
// frame's drawing objects before the instant ones go; they are gone when this
// returns.
BOOL SendDraw(Host& host, Document* document, int width, int height, PluginModule* only = nullptr);

// Mouse buttons and modifier keys of "button_state": the Windows mouse-message
// key flags, and 0x20 for Alt; the same bits the plug-in frame decodes.
constexpr int kButtonLeft = MQBUTTON_LEFT;
constexpr int kButtonRight = MQBUTTON_RIGHT;
constexpr int kButtonShift = MQBUTTON_SHIFT;
constexpr int kButtonCtrl = MQBUTTON_CTRL;
constexpr int kButtonMiddle = MQBUTTON_MIDDLE;
constexpr int kButtonAlt = MQBUTTON_ALT;

// One mouse event: position in viewport pixels (y down), wheel and bits.
struct PointerInput {
  int x = 0;
  int y = 0;
  int wheel = 0;  // wheel delta, mouse wheel events only
  int flags = 0;  // kButton... bits
};

// 120 to 130 (`code` must be one of them): "scene", "button_state",
// "mouse_pos_x", "mouse_pos_y", "mouse_wheel". Answers FALSE for another code.
BOOL SendMouse(Host& host, Document* document, int code, const PointerInput& input,
               PluginModule* only = nullptr);
// 140 / 141: "scene", "key" (a Windows virtual-key code), "button_state".
BOOL SendKey(Host& host, Document* document, bool down, int key, int flags,
             PluginModule* only = nullptr);

// 240: the scene (camera) changed.
BOOL SendScene(Host& host, Document* document, PluginModule* only = nullptr);

// ---------------------------------------------------------------- the document
// 200, once per plug-in: "xml_elem" is that plug-in's own element of the
// document (where its stored data lies), "filename" the file opened (null for
// a new, unnamed document).
BOOL SendNewDocument(Host& host, Document* document, const std::string& filename,
                     PluginModule* only = nullptr);
BOOL SendEndDocument(Host& host, Document* document, PluginModule* only = nullptr);  // 201

struct SaveOutcome {
  BOOL answer = FALSE;
  // Some plug-in asked the host to keep the unique ids in the file.
  bool save_unique_ids = false;
};
// 202, once per plug-in: "xml_elem" is that plug-in's element, emptied first
// so that what the plug-in writes replaces what it wrote before; "filename";
// "save_uid" points at a BOOL preset to FALSE for each plug-in.
SaveOutcome SendSaveDocument(Host& host, Document* document, const std::string& filename,
                             PluginModule* only = nullptr);

// 210, 211 and 212 come from the host's own undo (Host::Undo, Host::Redo,
// Host::RecordUndo), which knows the state numbers.

// 220, 221, 222, 230, 231: notices without arguments.
BOOL SendObjectListChanged(Host& host, Document* document, PluginModule* only = nullptr);
BOOL SendObjectModified(Host& host, Document* document, PluginModule* only = nullptr);
BOOL SendObjectSelected(Host& host, Document* document, PluginModule* only = nullptr);
BOOL SendMaterialListChanged(Host& host, Document* document, PluginModule* only = nullptr);
BOOL SendMaterialModified(Host& host, Document* document, PluginModule* only = nullptr);

// ---------------------------------------------------------------- the keyboard
// The user holds (or lets go of) a key, by Windows virtual-key code, as plug-ins
// see it when they ask for the key state (platform/keyboard.h): the thread's
// key state on Windows, QUORVEL_HELD_KEYS natively.
void HoldKey(int virtual_key, bool held);

// Holds a key for the life of the object (Shift while a document opens).
class HeldKey {
 public:
  explicit HeldKey(int virtual_key) : key_(virtual_key) { HoldKey(key_, true); }
  ~HeldKey() { HoldKey(key_, false); }
  HeldKey(const HeldKey&) = delete;
  HeldKey& operator=(const HeldKey&) = delete;

 private:
  int key_;
};

}  // namespace mqhost
