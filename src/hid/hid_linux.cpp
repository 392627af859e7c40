// The HID layer on Linux, through the kernel's hidraw interface.
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "hid.h"
#include "hidraw_io.h"
#include "hidraw_paths.h"
#include "hidraw_sysfs.h"
#include "report_descriptor.h"
#include "tty_notice.h"

namespace {

// The kernel caps report descriptors at 4096 bytes (HID_MAX_DESCRIPTOR_SIZE).
constexpr std::size_t kMaxDescriptorSize = 4096;

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

HidrawPaths g_hidraw_paths;

struct HidDevice {
  int fd = -1;
  std::string descriptor_path;
  bool numbered = false;  // known once HidGetCaps has parsed the descriptor
};

std::vector<HidInterface> HidListInterfaces() {
  std::vector<HidInterface> interfaces;
  for (const HidrawEntry& entry : ListHidrawEntries(g_hidraw_paths.class_dir, g_hidraw_paths.dev_dir)) {
    interfaces.push_back({entry.node, entry.identified, entry.vendor_id, entry.product_id});
  }
  return interfaces;
}

HidDevice* HidOpen(const HidInterface& iface, int* error) {
  const int fd = open(iface.path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  auto* device = new (std::nothrow) HidDevice;
  if (device == nullptr) {
    close(fd);
    *error = ENOMEM;
    return nullptr;
  }
  device->fd = fd;
  device->descriptor_path =
      g_hidraw_paths.class_dir + "/" + BaseName(iface.path) + "/device/report_descriptor";
  return device;
}

void HidClose(HidDevice* device) {
  if (device == nullptr) return;
  close(device->fd);
  delete device;
}

bool HidGetAttributes(HidDevice* device, std::uint16_t* vendor_id, std::uint16_t* product_id) {
  hidraw_devinfo info{};
  if (ioctl(device->fd, HIDIOCGRAWINFO, &info) < 0) return false;
  *vendor_id = static_cast<std::uint16_t>(info.vendor);
  *product_id = static_cast<std::uint16_t>(info.product);
  return true;
}

bool HidGetCaps(HidDevice* device, HidCaps* caps) {
  std::string descriptor;
  if (!ReadSmallFile(device->descriptor_path, kMaxDescriptorSize, &descriptor)) return false;
  ReportLengths lengths;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(descriptor.data());
  if (!ParseReportLengths({bytes, descriptor.size()}, &lengths)) return false;
  device->numbered = lengths.numbered;
  caps->InputReportByteLength = lengths.input;
  caps->OutputReportByteLength = lengths.output;
  return true;
}

bool HidWriteReport(HidDevice* device, std::span<const std::uint8_t> report) {
  return WriteHidrawReport(device->fd, report);
}

bool HidReadReport(HidDevice* device, std::span<std::uint8_t> report, std::size_t* delivered) {
  return ReadHidrawReport(device->fd, device->numbered, report, delivered);
}

void HidShowErrorNotice(const char* text, const char* caption) { ShowTtyNotice(text, caption); }

// hidraw keeps a fixed queue of 64 reports for each reader.
bool HidEnlargeInputQueue(HidDevice*) { return false; }

void HidShowOpenFailure(const HidInterface& iface, int error) {
  std::fprintf(stderr,
               "dmx-terminal: cannot open %s: %s; to grant access install the udev rule "
               "70-dmx-terminal.rules (the Debian package or cmake --install does), then replug the "
               "adapter\n",
               iface.path.c_str(), std::strerror(error));
}
