// The per-user settings store natively: one human-readable text file with
// the registry's keys, value names and types, e.g.
//
//   [Software\Quisto\MorvexVelsaTEC3T2Sdk\Camera_00]
//   "Size"=dword:00000000
//   "Name"="text with \"escapes\""
//   "ExposureEx"=hex:00,00,00,00,00,00,f0,3f
//
// Key paths and value names compare case-insensitively, as in the registry.
// Every operation reads the file afresh under an flock of "<file>.lock";
// changes are written to a temporary file that then replaces the store, so
// several processes share it and a reader never sees half a file.
#include "platform/settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

namespace morvex::platform {

namespace {

struct StoredValue {
  std::string name;
  ValueType type = ValueType::kNone;
  std::vector<uint8_t> data;  // strings without their terminator
};

struct StoredKey {
  std::string path;
  std::vector<StoredValue> values;
};

struct Store {
  std::vector<StoredKey> keys;
};

// Registry names are limited to 255 characters per key component.
constexpr size_t kMaxKeyComponent = 255;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// True when `path` lies at or below `root`.
bool IsWithin(const std::string& path, const std::string& root) {
  if (path.size() < root.size()) return false;
  if (!SameName(path.substr(0, root.size()), root)) return false;
  return path.size() == root.size() || path[root.size()] == '\\';
}

// Splits "A\\B\\C" into components; false for an empty path, an empty
// component or one that is too long. A single trailing backslash is allowed.
bool SplitPath(const std::string& path, std::vector<std::string>* parts) {
  parts->clear();
  std::string trimmed = path;
  if (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
  if (trimmed.empty()) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = trimmed.find('\\', start);
    std::string part = trimmed.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part.size() > kMaxKeyComponent) return false;
    parts->push_back(part);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}

StoredKey* FindKey(Store& store, const std::string& path) {
  for (auto& key : store.keys)
    if (SameName(key.path, path)) return &key;
  return nullptr;
}

StoredValue* FindValue(StoredKey& key, const std::string& name) {
  for (auto& value : key.values)
    if (SameName(value.name, name)) return &value;
  return nullptr;
}

// ---- text form ------------------------------------------------------------

void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02x", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text starting at line[pos] == '"'; pos ends after the quote.
bool ParseQuoted(const std::string& line, size_t& pos, std::string* text) {
  if (pos >= line.size() || line[pos] != '"') return false;
  text->clear();
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c != '\\') {
      *text += c;
      continue;
    }
    if (++pos >= line.size()) return false;
    switch (line[pos]) {
      case '"':
        *text += '"';
        break;
      case '\\':
        *text += '\\';
        break;
      case 'n':
        *text += '\n';
        break;
      case 'r':
        *text += '\r';
        break;
      case 't':
        *text += '\t';
        break;
      case 'x': {
        if (pos + 2 >= line.size()) return false;
        const int high = HexDigit(line[pos + 1]), low = HexDigit(line[pos + 2]);
        if (high < 0 || low < 0) return false;
        *text += static_cast<char>(high * 16 + low);
        pos += 2;
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

// Key lines escape control characters and '%' as %XX.
std::string EncodeKeyPath(const std::string& path) {
  std::string out;
  for (unsigned char c : path) {
    if (c < 0x20 || c == 0x7F || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool DecodeKeyPath(const std::string& text, std::string* path) {
  path->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *path += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    *path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::string Serialize(const Store& store) {
  std::string out = "; Morvex settings store: per-user keys and values.\n";
  for (const auto& key : store.keys) {
    out += "\n[" + EncodeKeyPath(key.path) + "]\n";
    for (const auto& value : key.values) {
      AppendQuoted(out, value.name);
      out += '=';
      char buffer[16];
      switch (value.type) {
        case ValueType::kDword: {
          uint32_t number = 0;
          std::memcpy(&number, value.data.data(), sizeof number);
          std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
          out += buffer;
          break;
        }
        case ValueType::kString:
          AppendQuoted(out, std::string(value.data.begin(), value.data.end()));
          break;
        default:
          out += "hex:";
          for (size_t i = 0; i < value.data.size(); ++i) {
            std::snprintf(buffer, sizeof buffer, i ? ",%02x" : "%02x", value.data[i]);
            out += buffer;
          }
      }
      out += '\n';
    }
  }
  return out;
}

bool ParseValueLine(const std::string& line, StoredValue* value) {
  size_t pos = 0;
  if (!ParseQuoted(line, pos, &value->name) || pos >= line.size() || line[pos] != '=') return false;
  const std::string rest = line.substr(pos + 1);
  value->data.clear();
  if (rest.compare(0, 6, "dword:") == 0) {
    const std::string digits = rest.substr(6);
    if (digits.size() != 8) return false;
    uint32_t number = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return false;
      number = number * 16 + static_cast<uint32_t>(d);
    }
    value->type = ValueType::kDword;
    value->data.resize(4);
    std::memcpy(value->data.data(), &number, 4);
    return true;
  }
  if (rest.compare(0, 4, "hex:") == 0) {
    value->type = ValueType::kBinary;
    const std::string bytes = rest.substr(4);
    for (size_t i = 0; i < bytes.size();) {
      if (i + 2 > bytes.size()) return false;
      const int high = HexDigit(bytes[i]), low = HexDigit(bytes[i + 1]);
      if (high < 0 || low < 0) return false;
      value->data.push_back(static_cast<uint8_t>(high * 16 + low));
      i += 2;
      if (i < bytes.size() && bytes[i++] != ',') return false;
    }
    return true;
  }
  size_t text_pos = 0;
  std::string text;
  if (!ParseQuoted(rest, text_pos, &text) || text_pos != rest.size()) return false;
  value->type = ValueType::kString;
  value->data.assign(text.begin(), text.end());
  return true;
}

// Lines that cannot be understood (a hand edit gone wrong) are skipped
// rather than costing the rest of the store.
Store Parse(const std::string& text) {
  Store store;
  StoredKey* current = nullptr;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      current = nullptr;
      std::string path;
      std::vector<std::string> parts;
      if (line.back() != ']' || !DecodeKeyPath(line.substr(1, line.size() - 2), &path) ||
          !SplitPath(path, &parts))
        continue;
      current = FindKey(store, path);
      if (!current) {
        store.keys.push_back(StoredKey{path, {}});
        current = &store.keys.back();
      }
      continue;
    }
    StoredValue value;
    if (!current || !ParseValueLine(line, &value)) continue;
    if (StoredValue* existing = FindValue(*current, value.name))
      *existing = std::move(value);
    else
      current->values.push_back(std::move(value));
  }
  return store;
}

// ---- the file -------------------------------------------------------------

std::mutex& StoreMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& ConfiguredFile() {
  static std::string file;
  return file;
}

std::string DefaultStoreFile() {
  const char* home = getenv("HOME");
  std::string dir;
  if (home && *home) {
    dir = home;
  } else {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) dir = found->pw_dir;
  }
  if (dir.empty()) dir = "/tmp";
  return dir + "/.morvex/settings.reg";
}

void MakeParentDirectories(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1))
    mkdir(file.substr(0, slash).c_str(), 0700);
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return errno == ENOENT;  // no file yet: an empty store
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  return !in.bad();
}

bool WriteAtomically(const std::string& path, const std::string& text) {
  const std::string temp = path + ".tmp." + std::to_string(getpid());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const bool ok = written == text.size() && close(fd) == 0;
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  return true;
}

enum class Access { kRead, kWrite };

// Runs `operation` on the current contents of the store file. It returns
// true when it changed the store, which is then written back.
template <typename Operation>
bool WithStore(const std::string& file, Access access, Operation operation) {
  std::lock_guard<std::mutex> guard(StoreMutex());
  MakeParentDirectories(file);
  const int lock_fd = open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock_fd < 0) return false;
  const int mode = access == Access::kWrite ? LOCK_EX : LOCK_SH;
  while (flock(lock_fd, mode) != 0) {
    if (errno != EINTR) {
      close(lock_fd);
      return false;
    }
  }
  std::string text;
  bool ok = ReadWholeFile(file, &text);
  if (ok) {
    Store store = Parse(text);
    const bool changed = operation(store);
    if (changed && access == Access::kWrite) ok = WriteAtomically(file, Serialize(store));
  }
  close(lock_fd);
  return ok;
}

}  // namespace

