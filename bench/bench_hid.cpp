// The HID layer of the benchmark: the Linux layer's hidraw framing over a
// descriptor that the benchmark sets (one end of a socket pair) instead of a
// node found in sysfs.
#include <unistd.h>

#include <cstdio>

#include "bench_hid.h"
#include "hid.h"
#include "hidraw_io.h"

int g_bench_fd = -1;

struct HidDevice {
  int fd;
};

std::vector<HidInterface> HidListInterfaces() { return {{"bench", true, 0x0F48, 0x4201}}; }

HidDevice* HidOpen(const HidInterface&, int*) { return new HidDevice{g_bench_fd}; }

void HidClose(HidDevice* device) { delete device; }

bool HidGetAttributes(HidDevice*, std::uint16_t* vendor_id, std::uint16_t* product_id) {
  *vendor_id = 0x0F48;
  *product_id = 0x4201;
  return true;
}

bool HidGetCaps(HidDevice*, HidCaps* caps) {
  *caps = {65, 65};
  return true;
}

bool HidWriteReport(HidDevice* device, std::span<const std::uint8_t> report) {
  return WriteHidrawReport(device->fd, report);
}

bool HidReadReport(HidDevice* device, std::span<std::uint8_t> report, std::size_t* delivered) {
  return ReadHidrawReport(device->fd, false, report, delivered);
}

void HidShowErrorNotice(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

bool HidEnlargeInputQueue(HidDevice*) { return true; }
void HidShowOpenFailure(const HidInterface&, int) {}
