#pragma once
// The command processor of an edit mode and the event record it receives.
// The main object builds one COMPROC_CALLBACK on the stack per mouse, key or
// draw event and calls the processor of the current mode with it.
#include "math/fmath.h"
#include "sdk/mq_types.h"
#include "sdk/named_args.h"

class IDLMAIN;

// The abstract event record.
class MED_COMPROC_CALLBACK_BASE {
 public:
  virtual ~MED_COMPROC_CALLBACK_BASE() = default;
  virtual FVECTOR2 GetMousePos() const = 0;
  virtual bool GetShift() const = 0;
  virtual bool GetCtrl() const = 0;
  virtual bool GetAlt() const = 0;
  virtual int GetKey() const = 0;
  virtual IDLMAIN* GetService() const = 0;

 protected:
  MED_COMPROC_CALLBACK_BASE() = default;
  MED_COMPROC_CALLBACK_BASE(const MED_COMPROC_CALLBACK_BASE&) = default;
  MED_COMPROC_CALLBACK_BASE& operator=(const MED_COMPROC_CALLBACK_BASE&) = default;
};

class COMPROC_CALLBACK final : public MED_COMPROC_CALLBACK_BASE {
 public:
  // `state` is copied; draw events pass a zeroed one.
  COMPROC_CALLBACK(IDLMAIN* service, MQDocument doc, MQScene scene, const BUTTON_STATE& state,
                   int key = 0)
      : service_(service), doc_(doc), scene_(scene), state_(state), key_(key) {}

  FVECTOR2 GetMousePos() const override {
    return FVECTOR2{static_cast<float>(state_.x), static_cast<float>(state_.y)};
  }
  bool GetShift() const override { return state_.shift != 0; }
  bool GetCtrl() const override { return state_.ctrl != 0; }
  bool GetAlt() const override { return state_.alt != 0; }
  int GetKey() const override { return key_; }
  IDLMAIN* GetService() const override { return service_; }

  MQDocument GetDocument() const { return doc_; }
  MQScene GetScene() const { return scene_; }
  const BUTTON_STATE& GetButtonState() const { return state_; }

 private:
  IDLMAIN* service_;
  MQDocument doc_;
  MQScene scene_;
  BUTTON_STATE state_;
  int key_;
};

// The processor of one edit mode. Every operation answers an int; only the
// key operation's answer matters (non-zero: the key was consumed).
class MED_COMPROC_BASE {
 public:
  virtual int OnDraw(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnRightButtonDown(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnRightButtonUp(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnRightButtonMove(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnLeftButtonMove(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnLeftButtonUp(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnMouseWheel(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual int OnKeyDown(MED_COMPROC_CALLBACK_BASE& cb) { return 0; }
  virtual ~MED_COMPROC_BASE() = default;

 protected:
  MED_COMPROC_BASE() = default;
  MED_COMPROC_BASE(const MED_COMPROC_BASE&) = default;
  MED_COMPROC_BASE& operator=(const MED_COMPROC_BASE&) = default;
};
