// The virtual device as a USB HID gadget (configfs, function hid) on a USB
// device controller. With dummy_hcd the controller's other side is a host
// controller on this machine, so the host's USB HID driver enumerates the
// gadget as it would a real adapter on a USB port.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#include "virtual_device.h"

namespace {

constexpr const char* kConfigfsGadgets = "/sys/kernel/config/usb_gadget";
constexpr const char* kFunction = "functions/hid.usb0";
constexpr const char* kConfig = "configs/c.1";

bool WriteText(const std::string& path, std::string_view text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const ssize_t written = write(fd, text.data(), text.size());
  close(fd);
  return written == static_cast<ssize_t>(text.size());
}

std::string ReadText(const std::string& path) {
  char buffer[256] = {};
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  const ssize_t got = read(fd, buffer, sizeof buffer - 1);
  close(fd);
  std::string text(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// Polls until done() holds, for at most ten seconds or until interrupted.
template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 1000 && !g_stop; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

bool Fail(const VirtualDevice& device, const char* what) {
  std::fprintf(stderr, "virtual-adapter: %s: %s (%s)\n", device.label.c_str(), what,
               std::strerror(errno));
  return false;
}

// The gadget's folder with identity, one configuration and the HID function.
bool BuildGadget(VirtualDevice& device) {
  const std::string& g = device.gadget_dir;
  char id[8];
  const auto dir = [&g](const char* sub) { return mkdir((g + sub).c_str(), 0755) == 0; };
  if (mkdir(g.c_str(), 0755) != 0) return false;
  std::snprintf(id, sizeof id, "0x%04x", kVendor);
  if (!WriteText(g + "/idVendor", id)) return false;
  std::snprintf(id, sizeof id, "0x%04x", device.product);
  return WriteText(g + "/idProduct", id) && WriteText(g + "/bcdUSB", "0x0200") &&
         dir("/strings/0x409") &&
         WriteText(g + "/strings/0x409/manufacturer", "dmx-terminal tests") &&
         WriteText(g + "/strings/0x409/product", "Virtual DMX " + device.label) &&
         WriteText(g + "/strings/0x409/serialnumber", device.label) && dir("/configs/c.1") &&
         dir("/functions/hid.usb0") && WriteText(g + "/" + kFunction + "/protocol", "0") &&
         WriteText(g + "/" + kFunction + "/subclass", "0") &&
         WriteText(g + "/" + kFunction + "/report_length", std::to_string(kReportDataLength)) &&
         WriteText(g + "/" + kFunction + "/report_desc",
                   std::string_view(reinterpret_cast<const char*>(kReportDescriptor),
                                    sizeof kReportDescriptor)) &&
         symlink((g + "/" + kFunction).c_str(), (g + "/" + kConfig + "/hid.usb0").c_str()) == 0;
}

// The function's character device, /dev/hidgN, found through its numbers.
std::string GadgetNode(const VirtualDevice& device) {
  const std::string numbers = ReadText(device.gadget_dir + "/" + kFunction + "/dev");
  const std::string uevent = ReadText("/sys/dev/char/" + numbers + "/uevent");
  const std::size_t at = uevent.find("DEVNAME=");
  if (numbers.empty() || at == std::string::npos) return {};
  const std::size_t end = uevent.find('\n', at);
  return "/dev/" + uevent.substr(at + 8, end == std::string::npos ? end : end - at - 8);
}

}  // namespace

std::size_t CountHidrawNodes() {
  std::size_t count = 0;
  if (DIR* dir = opendir("/sys/class/hidraw")) {
    while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
  }
  return count;
}

bool CreateGadgetDevice(VirtualDevice& device) {
  device.gadget_dir = std::string(kConfigfsGadgets) + "/dmx-" + device.label;
  if (!BuildGadget(device)) {
    return Fail(device, "cannot set up the configfs gadget (modprobe libcomposite usb_f_hid "
                        "dummy_hcd, and run as root)");
  }
  const std::size_t nodes_before = CountHidrawNodes();
  if (!WriteText(device.gadget_dir + "/UDC", device.udc)) {
    return Fail(device, ("cannot bind to " + device.udc).c_str());
  }
  device.bound = true;
  std::string node;
  if (!WaitFor([&] { return !(node = GadgetNode(device)).empty() && access(node.c_str(), F_OK) == 0; })) {
    return Fail(device, "no /dev/hidg node");
  }
  device.fd = open(node.c_str(), O_RDWR | O_CLOEXEC);
  if (device.fd < 0) return Fail(device, node.c_str());
  // Enumerated once usbhid has made the host's hidraw node.
  if (!WaitFor([&] { return CountHidrawNodes() > nodes_before; })) {
    return Fail(device, "the host did not enumerate the gadget");
  }
  device.started = true;
  return true;
}

void DestroyGadgetDevice(VirtualDevice& device) {
  if (device.gadget_dir.empty()) return;
  const std::string& g = device.gadget_dir;
  if (device.bound && !WriteText(g + "/UDC", "\n")) {  // the USB disconnect
    Fail(device, "cannot unbind the gadget");
  }
  if (device.fd >= 0) close(device.fd);
  device.fd = -1;
  unlink((g + "/" + kConfig + "/hid.usb0").c_str());
  for (const char* sub : {"/configs/c.1", "/functions/hid.usb0", "/strings/0x409", ""}) {
    if (rmdir((g + sub).c_str()) != 0 && errno != ENOENT) {
      Fail(device, ("cannot remove " + g + sub).c_str());
    }
  }
  device.gadget_dir.clear();
}

// The gadget takes input reports without the report ID byte of an unnumbered
// report. A write waits until the host has taken the previous report.
void SendGadgetInput(VirtualDevice& device, std::span<const std::uint8_t> report) {
  const std::span<const std::uint8_t> data = report.subspan(1);
  ssize_t written;
  do {
    written = write(device.fd, data.data(), data.size());
  } while (written < 0 && errno == EINTR && !g_stop);
}

// usbhid sends an unnumbered output report without its report ID byte: put
// the 0 back, so the model sees the report as the program wrote it.
void ServeGadgetDevice(VirtualDevice& device) {
  std::uint8_t report[1 + kReportDataLength] = {};
  const ssize_t got = read(device.fd, report + 1, kReportDataLength);
  if (got > 0) {
    AnswerCommand(device, {report, 1 + static_cast<std::size_t>(got)},
                  static_cast<std::size_t>(got));
  }
}
