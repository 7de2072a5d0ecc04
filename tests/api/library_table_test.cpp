// Loads the shipped library at run time, as an application does, and calls
// every export with handles it does not hold.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "export_table.h"
#include "message_observer.h"
#include "sdk_library.h"

namespace morvex::test {
namespace {

class LibraryTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library_.loaded()) << "the library did not load"; }
  void TearDown() override { library_.Unload(); }
  SdkLibrary library_;
};

TEST_F(LibraryTableTest, TableCoversEveryExportOnce) {
  std::set<std::string> names{"Morvex_Initialize", "Morvex_GetDllVersion"};
  for (const ExportEntry& entry : HandleExports()) EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
  EXPECT_EQ(names.size(), 149u);
  for (const std::string& name : names)
    EXPECT_NE(library_.Find(name.c_str()), nullptr) << name << " is not exported";
}

TEST_F(LibraryTableTest, VersionNeedsNoHandle) {
  auto get_version = library_.Get<decltype(Morvex_GetDllVersion)>("Morvex_GetDllVersion");
  ASSERT_NE(get_version, nullptr);
  EXPECT_EQ(get_version(), 35194145);
}

TEST_F(LibraryTableTest, UnknownHandlesGetTheUnregisteredValueAndNothingIsPosted) {
  auto initialize = library_.Get<decltype(Morvex_Initialize)>("Morvex_Initialize");
  auto release = library_.Get<decltype(Morvex_Release)>("Morvex_Release");
  auto get_wait_time = library_.Get<decltype(Morvex_GetWaitTime)>("Morvex_GetWaitTime");
  ASSERT_NE(initialize, nullptr);
  ASSERT_NE(release, nullptr);
  ASSERT_NE(get_wait_time, nullptr);

  MessageObserver observer;
  const int released = initialize(observer.window());
  ASSERT_NE(released, 0);
  ASSERT_EQ(release(released), 1);
  // A live camera with an application window: an error recorded for it
  // would show up in the window's queue.
  const int live = initialize(observer.window());
  ASSERT_NE(live, 0);
  observer.Take();
  // The wait time comes from the stored settings; it must survive the calls below.
  const int wait_time = get_wait_time(live);
  EXPECT_NE(wait_time, -1);

  const std::vector<ExportEntry> table = HandleExports();
  for (int handle : {0, released, live + 1, -1}) {
    if (handle == live) continue;
    for (const ExportEntry& entry : table) {
      if (std::string(entry.name) == "Morvex_Release") continue;  // would end the live camera on a collision
      void* address = library_.Find(entry.name);
      ASSERT_NE(address, nullptr) << entry.name;
      EXPECT_EQ(entry.call(address, handle), entry.unregistered) << entry.name << " with handle " << handle;
    }
    EXPECT_EQ(release(handle), 0) << "handle " << handle;
  }
  EXPECT_TRUE(Scratch::AllZero()) << "an export wrote through a pointer for an unknown handle";
  EXPECT_TRUE(observer.Take().empty()) << "an export posted for an unknown handle";

  EXPECT_EQ(get_wait_time(live), wait_time);  // the live camera was not disturbed
  EXPECT_EQ(release(live), 1);
  EXPECT_EQ(get_wait_time(live), -1);
}

TEST_F(LibraryTableTest, PostedOnlyCodeReachesTheApplicationWindow) {
  auto initialize = library_.Get<decltype(Morvex_Initialize)>("Morvex_Initialize");
  auto release = library_.Get<decltype(Morvex_Release)>("Morvex_Release");
  auto fps = library_.Get<decltype(Morvex_Fps)>("Morvex_Fps");
  auto send_text = library_.Get<decltype(Morvex_SendText)>("Morvex_SendText");
  auto last_error = library_.Get<decltype(Morvex_GetLastError)>("Morvex_GetLastError");
  MessageObserver observer;
  const int camera = initialize(observer.window());
  ASSERT_NE(camera, 0);
  observer.Take();

  EXPECT_EQ(fps(camera, 30), 0);
  EXPECT_EQ(last_error(camera), 0) << "a posted-only code must not enter the history";
  EXPECT_EQ(send_text(camera, "x"), 0);
  EXPECT_EQ(last_error(camera), MORVEX_ERR_UNSUPPORTED);
#ifdef MORVEX_WIN32
  // Natively the library's own message sink is out of this program's reach.
  const std::vector<PostedMessage> posted = observer.Take();
  ASSERT_EQ(posted.size(), 2u);
  for (const PostedMessage& m : posted) {
    EXPECT_EQ(m.window, observer.window());
    EXPECT_EQ(m.message, static_cast<uint32_t>(MORVEX_WM_ERROR));
    EXPECT_EQ(m.wparam, 0u);
    EXPECT_EQ(m.lparam, MORVEX_ERR_UNSUPPORTED);
  }
#endif
  EXPECT_EQ(release(camera), 1);
}

}  // namespace
}  // namespace morvex::test
