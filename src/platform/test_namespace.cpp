#include "platform/test_namespace.h"

#include <cstdlib>

namespace morvex::platform {

const std::string& TestNamespace() {
  static const std::string value = [] {
    std::string name;
    if (const char* text = std::getenv(kTestNamespaceVariable)) name = text;
    for (char& c : name) {
      const bool plain =
          (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
      if (!plain) c = '_';
    }
    return name;
  }();
  return value;
}

std::string InTestNamespace(const std::string& name) {
  const std::string& space = TestNamespace();
  return space.empty() ? name : name + "." + space;
}

}  // namespace morvex::platform
