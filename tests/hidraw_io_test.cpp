// hidraw framing, with a SOCK_SEQPACKET socket pair standing in for the node:
// like hidraw, it keeps each report a message of its own.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "hidraw_io.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class HidrawFraming : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds_), 0); }
  void TearDown() override {
    for (int fd : fds_) if (fd >= 0) close(fd);
  }
  void DeviceSends(const Bytes& message) {
    ASSERT_EQ(send(device(), message.data(), message.size(), 0), static_cast<ssize_t>(message.size()));
  }
  int program() const { return fds_[0]; }
  int device() const { return fds_[1]; }
  int fds_[2] = {-1, -1};
};

TEST_F(HidrawFraming, UnnumberedReportGetsReportIdZeroInFront) {
  Bytes data(64);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i + 1);
  DeviceSends(data);
  Bytes report(65, 0xAA);
  std::size_t delivered = 0;
  ASSERT_TRUE(ReadHidrawReport(program(), false, report, &delivered));
  EXPECT_EQ(delivered, 65u);
  EXPECT_EQ(report[0], 0);
  EXPECT_EQ(Bytes(report.begin() + 1, report.end()), data);
}

TEST_F(HidrawFraming, NumberedReportArrivesWithItsIdFirst) {
  DeviceSends({5, 0, 3, 'a', 'b', 'c'});
  Bytes report(65, 0xAA);
  std::size_t delivered = 0;
  ASSERT_TRUE(ReadHidrawReport(program(), true, report, &delivered));
  EXPECT_EQ(delivered, 6u);
  EXPECT_EQ(Bytes(report.begin(), report.begin() + 6), (Bytes{5, 0, 3, 'a', 'b', 'c'}));
  EXPECT_EQ(report[6], 0xAA);
}

TEST_F(HidrawFraming, LongerReportIsCutToTheBuffer) {
  DeviceSends(Bytes(100, 7));
  Bytes report(9, 0xAA);
  std::size_t delivered = 0;
  ASSERT_TRUE(ReadHidrawReport(program(), false, std::span<std::uint8_t>(report).first(8),
                               &delivered));
  EXPECT_EQ(delivered, 8u);
  EXPECT_EQ(report[0], 0);
  EXPECT_EQ(report[7], 7);
  EXPECT_EQ(report[8], 0xAA) << "nothing beyond the report";
}

TEST_F(HidrawFraming, EmptyMessageIsAReadThatDeliveredNothing) {
  DeviceSends({});
  Bytes report(65, 0xAA);
  std::size_t delivered = 99;
  ASSERT_TRUE(ReadHidrawReport(program(), false, report, &delivered));
  EXPECT_EQ(delivered, 0u);
  EXPECT_EQ(report, Bytes(65, 0xAA));
}

TEST_F(HidrawFraming, ReadOnAClosedDescriptorFails) {
  close(fds_[0]);
  const int closed = fds_[0];
  fds_[0] = -1;
  Bytes report(65);
  std::size_t delivered = 99;
  EXPECT_FALSE(ReadHidrawReport(closed, false, report, &delivered));
  EXPECT_EQ(delivered, 0u);
}

TEST_F(HidrawFraming, WriteSendsTheWholeReportAsOneMessage) {
  Bytes command(65, 0);
  command[1] = 0x30;
  command[2] = 2;
  command[3] = 'I';
  command[4] = 0x0D;
  ASSERT_TRUE(WriteHidrawReport(program(), command));
  Bytes received(200);
  const ssize_t got = recv(device(), received.data(), received.size(), 0);
  ASSERT_EQ(got, 65);
  received.resize(65);
  EXPECT_EQ(received, command);
}

// A pipe takes no more than it has room for: a write larger than that comes
// back short, and a report sent in part must count as a failure.
TEST(HidrawWrite, ShortWriteIsAFailure) {
  int pipe_fds[2];
  ASSERT_EQ(pipe2(pipe_fds, O_NONBLOCK | O_CLOEXEC), 0);
  const int capacity = fcntl(pipe_fds[1], F_GETPIPE_SZ);
  ASSERT_GT(capacity, 0);
  const Bytes report(static_cast<std::size_t>(capacity) + 1, 0x30);
  EXPECT_FALSE(WriteHidrawReport(pipe_fds[1], report));
  Bytes taken(report.size());
  EXPECT_EQ(read(pipe_fds[0], taken.data(), taken.size()), capacity) << "the write was short";
  close(pipe_fds[0]);
  close(pipe_fds[1]);
}

TEST_F(HidrawFraming, WriteOnAClosedDescriptorFails) {
  close(fds_[0]);
  const int closed = fds_[0];
  fds_[0] = -1;
  EXPECT_FALSE(WriteHidrawReport(closed, Bytes(65)));
}

}  // namespace
