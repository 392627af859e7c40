// Taking typed values off the front of a fuzzer's input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct FuzzInput {
  std::span<const std::uint8_t> rest;

  std::uint8_t Byte() {
    if (rest.empty()) return 0;
    const std::uint8_t b = rest[0];
    rest = rest.subspan(1);
    return b;
  }
  std::uint16_t Word() {
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | (Byte() << 8));
  }
  std::span<const std::uint8_t> Take(std::size_t count) {
    count = count < rest.size() ? count : rest.size();
    const std::span<const std::uint8_t> taken = rest.first(count);
    rest = rest.subspan(count);
    return taken;
  }
};
