// hid-list: the HID interfaces this platform's HID layer finds, one a line:
// "VVVV:PPPP path" for each that opens, "----:---- path" for one that does
// not. The kernel rig uses it to wait until Wine has seen a device come or go.
#include <cstdio>

#include "hid.h"

int main() {
  for (const HidInterface& iface : HidListInterfaces()) {
    int error = 0;
    HidDevice* device = HidOpen(iface, &error);
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    if (device != nullptr && HidGetAttributes(device, &vendor, &product)) {
      std::printf("%04X:%04X %s\n", unsigned{vendor}, unsigned{product}, iface.path.c_str());
    } else {
      std::printf("----:---- %s\n", iface.path.c_str());
    }
    HidClose(device);
  }
  return 0;
}
