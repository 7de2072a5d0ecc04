// Shared memory, named mutexes and the settings store between threads and
// between processes. The program re-executes itself with "--child=<role>".
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "child_process.h"
#include "platform/settings_store.h"
#include "platform/shared_memory.h"
#include "platform/sync.h"
#include "names.h"
#include "paths.h"

namespace morvex::platform {
namespace {

constexpr size_t kMapSize = 8584;  // the size of the machine-wide device table

// ---- second-process roles ---------------------------------------------------

enum ChildResult {
  kChildOk = 0,
  kChildFailed = 1,
  kChildWrongState = 2,
  kChildWrongData = 3,
  kChildUsage = 9
};

int ChildTryLock(const std::string& name) {
  NamedMutex mutex(name.c_str());
  if (!mutex.valid()) return kChildFailed;
  if (!mutex.Lock(0)) return kChildWrongState;
  mutex.Unlock();
  return kChildOk;
}

// Opens the parent's mapping, checks its bytes and answers in the next ones.
int ChildSharedMemory(const std::string& name) {
  SharedMemory memory;
  if (!memory.Open(name.c_str(), kMapSize, SharedMemory::Mode::kOpenExisting)) return kChildFailed;
  if (memory.created()) return kChildWrongState;
  auto* bytes = static_cast<char*>(memory.data());
  if (std::memcmp(bytes, "PARENT", 6) != 0) return kChildWrongData;
  std::memcpy(bytes + 100, "CHILD", 5);
  bytes[kMapSize - 1] = 0x5A;
  return kChildOk;
}

int ChildNoSharedMemory(const std::string& name) {
  SharedMemory memory;
  return memory.Open(name.c_str(), kMapSize, SharedMemory::Mode::kOpenExisting) ? kChildWrongState : kChildOk;
}

// Ends the process while holding the mapping and the lock, as a crash would.
int ChildAbandon(const std::string& name) {
  static SharedMemory memory;
  if (!memory.Open(name.c_str(), kMapSize, SharedMemory::Mode::kCreate)) return kChildFailed;
  std::memcpy(memory.data(), "STALE", 5);
  // Windows keeps mappings and mutexes in one namespace: the lock needs a
  // name of its own, as the device table's lock has.
  static NamedMutex mutex((name + "-Lock").c_str());
  if (!mutex.Lock(0)) return kChildWrongState;
  std::fflush(nullptr);
  std::_Exit(kChildOk);
}

int ChildSetEvent(const std::string& name) {
  Event event(false, false, name.c_str());
  if (!event.valid()) return kChildFailed;
  event.Set();
  return kChildOk;
}

int ChildWriteSettings(const std::string& file, const std::string& path) {
  if (!file.empty()) SetSettingsStoreFile(file);
  SettingsKey key;
  bool created = false;
  if (!key.Create(path, &created)) return kChildFailed;
  if (created) return kChildWrongState;
  uint32_t from_parent = 0;
  if (!key.QueryDword("FromParent", &from_parent) || from_parent != 11) return kChildWrongData;
  return key.SetDword("FromChild", 22) ? kChildOk : kChildFailed;
}

int RunChildRole(int argc, char** argv) {
  const std::string role = argv[1] + std::strlen("--child=");
  const std::string arg1 = argc > 2 ? argv[2] : "";
  const std::string arg2 = argc > 3 ? argv[3] : "";
  if (role == "trylock") return ChildTryLock(arg1);
  if (role == "shm") return ChildSharedMemory(arg1);
  if (role == "no-shm") return ChildNoSharedMemory(arg1);
  if (role == "abandon") return ChildAbandon(arg1);
  if (role == "event") return ChildSetEvent(arg1);
  if (role == "settings") return ChildWriteSettings(arg1, arg2);
  return kChildUsage;
}

// ---- shared memory ----------------------------------------------------------

TEST(SharedMemory, SecondOpenSeesTheSameBytesAndDidNotCreate) {
  const std::string name = test::UniqueName("Z3U2-MemMap");
  SharedMemory first;
  ASSERT_TRUE(first.Open(name.c_str(), kMapSize, SharedMemory::Mode::kCreate));
  EXPECT_TRUE(first.valid());
  EXPECT_TRUE(first.created());
  EXPECT_EQ(first.size(), kMapSize);
  const auto* fresh = static_cast<const unsigned char*>(first.data());
  for (size_t i = 0; i < kMapSize; ++i) ASSERT_EQ(fresh[i], 0u) << "not zero-filled at " << i;

  SharedMemory second;
  ASSERT_TRUE(second.Open(name.c_str(), kMapSize, SharedMemory::Mode::kCreate));
  EXPECT_FALSE(second.created());
  static_cast<char*>(first.data())[17] = 42;
  EXPECT_EQ(static_cast<char*>(second.data())[17], 42);
  static_cast<char*>(second.data())[kMapSize - 1] = 7;
  EXPECT_EQ(static_cast<char*>(first.data())[kMapSize - 1], 7);

  SharedMemory third;
  ASSERT_TRUE(third.Open(name.c_str(), kMapSize, SharedMemory::Mode::kOpenExisting));
  EXPECT_FALSE(third.created());
  EXPECT_EQ(static_cast<char*>(third.data())[17], 42);
}

TEST(SharedMemory, OpenExistingFailsWhenThereIsNone) {
  SharedMemory memory;
  EXPECT_FALSE(memory.Open(test::UniqueName("absent").c_str(), kMapSize, SharedMemory::Mode::kOpenExisting));
  EXPECT_FALSE(memory.valid());
  EXPECT_EQ(memory.data(), nullptr);
  EXPECT_FALSE(memory.created());
}

TEST(SharedMemory, VanishesWithItsLastUser) {
  const std::string name = test::UniqueName("lifetime");
  {
    SharedMemory first, second;
    ASSERT_TRUE(first.Open(name.c_str(), kMapSize, SharedMemory::Mode::kCreate));
    ASSERT_TRUE(second.Open(name.c_str(), kMapSize, SharedMemory::Mode::kCreate));
    static_cast<char*>(first.data())[0] = 1;
    first.Close();
    EXPECT_FALSE(first.valid());
    EXPECT_EQ(static_cast<char*>(second.data())[0], 1) << "still held by the second";
    SharedMemory third;
    ASSERT_TRUE(third.Open(name.c_str(), kMapSize, SharedMemory::Mode::kOpenExisting));
    EXPECT_EQ(static_cast<char*>(third.data())[0], 1);
  }
  SharedMemory again;
  ASSERT_TRUE(again.Open(name.c_str(), kMapSize, SharedMemory::Mode::kCreate));
  EXPECT_TRUE(again.created());
  EXPECT_EQ(static_cast<char*>(again.data())[0], 0);
}

TEST(SharedMemory, AnExistingMappingSmallerThanAskedForIsRefused) {
  const std::string name = test::UniqueName("small");
  SharedMemory small;
  ASSERT_TRUE(small.Open(name.c_str(), 64, SharedMemory::Mode::kCreate));
  SharedMemory large;
  EXPECT_FALSE(large.Open(name.c_str(), 1 << 20, SharedMemory::Mode::kCreate));
  EXPECT_FALSE(large.valid());
  SharedMemory same;
  EXPECT_TRUE(same.Open(name.c_str(), 64, SharedMemory::Mode::kOpenExisting));
}

TEST(SharedMemory, BadArgumentsAreRefused) {
  SharedMemory memory;
  EXPECT_FALSE(memory.Open(nullptr, kMapSize, SharedMemory::Mode::kCreate));
  EXPECT_FALSE(memory.Open("", kMapSize, SharedMemory::Mode::kCreate));
  EXPECT_FALSE(memory.Open(test::UniqueName("empty").c_str(), 0, SharedMemory::Mode::kCreate));
  EXPECT_FALSE(memory.valid());
}

TEST(SharedMemory, ConcurrentFirstOpensCreateExactlyOnce) {
  const std::string name = test::UniqueName("race");
  SharedMemory memories[4];
  bool created[4] = {};
  bool opened[4] = {};
  std::thread threads[4];
  for (int i = 0; i < 4; ++i)
    threads[i] = std::thread([&, i] {
      opened[i] = memories[i].Open(name.c_str(), kMapSize, SharedMemory::Mode::kCreate);
      created[i] = memories[i].created();
    });
  for (auto& thread : threads) thread.join();
  int creators = 0;
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(opened[i]);
    creators += created[i];
  }
  EXPECT_EQ(creators, 1);
}

TEST(SharedMemory, AnotherProcessSeesTheSameBytes) {
  const std::string name = test::UniqueName("Z3U2-MemMap");
  SharedMemory memory;
  ASSERT_TRUE(memory.Open(name.c_str(), kMapSize, SharedMemory::Mode::kCreate));
  std::memcpy(memory.data(), "PARENT", 6);
  ASSERT_EQ(test::RunSelf({"--child=shm", name}), kChildOk);
  const auto* bytes = static_cast<const char*>(memory.data());
  EXPECT_EQ(std::memcmp(bytes + 100, "CHILD", 5), 0);
  EXPECT_EQ(bytes[kMapSize - 1], 0x5A);
  memory.Close();
  EXPECT_EQ(test::RunSelf({"--child=no-shm", name}), kChildOk) << "the mapping outlived its users";
}

TEST(SharedMemory, DiesWithAProcessThatEndsWithoutClosing) {
  const std::string name = test::UniqueName("crash");
  ASSERT_EQ(test::RunSelf({"--child=abandon", name}), kChildOk);
  SharedMemory memory;
  EXPECT_FALSE(memory.Open(name.c_str(), kMapSize, SharedMemory::Mode::kOpenExisting));
  ASSERT_TRUE(memory.Open(name.c_str(), kMapSize, SharedMemory::Mode::kCreate));
  EXPECT_TRUE(memory.created());
  EXPECT_EQ(static_cast<const char*>(memory.data())[0], 0) << "stale contents survived";
  NamedMutex also_abandoned((name + "-Lock").c_str());
  EXPECT_TRUE(also_abandoned.Lock(0));
  also_abandoned.Unlock();
}

// ---- named mutex between processes -------------------------------------------

TEST(NamedMutex, AnOwnerThatDiedLeavesItFree) {
  const std::string name = test::UniqueName("crash");
  ASSERT_EQ(test::RunSelf({"--child=abandon", name}), kChildOk);
  NamedMutex mutex((name + "-Lock").c_str());
  EXPECT_TRUE(mutex.Lock(0));
  mutex.Unlock();
  SharedMemory also_abandoned;
  EXPECT_FALSE(also_abandoned.Open(name.c_str(), kMapSize, SharedMemory::Mode::kOpenExisting));
}

TEST(NamedMutex, ExcludesAnotherProcess) {
  const std::string name = test::UniqueName("Z3U2-Mutex");
  NamedMutex mutex(name.c_str());
  ASSERT_TRUE(mutex.Lock());
  EXPECT_EQ(test::RunSelf({"--child=trylock", name}), kChildWrongState) << "the other process got the lock";
  mutex.Unlock();
  EXPECT_EQ(test::RunSelf({"--child=trylock", name}), kChildOk);
}

#ifdef MORVEX_WIN32
TEST(Event, NamedEventIsSharedWithAnotherProcess) {
  const std::string name = test::UniqueName("thread end");
  Event event(false, false, name.c_str());
  ASSERT_TRUE(event.valid());
  EXPECT_NE(event.native_handle(), nullptr);
  ASSERT_EQ(test::RunSelf({"--child=event", name}), kChildOk);
  EXPECT_EQ(event.Wait(0), WaitResult::kSignaled);
}
#endif

// ---- settings store between processes ---------------------------------------

TEST(SettingsKey, AnotherProcessSeesAndExtendsTheSameStore) {
  const test::PrivateSettings store;  // natively a file of its own; empty: the registry
  const std::string& file = store.file();
  const std::string path = store.Path("process");
  {
    SettingsKey key;
    ASSERT_TRUE(key.Create(path));
    ASSERT_TRUE(key.SetDword("FromParent", 11));
  }
  EXPECT_EQ(test::RunSelf({"--child=settings", file, path}), kChildOk);
  SettingsKey key;
  ASSERT_TRUE(key.Open(path));
  uint32_t from_child = 0;
  EXPECT_TRUE(key.QueryDword("FromChild", &from_child));
  EXPECT_EQ(from_child, 22u);
  key.Close();
  EXPECT_TRUE(SettingsKey::DeleteTree(path));
}

}  // namespace
}  // namespace morvex::platform

int main(int argc, char** argv) {
  if (argc > 1 && std::strncmp(argv[1], "--child=", 8) == 0)
    return morvex::platform::RunChildRole(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
