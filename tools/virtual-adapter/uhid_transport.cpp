// The virtual device through the kernel's uhid driver.
#include <fcntl.h>
#include <linux/uhid.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <thread>

#include "virtual_device.h"

namespace {

bool Send(int fd, const uhid_event& event) {
  ssize_t written;
  do {
    written = write(fd, &event, sizeof event);
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(sizeof event);
}

// The adapter has no feature reports: a request for one gets an error, so the
// kernel is not left waiting for an answer. Both replies begin with id, err.
static_assert(offsetof(uhid_get_report_reply_req, id) == offsetof(uhid_set_report_reply_req, id) &&
              offsetof(uhid_get_report_reply_req, err) == offsetof(uhid_set_report_reply_req, err));
void RefuseRequest(VirtualDevice& device, std::uint32_t reply_type, std::uint32_t id) {
  uhid_event reply{};
  reply.type = reply_type;
  reply.u.set_report_reply.id = id;
  reply.u.set_report_reply.err = EIO;
  Send(device.fd, reply);
}

void Handle(VirtualDevice& device, const uhid_event& event) {
  switch (event.type) {
    case UHID_START:
      device.started = true;
      break;
    case UHID_OUTPUT:
      // uhid hands the output report over with its report ID byte first.
      AnswerCommand(device, {event.u.output.data, event.u.output.size}, event.u.output.size);
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

}  // namespace

bool CreateUhidDevice(VirtualDevice& device) {
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
  while (!device.started && !g_stop) {
    uhid_event started{};
    if (read(device.fd, &started, sizeof started) <= 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Handle(device, started);
  }
  return device.started;
}

void DestroyUhidDevice(VirtualDevice& device) {
  if (device.fd < 0) return;
  uhid_event event{};
  event.type = UHID_DESTROY;
  Send(device.fd, event);
  close(device.fd);
  device.fd = -1;
}

// uhid takes input reports without the report ID byte of an unnumbered report.
// It passes them on as fast as they are written, where a USB device's come at
// most one a millisecond from a full-speed interrupt endpoint: pace them so, or
// a long reply would overrun hidraw's queue on a busy machine as no real
// adapter can.
void SendUhidInput(VirtualDevice& device, std::span<const std::uint8_t> report) {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  uhid_event event{};
  event.type = UHID_INPUT2;
  const std::size_t size = report.size() - 1;
  event.u.input2.size = static_cast<std::uint16_t>(size);
  std::memcpy(event.u.input2.data, report.data() + 1, size);
  Send(device.fd, event);
}

void ServeUhidDevice(VirtualDevice& device) {
  uhid_event event{};
  if (read(device.fd, &event, sizeof event) > 0) Handle(device, event);
}
