#pragma once
// Pick results, the parameter block the picker reads, and the mouse ray.
//
// Screen space is the host's: x and y in viewport pixels (y down), z the
// depth the host's conversion gives (0 at the near plane, 1 at the far).
#include <cstdint>

#include "math/fmath.h"
#include "rig/screen_conv_base.h"
#include "sdk/mq_types.h"
#include "tools/screen_conversion.h"
#include "tools/tool_service.h"

// Kinds of a pick result. A handle kind's low digit is its axis (0 centre,
// 1 X, 2 Y, 3 Z) and its second digit the handle type.
enum : int32_t {
  SELKIND_NONE = 0,
  SELKIND_BONE = 0x100,
  SELKIND_PIVOT = 0x181,
  SELKIND_ROLL = 0x183,
  SELKIND_BODY = 0x184,
  SELKIND_HANDLE = 0xF000,
  SELKIND_MOVE_CENTER = 0xF100,
  SELKIND_MOVE_X = 0xF101,
  SELKIND_MOVE_Y = 0xF102,
  SELKIND_MOVE_Z = 0xF103,
  SELKIND_ROTATE_CENTER = 0xF110,
  SELKIND_ROTATE_X = 0xF111,
  SELKIND_ROTATE_Y = 0xF112,
  SELKIND_ROTATE_Z = 0xF113,
  SELKIND_SCALE_CENTER = 0xF120,
  SELKIND_SCALE_X = 0xF121,
  SELKIND_SCALE_Y = 0xF122,
  SELKIND_SCALE_Z = 0xF123,
};

// Bits of the kinds mask a pick or rectangle selection takes.
enum : int {
  PICK_PIVOTS = 1,
  PICK_ROLLS = 4,
  PICK_BODIES = 8,
};

// One pick result, and what the tools keep as the current and the hovered
// item. The id is the picked object's unique id for bone kinds, 0 for handle
// kinds, -1 where a tool stores no object.
class MED_SELECTITEM {
 public:
  MED_SELECTITEM() = default;
  MED_SELECTITEM(int32_t kind, int32_t id) : kind(kind), id(id) {}

  bool IsEmpty() const { return kind == SELKIND_NONE; }
  bool IsHandle() const { return kind > 0xEFFF; }
  bool IsSame(const MED_SELECTITEM& other) const { return kind == other.kind && id == other.id; }

  // SELKIND_BONE for the bone kinds, SELKIND_HANDLE for the move handle's
  // kinds, 0 for anything else (the rotate and scale handles' kinds included).
  static int32_t KindClass(int32_t kind);
  // "Bone", "Handle", or an empty name for class 0.
  static const char* ClassName(int32_t kind_class);

  int32_t kind = SELKIND_NONE;
  int32_t id = 0;
};

// What the picker reads: the conversions, the handle and the pick depth.
class MED_USELECT_PARA_BASE {
 public:
  virtual FVECTOR3 WorldToScreen(const FVECTOR3& p) const = 0;
  virtual FVECTOR3 ScreenToWorld(const FVECTOR3& s) const = 0;
  // The handle's matrix scaled for the view exactly as it is drawn.
  virtual FMATRIX GetHandleMatrix() const = 0;
  virtual bool IsHandleShown() const = 0;
  virtual void SetPickDepth(float depth) = 0;
  virtual float GetPickDepth() const = 0;
  virtual void GetViewportSize(int& width, int& height) const = 0;
  virtual FMATRIX GetProjMatrix() const = 0;
  virtual FMATRIX GetViewMatrix() const = 0;
  // The host scene the conversions come from; null when they come from
  // elsewhere (then every point is converted one by one).
  virtual MQScene GetScene() const { return nullptr; }

 protected:
  MED_USELECT_PARA_BASE() = default;
  MED_USELECT_PARA_BASE(const MED_USELECT_PARA_BASE&) = default;
  MED_USELECT_PARA_BASE& operator=(const MED_USELECT_PARA_BASE&) = default;
  ~MED_USELECT_PARA_BASE() = default;
};

// The parameter block over the plug-in's services and the scene of the event.
// Without a scene the conversions answer their input and the matrices are the
// identity; without a service nothing is shown and the depth is not kept.
class USELECT_PARA final : public MED_USELECT_PARA_BASE {
 public:
  USELECT_PARA(MED_TOOL_SERVICE* service, MQScene scene) : service_(service), converter_(scene) {}

  FVECTOR3 WorldToScreen(const FVECTOR3& p) const override { return converter_.WorldToScreen(p); }
  FVECTOR3 ScreenToWorld(const FVECTOR3& s) const override { return converter_.ScreenToWorld(s); }
  FMATRIX GetHandleMatrix() const override;
  // The handle display is on, the mode is move or pose and the handle active.
  bool IsHandleShown() const override;
  void SetPickDepth(float depth) override;
  float GetPickDepth() const override;
  void GetViewportSize(int& width, int& height) const override;
  FMATRIX GetProjMatrix() const override;
  FMATRIX GetViewMatrix() const override;
  MQScene GetScene() const override { return converter_.Scene(); }

  MQScene Scene() const { return converter_.Scene(); }
  const SCREENCONVMQ& Converter() const { return converter_; }

 private:
  MED_TOOL_SERVICE* service_;
  SCREENCONVMQ converter_;
};

// A ray in world space; the direction has unit length.
struct MOUSE_RAY {
  FVECTOR3 origin;
  FVECTOR3 direction;
};

// From the mouse point at depth 0.001 toward the same point at depth 0.999.
MOUSE_RAY MouseRay(const MED_USELECT_PARA_BASE& para, float x, float y);

// The world point under the mouse at the depth of what was picked last.
FVECTOR3 UnprojectAtPickDepth(const MED_USELECT_PARA_BASE& para, float x, float y);
