#pragma once

// The descriptor the benchmark's HID layer reads and writes reports on.
extern int g_bench_fd;
