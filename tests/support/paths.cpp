#include "paths.h"

#include <cstdio>
#include <filesystem>

#include "platform/settings_store.h"
#include "names.h"

namespace morvex::test {

std::string TempPath(const std::string& what) {
  return (std::filesystem::temp_directory_path() / UniqueName(what)).string();
}

PrivateSettings::PrivateSettings() : root_("Software\\Quisto\\MorvexTest\\" + UniqueName("store")) {
#ifndef MORVEX_WIN32
  file_ = TempPath("settings") + ".reg";
  platform::SetSettingsStoreFile(file_);
#endif
}

PrivateSettings::~PrivateSettings() {
  platform::SettingsKey::DeleteTree(root_);
#ifndef MORVEX_WIN32
  platform::SetSettingsStoreFile("");
  std::remove(file_.c_str());
  std::remove((file_ + ".lock").c_str());
#endif
}

}  // namespace morvex::test
