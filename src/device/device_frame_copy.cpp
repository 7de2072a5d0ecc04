// Handing frames to the camera instance: the newest ring buffer is copied
// out, with its lines and samples reversed as the sensor's orientation asks.
#include <algorithm>
#include <cstring>
#include <thread>

#include "device/morvex_z3u2_base.h"

namespace morvex {
namespace {

void ReverseSamples(const uint8_t* source, uint8_t* destination, int32_t samples, int32_t sample_bytes) {
  const uint8_t* from = source + static_cast<size_t>(samples - 1) * sample_bytes;
  for (int32_t i = 0; i < samples; ++i, from -= sample_bytes, destination += sample_bytes)
    std::memcpy(destination, from, static_cast<size_t>(sample_bytes));
}

}  // namespace

int32_t CMorvexZ3U2Base::CopySlot(int32_t slot_index, uint8_t* destination, uint32_t /*capacity*/,
                                  int32_t vertical_flag, RingSlot* info) {
  const RingSlot& slot = ring_[slot_index];
  const FrameGeometry g = geometry_;
  const uint8_t* source = slot.data.get();
  const bool upside = g.orientation == 3 || g.orientation == 4;
  const bool reverse_lines = (vertical_flag == 0 && !upside) || (vertical_flag == 1 && upside);
  const bool reverse_samples = g.orientation == 2 || g.orientation == 4;
  const size_t line_bytes = static_cast<size_t>(g.samples_per_line) * static_cast<size_t>(g.bytes_per_sample);

  if (!reverse_lines && !reverse_samples) {
    std::memcpy(destination, source, static_cast<size_t>(frame_byte_count_));
  } else {
    for (int32_t line = 0; line < g.lines; ++line) {
      const int32_t from_line = reverse_lines ? g.lines - 1 - line : line;
      const uint8_t* from = source + static_cast<size_t>(from_line) * line_bytes;
      uint8_t* to = destination + static_cast<size_t>(line) * line_bytes;
      if (reverse_samples)
        ReverseSamples(from, to, g.samples_per_line, g.bytes_per_sample);
      else
        std::memcpy(to, from, line_bytes);
    }
  }
  if (info) {
    info->frame_counter = slot.frame_counter;
    info->header_words = slot.header_words;
    info->pair[0] = slot.pair[0];
    info->pair[1] = slot.pair[1];
    info->word = slot.word;
    info->sequence = slot.sequence;
  }
  return 1;
}

// Pins a buffer so the frame thread leaves it alone, waits out a fill that
// began before the pin (one memcpy at most), copies, and unpins.
int32_t CMorvexZ3U2Base::CopyNewest(uint8_t* destination, uint32_t capacity, int32_t vertical_flag,
                                    int32_t buffer_choice, RingSlot* info) {
  if (!destination || frame_byte_count_ <= 0) return 0;
  if (capacity < static_cast<uint32_t>(frame_byte_count_)) return 0;
  if (!ring_[0].data) return 0;

  int32_t index = 0;
  if (!buffer_choice) {
    index = newest_.load();
    if (index < 0) index = (write_index_.load() + ring_size_ - 1) % ring_size_;
  }
  pinned_.store(index);
  while (filling_.load() == index) std::this_thread::yield();
  RingSlot local;
  const int32_t result = CopySlot(index, destination, capacity, vertical_flag, &local);
  pinned_.store(-1);
  if (!buffer_choice) {
    NoteTaken(local.sequence);
    read_index_.store((index + 1) % ring_size_);
  }
  if (info) {
    info->frame_counter = local.frame_counter;
    info->header_words = local.header_words;
    info->pair[0] = local.pair[0];
    info->pair[1] = local.pair[1];
    info->word = local.word;
    info->sequence = local.sequence;
  }
  return result;
}

void CMorvexZ3U2Base::NoteTaken(uint64_t sequence) {
  const uint64_t previous = taken_.load();
  if (sequence <= previous) return;
  dropped_.fetch_add(sequence - previous - 1);
  taken_.store(sequence);
}

int32_t CMorvexZ3U2Base::CopyFrame(uint8_t* destination, uint32_t capacity, int32_t* frame_counter,
                                   uint32_t* word28, uint32_t* word32, uint32_t* word40, uint32_t* word44,
                                   int32_t buffer_choice, int32_t vertical_flag) {
  RingSlot info;
  if (!CopyNewest(destination, capacity, vertical_flag, buffer_choice, &info)) return 0;
  if (frame_counter) *frame_counter = info.frame_counter;
  if (word28) *word28 = info.header_words[0];
  if (word32) *word32 = info.header_words[1];
  if (word40) *word40 = info.header_words[2];
  if (word44) *word44 = info.header_words[3];
  return 1;
}

int32_t CMorvexZ3U2Base::CopyFirstFrame(uint8_t* destination) {
  if (!destination) return -2;
  CopyNewest(destination, static_cast<uint32_t>(std::max(frame_byte_count_, 0)), 0, 1, nullptr);
  return 0;
}

int32_t CMorvexZ3U2Base::GetFrame(uint8_t* destination, int32_t, int32_t, int32_t, int32_t vertical_flag) {
  CopyNewest(destination, static_cast<uint32_t>(std::max(frame_byte_count_, 0)), vertical_flag, 0, nullptr);
  return 0;
}

int32_t CMorvexZ3U2Base::GetFrameWithInfo(uint8_t* destination, uint32_t* pair, uint32_t* word,
                                          int32_t choice) {
  RingSlot info;
  if (!CopyNewest(destination, static_cast<uint32_t>(std::max(frame_byte_count_, 0)), 1, 0, &info)) return 0;
  if (choice) {
    info.pair[0] = ring_[0].pair[0];
    info.pair[1] = ring_[0].pair[1];
    info.word = ring_[0].word;
  }
  if (pair) {
    pair[0] = info.pair[0];
    pair[1] = info.pair[1];
  }
  if (word) *word = info.word;
  return 0;
}

int32_t CMorvexZ3U2Base::GetFrameEx(uint8_t* destination, int32_t* frame_counter, uint32_t* word28,
                                    uint32_t* word32, uint32_t* word40, uint32_t* word44, int32_t, int32_t,
                                    int32_t, int32_t vertical_flag) {
  RingSlot info;
  if (!CopyNewest(destination, static_cast<uint32_t>(std::max(frame_byte_count_, 0)), vertical_flag, 0,
                  &info))
    return 0;
  if (frame_counter) *frame_counter = info.frame_counter;
  if (word28) *word28 = info.header_words[0];
  if (word32) *word32 = info.header_words[1];
  if (word40) *word40 = info.header_words[2];
  if (word44) *word44 = info.header_words[3];
  return 0;
}

}  // namespace morvex
