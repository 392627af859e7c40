// virtual-adapter: a DMX adapter made by the kernel's uhid driver. The kernel
// gives it a hidraw node and a sysfs entry like any USB adapter's, and it
// answers command reports with the simulated adapter's dialogue.
//
//   virtual-adapter [--other-first] [--other-only] [--second-adapter]
//                   [--ready-file PATH]
//
// --other-first     first create a device of the same vendor, another product
// --other-only      create only that other device
// --second-adapter  create a second adapter after the first
// --ready-file      write PATH once the kernel has started every device
//
// Each device logs the commands it receives on standard error. It ends when
// interrupted, or when every adapter has been unplugged with ~unplug.
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adapter_model.h"

namespace {

constexpr std::uint16_t kVendor = 0x0F48;
constexpr std::uint16_t kAdapterProduct = 0x4201;
constexpr std::uint16_t kOtherProduct = 0x4202;

// Vendor-defined page, 64-byte input and output reports, no report IDs.
constexpr std::uint8_t kReportDescriptor[] = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor defined 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x02,        //   Usage (2)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x03,        //   Usage (3)
    0x91, 0x02,        //   Output (Data, Variable, Absolute)
    0xC0,              // End Collection
};

struct Device {
  std::string label;
  std::uint16_t product = 0;
  int fd = -1;
  bool started = false;
  bool destroyed = false;
  AdapterModel model;
};

volatile sig_atomic_t g_stop = 0;

bool Send(int fd, const uhid_event& event) {
  ssize_t written;
  do {
    written = write(fd, &event, sizeof event);
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(sizeof event);
}

bool Create(Device& device) {
  device.fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
  if (device.fd < 0) {
    std::fprintf(stderr, "virtual-adapter: /dev/uhid: %s (modprobe uhid, and run as root)\n",
                 std::strerror(errno));
    return false;
  }
  uhid_event event{};
  event.type = UHID_CREATE2;
  std::snprintf(reinterpret_cast<char*>(event.u.create2.name), sizeof event.u.create2.name,
                "Virtual DMX %s", device.label.c_str());
  std::snprintf(reinterpret_cast<char*>(event.u.create2.phys), sizeof event.u.create2.phys,
                "virtual-adapter/%s", device.label.c_str());
  event.u.create2.rd_size = sizeof kReportDescriptor;
  event.u.create2.bus = 0x03;  // BUS_USB
  event.u.create2.vendor = kVendor;
  event.u.create2.product = device.product;
  std::memcpy(event.u.create2.rd_data, kReportDescriptor, sizeof kReportDescriptor);
  if (!Send(device.fd, event)) {
    std::fprintf(stderr, "virtual-adapter: cannot create %s: %s\n", device.label.c_str(),
                 std::strerror(errno));
    return false;
  }
  return true;
}

void Destroy(Device& device) {
  if (device.destroyed) return;
  uhid_event event{};
  event.type = UHID_DESTROY;
  Send(device.fd, event);
  device.destroyed = true;
}

// uhid takes input reports without the report ID byte of an unnumbered report.
void SendInput(Device& device, const std::vector<std::uint8_t>& report) {
  uhid_event event{};
  event.type = UHID_INPUT2;
  const std::size_t size = report.size() - 1;
  event.u.input2.size = static_cast<std::uint16_t>(size);
  std::memcpy(event.u.input2.data, report.data() + 1, size);
  Send(device.fd, event);
}

void Answer(Device& device, const std::uint8_t* data, std::size_t size) {
  // uhid hands the output report over with its report ID byte first.
  const std::span<const std::uint8_t> command(data, size);
  std::string_view text;
  if (ModelCommandText(command, &text)) {
    std::fprintf(stderr, "%s: command \"%.*s\" (%zu bytes)\n", device.label.c_str(),
                 static_cast<int>(text.size()), text.data(), size);
  } else {
    std::fprintf(stderr, "%s: malformed command report (%zu bytes)\n", device.label.c_str(), size);
  }
  ModelTakeCommand(device.model, command);
  if (device.model.unplugged) {
    std::fprintf(stderr, "%s: unplugged\n", device.label.c_str());
    Destroy(device);
    return;
  }
  while (!device.model.pending.empty()) {
    const ModelEvent next = ModelNextEvent(device.model);
    if (next.kind == ModelEvent::kReport) {
      SendInput(device, next.report);
    } else {
      // A device cannot make the host's read fail or come back empty; say so
      // instead of leaving the reader waiting.
      SendInput(device, ModelReplyReport("(not possible through the kernel)\r\n>"));
    }
  }
}

// The adapter has no feature reports: a request for one gets an error, so the
// kernel is not left waiting for an answer. Both replies begin with id, err.
static_assert(offsetof(uhid_get_report_reply_req, id) == offsetof(uhid_set_report_reply_req, id) &&
              offsetof(uhid_get_report_reply_req, err) == offsetof(uhid_set_report_reply_req, err));
void RefuseRequest(Device& device, std::uint32_t reply_type, std::uint32_t id) {
  uhid_event reply{};
  reply.type = reply_type;
  reply.u.set_report_reply.id = id;
  reply.u.set_report_reply.err = EIO;
  Send(device.fd, reply);
}

void Handle(Device& device, const uhid_event& event) {
  switch (event.type) {
    case UHID_START:
      device.started = true;
      break;
    case UHID_OUTPUT:
      Answer(device, event.u.output.data, event.u.output.size);
      break;
    case UHID_GET_REPORT:
      RefuseRequest(device, UHID_GET_REPORT_REPLY, event.u.get_report.id);
      break;
    case UHID_SET_REPORT:
      RefuseRequest(device, UHID_SET_REPORT_REPLY, event.u.set_report.id);
      break;
    default:
      break;  // UHID_OPEN, UHID_CLOSE, UHID_STOP
  }
}

void OnSignal(int) { g_stop = 1; }

}  // namespace

