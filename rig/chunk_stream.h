#pragma once
// A small nested chunk format for byte streams that stay inside the process
// (undo snapshots of the edit state).
//
// Container layout. A stream is a sequence of chunks; each chunk is
//   offset 0   uint32   identifier
//   offset 4   uint32   payload length L, in bytes
//   offset 8   L bytes  payload
// A payload starts with the chunk's own fields (int32 values, raw bytes,
// NUL-terminated strings, in an order fixed by the chunk's identifier); a
// chunk that holds other chunks continues with them, and they fill the rest
// of its payload exactly. Integers are in the host's byte order, since the
// bytes never leave the process. A reader skips a chunk it does not know by
// its length.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class ChunkWriter {
 public:
  static constexpr std::size_t kInitialCapacity = 65536;

  ChunkWriter();

  // Opens a chunk inside the innermost open one (or at the top level).
  void Begin(uint32_t id);
  // Closes the innermost open chunk and fixes its length; nothing when none
  // is open.
  void End();

  void PutInt32(int32_t value);
  void PutBytes(const void* data, std::size_t size);
  // The bytes of `text` and a terminating NUL.
  void PutString(std::string_view text);

  // Every chunk that was begun has ended.
  bool IsClosed() const { return open_.empty(); }
  const std::vector<uint8_t>& data() const { return data_; }

  // Begin on construction, End on destruction.
  class Scope {
   public:
    Scope(ChunkWriter& writer, uint32_t id) : writer_(writer) { writer_.Begin(id); }
    ~Scope() { writer_.End(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    ChunkWriter& writer_;
  };

 private:
  std::vector<uint8_t> data_;
  std::vector<std::size_t> open_;  // header offsets of the open chunks
};

// A bounded view of bytes: nothing is ever read past its end. The bytes must
// outlive the reader. A read that does not fit fails, marks the reader as
// failed and consumes nothing.
class ChunkReader {
 public:
  ChunkReader() = default;
  ChunkReader(const uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}
  explicit ChunkReader(const std::vector<uint8_t>& bytes) : ChunkReader(bytes.data(), bytes.size()) {}

  std::size_t Remaining() const { return size_ - pos_; }
  bool AtEnd() const { return pos_ == size_; }
  bool Failed() const { return failed_; }

  // The next chunk: its identifier and a reader over exactly its payload.
  // False at the end, and (failed) when a header is cut short or a length
  // runs past the end.
  bool NextChunk(uint32_t& id, ChunkReader& payload);

  bool GetInt32(int32_t& value);
  bool GetBytes(void* out, std::size_t size);
  // Up to the next NUL, which is consumed; fails without one.
  bool GetString(std::string& out);

 private:
  bool Fail() {
    failed_ = true;
    return false;
  }

  const uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace quorvel
