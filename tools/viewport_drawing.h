#pragma once
// Drawing into the host's viewport. The host has no immediate drawing calls:
// everything is put into drawing objects (points, lines or faces) that the
// host shows for one frame and then discards, so every frame draws all again.
#include <array>
#include <memory>

#include "math/fmath.h"
#include "sdk/mq_types.h"
#include "tools/screen_conversion.h"
#include "tools/tool_service.h"

// One drawing object being filled. Destroying the handle releases only the
// handle: the host keeps the object until the frame is drawn.
class MEDUDRAWHANDLE_BASE {
 public:
  virtual ~MEDUDRAWHANDLE_BASE() = default;
  // The new face's index (one point: a point, two: a line).
  virtual int AddFace(int count, const int* vertices) = 0;
  // The new vertex's index.
  virtual int AddVertex(const FVECTOR3& p) = 0;
  virtual void SetFaceMaterial(int face, int material) = 0;
  virtual void SetSmoothAngle(float degrees) = 0;

 protected:
  MEDUDRAWHANDLE_BASE() = default;
  MEDUDRAWHANDLE_BASE(const MEDUDRAWHANDLE_BASE&) = delete;
  MEDUDRAWHANDLE_BASE& operator=(const MEDUDRAWHANDLE_BASE&) = delete;
};

using UDRAW_OBJECT = std::unique_ptr<MEDUDRAWHANDLE_BASE>;

// The drawing interface the rest of the plug-in draws through. Colours take
// r, g, b and ignore alpha.
class MEDUDRAW_BASE {
 public:
  static constexpr int kCirclePoints = 32;

  MEDUDRAW_BASE();
  virtual ~MEDUDRAW_BASE() = default;
  MEDUDRAW_BASE(const MEDUDRAW_BASE&) = delete;
  MEDUDRAW_BASE& operator=(const MEDUDRAW_BASE&) = delete;

  // Null when the host made no object.
  virtual UDRAW_OBJECT CreateLineObject(const UCOLOR& colour) = 0;
  virtual UDRAW_OBJECT CreatePointObject(const UCOLOR& colour) = 0;
  // A face object and a drawing material of the colour; `material` gets the
  // material's index (-1 when the host made none).
  virtual UDRAW_OBJECT CreateFaceObject(const UCOLOR& colour, int& material) = 0;

  virtual FMATRIX GetViewMatrix() const = 0;
  virtual FMATRIX GetProjMatrix() const = 0;
  virtual FVECTOR3 WorldToScreen(const FVECTOR3& p) const = 0;
  virtual FVECTOR3 ScreenToWorld(const FVECTOR3& s) const = 0;
  // The size of the last draw event (640 x 480 before the first).
  virtual void GetViewportSize(int& width, int& height) const = 0;

  // count - 1 two-point faces (i, i + 1) over the given vertex indices.
  static void AddPolyline(MEDUDRAWHANDLE_BASE& object, const int* indices, int count);
  // count / 2 two-point faces, one per pair of indices.
  static void AddSegments(MEDUDRAWHANDLE_BASE& object, const int* pairs, int count);
  // Two vertices and the line between them.
  static void AddLine(MEDUDRAWHANDLE_BASE& object, const FVECTOR3& a, const FVECTOR3& b);
  // One vertex and one one-point face per point.
  static void AddPoints(MEDUDRAWHANDLE_BASE& object, const FVECTOR3* points, int count);
  static void AddPoint(MEDUDRAWHANDLE_BASE& object, const FVECTOR3& point);
  // A point object of its own for one point.
  void DrawPoint(const FVECTOR3& point, const UCOLOR& colour);

  // The unit circle: point i at θ = i · 360/32 degrees is (sin θ, cos θ).
  int CirclePointCount() const { return kCirclePoints; }
  const std::array<FVECTOR3, kCirclePoints>& Circle() const { return circle3_; }
  const std::array<FVECTOR2, kCirclePoints>& Circle2() const { return circle2_; }

 private:
  std::array<FVECTOR3, kCirclePoints> circle3_;
  std::array<FVECTOR2, kCirclePoints> circle2_;
};

// A drawing object of the host.
class UDRAWHANDLEMQ final : public MEDUDRAWHANDLE_BASE {
 public:
  // `kind`: the visibility it was made with (1 points, 2 lines, 4 faces).
  UDRAWHANDLEMQ(MQObject object, int kind) : object_(object), kind_(kind) {}

  int AddFace(int count, const int* vertices) override;
  int AddVertex(const FVECTOR3& p) override;
  void SetFaceMaterial(int face, int material) override;
  void SetSmoothAngle(float degrees) override;

  MQObject Object() const { return object_; }
  int Kind() const { return kind_; }

 private:
  MQObject object_;
  int kind_;
};

// The drawing interface over the host: instant drawing objects and materials
// of the document the service holds, conversions in the scene of the draw
// event (bound with SetScene at the start of each).
class UDRAW_MQ final : public MEDUDRAW_BASE {
 public:
  explicit UDRAW_MQ(MED_TOOL_SERVICE* service) : service_(service) {}

  void SetScene(MQScene scene) { converter_.SetScene(scene); }
  MQScene Scene() const { return converter_.Scene(); }

  UDRAW_OBJECT CreateLineObject(const UCOLOR& colour) override;
  UDRAW_OBJECT CreatePointObject(const UCOLOR& colour) override;
  UDRAW_OBJECT CreateFaceObject(const UCOLOR& colour, int& material) override;
  FMATRIX GetViewMatrix() const override;
  FMATRIX GetProjMatrix() const override;
  FVECTOR3 WorldToScreen(const FVECTOR3& p) const override { return converter_.WorldToScreen(p); }
  FVECTOR3 ScreenToWorld(const FVECTOR3& s) const override { return converter_.ScreenToWorld(s); }
  void GetViewportSize(int& width, int& height) const override;

 private:
  UDRAW_OBJECT CreateColoured(int kind, const UCOLOR& colour);

  MED_TOOL_SERVICE* service_;
  SCREENCONVMQ converter_;
};