// ---------------------------------------------------------------------------

void SetSettingsStoreFile(const std::string& path) {
  std::lock_guard<std::mutex> guard(StoreMutex());
  ConfiguredFile() = path;
}

std::string SettingsStoreFile() {
  std::lock_guard<std::mutex> guard(StoreMutex());
  return ConfiguredFile().empty() ? DefaultStoreFile() : ConfiguredFile();
}

struct SettingsKey::Impl {
  std::string file;  // the store the key was opened in
  std::string path;
};

SettingsKey::SettingsKey() = default;
SettingsKey::~SettingsKey() = default;
SettingsKey::SettingsKey(SettingsKey&&) noexcept = default;
SettingsKey& SettingsKey::operator=(SettingsKey&&) noexcept = default;

bool SettingsKey::Open(const std::string& path) {
  Close();
  std::vector<std::string> parts;
  if (!SplitPath(path, &parts)) return false;
  auto impl = std::make_unique<Impl>();
  impl->file = SettingsStoreFile();
  bool found = false;
  if (!WithStore(impl->file, Access::kRead,
                 [&](Store& store) {
                   if (StoredKey* key =
                           FindKey(store, path.back() == '\\' ? path.substr(0, path.size() - 1) : path)) {
                     found = true;
                     impl->path = key->path;
                   }
                   return false;
                 }) ||
      !found)
    return false;
  impl_ = std::move(impl);
  return true;
}

