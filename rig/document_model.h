#pragma once
// The per-document model: ties the rig to one open host document. It holds
// the document handle, the slot table, the in-memory edit state, the view
// and pick options (mirrored into the edit state) and the world/screen
// converter, and runs the whole-document rig operations with them.
#include <cstdint>
#include <memory>
#include <utility>

#include "math/fmath.h"
#include "rig/chunk_stream.h"
#include "rig/edit_state.h"
#include "rig/screen_conv_base.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

// What the document model asks of the main object's service interface
// (which realises it): the model reads one view option when it refreshes.
class MED_DOCMODEL_SERVICE {
 public:
  // Weight colours show only the host's current object.
  virtual bool GetShowCurObjWeight() const = 0;

 protected:
  MED_DOCMODEL_SERVICE() = default;
  MED_DOCMODEL_SERVICE(const MED_DOCMODEL_SERVICE&) = default;
  MED_DOCMODEL_SERVICE& operator=(const MED_DOCMODEL_SERVICE&) = default;
  ~MED_DOCMODEL_SERVICE() = default;
};

class MQEXPDOC {
 public:
  // Bits of the options word.
  enum Option : uint32_t {
    kActive = 1u << 0,
    kRenderState = 1u << 1,   // set while in pose mode
    kShowBone = 1u << 2,      // mirrored to edit state display bit 0
    kDrawBoneRoll = 1u << 3,  // mirrored to edit state display bit 1
    kLockPivot = 1u << 4,     // mirrored to edit state pick mask bit 0
    kLockRoll = 1u << 5,      // pick mask bit 1
    kLockBody = 1u << 6,      // pick mask bit 2
  };
  static constexpr uint32_t kDefaultOptions = kShowBone | kDrawBoneRoll;

  // Recomputes every object's posed world matrix for the edit state's current
  // pose. Pose evaluation sits above the rig library, so the owner hands it in.
  // An evaluator may keep what it learnt of the document between calls.
  class PoseEvaluator {
   public:
    virtual ~PoseEvaluator() = default;
    virtual void Evaluate(MQDocument doc, const quorvel::RigSlotTable& slots,
                          const quorvel::RigEditState& state) = 0;
    // Pivots, the hierarchy or the stored matrices may have changed behind
    // the evaluator's back: the next evaluation starts afresh.
    virtual void Forget() = 0;
  };

  // A null evaluator makes UpdatePoseMatrices do nothing.
  explicit MQEXPDOC(std::unique_ptr<PoseEvaluator> evaluate_pose);
  virtual ~MQEXPDOC();

  MQEXPDOC(const MQEXPDOC&) = delete;
  MQEXPDOC& operator=(const MQEXPDOC&) = delete;

  // ---------------------------------------------------------------- fields
  void SetService(MED_DOCMODEL_SERVICE* service) { service_ = service; }
  MED_DOCMODEL_SERVICE* Service() const { return service_; }
  // A new document also drops what the pose evaluator kept.
  void SetDocument(MQDocument doc);
  MQDocument Document() const { return document_; }
  void SetSlots(const quorvel::RigSlotTable& slots) { slots_ = slots; }
  const quorvel::RigSlotTable& Slots() const { return slots_; }
  quorvel::RigEditState& EditState() { return state_; }
  const quorvel::RigEditState& EditState() const { return state_; }

  // ---------------------------------------------------------------- options
  uint32_t Options() const { return options_; }
  bool GetOption(Option bit) const { return (options_ & bit) != 0; }
  // Sets or clears one bit; the mirrored bits change the edit state too.
  void SetOption(Option bit, bool on);

  bool IsActive() const { return GetOption(kActive); }
  void SetActive(bool on) { SetOption(kActive, on); }
  bool IsRenderState() const { return GetOption(kRenderState); }
  void SetRenderState(bool on) { SetOption(kRenderState, on); }
  bool IsShowBone() const { return GetOption(kShowBone); }
  void SetShowBone(bool on) { SetOption(kShowBone, on); }
  bool IsDrawBoneRoll() const { return GetOption(kDrawBoneRoll); }
  void SetDrawBoneRoll(bool on) { SetOption(kDrawBoneRoll, on); }
  bool IsLockPivot() const { return GetOption(kLockPivot); }
  void SetLockPivot(bool on) { SetOption(kLockPivot, on); }
  bool IsLockRoll() const { return GetOption(kLockRoll); }
  void SetLockRoll(bool on) { SetOption(kLockRoll, on); }
  bool IsLockBody() const { return GetOption(kLockBody); }
  void SetLockBody(bool on) { SetOption(kLockBody, on); }

  // ---------------------------------------------------------------- lifecycle

  // Brings the edit state's display switches in line with the options and the
  // service, and gives every object of the document its rig records.
  void Refresh();
  // What closing the document does: the converter goes, the edit state loses
  // its poses (no current pose, pen 0).
  void Reset();

  // ---------------------------------------------------------------- screen converter

  // Replaces the converter: the old one is destroyed before the new one is made.
  template <typename Converter, typename... Args>
  Converter& CreateScreenConverter(Args&&... args) {
    screen_converter_.reset();
    auto made = std::make_unique<Converter>(std::forward<Args>(args)...);
    Converter& converter = *made;
    screen_converter_ = std::move(made);
    return converter;
  }
  MED_SCREENCONVBASE* ScreenConverter() const { return screen_converter_.get(); }

  // ---------------------------------------------------------------- snapshots

  void WriteSnapshot(quorvel::ChunkWriter& stream) const;
  // Restores the edit state from a snapshot, then refreshes and recomputes the
  // posed world matrices. A refused stream changes nothing and answers false.
  bool ReadSnapshot(quorvel::ChunkReader stream);

  // ---------------------------------------------------------------- poses

  // The posed world matrices of the document for the current pose.
  void UpdatePoseMatrices();
  // Objects moved, were re-parented, or host undo rewrote the document: the
  // next UpdatePoseMatrices learns the document again.
  void ForgetPoseCache();
  // The evaluator UpdatePoseMatrices runs, for callers that store a pose
  // themselves and evaluate it with what the evaluator kept; may be null.
  PoseEvaluator* Evaluator() const { return evaluate_pose_.get(); }
  // (Making, deleting and copying poses and putting bones back to rest are
  // the pose list's operations on a model, rig/pose_list.h; they recompute
  // through UpdatePoseMatrices.)

  // ---------------------------------------------------------------- bones

  // quorvel::MakeBone on this document (mode: quorvel::MakeBoneMode), then
  // Refresh so the new objects get their rig records. The head object, or null.
  MQObject MakeBone(MQObject base, int mode, const FVECTOR3& head, const FVECTOR3& tail);

 private:
  uint32_t options_ = kDefaultOptions;
  MQDocument document_ = nullptr;
  MED_DOCMODEL_SERVICE* service_ = nullptr;
  std::unique_ptr<MED_SCREENCONVBASE> screen_converter_;
  quorvel::RigEditState state_;
  quorvel::RigSlotTable slots_;
  std::unique_ptr<PoseEvaluator> evaluate_pose_;
};
