#include "avi_probe.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "paths.h"

#ifdef MORVEX_WIN32
#include <windows.h>
#endif

namespace morvex::test {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return {};
  return bytes;
}

uint32_t U32(const std::vector<uint8_t>& bytes, size_t offset) {
  if (offset + 4 > bytes.size()) return 0xDEADBEEF;
  return static_cast<uint32_t>(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
                               static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

std::string FourCc(const std::vector<uint8_t>& bytes, size_t offset) {
  if (offset + 4 > bytes.size()) return "";
  return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                     bytes.begin() + static_cast<std::ptrdiff_t>(offset + 4));
}

namespace {

#ifdef MORVEX_WIN32
// The Unix path of a Windows one: ffprobe runs as a program of the host.
std::string UnixPath(const std::string& path) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  auto to_unix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  wchar_t wide[MAX_PATH];
  if (to_unix == nullptr || MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0)
    return path;
  char* unix_path = to_unix(wide);
  if (unix_path == nullptr) return path;
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

bool Run(const std::string& command_line) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = command_line;
  if (!CreateProcessA("Z:\\usr\\bin\\ffprobe", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  WaitForSingleObject(process.hProcess, 120000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}
#else
std::string UnixPath(const std::string& path) { return path; }
bool Run(const std::string& command_line) { return std::system(command_line.c_str()) != -1; }
#endif

}  // namespace

ProbeResult Probe(const std::string& path) {
  ProbeResult result;
  const std::string out = test::TempPath("ffprobe") + ".txt";
  const std::string command =
      "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
      "stream=width,height,nb_read_frames -of default=noprint_wrappers=1 -o \"" +
      UnixPath(out) + "\" \"" + UnixPath(path) + "\"";
  if (Run(command)) {
    // Under Wine the host program is not waited for: its answer is complete
    // once the last field asked for has been written.
    for (int waited = 0;; waited += 50) {
      std::ifstream in(out);
      std::stringstream text;
      text << in.rdbuf();
      result.output = text.str();
      result.ran = in.is_open();
      const size_t last = result.output.find("nb_read_frames=");
#ifdef MORVEX_WIN32
      if ((last != std::string::npos && result.output.find('\n', last) != std::string::npos) ||
          waited > 60000)
        break;
      Sleep(50);
#else
      (void)last, (void)waited;
      break;
#endif
    }
  }
  std::remove(out.c_str());
  std::istringstream lines(result.output);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "width") result.width = std::atoi(value.c_str());
    if (key == "height") result.height = std::atoi(value.c_str());
    if (key == "nb_read_frames") result.frames = std::atoll(value.c_str());
  }
  return result;
}

std::string CheckAviLayout(const std::vector<uint8_t>& file, int32_t width, int32_t height, uint32_t frames) {
  std::ostringstream problems;
  const uint32_t frame = static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 3, chunk = frame + 8;
  const size_t index = 224 + static_cast<size_t>(frames) * chunk;
  const size_t expected_size = index + 8 + 16 * static_cast<size_t>(frames);
  auto expect = [&problems](const char* what, uint64_t expected, uint64_t got) {
    if (expected != got) problems << what << ": expected " << expected << ", got " << got << "; ";
  };
  expect("file size", expected_size, file.size());
  if (file.size() != expected_size) return problems.str();
  expect("RIFF size", file.size() - 8, U32(file, 4));
  expect("hdrl size", 192, U32(file, 16));
  expect("strl size", 116, U32(file, 92));
  expect("strh size", 56, U32(file, 104));
  expect("frames at 48", frames, U32(file, 48));
  expect("frames at 140", frames, U32(file, 140));
  expect("width", static_cast<uint32_t>(width), U32(file, 64));
  expect("height", static_cast<uint32_t>(height), U32(file, 68));
  expect("suggested buffer", chunk, U32(file, 60));
  expect("movi size", 4 + static_cast<uint64_t>(frames) * chunk, U32(file, 216));
  if (FourCc(file, 212) != "LIST" || FourCc(file, 220) != "movi") problems << "no movi list at 212; ";
  if (FourCc(file, index) != "idx1") problems << "no idx1 after the frames; ";
  expect("idx1 size", 16 * static_cast<uint64_t>(frames), U32(file, index + 4));
  for (uint32_t i = 0; i < frames && problems.tellp() == 0; ++i) {
    const size_t entry = index + 8 + 16 * static_cast<size_t>(i);
    const uint32_t offset = U32(file, entry + 8);
    expect("index offset", 4 + static_cast<uint64_t>(i) * chunk, offset);
    expect("index flags", 16, U32(file, entry + 4));
    expect("index size", frame, U32(file, entry + 12));
    if (FourCc(file, entry) != "00db" || FourCc(file, 220 + offset) != "00db")
      problems << "frame " << i << " id; ";
    expect("chunk size", frame, U32(file, 224 + offset));
  }
  return problems.str();
}

}  // namespace morvex::test
