// The Linux HID layer over a tree of its own: a fake sysfs class folder and a
// FIFO as the device node. What only a real hidraw node can show (the
// attributes ioctl, the kernel's framing) the kernel rig covers.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "case_name.h"
#include "hid.h"
#include "hidraw_paths.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Vendor page, 64 bytes each way, no report IDs.
const Bytes kUnnumbered = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x40,
                           0x09, 0x02, 0x81, 0x02, 0x09, 0x03, 0x91, 0x02, 0xC0};
// Report 5: 8 bytes each way.
const Bytes kNumbered = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x05, 0x75, 0x08,
                         0x95, 0x08, 0x09, 0x02, 0x81, 0x02, 0x09, 0x03, 0x91, 0x02, 0xC0};

class LinuxLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("dmx-layer-" + std::to_string(::getpid()) + "-" +
             testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "class" / "hidraw3" / "device");
    fs::create_directories(root_ / "dev");
    std::ofstream(root_ / "class" / "hidraw3" / "device" / "uevent")
        << "HID_ID=0003:00000F48:00004201\n";
    ASSERT_EQ(mkfifo((root_ / "dev" / "hidraw3").c_str(), 0600), 0);
    saved_ = g_hidraw_paths;
    g_hidraw_paths = {(root_ / "class").string(), (root_ / "dev").string()};
  }
  void TearDown() override {
    HidClose(device_);
    if (peer_ >= 0) close(peer_);
    g_hidraw_paths = saved_;
    fs::remove_all(root_);
  }
  void SetDescriptor(const Bytes& descriptor) {
    std::ofstream(root_ / "class" / "hidraw3" / "device" / "report_descriptor", std::ios::binary)
        .write(reinterpret_cast<const char*>(descriptor.data()),
               static_cast<std::streamsize>(descriptor.size()));
  }
  // Lists the one interface and opens it, after the device's end of the FIFO
  // (so that a node opened for one direction only fails instead of blocking).
  void Open() {
    peer_ = open((root_ / "dev" / "hidraw3").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(peer_, 0);
    const std::vector<HidInterface> list = HidListInterfaces();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, (root_ / "dev" / "hidraw3").string());
    EXPECT_TRUE(list[0].identified);
    EXPECT_EQ(list[0].vendor_id, 0x0F48);
    EXPECT_EQ(list[0].product_id, 0x4201);
    int error = 0;
    device_ = HidOpen(list[0], &error);
    ASSERT_NE(device_, nullptr) << error;
  }

  fs::path root_;
  HidrawPaths saved_;
  HidDevice* device_ = nullptr;
  int peer_ = -1;
};

struct FramingCase {
  const char* name;
  Bytes descriptor;
  HidCaps caps;
  Bytes from_device;  // what the node hands over for one input report
  Bytes stored;       // the report as the layer stores it, report ID first
};

class LinuxLayerFraming : public LinuxLayer, public testing::WithParamInterface<FramingCase> {};

// Opened for reading and writing; the lengths come from the descriptor; an
// unnumbered report gets ID 0 put in front, a numbered one is kept as it came.
TEST_P(LinuxLayerFraming, ReportsAreFramedAsTheDescriptorSays) {
  const FramingCase& c = GetParam();
  SetDescriptor(c.descriptor);
  Open();
  HidCaps caps;
  ASSERT_TRUE(HidGetCaps(device_, &caps));
  EXPECT_EQ(caps.InputReportByteLength, c.caps.InputReportByteLength);
  EXPECT_EQ(caps.OutputReportByteLength, c.caps.OutputReportByteLength);

  Bytes command(caps.OutputReportByteLength, 0x11);
  ASSERT_TRUE(HidWriteReport(device_, command));
  Bytes received(command.size());
  ASSERT_EQ(read(peer_, received.data(), received.size()), static_cast<ssize_t>(command.size()));
  EXPECT_EQ(received, command);

  ASSERT_EQ(write(peer_, c.from_device.data(), c.from_device.size()),
            static_cast<ssize_t>(c.from_device.size()));
  Bytes report(caps.InputReportByteLength, 0xEE);
  std::size_t delivered = 0;
  ASSERT_TRUE(HidReadReport(device_, report, &delivered));
  ASSERT_EQ(delivered, c.stored.size());
  EXPECT_EQ(Bytes(report.begin(), report.begin() + static_cast<long>(delivered)), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Framing, LinuxLayerFraming,
    testing::Values(
        FramingCase{"Unnumbered", kUnnumbered, {65, 65}, Bytes(64, 0x42),
                    [] { Bytes b(65, 0x42); b[0] = 0; return b; }()},
        FramingCase{"Numbered", kNumbered, {9, 9}, {5, 1, 2, 3, 4, 5, 6, 7, 8},
                    {5, 1, 2, 3, 4, 5, 6, 7, 8}}),
    CaseName());

struct SizeCase {
  const char* name;
  std::size_t size;
  bool readable;
};

class DescriptorSizeLimit : public LinuxLayer, public testing::WithParamInterface<SizeCase> {};

// The kernel allows report descriptors of up to 4096 bytes: one of exactly
// that size is read, a larger one refused.
TEST_P(DescriptorSizeLimit, DescriptorsUpToTheKernelsMaximumAreRead) {
  Bytes descriptor = kUnnumbered;
  descriptor.pop_back();  // End Collection goes last
  // Usage items without data (one byte each) fill it to the size wanted.
  descriptor.resize(GetParam().size - 1, 0x08);
  descriptor.push_back(0xC0);
  SetDescriptor(descriptor);
  Open();
  HidCaps caps;
  EXPECT_EQ(HidGetCaps(device_, &caps), GetParam().readable);
  if (GetParam().readable) {
    EXPECT_EQ(caps.InputReportByteLength, 65);
  }
}

INSTANTIATE_TEST_SUITE_P(Descriptors, DescriptorSizeLimit,
                         testing::Values(SizeCase{"Exactly4096", 4096, true},
                                         SizeCase{"Over4096", 4097, false}),
                         CaseName());

}  // namespace
