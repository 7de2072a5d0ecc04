// Uncompressed AVI files: one video stream of 24-bit bottom-up DIB frames
// with a legacy index. A recording that grows past the split limit goes on
// in further complete files <name>_0001.avi, <name>_0002.avi, ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/dib_image.h"
#include "platform/file.h"

namespace morvex::files {

// The avih payload.
struct AviMainHeader {
  uint32_t micro_sec_per_frame;
  uint32_t max_bytes_per_sec;
  uint32_t padding_granularity;
  uint32_t flags;
  uint32_t total_frames;
  uint32_t initial_frames;
  uint32_t streams;
  uint32_t suggested_buffer_size;
  int32_t width;
  int32_t height;
  uint32_t reserved[4];
};
static_assert(sizeof(AviMainHeader) == 56);
static_assert(offsetof(AviMainHeader, total_frames) == 16 && offsetof(AviMainHeader, width) == 32);

// The strh payload.
struct AviStreamHeader {
  char type[4];
  char handler[4];
  uint32_t flags;
  uint16_t priority;
  uint16_t language;
  uint32_t initial_frames;
  uint32_t scale;
  uint32_t rate;
  uint32_t start;
  uint32_t length;
  uint32_t suggested_buffer_size;
  uint32_t quality;
  uint32_t sample_size;
  int16_t frame[4];
};
static_assert(sizeof(AviStreamHeader) == 56);
static_assert(offsetof(AviStreamHeader, scale) == 20 && offsetof(AviStreamHeader, length) == 32);
static_assert(offsetof(AviStreamHeader, frame) == 48);

struct AviChunk {
  char id[4];
  uint32_t size;
};
static_assert(sizeof(AviChunk) == 8);

struct AviList {
  char id[4];
  uint32_t size;
  char type[4];
};
static_assert(sizeof(AviList) == 12);

// Everything before the first frame.
struct AviFileHeader {
  AviList riff;
  AviList hdrl;
  AviChunk avih;
  AviMainHeader main;
  AviList strl;
  AviChunk strh;
  AviStreamHeader stream;
  AviChunk strf;
  imaging::DibHeader format;
  AviList movi;
};
static_assert(sizeof(AviFileHeader) == 224);
static_assert(offsetof(AviFileHeader, hdrl) == 12 && offsetof(AviFileHeader, avih) == 24);
static_assert(offsetof(AviFileHeader, main) == 32 && offsetof(AviFileHeader, strl) == 88);
static_assert(offsetof(AviFileHeader, strh) == 100 && offsetof(AviFileHeader, stream) == 108);
static_assert(offsetof(AviFileHeader, strf) == 164 && offsetof(AviFileHeader, format) == 172);
static_assert(offsetof(AviFileHeader, movi) == 212);
static_assert(offsetof(AviFileHeader, main) + offsetof(AviMainHeader, total_frames) == 48);
static_assert(offsetof(AviFileHeader, stream) + offsetof(AviStreamHeader, scale) == 128);
static_assert(offsetof(AviFileHeader, stream) + offsetof(AviStreamHeader, length) == 140);

struct AviIndexEntry {
  char id[4];
  uint32_t flags;
  uint32_t offset;  // of the frame's chunk, from the "movi" type
  uint32_t size;
};
static_assert(sizeof(AviIndexEntry) == 16);

class CAviWriter {
 public:
  static constexpr uint32_t kOpenRate = 30;  // frames per second until measured
  // Many readers refuse files of 2 GB and more.
  static constexpr int64_t kSplitLimit = 0x7FFFFFFF;

  CAviWriter() = default;
  // Finalises an open file.
  ~CAviWriter();
  CAviWriter(const CAviWriter&) = delete;
  CAviWriter& operator=(const CAviWriter&) = delete;

  // The frames' geometry (the output image's); taken by the next Open.
  void SetFormat(int32_t width, int32_t height, int32_t bits_per_pixel);
  // The largest size of one file, at most kSplitLimit (tests lower it).
  void set_split_limit(int64_t bytes);

  // Finalises any open file, then creates `path` and writes the headers.
  bool Open(const std::string& path);
  // Appends one frame: a 24-bit image of the set geometry whose memory rows
  // are already bottom row first; `time_ms` is when it was taken. A frame
  // that would take the file past the split limit starts the next file. On
  // a write error the file is finalised with the frames before and false
  // is returned; the writer is closed then.
  bool AddFrame(const imaging::CDibImage& frame, uint32_t time_ms);
  // Writes the index, the sizes, the frame counts and the measured rate and
  // closes the file; false when a write failed. Nothing to do when closed.
  bool Close();
  // Closes without finalising and clears the headers and the index.
  void Reset();

  bool is_open() const { return file_.is_open(); }
  // Frames in the current (or last) file and in all files of the recording.
  uint32_t frame_count() const { return static_cast<uint32_t>(index_.size()); }
  uint64_t total_frames() const { return total_frames_; }
  // Files begun since Open, the first included.
  int32_t file_count() const { return file_count_; }
  const std::string& path() const { return path_; }
  int32_t bits_per_pixel() const { return bits_per_pixel_; }
  // The name of file `number` of a recording (0: the caller's).
  static std::string PartPath(const std::string& first, int32_t number);

 private:
  bool Begin(const std::string& path);
  // Writes index and headers after the last frame and closes, dropping
  // trailing frames while the index does not fit (disk full).
  bool Finish();
  uint32_t FrameBytes() const;

  platform::File file_;
  AviFileHeader header_{};
  // One frame chunk: "00db", F, the packed rows.
  std::vector<uint8_t> work_;
  uint32_t riff_size_ = 0;
  uint32_t movi_size_ = 0;
  std::vector<AviIndexEntry> index_;
  std::vector<uint32_t> times_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bits_per_pixel_ = 0;
  int64_t split_limit_ = kSplitLimit;
  std::string first_path_;
  std::string path_;
  int32_t file_count_ = 0;
  uint64_t total_frames_ = 0;
};

}  // namespace morvex::files
