#pragma once
// Undo for the in-memory edit state. The host owns the undo history and the
// rig records on its objects; the plug-in keeps a snapshot of its edit state
// (pose list, display and pick words, palettes) per host undo state number,
// and restores the one the host undoes or redoes to.
#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/mq_types.h"

class MQEXPDOC;
class UNDOBUFF2;

// One stored undo record, tagged with the host undo state it belongs to.
class UNDOBASE {
 public:
  UNDOBASE() = default;
  virtual ~UNDOBASE() = default;
  UNDOBASE(const UNDOBASE&) = delete;
  UNDOBASE& operator=(const UNDOBASE&) = delete;

  // Bytes held.
  virtual int GetSize() const = 0;
  // Puts the recorded state back into the model.
  virtual BOOL Restore(MQEXPDOC* model) = 0;
  // Records the model's current state, replacing what was held.
  virtual BOOL Capture(MQEXPDOC* model) = 0;

  int state = 0;
};

// A binary snapshot of the model's edit state in the chunk format.
class UNDOSUB : public UNDOBASE {
 public:
  // An empty record: restoring it succeeds and changes nothing.
  UNDOSUB() = default;
  // Captures at once; a null model leaves the record empty.
  explicit UNDOSUB(MQEXPDOC* model);
  ~UNDOSUB() override = default;

  int GetSize() const override { return size_; }
  // False for a null model, for a record whose capture failed and for bytes
  // the model refuses (the edit state then stays as it was).
  BOOL Restore(MQEXPDOC* model) override;
  // Writes into a growable stream that starts at 65536 bytes and keeps a
  // copy of exactly the bytes written. False for a null model or when memory
  // runs out; the record is then unusable for restoring.
  BOOL Capture(MQEXPDOC* model) override;

  // Holds a copy of `size` bytes of a snapshot made elsewhere; null data or
  // a size below 1 leaves the record empty.
  void Assign(const uint8_t* data, int size);

  // The held bytes (null when empty).
  const uint8_t* Data() const { return buffer_.get(); }
  // Whether the last capture attempt failed.
  bool CaptureFailed() const { return capture_failed_; }

 private:
  std::unique_ptr<uint8_t[]> buffer_;
  int size_ = 0;
  bool capture_failed_ = false;
};

// A buffer slot: owns its record and knows the buffer it belongs to.
class IUNDOBASE {
 public:
  IUNDOBASE(UNDOBUFF2* owner, std::unique_ptr<UNDOBASE> record)
      : owner_(owner), record_(std::move(record)) {}
  IUNDOBASE(const IUNDOBASE&) = delete;
  IUNDOBASE& operator=(const IUNDOBASE&) = delete;

  UNDOBUFF2* Owner() const { return owner_; }
  UNDOBASE* Record() const { return record_.get(); }

 private:
  UNDOBUFF2* owner_;
  std::unique_ptr<UNDOBASE> record_;
};

// The undo records of one main object, oldest first.
class UNDOBUFF2 {
 public:
  UNDOBUFF2() = default;
  UNDOBUFF2(const UNDOBUFF2&) = delete;
  UNDOBUFF2& operator=(const UNDOBUFF2&) = delete;

  // Destroys every record.
  void Clear();
  // Tags `record` with `state` and appends it. When state > 0, the buffer is
  // not empty and host_size > 1, first drops every record the host can no
  // longer reach: states <= state - host_size - 1 (fallen out of the host's
  // history) and states >= state (a redo branch the new state replaces).
  // A null record changes nothing.
  void Push(int state, int host_size, std::unique_ptr<UNDOBASE> record);
  // The oldest slot whose record carries `state`; null when none does.
  IUNDOBASE* Find(int state) const;
  // The found record's Restore result; FALSE when no record carries `state`.
  BOOL RestoreState(int state, MQEXPDOC* model);

  std::size_t Count() const { return slots_.size(); }
  // The slot at `index` (oldest first); null past the end.
  IUNDOBASE* At(std::size_t index) const {
    return index < slots_.size() ? slots_[index].get() : nullptr;
  }

 private:
  std::vector<std::unique_ptr<IUNDOBASE>> slots_;
};
