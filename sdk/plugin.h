#pragma once
// The plug-in class chain MQBasePlugin → MQStationPlugin → MQCommandPlugin.
// Virtual operations are declared in slot order; the defaults are those a
// plug-in gets when it does not override an operation.
#include <cstdint>
#include <list>

#include "sdk/mq_types.h"
#include "sdk/named_args.h"

struct NEW_DOC_PARAM {
  MQXmlElement elem;  // the plug-in's stored data lies below it; may be null
};

struct SAVE_DOC_PARAM {
  MQXmlElement elem;    // the plug-in writes its data below it; may be null
  BOOL save_unique_id;  // set by the plug-in when the host must keep unique ids
};

class MQBasePlugin {
 public:
  MQBasePlugin() = default;
  MQBasePlugin(const MQBasePlugin&) = delete;
  MQBasePlugin& operator=(const MQBasePlugin&) = delete;

  virtual ~MQBasePlugin() = default;                                            // 0
  virtual void GetPlugInID(uint32_t* product, uint32_t* id) = 0;                // 1
  virtual const char* GetPlugInName() = 0;                                      // 2
  virtual int GetPlugInType() = 0;                                              // 3
};

class MQStationPlugin : public MQBasePlugin {
 public:
  int GetPlugInType() override { return MQPLUGIN_TYPE_STATION; }                 // 3
  virtual const char* EnumString() = 0;                                         // 4
  virtual BOOL Initialize() = 0;                                                // 5
  virtual void Exit() = 0;                                                      // 6
  virtual BOOL Activate(MQDocument doc, BOOL flag) = 0;                         // 7
  virtual BOOL IsActivated(MQDocument doc) = 0;                                 // 8
  virtual void OnMinimize(MQDocument doc, BOOL flag) {}                         // 9
  virtual int OnReceiveUserMessage(MQDocument doc, uint32_t src_product,        // 10
                                   uint32_t src_id, const char* description,
                                   void* message) {
    return 0;
  }
  virtual void OnDraw(MQDocument doc, MQScene scene, int width, int height) {}  // 11
  virtual void OnNewDocument(MQDocument doc, const char* filename,              // 12
                             NEW_DOC_PARAM& param) {}
  virtual void OnEndDocument(MQDocument doc) {}                                 // 13
  virtual void OnSaveDocument(MQDocument doc, const char* filename,             // 14
                              SAVE_DOC_PARAM& param) {}
  virtual BOOL OnUndo(MQDocument doc, int undo_state) { return FALSE; }         // 15
  virtual BOOL OnRedo(MQDocument doc, int redo_state) { return FALSE; }         // 16
  virtual void OnUpdateUndo(MQDocument doc, int undo_state, int undo_size) {}   // 17
  virtual void OnObjectModified(MQDocument doc) {}                              // 18
  virtual void OnObjectSelected(MQDocument doc) {}                              // 19
  virtual void OnUpdateObjectList(MQDocument doc) {}                            // 20
  virtual void OnMaterialModified(MQDocument doc) {}                            // 21
  virtual void OnUpdateMaterialList(MQDocument doc) {}                          // 22
  virtual void OnUpdateScene(MQDocument doc, MQScene scene) {}                  // 23
  virtual bool ExecuteCallback(MQDocument doc, void* option) = 0;               // 24

  // Requests to the host. Each sends a HOST_REQUEST_INFO carrying this
  // plug-in's identifiers through MQ_SendMessage.
  int SendUserMessage(MQDocument doc, uint32_t target_product, uint32_t target_id,
                      const char* description, void* message);
  // `flags`: only the low three bits (points, lines, faces) reach the host.
  MQObject CreateDrawingObject(MQDocument doc, int flags, BOOL instant = TRUE);
  // `index` receives the material index the host chose (-1 if it wrote none).
  MQMaterial CreateDrawingMaterial(MQDocument doc, int& index, BOOL instant = TRUE);
  void DeleteDrawingObject(MQDocument doc, MQObject object);
  void DeleteDrawingMaterial(MQDocument doc, MQMaterial material);
  void UpdateUndo();
  void RedrawAllScene();

  // Asks the host to call ExecuteCallback(doc, option) later, in a context
  // where the document may be edited. The record the host gets back is kept
  // by this object until the host has called it.
  void BeginCallback(void* option);
  // Number of callbacks asked for that the host has not run yet.
  size_t PendingCallbackCount() const { return pending_callbacks_.size(); }

 private:
  struct CallbackRecord {
    MQStationPlugin* plugin;
    void* option;
  };
  static BOOL MQAPICALL StationCallback(MQDocument doc, void* record);
  BOOL RunCallback(MQDocument doc, CallbackRecord* record);
  BOOL Request(int code, NAMED_ARG* args);

  // std::list keeps each record at a fixed address while others come and go.
  std::list<CallbackRecord> pending_callbacks_;
};

class MQCommandPlugin : public MQStationPlugin {
 public:
  int GetPlugInType() override { return MQPLUGIN_TYPE_COMMAND; }
  BOOL IsActivated(MQDocument doc) override { return TRUE; }
  bool ExecuteCallback(MQDocument doc, void* option) override { return true; }

  virtual BOOL OnLeftButtonDown(MQDocument doc, MQScene scene, BUTTON_STATE& state) {    // 25
    return TRUE;
  }
  virtual BOOL OnLeftButtonMove(MQDocument doc, MQScene scene, BUTTON_STATE& state) {    // 26
    return TRUE;
  }
  virtual BOOL OnLeftButtonUp(MQDocument doc, MQScene scene, BUTTON_STATE& state) {      // 27
    return TRUE;
  }
  virtual BOOL OnMiddleButtonDown(MQDocument doc, MQScene scene, BUTTON_STATE& state) {  // 28
    return FALSE;
  }
  virtual BOOL OnMiddleButtonMove(MQDocument doc, MQScene scene, BUTTON_STATE& state) {  // 29
    return FALSE;
  }
  virtual BOOL OnMiddleButtonUp(MQDocument doc, MQScene scene, BUTTON_STATE& state) {    // 30
    return FALSE;
  }
  virtual BOOL OnRightButtonDown(MQDocument doc, MQScene scene, BUTTON_STATE& state) {   // 31
    return FALSE;
  }
  virtual BOOL OnRightButtonMove(MQDocument doc, MQScene scene, BUTTON_STATE& state) {   // 32
    return FALSE;
  }
  virtual BOOL OnRightButtonUp(MQDocument doc, MQScene scene, BUTTON_STATE& state) {     // 33
    return FALSE;
  }
  virtual BOOL OnMouseMove(MQDocument doc, MQScene scene, BUTTON_STATE& state) {         // 34
    return FALSE;
  }
  virtual BOOL OnMouseWheel(MQDocument doc, MQScene scene, BUTTON_STATE& state) {        // 35
    return FALSE;
  }
  virtual BOOL OnKeyDown(MQDocument doc, MQScene scene, int key, BUTTON_STATE& state) {  // 36
    return FALSE;
  }
  virtual BOOL OnKeyUp(MQDocument doc, MQScene scene, int key, BUTTON_STATE& state) {    // 37
    return FALSE;
  }
};
