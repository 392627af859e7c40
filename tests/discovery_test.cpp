// Finding and setting up the adapter through a fake HID layer.
#include <gtest/gtest.h>

#include "case_name.h"

#include <string>
#include <vector>

#include "adapter_link.h"
#include "fake_hid.h"

namespace {

using Strings = std::vector<std::string>;

class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetFakeHidAndAdapter(); }
  void TearDown() override { ResetFakeHidAndAdapter(); }
  static void Add(FakeInterface fake) { g_fake_hid.interfaces.push_back(std::move(fake)); }
};

TEST_F(DiscoveryTest, FirstMatchIsTakenAndLaterOnesAreNeverOpened) {
  Add(MakeInterface("keyboard", 0x046D, 0xC31C));
  Add(MakeInterface("adapter-1", 0x0F48, 0x4201));
  Add(MakeInterface("adapter-2", 0x0F48, 0x4201));
  HidDevice* handle = nullptr;
  ASSERT_TRUE(FindAdapter(&handle, 0x0F48, 0x4201));
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(g_fake_hid.opened, (Strings{"keyboard", "adapter-1"}));
  EXPECT_EQ(g_fake_hid.closed, (Strings{"keyboard"}));
  EXPECT_EQ(g_fake_hid.live_devices, 1);
  HidClose(handle);
}

TEST_F(DiscoveryTest, SameVendorWithAnotherProductIsOpenedClosedAndPassedOver) {
  Add(MakeInterface("other-product", 0x0F48, 0x4202));
  Add(MakeInterface("other-vendor", 0x0F49, 0x4201));
  HidDevice* handle = nullptr;
  EXPECT_FALSE(FindAdapter(&handle, 0x0F48, 0x4201));
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(g_fake_hid.opened, (Strings{"other-product", "other-vendor"}));
  EXPECT_EQ(g_fake_hid.closed, g_fake_hid.opened);
  EXPECT_EQ(g_fake_hid.live_devices, 0);
}

TEST_F(DiscoveryTest, InterfacesIdentifiedBeforeOpeningAreOpenedOnlyWhenTheyMatch) {
  Add(MakeInterface("mouse", 0x046D, 0xC077, true));
  Add(MakeInterface("other-product", 0x0F48, 0x4202, true));
  Add(MakeInterface("adapter", 0x0F48, 0x4201, true));
  HidDevice* handle = nullptr;
  ASSERT_TRUE(FindAdapter(&handle, 0x0F48, 0x4201));
  EXPECT_EQ(g_fake_hid.opened, (Strings{"adapter"}));
  HidClose(handle);
}

TEST_F(DiscoveryTest, UnopenableInterfacesAreSkipped) {
  FakeInterface locked = MakeInterface("locked", 0x0F48, 0x4201);
  locked.openable = false;
  Add(locked);
  FakeInterface denied = MakeInterface("denied-adapter", 0x0F48, 0x4201, true);
  denied.openable = false;
  Add(denied);
  Add(MakeInterface("adapter", 0x0F48, 0x4201));
  HidDevice* handle = nullptr;
  ASSERT_TRUE(FindAdapter(&handle, 0x0F48, 0x4201));
  EXPECT_EQ(g_fake_hid.opened, (Strings{"adapter"}));
  // Only the one known to be the adapter before opening earns the hint.
  EXPECT_EQ(g_fake_hid.open_failures_shown, (Strings{"denied-adapter"}));
  HidClose(handle);
}

TEST_F(DiscoveryTest, UnreadableAttributesNeverMatch) {
  FakeInterface mute = MakeInterface("mute", 0x0F48, 0x4201);
  mute.attributes_readable = false;
  Add(mute);
  HidDevice* handle = nullptr;
  EXPECT_FALSE(FindAdapter(&handle, 0x0F48, 0x4201));
  EXPECT_EQ(g_fake_hid.closed, (Strings{"mute"}));
  EXPECT_EQ(g_fake_hid.live_devices, 0);
}

TEST_F(DiscoveryTest, NoInterfacesLeavesTheLinkUnconnectedWithNothingAllocated) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(OpenAdapter());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(g_adapter.connected);
  EXPECT_EQ(g_adapter.handle, nullptr);
  EXPECT_TRUE(g_adapter.input_report.empty());
  EXPECT_TRUE(g_adapter.output_report.empty());
  EXPECT_TRUE(g_fake_hid.writes.empty());
}

TEST_F(DiscoveryTest, FoundAdapterGetsBuffersOneByteLongerAndItsAnswerToIIsPrinted) {
  FakeInterface adapter = MakeInterface("adapter", 0x0F48, 0x4201);
  adapter.caps = HidCaps{33, 65};
  Add(adapter);
  g_fake_hid.reads.push_back({FakeRead::kReport, ReplyReport("DMX Adapter\r\n", 33)});
  g_fake_hid.reads.push_back({FakeRead::kReport, ReplyReport("\r\n>", 33)});

  testing::internal::CaptureStdout();
  EXPECT_TRUE(OpenAdapter());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "DMX Adapter\r\n\r\n>");

  EXPECT_TRUE(g_adapter.connected);
  EXPECT_EQ(g_adapter.input_report.size(), 34u);
  EXPECT_EQ(g_adapter.output_report.size(), 66u);
  EXPECT_EQ(g_adapter.output_report_length, 65u);
  ASSERT_EQ(g_fake_hid.writes.size(), 1u);
  EXPECT_EQ(g_fake_hid.writes[0].size(), 65u);
  EXPECT_EQ(g_fake_hid.writes[0][3], 'I');
  // Only the adapter's input queue is enlarged.
  EXPECT_EQ(g_fake_hid.queues_enlarged, (Strings{"adapter"}));
}

struct SetupFailure {
  const char* name;
  bool caps_readable;
  HidCaps caps;
  const char* message_part;
};

class SetupFailureTest : public DiscoveryTest, public testing::WithParamInterface<SetupFailure> {};

TEST_P(SetupFailureTest, NothingIsSentAndTheReasonIsGiven) {
  const SetupFailure& c = GetParam();
  FakeInterface adapter = MakeInterface("adapter", 0x0F48, 0x4201);
  adapter.caps_readable = c.caps_readable;
  adapter.caps = c.caps;
  Add(adapter);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(OpenAdapter());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(c.message_part), std::string::npos) << err;
  EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line";
  EXPECT_TRUE(g_adapter.connected);
  EXPECT_TRUE(g_fake_hid.writes.empty());
  EXPECT_EQ(CommandCapacity(), 0u);
  EXPECT_FALSE(SendCommand("X"));
  EXPECT_TRUE(g_fake_hid.writes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Setup, SetupFailureTest,
    testing::Values(SetupFailure{"CapsUnreadable", false, HidCaps{65, 65}, "report lengths"},
                    SetupFailure{"OutputTooSmall", true, HidCaps{65, 4}, "too small"},
                    SetupFailure{"InputTooSmall", true, HidCaps{3, 65}, "too small"},
                    SetupFailure{"NoReportsAtAll", true, HidCaps{0, 0}, "too small"}),
    CaseName());

}  // namespace
