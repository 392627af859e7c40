// What the program costs per report, against the least any relay must do.
//
// Reply path: a reply of many reports arrives on a SOCK_SEQPACKET socket
// (framed as hidraw delivers an unnumbered 64-byte report) and its text is
// printed to a file. The program's path is ReadReply with the Linux layer's
// framing; the baseline only reads the same messages from the same kind of
// socket and writes their text to the same kind of file.
//
// Command path: building and writing command reports, against writing a
// prepared one.
//
// Each reports the program's and the baseline's rate (per second of the
// reading or writing thread's CPU time) and the ratio of program time to
// baseline time.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "adapter_link.h"
#include "bench_hid.h"
#include "console_output.h"
#include "hidraw_io.h"
#include "report_format.h"

namespace {

constexpr int kReportsPerReply = 1000;
constexpr std::size_t kDataLength = 64;  // as hidraw hands over an unnumbered report
constexpr int kBatch = 32;

using Reply = std::vector<std::vector<std::uint8_t>>;

// One end of a SOCK_SEQPACKET pair for the benchmark; a thread serves the
// other end until this end is shut.
class SocketPeer {
 public:
  explicit SocketPeer(std::function<void(int)> serve) {
    socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds_);
    peer_ = std::thread(std::move(serve), fds_[1]);
  }
  ~SocketPeer() {
    shutdown(fds_[0], SHUT_RDWR);
    peer_.join();
    close(fds_[0]);
    close(fds_[1]);
  }
  int fd() const { return fds_[0]; }

 private:
  int fds_[2];
  std::thread peer_;
};

Reply MakeReply() {
  Reply reply;
  for (int i = 0; i < kReportsPerReply; ++i) {
    std::vector<std::uint8_t> data(kDataLength, 0);
    const std::string text = i + 1 < kReportsPerReply
                                 ? "Channel " + std::to_string(i) + " = 255, fade 0.5 s, group 12\r\n"
                                 : std::string("OK\r\n>");
    data[1] = static_cast<std::uint8_t>(text.size());
    std::memcpy(data.data() + 2, text.data(), text.size());
    reply.push_back(std::move(data));
  }
  return reply;
}

// The adapter's side: sends the reply over and over until the reader shuts
// its end. Batches keep the sender cheaper than any reader.
void SendForever(int fd, const Reply& reply) {
  std::vector<mmsghdr> messages(kBatch);
  std::vector<iovec> parts(kBatch);
  for (std::size_t next = 0;; next = (next + kBatch) % reply.size()) {
    for (int i = 0; i < kBatch; ++i) {
      const auto& data = reply[(next + i) % reply.size()];
      parts[i] = {const_cast<std::uint8_t*>(data.data()), data.size()};
      messages[i] = {};
      messages[i].msg_hdr.msg_iov = &parts[i];
      messages[i].msg_hdr.msg_iovlen = 1;
    }
    for (int sent = 0; sent < kBatch;) {
      const int n = sendmmsg(fd, messages.data() + sent, kBatch - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += n;
    }
  }
}

// The device's side of commands: takes reports as fast as they come.
void DrainForever(int fd) {
  std::uint8_t data[128];
  while (read(fd, data, sizeof data) > 0) {
  }
}

void ConnectAdapterState() {
  int error = 0;
  g_adapter = AdapterState{};
  g_adapter.handle = HidOpen({"bench", true, 0x0F48, 0x4201}, &error);
  g_adapter.connected = true;
  g_adapter.caps = {65, 65};
  g_adapter.output_report_length = 65;
  g_adapter.input_report.assign(66, 0);
  g_adapter.output_report.assign(66, 0);
}

// CPU time of the calling thread: the reader's own cost, without the time it
// waits for the other side to be scheduled on a busy machine.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Program and baseline take turns within each iteration, so that a machine
// that speeds up or slows down affects both alike; the ratio is the median of
// the iterations' ratios.
struct Pairing {
  double program_seconds = 0;
  double baseline_seconds = 0;
  std::vector<double> ratios;

  void Add(double program, double baseline) {
    program_seconds += program;
    baseline_seconds += baseline;
    if (baseline > 0) ratios.push_back(program / baseline);
  }
  void Report(benchmark::State& state, double items) const {
    state.counters["program_per_s"] = items / program_seconds;
    state.counters["baseline_per_s"] = items / baseline_seconds;
    state.counters["ratio"] = Median(ratios);
  }
};

// The least any relay must do: read each report and write its text.
void RelayBaseline(int fd, benchmark::State& state) {
  std::uint8_t data[kDataLength];
  for (int i = 0; i < kReportsPerReply; ++i) {
    if (read(fd, data, sizeof data) <= 0) state.SkipWithError("read failed");
    std::fwrite(data + 2, 1, data[1], stdout);
  }
}

void BM_ReplyPath(benchmark::State& state) {
  const Reply reply = MakeReply();
  SocketPeer adapter([&reply](int fd) { SendForever(fd, reply); });
  g_bench_fd = adapter.fd();
  ConnectAdapterState();
  Pairing pairing;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    if (ReadReply() != 0) state.SkipWithError("reply did not end with the prompt");
    const double middle = ThreadSeconds();
    RelayBaseline(adapter.fd(), state);
    pairing.Add(middle - start, ThreadSeconds() - middle);
    std::fseek(stdout, 0, SEEK_SET);
  }
  pairing.Report(state, static_cast<double>(state.iterations()) * kReportsPerReply);
  HidClose(g_adapter.handle);
  g_adapter = AdapterState{};
}

constexpr int kCommandsPerRound = 1000;

void BM_CommandPath(benchmark::State& state) {
  SocketPeer sink(DrainForever);
  std::vector<std::uint8_t> report(66);
  std::vector<std::uint8_t> prepared(66);
  BuildCommandReport(prepared, 65, "DMX 1 255");
  Pairing pairing;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    for (int i = 0; i < kCommandsPerRound; ++i) {
      BuildCommandReport(report, 65, "DMX 1 255");
      if (!WriteHidrawReport(sink.fd(), {report.data(), 65})) state.SkipWithError("write failed");
    }
    const double middle = ThreadSeconds();
    for (int i = 0; i < kCommandsPerRound; ++i) {
      if (write(sink.fd(), prepared.data(), 65) != 65) state.SkipWithError("write failed");
    }
    pairing.Add(middle - start, ThreadSeconds() - middle);
  }
  pairing.Report(state, static_cast<double>(state.iterations()) * kCommandsPerRound);
}

BENCHMARK(BM_ReplyPath)->MinTime(3.0);
BENCHMARK(BM_CommandPath)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  // Printed text goes to a file, with the program's own buffering for files.
  std::FILE* file = std::tmpfile();
  if (file == nullptr || dup2(fileno(file), STDOUT_FILENO) < 0) return 1;
  ConfigureStandardOutput();

  benchmark::Initialize(&argc, argv);
  benchmark::ConsoleReporter reporter(benchmark::ConsoleReporter::OO_Tabular);
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
