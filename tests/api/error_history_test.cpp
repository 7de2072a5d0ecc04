// The error model seen through the exports: the 20-entry history, recorded
// versus posted-only codes, and silence for unknown handles.
#include <gtest/gtest.h>

#include "MorvexSdk.h"
#include "export_table.h"
#include "message_observer.h"

namespace morvex::test {
namespace {

class Camera {
 public:
  explicit Camera(void* window) : handle_(Morvex_Initialize(window)) {}
  ~Camera() { Morvex_Release(handle_); }
  int handle() const { return handle_; }

 private:
  int handle_;
};

TEST(ErrorHistory, EmptyAfterInitialize) {
  Camera camera(nullptr);
  ASSERT_NE(camera.handle(), 0);
  EXPECT_EQ(Morvex_GetLastError(camera.handle()), MORVEX_ERR_SUCCESS);
}

TEST(ErrorHistory, KeepsTheNewestTwentyNewestFirst) {
  Camera camera(nullptr);
  const int h = camera.handle();
  // Three failures with different codes, in turn.
  const int cycle[3] = {MORVEX_ERR_ARGUMENT, MORVEX_ERR_NOT_READY, MORVEX_ERR_UNSUPPORTED};
  for (int i = 0; i < 25; ++i) {
    switch (i % 3) {
      case 0:
        EXPECT_EQ(Morvex_SetColorMode(h, 12), 0);
        break;
      case 1:
        EXPECT_EQ(Morvex_Capture(h), 0);
        break;
      case 2:
        EXPECT_EQ(Morvex_SendText(h, "text"), 0);
        break;
    }
  }
  for (int i = 24; i >= 5; --i) EXPECT_EQ(Morvex_GetLastError(h), cycle[i % 3]) << "failure " << i;
  EXPECT_EQ(Morvex_GetLastError(h), 0);
  EXPECT_EQ(Morvex_GetLastError(h), 0);
}

TEST(ErrorHistory, VersionIsAConstant) { EXPECT_EQ(Morvex_GetDllVersion(), MORVEX_DLL_VERSION); }

class PostedErrors : public ::testing::Test {
 protected:
  void ExpectPosted(const std::vector<int>& codes, void* window) {
    const std::vector<PostedMessage> posted = observer_.Take();
    ASSERT_EQ(posted.size(), codes.size());
    for (size_t i = 0; i < codes.size(); ++i) {
      EXPECT_EQ(posted[i].window, window);
      EXPECT_EQ(posted[i].message, static_cast<uint32_t>(MORVEX_WM_ERROR));
      EXPECT_EQ(posted[i].wparam, 0u);
      EXPECT_EQ(posted[i].lparam, codes[i]);
    }
  }
  MessageObserver observer_;
};

TEST_F(PostedErrors, RecordedCodesAreAlsoPostedToTheApplicationWindow) {
  Camera camera(observer_.window());
  observer_.Take();
  EXPECT_EQ(Morvex_SendText(camera.handle(), "x"), 0);
  EXPECT_EQ(Morvex_SetColorMode(camera.handle(), 7), 0);
  ExpectPosted({MORVEX_ERR_UNSUPPORTED, MORVEX_ERR_ARGUMENT}, observer_.window());
  EXPECT_EQ(Morvex_GetLastError(camera.handle()), MORVEX_ERR_ARGUMENT);
  EXPECT_EQ(Morvex_GetLastError(camera.handle()), MORVEX_ERR_UNSUPPORTED);
  EXPECT_TRUE(observer_.Take().empty()) << "popping posts nothing";
}

TEST_F(PostedErrors, PostedOnlyCodesSkipTheHistory) {
  Camera camera(observer_.window());
  const int h = camera.handle();
  observer_.Take();
  int flag = 7;
  unsigned char port = 0;
  EXPECT_EQ(Morvex_Fps(h, 30), 0);
  EXPECT_EQ(Morvex_SetHalfClock(h, 1), 0);
  EXPECT_EQ(Morvex_GetHalfClock(h, &flag), 0);
  EXPECT_EQ(Morvex_SetCrossbar(h, 1, 2), 0);
  EXPECT_EQ(Morvex_GetMirrorV(h), 0);
  EXPECT_EQ(Morvex_SetMirrorV(h, 1), 0);
  EXPECT_EQ(Morvex_SetAutoIris(h, 3), 0);
  EXPECT_EQ(Morvex_GetIOPort(h, &port, 0, 0), 0);
  EXPECT_EQ(Morvex_SetIOPort(h, 1), 0);
  EXPECT_EQ(Morvex_ReadSromID(h, 0x10, &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(Morvex_WriteSromID(h, 0x10, 1), 0);
  ExpectPosted({MORVEX_ERR_UNSUPPORTED, MORVEX_ERR_UNSUPPORTED, MORVEX_ERR_UNSUPPORTED,
                MORVEX_ERR_UNSUPPORTED, MORVEX_ERR_NOT_READY, MORVEX_ERR_NOT_READY, MORVEX_ERR_ARGUMENT,
                MORVEX_ERR_NOT_READY, MORVEX_ERR_NOT_READY, MORVEX_ERR_NOT_READY, MORVEX_ERR_NOT_READY},
               observer_.window());
  EXPECT_EQ(Morvex_GetLastError(h), 0);
}

TEST_F(PostedErrors, PostedOnlyCodesGoToANullWindowUnchanged) {
  Camera camera(nullptr);
  observer_.Take();
  EXPECT_EQ(Morvex_Fps(camera.handle(), 30), 0);
  ExpectPosted({MORVEX_ERR_UNSUPPORTED}, nullptr);
}

TEST_F(PostedErrors, RecordedCodesWithoutWindowAreNotPosted) {
  Camera camera(nullptr);
  observer_.Take();
  EXPECT_EQ(Morvex_SendText(camera.handle(), "x"), 0);
  EXPECT_TRUE(observer_.Take().empty());
  EXPECT_EQ(Morvex_GetLastError(camera.handle()), MORVEX_ERR_UNSUPPORTED);
}

TEST_F(PostedErrors, StubsAnswerWithTheirOwnValues) {
  Camera camera(observer_.window());
  const int h = camera.handle();
  int flag = 0;
  EXPECT_EQ(Morvex_GetConfigFilter(h, 1, &flag), -1);
  EXPECT_EQ(Morvex_SetConfigFilter(h, 1, 1), -1);
  EXPECT_EQ(Morvex_ReceiveText(h, nullptr, 0), 0);
  EXPECT_EQ(Morvex_GetStatus(h), 0);
  EXPECT_EQ(Morvex_GetLastError(h), MORVEX_ERR_UNSUPPORTED);
  EXPECT_EQ(Morvex_GetLastError(h), MORVEX_ERR_UNSUPPORTED);
  EXPECT_EQ(Morvex_GetLastError(h), MORVEX_ERR_UNSUPPORTED);
  EXPECT_EQ(Morvex_GetLastError(h), 0);
}

// The same table as the loaded-library test, on the linked-in exports, where
// this program also sees what would be posted natively.
TEST_F(PostedErrors, EveryExportIsSilentForUnknownHandles) {
  int released = Morvex_Initialize(observer_.window());
  ASSERT_EQ(Morvex_Release(released), 1);
  Camera live(observer_.window());
  observer_.Take();
  for (int handle : {0, released, -1}) {
    if (handle == live.handle()) continue;
    for (const ExportEntry& entry : HandleExports()) {
      if (std::string(entry.name) == "Morvex_Release") continue;
      ASSERT_NE(entry.linked_address, nullptr);
      EXPECT_EQ(entry.call(entry.linked_address, handle), entry.unregistered) << entry.name;
    }
  }
  EXPECT_TRUE(observer_.Take().empty());
  EXPECT_TRUE(Scratch::AllZero());
  EXPECT_EQ(Morvex_GetLastError(live.handle()), 0);
}

}  // namespace
}  // namespace morvex::test
