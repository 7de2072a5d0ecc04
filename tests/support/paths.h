// Private files and settings keys for the tests.
#pragma once

#include <string>

namespace morvex::test {

// A path in the temporary directory that no other run uses.
std::string TempPath(const std::string& what);

// Points the store at a private file (natively) or a private key path under
// Software\Quisto\MorvexTest (registry); removes everything on destruction.
class PrivateSettings {
 public:
  PrivateSettings();
  ~PrivateSettings();
  PrivateSettings(const PrivateSettings&) = delete;
  PrivateSettings& operator=(const PrivateSettings&) = delete;
  // A key path under the private root.
  std::string Path(const std::string& relative) const { return root_ + "\\" + relative; }
  const std::string& root() const { return root_; }
  const std::string& file() const { return file_; }

 private:
  std::string root_;
  std::string file_;
};

}  // namespace morvex::test
