#include "rig/chunk_stream.h"

#include <cstring>

namespace quorvel {

namespace {

void PutRaw(std::vector<uint8_t>& data, const void* bytes, std::size_t size) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  data.insert(data.end(), p, p + size);
}

}  // namespace

ChunkWriter::ChunkWriter() { data_.reserve(kInitialCapacity); }

void ChunkWriter::Begin(uint32_t id) {
  open_.push_back(data_.size());
  const uint32_t header[2] = {id, 0};
  PutRaw(data_, header, sizeof header);
}

void ChunkWriter::End() {
  if (open_.empty()) return;
  const std::size_t header = open_.back();
  open_.pop_back();
  const auto length = static_cast<uint32_t>(data_.size() - header - 8);
  std::memcpy(data_.data() + header + 4, &length, sizeof length);
}

void ChunkWriter::PutInt32(int32_t value) { PutRaw(data_, &value, sizeof value); }

void ChunkWriter::PutBytes(const void* data, std::size_t size) {
  if (size > 0) PutRaw(data_, data, size);
}

void ChunkWriter::PutString(std::string_view text) {
  PutBytes(text.data(), text.size());
  data_.push_back(0);
}

bool ChunkReader::NextChunk(uint32_t& id, ChunkReader& payload) {
  if (AtEnd()) return false;
  uint32_t header[2];
  if (Remaining() < sizeof header) return Fail();
  std::memcpy(header, data_ + pos_, sizeof header);
  if (header[1] > Remaining() - sizeof header) return Fail();
  id = header[0];
  payload = ChunkReader(data_ + pos_ + sizeof header, header[1]);
  pos_ += sizeof header + header[1];
  return true;
}

bool ChunkReader::GetInt32(int32_t& value) { return GetBytes(&value, sizeof value); }

bool ChunkReader::GetBytes(void* out, std::size_t size) {
  if (size > Remaining()) return Fail();
  if (size > 0) std::memcpy(out, data_ + pos_, size);
  pos_ += size;
  return true;
}

bool ChunkReader::GetString(std::string& out) {
  const void* nul = Remaining() > 0 ? std::memchr(data_ + pos_, 0, Remaining()) : nullptr;
  if (nul == nullptr) return Fail();
  const auto length = static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - (data_ + pos_));
  out.assign(reinterpret_cast<const char*>(data_ + pos_), length);
  pos_ += length + 1;
  return true;
}

}  // namespace quorvel
