#include "process_tool.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/mask_file.h"
#include "imaging/convert.h"
#include "imaging/defect_mask.h"
#include "imaging/frame_pipeline.h"

namespace morvex::tools {
namespace {

using imaging::CDibImage;

const char kUsage[] =
    "usage: morvex-process --width W --height H --bits 8|16 --mode 0..5 [options] IN OUT\n"
    "  IN   raw samples, rows packed, top row first, 16-bit samples little-endian\n"
    "  OUT  the output image: rows padded to 4 bytes, top row first\n"
    "options:\n"
    "  --bayer-mode 0..3        --gain-r/--gain-g/--gain-b 0..400   --auto-white\n"
    "  --hue -360..360          --saturation -255..255              --gamma 0..200\n"
    "  --contrast -127..127     --sharpness 0..30                   --brightness -255..255\n"
    "  --grey-mode 0..2         --grey-gains R,G1,G2,B (0..255)     --grey-offsets R,G1,G2,B (-255..255)\n"
    "  --auto-grey              --mirror-h  --mirror-v\n"
    "  --mask FILE (mask filter with the file's references)  --dot (dot filter)\n"
    "  --window X,Y (capture offsets pairing the frame with the mask references)\n";

struct UsageError {
  std::string message;
};

bool ParseInt(const char* text, long low, long high, int32_t* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

bool ParseList(const char* text, size_t count, long low, long high, int32_t* out) {
  if (text == nullptr) return false;
  std::string s(text);
  size_t start = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t comma = s.find(',', start);
    const bool last = i + 1 == count;
    if (last != (comma == std::string::npos)) return false;
    const std::string item = s.substr(start, last ? std::string::npos : comma - start);
    if (!ParseInt(item.c_str(), low, high, &out[i])) return false;
    start = comma + 1;
  }
  return true;
}

struct Options {
  int32_t width = -1, height = -1, bits = -1;
  imaging::FrameSettings settings;
  bool mode_given = false;
  std::string mask_path;
  std::string in_path, out_path;
};

Options Parse(int argc, char** argv) {
  Options o;
  std::vector<std::string> positional;
  auto value_of = [&](int& i, const char* name) -> const char* {
    if (i + 1 >= argc) throw UsageError{std::string(name) + " needs a value"};
    return argv[++i];
  };
  auto number = [&](int& i, const char* name, long low, long high, int32_t* out) {
    const char* v = value_of(i, name);
    if (!ParseInt(v, low, high, out)) {
      throw UsageError{std::string(name) + " expects an integer in " + std::to_string(low) + ".." +
                       std::to_string(high) + ", got '" + v + "'"};
    }
  };
  imaging::FrameSettings& s = o.settings;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--width")
      number(i, "--width", 1, 16384, &o.width);
    else if (a == "--height")
      number(i, "--height", 1, 16384, &o.height);
    else if (a == "--bits") {
      number(i, "--bits", 8, 16, &o.bits);
      if (o.bits != 8 && o.bits != 16) throw UsageError{"--bits expects 8 or 16"};
    } else if (a == "--mode") {
      number(i, "--mode", 0, 5, &s.colour_mode);
      o.mode_given = true;
    } else if (a == "--bayer-mode")
      number(i, "--bayer-mode", 0, 3, &s.bayer_mode);
    else if (a == "--gain-r")
      number(i, "--gain-r", 0, 400, &s.bayer_gains.red);
    else if (a == "--gain-g")
      number(i, "--gain-g", 0, 400, &s.bayer_gains.green);
    else if (a == "--gain-b")
      number(i, "--gain-b", 0, 400, &s.bayer_gains.blue);
    else if (a == "--auto-white")
      s.bayer_auto = true;
    else if (a == "--hue")
      number(i, "--hue", -360, 360, &s.hue);
    else if (a == "--saturation")
      number(i, "--saturation", -255, 255, &s.saturation);
    else if (a == "--gamma")
      number(i, "--gamma", 0, 200, &s.gamma);
    else if (a == "--contrast")
      number(i, "--contrast", -127, 127, &s.contrast);
    else if (a == "--sharpness")
      number(i, "--sharpness", 0, 30, &s.sharpness);
    else if (a == "--brightness")
      number(i, "--brightness", -255, 255, &s.brightness);
    else if (a == "--grey-mode")
      number(i, "--grey-mode", 0, 2, &s.grey_mode);
    else if (a == "--grey-gains") {
      if (!ParseList(value_of(i, "--grey-gains"), 4, 0, 255, s.grey.gain))
        throw UsageError{"--grey-gains expects R,G1,G2,B in 0..255"};
    } else if (a == "--grey-offsets") {
      if (!ParseList(value_of(i, "--grey-offsets"), 4, -255, 255, s.grey.offset))
        throw UsageError{"--grey-offsets expects R,G1,G2,B in -255..255"};
    } else if (a == "--auto-grey")
      s.auto_grey_balance = true;
    else if (a == "--mirror-h")
      s.mirror_h = true;
    else if (a == "--mirror-v")
      s.mirror_v = true;
    else if (a == "--mask") {
      o.mask_path = value_of(i, "--mask");
      s.mask_filter = true;
    } else if (a == "--dot")
      s.dot_filter = true;
    else if (a == "--window") {
      int32_t xy[2];
      if (!ParseList(value_of(i, "--window"), 2, 0, 65535, xy) || xy[0] > imaging::kMaskWidth ||
          xy[1] > imaging::kMaskHeight) {
        throw UsageError{"--window expects X,Y with X in 0..640 and Y in 0..512"};
      }
      s.window_x = xy[0];
      s.window_y = xy[1];
    } else if (a.size() > 1 && a[0] == '-') {
      throw UsageError{"unknown option " + a};
    } else {
      positional.push_back(a);
    }
  }
  if (o.width < 0 || o.height < 0 || o.bits < 0 || !o.mode_given) {
    throw UsageError{"--width, --height, --bits and --mode are required"};
  }
  const int32_t raw_bits = (s.colour_mode == 1 || s.colour_mode == 4 || s.colour_mode == 5) ? 16 : 8;
  if (o.bits != raw_bits) {
    throw UsageError{"mode " + std::to_string(s.colour_mode) + " takes " + std::to_string(raw_bits) +
                     "-bit input"};
  }
  if (positional.size() != 2) throw UsageError{"expected IN and OUT"};
  o.in_path = positional[0];
  o.out_path = positional[1];
  return o;
}

bool ReadWhole(const std::string& path, std::vector<uint8_t>* data) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0) data->insert(data->end(), chunk, chunk + n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

bool WriteWhole(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// The tool's device mirrors nothing and has no exposure to adjust.
class OfflineHost : public imaging::FrameHost {};

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "morvex-process: %s\n", message.c_str());
  return code;
}

}  // namespace