bool SettingsKey::Create(const std::string& path, bool* created) {
  Close();
  if (created) *created = false;
  std::vector<std::string> parts;
  if (!SplitPath(path, &parts)) return false;
  auto impl = std::make_unique<Impl>();
  impl->file = SettingsStoreFile();
  bool made = false;
  const bool ok = WithStore(impl->file, Access::kWrite, [&](Store& store) {
    std::string prefix;
    for (const auto& part : parts) {
      prefix += prefix.empty() ? part : "\\" + part;
      if (StoredKey* key = FindKey(store, prefix)) {
        prefix = key->path;  // keep the spelling it was created with
      } else {
        store.keys.push_back(StoredKey{prefix, {}});
        made = true;
      }
    }
    impl->path = prefix;
    return made;
  });
  if (!ok) return false;
  if (created) *created = made;
  impl_ = std::move(impl);
  return true;
}

void SettingsKey::Close() { impl_.reset(); }

bool SettingsKey::is_open() const { return impl_ != nullptr; }

namespace {

// Reads one value of the open key; false when the key or value is missing.
template <typename Reader>
bool ReadValue(const std::string& file, const std::string& path, const char* name, Reader reader) {
  bool found = false;
  const bool ok = WithStore(file, Access::kRead, [&](Store& store) {
    StoredKey* key = FindKey(store, path);
    StoredValue* value = key ? FindValue(*key, name) : nullptr;
    if (value) found = reader(*value);
    return false;
  });
  return ok && found;
}

bool WriteValue(const std::string& file, const std::string& path, const char* name, ValueType type,
                const void* data, size_t size) {
  bool written = false;
  const bool ok = WithStore(file, Access::kWrite, [&](Store& store) {
    StoredKey* key = FindKey(store, path);
    if (!key) return false;  // deleted meanwhile
    StoredValue* value = FindValue(*key, name);
    if (!value) {
      key->values.push_back(StoredValue{name, type, {}});
      value = &key->values.back();
    }
    value->type = type;
    const auto* bytes = static_cast<const uint8_t*>(data);
    value->data.assign(bytes, bytes + size);
    written = true;
    return true;
  });
  return ok && written;
}

}  // namespace

