#include "main/undo.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "math/log.h"
#include "rig/chunk_stream.h"
#include "rig/document_model.h"

UNDOSUB::UNDOSUB(MQEXPDOC* model) { Capture(model); }

BOOL UNDOSUB::Capture(MQEXPDOC* model) {
  if (model == nullptr) return FALSE;
  try {
    quorvel::ChunkWriter stream;  // reserves its initial 65536 bytes
    model->WriteSnapshot(stream);
    const std::vector<uint8_t>& bytes = stream.data();
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
      throw std::bad_alloc();
    }
    Assign(bytes.data(), static_cast<int>(bytes.size()));
  } catch (const std::bad_alloc&) {
    // The host calls in from its own frames: an exception must not reach it,
    // and a half-made record must not later restore as if it held the state.
    buffer_.reset();
    size_ = 0;
    capture_failed_ = true;
    quorvel::LogPrintf("SaveUndoBuffer:out of memory");
    return FALSE;
  }
  quorvel::LogPrintf("SaveUndoBuffer:buff(%08x),size(%08x)", quorvel::LogAddress(buffer_.get()),
                     static_cast<unsigned int>(size_));
  return TRUE;
}

void UNDOSUB::Assign(const uint8_t* data, int size) {
  std::unique_ptr<uint8_t[]> block;
  if (data != nullptr && size > 0) {
    block = std::make_unique<uint8_t[]>(static_cast<std::size_t>(size));
    std::memcpy(block.get(), data, static_cast<std::size_t>(size));
  }
  buffer_ = std::move(block);
  size_ = buffer_ != nullptr ? size : 0;
  capture_failed_ = false;
}

BOOL UNDOSUB::Restore(MQEXPDOC* model) {
  if (model == nullptr || capture_failed_) return FALSE;
  if (buffer_ == nullptr || size_ <= 0) return TRUE;
  // ReadSnapshot also refreshes the model and re-evaluates the pose; a
  // refused stream leaves the edit state as it was and must not count as done.
  return model->ReadSnapshot(quorvel::ChunkReader(buffer_.get(), static_cast<std::size_t>(size_)))
             ? TRUE
             : FALSE;
}

void UNDOBUFF2::Clear() { slots_.clear(); }

void UNDOBUFF2::Push(int state, int host_size, std::unique_ptr<UNDOBASE> record) {
  if (record == nullptr) return;
  if (state > 0 && !slots_.empty() && host_size > 1) {
    const int oldest_gone = state - host_size - 1;  // both positive: no overflow
    slots_.erase(std::remove_if(slots_.begin(), slots_.end(),
                                [&](const std::unique_ptr<IUNDOBASE>& slot) {
                                  const int s = slot->Record()->state;
                                  return s <= oldest_gone || s >= state;
                                }),
                 slots_.end());
  }
  record->state = state;
  slots_.push_back(std::make_unique<IUNDOBASE>(this, std::move(record)));
}

IUNDOBASE* UNDOBUFF2::Find(int state) const {
  for (const auto& slot : slots_) {
    if (slot->Record()->state == state) return slot.get();
  }
  return nullptr;
}

BOOL UNDOBUFF2::RestoreState(int state, MQEXPDOC* model) {
  IUNDOBASE* slot = Find(state);
  return slot != nullptr ? slot->Record()->Restore(model) : FALSE;
}