int MorvexProcessMain(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return kExitOk;
    }
  }
  Options o;
  try {
    o = Parse(argc, argv);
  } catch (const UsageError& e) {
    return Fail(kExitUsage, e.message + " (--help for usage)");
  }
  imaging::FrameSettings& s = o.settings;

  std::vector<uint8_t> input;
  if (!ReadWhole(o.in_path, &input)) return Fail(kExitIo, "cannot read " + o.in_path);
  const size_t expected = static_cast<size_t>(o.width) * o.height * (o.bits / 8);
  if (input.size() != expected) {
    return Fail(kExitInputSize, o.in_path + " holds " + std::to_string(input.size()) + " bytes, " +
                                    std::to_string(o.width) + " x " + std::to_string(o.height) + " x " +
                                    std::to_string(o.bits) + " bits need " + std::to_string(expected));
  }

  imaging::MaskData mask;
  if (!mask.valid()) return Fail(kExitIo, "out of memory");
  if (!o.mask_path.empty() && !files::LoadMaskFile(o.mask_path, mask)) {
    return Fail(kExitIo, "mask file " + o.mask_path + " refused");
  }

  CDibImage raw, colour, output, work;
  static const uint16_t kOutputBits[6] = {8, 16, 24, 32, 48, 64};
  imaging::FrameImages images;
  images.work = &work;
  if (!raw.Create(o.width, o.height, static_cast<uint16_t>(o.bits))) return Fail(kExitIo, "out of memory");
  if (o.bits == 8)
    images.raw8 = &raw;
  else
    images.raw16 = &raw;
  if (s.colour_mode >= 2) {
    if (!output.Create(o.width, o.height, kOutputBits[s.colour_mode])) return Fail(kExitIo, "out of memory");
    CDibImage** slot[6] = {nullptr,          nullptr,          &images.colour24,
                           &images.colour32, &images.colour48, &images.colour64};
    *slot[s.colour_mode] = &output;
  } else if (s.colour_mode == 0 && s.grey_mode == 2) {
    if (!colour.Create(o.width, o.height, 24)) return Fail(kExitIo, "out of memory");
    images.colour24 = &colour;
  }
  // The frame arrives packed, as from the device, and is spread to the stride.
  std::memcpy(raw.pixels(), input.data(), input.size());
  imaging::RespaceFrame(raw);

  OfflineHost host;
  imaging::FramePipeline pipeline;
  pipeline.Run(images, s, &mask, host);

  const CDibImage* result = images.OutputFor(s.colour_mode);
  if (!WriteWhole(o.out_path, result->pixels(), result->size_bytes())) {
    return Fail(kExitIo, "cannot write " + o.out_path);
  }
  return kExitOk;
}

}  // namespace morvex::tools
