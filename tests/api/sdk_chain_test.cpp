// The handle registry: handle formula, ring order after insertion, lookup
// and removal, and the lifetime of instances with calls in flight.
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "api/sdk_chain.h"
#include "platform/clock.h"

namespace morvex::api {
namespace {

// Scripted values for the registry's pseudo-random source.
std::vector<int> g_random_script;
size_t g_random_next = 0;
int ScriptedRandom() { return g_random_script.at(g_random_next++); }

void ScriptRandom(std::vector<int> values) {
  g_random_script = std::move(values);
  g_random_next = 0;
}

class TrackedMorvex : public CMorvex {
 public:
  explicit TrackedMorvex(std::atomic<bool>* destroyed)
      : CMorvex(platform::SystemClock()), destroyed_(destroyed) {}
  ~TrackedMorvex() override { destroyed_->store(true); }

 private:
  std::atomic<bool>* destroyed_;
};

std::vector<int32_t> RingFromHead(CSdkChain& chain) {
  std::vector<int32_t> handles;
  chain.ForEach([&](const CSDKDATA& entry) { handles.push_back(entry.handle); });
  return handles;
}

class SdkChainTest : public ::testing::Test {
 protected:
  platform::SimulatedClock clock_{5000};
  CSdkChain chain_{clock_, &ScriptedRandom};

