// The small HID layer: the few platform services the adapter link needs.
// One implementation file per platform is linked in at build time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// An open HID interface. Each platform defines it in its own file.
struct HidDevice;

// One present HID interface, as enumeration finds it.
struct HidInterface {
  std::string path;  // what HidOpen opens: /dev/hidrawN, a Windows device path
  // Some platforms can tell the identifiers without opening the interface
  // (Linux reads them from sysfs); identified says whether these two are set.
  bool identified = false;
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
};

// The two report lengths of the platform's capability record. Each counts
// the report ID byte at offset 0, whether or not the device numbers its
// reports; a direction without reports has length 0.
struct HidCaps {
  std::uint16_t InputReportByteLength = 0;
  std::uint16_t OutputReportByteLength = 0;
};

// The present HID interfaces, in a stable order.
std::vector<HidInterface> HidListInterfaces();

// Opens an interface for reading and writing. On failure returns nullptr and
// stores the platform's error code (errno, GetLastError) in *error.
HidDevice* HidOpen(const HidInterface& iface, int* error);

void HidClose(HidDevice* device);

// The vendor and product identifiers of an open interface.
bool HidGetAttributes(HidDevice* device, std::uint16_t* vendor_id,
                      std::uint16_t* product_id);

// The input and output report lengths of an open interface.
bool HidGetCaps(HidDevice* device, HidCaps* caps);

// Asks the platform to queue as many input reports for this interface as it
// allows, so that a reader that falls behind a long reply loses none. False
// when it cannot; the platform's default queue stays then.
bool HidEnlargeInputQueue(HidDevice* device);

// Writes one whole report; byte 0 is the report ID.
bool HidWriteReport(HidDevice* device, std::span<const std::uint8_t> report);

// Blocks until one input report arrives and stores it with its report ID at
// offset 0 (0 for a device that does not number its reports). *delivered is
// the number of bytes stored, at most report.size(); 0 means the read
// succeeded but delivered nothing.
bool HidReadReport(HidDevice* device, std::span<std::uint8_t> report,
                   std::size_t* delivered);

// The modal error notice: shows text and caption and returns once the user
// has acknowledged it.
void HidShowErrorNotice(const char* text, const char* caption);

// Tells the user, in one line on standard error, that the interface looks
// like the one wanted but could not be opened, why, and how to grant access.
void HidShowOpenFailure(const HidInterface& iface, int error);
