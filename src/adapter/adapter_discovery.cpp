// Finding the adapter among the present HID interfaces and setting it up.
#include <cstdio>
#include <new>

#include "adapter_link.h"

AdapterState g_adapter;

namespace {

constexpr std::uint16_t kMinOutputReportLength = 5;  // header, CR and at least one zero
constexpr std::uint16_t kMinInputReportLength = 4;   // header and at least one text byte

bool AllocateReportBuffers(const HidCaps& caps) {
  try {
    g_adapter.output_report.assign(std::size_t{caps.OutputReportByteLength} + 1, 0);
    g_adapter.input_report.assign(std::size_t{caps.InputReportByteLength} + 1, 0);
  } catch (const std::bad_alloc&) {
    g_adapter.output_report = {};
    g_adapter.input_report = {};
    return false;
  }
  return true;
}

}  // namespace

bool FindAdapter(HidDevice** handle, std::uint16_t vendor_id, std::uint16_t product_id) {
  *handle = nullptr;
  for (const HidInterface& iface : HidListInterfaces()) {
    // Where the platform tells the identifiers without opening, an interface
    // of another device is not opened at all.
    const bool known_match =
        iface.identified && iface.vendor_id == vendor_id && iface.product_id == product_id;
    if (iface.identified && !known_match) continue;

    int error = 0;
    HidDevice* device = HidOpen(iface, &error);
    if (device == nullptr) {
      // Passed over; but an adapter that is there and cannot be opened is
      // worth one line saying why.
      if (known_match) HidShowOpenFailure(iface, error);
      continue;
    }
    // Reset, so that attributes that cannot be read never match by chance.
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    if (HidGetAttributes(device, &vendor, &product) && vendor == vendor_id &&
        product == product_id) {
      *handle = device;
      return true;
    }
    HidClose(device);
  }
  return false;
}

bool OpenAdapter() {
  if (!FindAdapter(&g_adapter.handle, kAdapterVendorId, kAdapterProductId)) return true;
  g_adapter.connected = true;
  // A console that prints slowly must not cost reports of a long reply; where
  // the queue cannot grow, the default one serves.
  HidEnlargeInputQueue(g_adapter.handle);

  HidCaps caps;
  if (!HidGetCaps(g_adapter.handle, &caps)) {
    std::fprintf(stderr, "dmx-terminal: cannot read the adapter's report lengths\n");
    return false;
  }
  g_adapter.caps = caps;
  g_adapter.output_report_length = caps.OutputReportByteLength;
  if (caps.OutputReportByteLength < kMinOutputReportLength ||
      caps.InputReportByteLength < kMinInputReportLength) {
    std::fprintf(stderr,
                 "dmx-terminal: the adapter's reports are too small for commands and "
                 "replies (input %u bytes, output %u bytes; at least %u and %u needed)\n",
                 unsigned{caps.InputReportByteLength}, unsigned{caps.OutputReportByteLength},
                 unsigned{kMinInputReportLength}, unsigned{kMinOutputReportLength});
    return false;
  }
  if (!AllocateReportBuffers(caps)) {
    std::fprintf(stderr, "dmx-terminal: cannot allocate the report buffers\n");
    return false;
  }
  SendCommand("I");
  return true;
}
