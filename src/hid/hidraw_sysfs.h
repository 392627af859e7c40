// Finding hidraw nodes through sysfs, without opening any of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct HidrawEntry {
  unsigned number = 0;    // N of hidrawN
  std::string node;       // <dev_dir>/hidrawN
  std::string sysfs_dir;  // <class_dir>/hidrawN
  bool identified = false;  // HID_ID was found and well formed
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
};

// Reads vendor and product from the HID_ID=bus:vendor:product line (hex) of
// a HID device's uevent text. False when the line is missing or malformed.
bool ParseHidId(std::string_view uevent, std::uint16_t* vendor_id,
                std::uint16_t* product_id);

// The hidrawN entries of class_dir (normally /sys/class/hidraw) in ascending
// numeric order, each with the identifiers of its device/uevent where they can
// be read. A missing class_dir gives an empty list.
std::vector<HidrawEntry> ListHidrawEntries(const std::string& class_dir,
                                           const std::string& dev_dir);

// The whole content of a small sysfs or device file; false if it cannot be read
// or is larger than max_size.
bool ReadSmallFile(const std::string& path, std::size_t max_size,
                   std::string* content);
