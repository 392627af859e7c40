#include "hidraw_sysfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <memory>

namespace {

constexpr std::size_t kMaxUeventSize = 64 * 1024;

bool ParseHexField(std::string_view text, std::uint32_t* value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value, 16);
  return ec == std::errc() && ptr == end;
}

// "hidraw12" gives 12; anything else is not a hidraw entry.
bool ParseHidrawName(std::string_view name, unsigned* number) {
  constexpr std::string_view kPrefix = "hidraw";
  if (name.size() <= kPrefix.size() || name.substr(0, kPrefix.size()) != kPrefix) return false;
  const std::string_view digits = name.substr(kPrefix.size());
  const char* end = digits.data() + digits.size();
  auto [ptr, ec] = std::from_chars(digits.data(), end, *number, 10);
  return ec == std::errc() && ptr == end;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool ParseHidId(std::string_view uevent, std::uint16_t* vendor_id, std::uint16_t* product_id) {
  constexpr std::string_view kKey = "HID_ID=";
  while (!uevent.empty()) {
    const std::size_t eol = uevent.find('\n');
    const std::string_view line = uevent.substr(0, eol);
    uevent = eol == std::string_view::npos ? std::string_view{} : uevent.substr(eol + 1);
    if (line.substr(0, kKey.size()) != kKey) continue;

    const std::string_view fields = line.substr(kKey.size());
    const std::size_t first = fields.find(':');
    const std::size_t second = first == std::string_view::npos ? first : fields.find(':', first + 1);
    if (second == std::string_view::npos) return false;
    std::uint32_t bus = 0, vendor = 0, product = 0;
    if (!ParseHexField(fields.substr(0, first), &bus) ||
        !ParseHexField(fields.substr(first + 1, second - first - 1), &vendor) ||
        !ParseHexField(fields.substr(second + 1), &product) || vendor > 0xFFFF ||
        product > 0xFFFF) {
      return false;
    }
    *vendor_id = static_cast<std::uint16_t>(vendor);
    *product_id = static_cast<std::uint16_t>(product);
    return true;
  }
  return false;
}

bool ReadSmallFile(const std::string& path, std::size_t max_size, std::string* content) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string data;
  char chunk[4096];
  bool ok = true;
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    if (data.size() + static_cast<std::size_t>(got) > max_size) {
      ok = false;
      break;
    }
    data.append(chunk, static_cast<std::size_t>(got));
  }
  close(fd);
  if (ok) *content = std::move(data);
  return ok;
}

std::vector<HidrawEntry> ListHidrawEntries(const std::string& class_dir, const std::string& dev_dir) {
  std::vector<HidrawEntry> entries;
  std::unique_ptr<DIR, DirCloser> dir(opendir(class_dir.c_str()));
  if (!dir) return entries;
  while (const dirent* item = readdir(dir.get())) {
    HidrawEntry entry;
    if (!ParseHidrawName(item->d_name, &entry.number)) continue;
    entry.node = dev_dir + "/" + item->d_name;
    entry.sysfs_dir = class_dir + "/" + item->d_name;
    std::string uevent;
    if (ReadSmallFile(entry.sysfs_dir + "/device/uevent", kMaxUeventSize, &uevent)) {
      entry.identified = ParseHidId(uevent, &entry.vendor_id, &entry.product_id);
    }
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const HidrawEntry& a, const HidrawEntry& b) { return a.number < b.number; });
  return entries;
}
