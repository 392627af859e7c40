// The sysfs walk over a fake /sys/class/hidraw tree.
#include <gtest/gtest.h>

#include "case_name.h"

#include <filesystem>
#include <fstream>
#include <string>

#include "hidraw_sysfs.h"

namespace {

namespace fs = std::filesystem;

class SysfsTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("dmx-sysfs-" + std::to_string(::getpid()) + "-" +
             testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "class");
  }
  void TearDown() override { fs::remove_all(root_); }

  void AddNode(const std::string& name, const char* uevent) {
    fs::create_directories(root_ / "class" / name / "device");
    if (uevent != nullptr) std::ofstream(root_ / "class" / name / "device" / "uevent") << uevent;
  }
  std::vector<HidrawEntry> List() {
    return ListHidrawEntries((root_ / "class").string(), "/dev");
  }

  fs::path root_;
};

TEST_F(SysfsTree, EntriesComeInNumericOrderWithTheirIdentifiers) {
  AddNode("hidraw10", "DRIVER=hid-generic\nHID_ID=0003:00000F48:00004201\nHID_NAME=DMX\n");
  AddNode("hidraw2", "HID_ID=0003:0000046D:0000C31C\n");
  AddNode("hidraw1", nullptr);                   // no uevent at all
  AddNode("hidraw3", "HID_ID=0003:nonsense\n");  // odd uevent
  AddNode("hidrawx", "HID_ID=0003:00000F48:00004201\n");
  AddNode("input0", "HID_ID=0003:00000F48:00004201\n");

  const std::vector<HidrawEntry> entries = List();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].node, "/dev/hidraw1");
  EXPECT_FALSE(entries[0].identified);
  EXPECT_EQ(entries[1].node, "/dev/hidraw2");
  EXPECT_TRUE(entries[1].identified);
  EXPECT_EQ(entries[1].vendor_id, 0x046D);
  EXPECT_EQ(entries[1].product_id, 0xC31C);
  EXPECT_EQ(entries[2].node, "/dev/hidraw3");
  EXPECT_FALSE(entries[2].identified);
  EXPECT_EQ(entries[3].node, "/dev/hidraw10");
  EXPECT_EQ(entries[3].sysfs_dir, (root_ / "class" / "hidraw10").string());
  EXPECT_TRUE(entries[3].identified);
  EXPECT_EQ(entries[3].vendor_id, 0x0F48);
  EXPECT_EQ(entries[3].product_id, 0x4201);
}

TEST_F(SysfsTree, MissingClassDirectoryGivesNoEntries) {
  EXPECT_TRUE(ListHidrawEntries((root_ / "absent").string(), "/dev").empty());
}

struct HidIdCase {
  const char* name;
  std::string uevent;
  bool ok;
  std::uint16_t vendor;
  std::uint16_t product;
};

class ParseHidIdTest : public testing::TestWithParam<HidIdCase> {};

TEST_P(ParseHidIdTest, ReadsVendorAndProduct) {
  const HidIdCase& c = GetParam();
  std::uint16_t vendor = 1, product = 2;
  EXPECT_EQ(ParseHidId(c.uevent, &vendor, &product), c.ok);
  if (c.ok) {
    EXPECT_EQ(vendor, c.vendor);
    EXPECT_EQ(product, c.product);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Uevent, ParseHidIdTest,
    testing::Values(HidIdCase{"Usb", "HID_ID=0003:00000F48:00004201\n", true, 0x0F48, 0x4201},
                    HidIdCase{"LowerCaseNoNewline", "HID_ID=0005:0000abcd:0000ef01", true, 0xABCD, 0xEF01},
                    HidIdCase{"AmongOtherLines", "A=1\nHID_ID=3:F48:4201\nB=2\n", true, 0x0F48, 0x4201},
                    HidIdCase{"Missing", "DRIVER=hid-generic\n", false, 0, 0},
                    HidIdCase{"TooFewFields", "HID_ID=0003:00000F48\n", false, 0, 0},
                    HidIdCase{"NotHex", "HID_ID=0003:00000G48:00004201\n", false, 0, 0},
                    HidIdCase{"EmptyField", "HID_ID=0003::00004201\n", false, 0, 0},
                    HidIdCase{"VendorBeyond16Bits", "HID_ID=0003:00010F48:00004201\n", false, 0, 0},
                    HidIdCase{"TrailingJunk", "HID_ID=0003:00000F48:00004201 x\n", false, 0, 0},
                    HidIdCase{"KeyMustStartTheLine", "XHID_ID=0003:00000F48:00004201\n", false, 0, 0}),
    CaseName());

}  // namespace