int main(int argc, char** argv) {
  bool other_first = false, other_only = false, second_adapter = false;
  std::string ready_file;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--other-first") {
      other_first = true;
    } else if (arg == "--other-only") {
      other_only = true;
    } else if (arg == "--second-adapter") {
      second_adapter = true;
    } else if (arg == "--ready-file" && i + 1 < argc) {
      ready_file = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: virtual-adapter [--other-first] [--other-only] [--second-adapter] "
                   "[--ready-file PATH]\n");
      return 2;
    }
  }

  std::vector<Device> devices;
  const auto add = [&devices](const char* label, std::uint16_t product) {
    Device device;
    device.label = label;
    device.product = product;
    devices.push_back(std::move(device));
  };
  if (other_first || other_only) add("other-product", kOtherProduct);
  if (!other_only) add("adapter", kAdapterProduct);
  if (second_adapter && !other_only) add("second-adapter", kAdapterProduct);

  struct sigaction action{};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  // One at a time, so the kernel numbers the hidraw nodes in this order.
  for (Device& device : devices) {
    if (!Create(device)) return 1;
    while (!device.started && !g_stop) {
      uhid_event event{};
      if (read(device.fd, &event, sizeof event) <= 0) {
        if (errno == EINTR) continue;
        return 1;
      }
      Handle(device, event);
    }
  }
  if (!ready_file.empty()) {
    if (std::FILE* ready = std::fopen(ready_file.c_str(), "w")) std::fclose(ready);
  }

  while (!g_stop) {
    std::vector<pollfd> fds;
    for (const Device& device : devices) fds.push_back({device.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      uhid_event event{};
      if (read(devices[i].fd, &event, sizeof event) > 0) Handle(devices[i], event);
    }
    bool any_adapter_left = false;
    for (const Device& device : devices) {
      any_adapter_left |= device.product == kAdapterProduct && !device.destroyed;
    }
    if (!any_adapter_left && !other_only) break;
  }
  for (Device& device : devices) {
    Destroy(device);
    close(device.fd);
  }
  return 0;
}
