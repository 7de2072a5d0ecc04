#include "files/avi_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace morvex::files {

namespace {

constexpr uint32_t kHeaderBytes = sizeof(AviFileHeader);
constexpr uint32_t kChunkHeaderBytes = sizeof(AviChunk);
constexpr uint32_t kFlagsHasIndexWasCapture = 0x10010;
constexpr uint32_t kIndexKeyFrame = 0x10;
constexpr uint32_t kStreamRate = 10000000;

void FourCc(char* out, const char* text) { std::memcpy(out, text, 4); }

void SetList(AviList& list, const char* id, uint32_t size, const char* type) {
  FourCc(list.id, id);
  list.size = size;
  FourCc(list.type, type);
}

void SetChunk(AviChunk& chunk, const char* id, uint32_t size) {
  FourCc(chunk.id, id);
  chunk.size = size;
}

bool EndsWithAvi(const std::string& path) {
  if (path.size() < 4) return false;
  std::string tail = path.substr(path.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  return tail == ".avi";
}

}  // namespace

CAviWriter::~CAviWriter() { Close(); }

void CAviWriter::SetFormat(int32_t width, int32_t height, int32_t bits_per_pixel) {
  width_ = width;
  height_ = height;
  bits_per_pixel_ = bits_per_pixel;
}

void CAviWriter::set_split_limit(int64_t bytes) { split_limit_ = std::min(bytes, kSplitLimit); }

std::string CAviWriter::PartPath(const std::string& first, int32_t number) {
  if (number <= 0) return first;
  const std::string stem = EndsWithAvi(first) ? first.substr(0, first.size() - 4) : first;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "_%04d.avi", static_cast<int>(number));
  return stem + suffix;
}

uint32_t CAviWriter::FrameBytes() const {
  return static_cast<uint32_t>(width_) * static_cast<uint32_t>(height_) * 3u;
}

bool CAviWriter::Open(const std::string& path) {
  Close();
  Reset();
  // One frame with its chunk header and index entry must fit a file.
  const uint64_t frame =
      static_cast<uint64_t>(std::max(width_, 0)) * static_cast<uint64_t>(std::max(height_, 0)) * 3;
  if (path.empty() || frame == 0 ||
      frame + kHeaderBytes + 2 * kChunkHeaderBytes + sizeof(AviIndexEntry) >
          static_cast<uint64_t>(kSplitLimit))
    return false;
  first_path_ = path;
  file_count_ = 0;
  total_frames_ = 0;
  return Begin(path);
}

bool CAviWriter::Begin(const std::string& path) {
  index_.clear();
  times_.clear();
  if (!file_.CreateForWrite(path)) return false;
  const uint32_t frame = FrameBytes();
  const uint32_t chunk = frame + kChunkHeaderBytes;

  header_ = AviFileHeader{};
  SetList(header_.riff, "RIFF", 0, "AVI ");
  SetList(header_.hdrl, "LIST", offsetof(AviFileHeader, movi) - offsetof(AviFileHeader, hdrl) - 8, "hdrl");
  SetChunk(header_.avih, "avih", sizeof(AviMainHeader));
  AviMainHeader& main = header_.main;
  main.micro_sec_per_frame = 1000000 / kOpenRate;
  main.max_bytes_per_sec = chunk * kOpenRate;
  main.flags = kFlagsHasIndexWasCapture;
  main.streams = 1;
  main.suggested_buffer_size = chunk;
  main.width = width_;
  main.height = height_;
  SetList(header_.strl, "LIST", offsetof(AviFileHeader, movi) - offsetof(AviFileHeader, strl) - 8, "strl");
  SetChunk(header_.strh, "strh", sizeof(AviStreamHeader));
  AviStreamHeader& stream = header_.stream;
  FourCc(stream.type, "vids");
  FourCc(stream.handler, "DIB ");
  stream.scale = kStreamRate / kOpenRate;
  stream.rate = kStreamRate;
  stream.suggested_buffer_size = chunk;
  SetChunk(header_.strf, "strf", sizeof(imaging::DibHeader));
  imaging::DibHeader& format = header_.format;
  format.size = sizeof(imaging::DibHeader);
  format.width = width_;
  format.height = height_;  // positive: bottom-up rows
  format.planes = 1;
  format.bit_count = 24;
  SetList(header_.movi, "LIST", 0, "movi");

  path_ = path;
  ++file_count_;
  riff_size_ = kHeaderBytes - 8;
  movi_size_ = sizeof(header_.movi.type);
  if (!file_.Write(&header_, kHeaderBytes)) {
    file_.Close();
    platform::DeleteFileAt(path);
    return false;
  }
  return true;
}