bool SettingsKey::QueryDword(const char* name, uint32_t* value) const {
  if (!impl_ || !name || !value) return false;
  uint32_t number = 0;
  // A value of another type is not taken for a number.
  if (!ReadValue(impl_->file, impl_->path, name, [&](const StoredValue& stored) {
        if (stored.type != ValueType::kDword || stored.data.size() != 4) return false;
        std::memcpy(&number, stored.data.data(), 4);
        return true;
      }))
    return false;
  *value = number;
  return true;
}

bool SettingsKey::SetDword(const char* name, uint32_t value) {
  if (!impl_ || !name) return false;
  return WriteValue(impl_->file, impl_->path, name, ValueType::kDword, &value, sizeof value);
}

bool SettingsKey::QueryString(const char* name, std::string* value) const {
  if (!impl_ || !name || !value) return false;
  std::string text;
  if (!ReadValue(impl_->file, impl_->path, name, [&](const StoredValue& stored) {
        if (stored.type != ValueType::kString) return false;
        text.assign(stored.data.begin(), stored.data.end());
        return true;
      }))
    return false;
  // Like a C string read back from the registry: up to the first terminator.
  const size_t end = text.find('\0');
  if (end != std::string::npos) text.resize(end);
  *value = text;
  return true;
}

bool SettingsKey::SetString(const char* name, const std::string& value) {
  if (!impl_ || !name) return false;
  return WriteValue(impl_->file, impl_->path, name, ValueType::kString, value.data(), value.size());
}

bool SettingsKey::QueryBinary(const char* name, void* data, uint32_t capacity, uint32_t* size) const {
  if (!impl_ || !name || (!data && capacity > 0)) return false;
  std::vector<uint8_t> bytes;
  if (!ReadValue(impl_->file, impl_->path, name, [&](const StoredValue& stored) {
        bytes = stored.data;
        return true;
      }))
    return false;
  if (size) *size = static_cast<uint32_t>(bytes.size());
  if (bytes.size() > capacity) return false;
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  return true;
}

bool SettingsKey::SetBinary(const char* name, const void* data, uint32_t size) {
  if (!impl_ || !name || (!data && size > 0)) return false;
  return WriteValue(impl_->file, impl_->path, name, ValueType::kBinary, data, size);
}

ValueType SettingsKey::TypeOf(const char* name) const {
  if (!impl_ || !name) return ValueType::kNone;
  ValueType type = ValueType::kNone;
  ReadValue(impl_->file, impl_->path, name, [&](const StoredValue& stored) {
    type = stored.type;
    return true;
  });
  return type;
}

bool SettingsKey::DeleteValue(const char* name) {
  if (!impl_ || !name) return false;
  bool removed = false;
  const bool ok = WithStore(impl_->file, Access::kWrite, [&](Store& store) {
    StoredKey* key = FindKey(store, impl_->path);
    if (!key) return false;
    auto it = std::find_if(key->values.begin(), key->values.end(),
                           [&](const StoredValue& value) { return SameName(value.name, name); });
    if (it == key->values.end()) return false;
    key->values.erase(it);
    removed = true;
    return true;
  });
  return ok && removed;
}

bool SettingsKey::DeleteTree(const std::string& path) {
  std::vector<std::string> parts;
  if (!SplitPath(path, &parts)) return false;
  const std::string root = path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
  bool removed = false;
  const bool ok = WithStore(SettingsStoreFile(), Access::kWrite, [&](Store& store) {
    const auto before = store.keys.size();
    store.keys.erase(std::remove_if(store.keys.begin(), store.keys.end(),
                                    [&](const StoredKey& key) { return IsWithin(key.path, root); }),
                     store.keys.end());
    removed = store.keys.size() != before;
    return removed;
  });
  return ok && removed;
}

}  // namespace morvex::platform