  void TearDown() override {
    for (int32_t handle : RingFromHead(chain_)) chain_.Release(handle);
  }
};

TEST_F(SdkChainTest, HandleIsTickCountPlusRandomPlusEntryCount) {
  ScriptRandom({100, 200, 300});
  EXPECT_EQ(chain_.Register(std::make_unique<CMorvex>(platform::SystemClock())), 5000 + 100 + 0);
  EXPECT_EQ(chain_.Register(std::make_unique<CMorvex>(platform::SystemClock())), 5000 + 200 + 1);
  clock_.Advance(10);
  EXPECT_EQ(chain_.Register(std::make_unique<CMorvex>(platform::SystemClock())), 5010 + 300 + 2);
  EXPECT_EQ(chain_.count(), 3u);
}

TEST(SdkChainHandles, SumWrapsAroundAt32Bits) {
  platform::SimulatedClock clock(0xFFFFFFF0u);
  CSdkChain chain(clock, &ScriptedRandom);
  ScriptRandom({0x20});
  const int32_t handle = chain.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  EXPECT_EQ(handle, 0x10);
  chain.Release(handle);
}

TEST(SdkChainHandles, ZeroHandleIsDrawnAgain) {
  platform::SimulatedClock clock(0xFFFFFF00u);
  CSdkChain chain(clock, &ScriptedRandom);
  ScriptRandom({0x100, 5});  // the first sum wraps to exactly 0
  const int32_t handle = chain.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  EXPECT_EQ(handle, static_cast<int32_t>(0xFFFFFF05u));
  EXPECT_EQ(g_random_next, 2u);
  chain.Release(handle);
}

TEST_F(SdkChainTest, DuplicateHandleIsDrawnAgain) {
  ScriptRandom({7, 6, 9});  // 5000+7+0 and 5000+6+1 collide
  const int32_t first = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  const int32_t second = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  EXPECT_EQ(first, 5007);
  EXPECT_EQ(second, 5000 + 9 + 1);
  EXPECT_EQ(chain_.count(), 2u);
}

TEST_F(SdkChainTest, NewEntryBecomesHeadInFrontOfTheOldHead) {
  ScriptRandom({1, 2, 3});
  const int32_t a = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  EXPECT_EQ(RingFromHead(chain_), (std::vector<int32_t>{a}));
  EXPECT_EQ(chain_.head()->next, chain_.head());
  EXPECT_EQ(chain_.head()->previous, chain_.head());
  const int32_t b = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  const int32_t c = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  EXPECT_EQ(RingFromHead(chain_), (std::vector<int32_t>{c, b, a}));
  // The links agree in both directions.
  EXPECT_EQ(chain_.head()->previous->handle, a);
  EXPECT_EQ(chain_.head()->next->next->next, chain_.head());
}

TEST_F(SdkChainTest, SuccessfulLookupMakesTheEntryTheHead) {
  ScriptRandom({1, 2, 3});
  const int32_t a = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  const int32_t b = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  const int32_t c = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  {
    InstanceLease lease = chain_.Lookup(a);  // the older handle is still found
    EXPECT_TRUE(lease);
  }
  EXPECT_EQ(RingFromHead(chain_), (std::vector<int32_t>{a, c, b}));
  EXPECT_TRUE(chain_.Lookup(b));
  EXPECT_EQ(RingFromHead(chain_), (std::vector<int32_t>{b, a, c}));
}

TEST_F(SdkChainTest, FailedLookupLeavesTheFormerLastEntryAsHead) {
  ScriptRandom({1, 2, 3});
  const int32_t a = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  const int32_t b = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  const int32_t c = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  ASSERT_EQ(RingFromHead(chain_), (std::vector<int32_t>{c, b, a}));
  EXPECT_FALSE(chain_.Lookup(12345));
  EXPECT_EQ(RingFromHead(chain_), (std::vector<int32_t>{a, c, b}));
  EXPECT_FALSE(chain_.Lookup(0));
  EXPECT_EQ(RingFromHead(chain_), (std::vector<int32_t>{b, a, c}));
}

TEST_F(SdkChainTest, LookupInAnEmptyRingFindsNothing) {
  EXPECT_FALSE(chain_.Lookup(5000));
  EXPECT_EQ(chain_.head(), nullptr);
  EXPECT_FALSE(chain_.Release(5000));
}

TEST_F(SdkChainTest, RemovalMakesTheNextEntryTheHead) {
  ScriptRandom({1, 2, 3});
  const int32_t a = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  const int32_t b = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  const int32_t c = chain_.Register(std::make_unique<CMorvex>(platform::SystemClock()));
  ASSERT_EQ(RingFromHead(chain_), (std::vector<int32_t>{c, b, a}));
  EXPECT_TRUE(chain_.Release(b));  // looked up (head b, a, c), then unlinked
  EXPECT_EQ(RingFromHead(chain_), (std::vector<int32_t>{a, c}));
  EXPECT_EQ(chain_.count(), 2u);
  EXPECT_EQ(chain_.head()->next->next, chain_.head());
  EXPECT_EQ(chain_.head()->previous->previous, chain_.head());
  EXPECT_TRUE(chain_.Release(a));
  EXPECT_TRUE(chain_.Release(c));
  EXPECT_EQ(chain_.count(), 0u);
  EXPECT_EQ(chain_.head(), nullptr);
}

TEST_F(SdkChainTest, ReleasedHandleIsUnregistered) {
  ScriptRandom({1});
  std::atomic<bool> destroyed{false};
  const int32_t a = chain_.Register(std::make_unique<TrackedMorvex>(&destroyed));
  EXPECT_TRUE(chain_.Release(a));
  EXPECT_TRUE(destroyed.load());
  EXPECT_FALSE(chain_.Lookup(a));
  EXPECT_FALSE(chain_.Release(a));
}

TEST_F(SdkChainTest, ReleaseWaitsForCallsInFlight) {
  ScriptRandom({1});
  std::atomic<bool> destroyed{false};
  const int32_t handle = chain_.Register(std::make_unique<TrackedMorvex>(&destroyed));
  InstanceLease call = chain_.Lookup(handle);
  ASSERT_TRUE(call);

  std::atomic<bool> released{false};
  std::thread releaser([&] {
    EXPECT_TRUE(chain_.Release(handle));
    released.store(true);
  });
  // Once the release has begun, new calls see an unregistered handle ...
  for (int i = 0; i < 5000 && chain_.Lookup(handle); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(chain_.Lookup(handle));
  // ... while the call in flight still has its instance.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(destroyed.load());
  EXPECT_FALSE(released.load());
  EXPECT_EQ(call->GetWaitTime(), 10);

  call = InstanceLease();  // the call returns
  releaser.join();
  EXPECT_TRUE(destroyed.load());
  EXPECT_EQ(chain_.count(), 0u);
}

TEST_F(SdkChainTest, ReleaseFromInsideAnOwnCallDefersDestructionToItsEnd) {
  ScriptRandom({1});
  std::atomic<bool> destroyed{false};
  const int32_t handle = chain_.Register(std::make_unique<TrackedMorvex>(&destroyed));
  {
    InstanceLease call = chain_.Lookup(handle);
    ASSERT_TRUE(call);
    EXPECT_TRUE(chain_.Release(handle));  // must not wait for itself
    EXPECT_FALSE(destroyed.load());
    EXPECT_EQ(call->GetWaitTime(), 10);
  }
  EXPECT_TRUE(destroyed.load());
  EXPECT_EQ(chain_.count(), 0u);
}

TEST(SdkChainLibrary, RegistryIsOneObjectForTheLibrary) { EXPECT_EQ(&Registry(), &Registry()); }

}  // namespace
}  // namespace morvex::api
