// Where the Linux HID layer finds hidraw devices: the sysfs class folder and
// the folder of the device nodes. The program never changes them; tests point
// them at a tree of their own.
#pragma once

#include <string>

struct HidrawPaths {
  std::string class_dir = "/sys/class/hidraw";
  std::string dev_dir = "/dev";
};

extern HidrawPaths g_hidraw_paths;