bool CAviWriter::AddFrame(const imaging::CDibImage& frame, uint32_t time_ms) {
  if (!is_open() || frame.empty() || frame.bits_per_pixel() != 24 || frame.width() != width_ ||
      frame.height() != height_)
    return false;
  const uint32_t bytes = FrameBytes();
  const uint32_t chunk = bytes + kChunkHeaderBytes;
  // The file as it would be closed after this frame: frames, index header, index.
  const uint64_t projected = uint64_t{8} + riff_size_ + chunk + kChunkHeaderBytes +
                             sizeof(AviIndexEntry) * (static_cast<uint64_t>(index_.size()) + 1);
  if (!index_.empty() && projected > static_cast<uint64_t>(split_limit_)) {
    if (!Finish() || !Begin(PartPath(first_path_, file_count_))) return false;
  }

  // Each row's width × 3 bytes from its stride: padded rows never drift.
  work_.resize(chunk);
  AviChunk header;
  SetChunk(header, "00db", bytes);
  std::memcpy(work_.data(), &header, sizeof header);
  const size_t row_bytes = static_cast<size_t>(width_) * 3;
  for (int32_t y = 0; y < height_; ++y)
    std::memcpy(work_.data() + kChunkHeaderBytes + static_cast<size_t>(y) * row_bytes, frame.row(y),
                row_bytes);
  if (!file_.Write(work_.data(), chunk)) {
    Finish();
    return false;
  }
  AviIndexEntry entry;
  FourCc(entry.id, "00db");
  entry.flags = kIndexKeyFrame;
  entry.offset = movi_size_;
  entry.size = bytes;
  index_.push_back(entry);
  times_.push_back(time_ms);
  riff_size_ += chunk;
  movi_size_ += chunk;
  ++total_frames_;
  return true;
}

bool CAviWriter::Close() {
  if (!is_open()) return true;
  return Finish();
}

bool CAviWriter::Finish() {
  const uint32_t chunk = FrameBytes() + kChunkHeaderBytes;
  bool complete = true;
  for (;;) {
    const int64_t end = int64_t{8} + riff_size_;
    AviChunk idx1;
    SetChunk(idx1, "idx1", static_cast<uint32_t>(index_.size() * sizeof(AviIndexEntry)));
    // Cuts off what a failed frame write left behind.
    if (file_.Seek(end) && file_.Truncate() && file_.Write(&idx1, sizeof idx1) &&
        file_.Write(index_.data(), idx1.size))
      break;
    complete = false;
    if (index_.empty()) break;
    // The disk is full: the last frame makes room for the index.
    index_.pop_back();
    times_.pop_back();
    riff_size_ -= chunk;
    movi_size_ -= chunk;
    --total_frames_;
  }

  const uint32_t frames = static_cast<uint32_t>(index_.size());
  header_.riff.size = riff_size_ + kChunkHeaderBytes + frames * static_cast<uint32_t>(sizeof(AviIndexEntry));
  header_.movi.size = movi_size_;
  header_.main.total_frames = frames;
  header_.stream.length = frames;
  // Frames per 100 s over the intervals between the first and last frame; a
  // rate the header cannot hold keeps the open-time one.
  if (frames >= 2 && times_.back() != times_.front()) {
    const uint64_t rate = (frames - 1) * uint64_t{100000} / (times_.back() - times_.front());
    if (rate > 0 && rate <= 1000000000) {
      header_.main.micro_sec_per_frame = static_cast<uint32_t>(100000000 / rate);
      header_.stream.scale = static_cast<uint32_t>(1000000000 / rate);
      header_.main.max_bytes_per_sec =
          static_cast<uint32_t>(std::min<uint64_t>(chunk * rate / 100, UINT32_MAX));
    }
  }
  if (!file_.Seek(0) || !file_.Write(&header_, kHeaderBytes)) complete = false;
  file_.Close();
  return complete;
}

void CAviWriter::Reset() {
  file_.Close();
  header_ = AviFileHeader{};
  index_.clear();
  times_.clear();
  std::vector<uint8_t>().swap(work_);
  riff_size_ = 0;
  movi_size_ = 0;
}

}  // namespace morvex::files
