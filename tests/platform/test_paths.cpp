#include "test_paths.h"

#include <cstdio>
#include <filesystem>

#include "platform/settings_store.h"
#include "test_names.h"

namespace morvex::platform::test {

std::string TempPath(const std::string& what) {
  return (std::filesystem::temp_directory_path() / UniqueName(what)).string();
}

PrivateSettings::PrivateSettings() : root_("Software\\Quisto\\MorvexTest\\" + UniqueName("store")) {
#ifndef MORVEX_WIN32
  file_ = TempPath("settings") + ".reg";
  SetSettingsStoreFile(file_);
#endif
}

PrivateSettings::~PrivateSettings() {
  SettingsKey::DeleteTree(root_);
#ifndef MORVEX_WIN32
  SetSettingsStoreFile("");
  std::remove(file_.c_str());
  std::remove((file_ + ".lock").c_str());
#endif
}

}  // namespace morvex::platform::test
