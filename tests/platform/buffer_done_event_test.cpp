#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <QThread>
#include <thread>
#include <vector>

#include "platform/buffer_done_event.h"

namespace tarnvale {
namespace {

class BufferSink : public QObject {
 public:
  struct Seen {
    WaveInHandle handle;
    WaveHeader* header;
    bool onOwnThread;
  };
  std::vector<Seen> seen;

 protected:
  bool event(QEvent* e) override {
    if (e->type() != BufferDoneEvent::eventType()) return QObject::event(e);
    const auto* done = static_cast<BufferDoneEvent*>(e);
    seen.push_back({done->handle(), done->header(), QThread::currentThread() == thread()});
    return true;
  }
};

class BufferDonePosterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "platform_qt_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
  }

  // Runs the event loop until `count` buffers have arrived, or a generous while.
  void pumpUntil(std::size_t count) {
    QDeadlineTimer deadline(10000);
    while (sink.seen.size() < count && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  }

  BufferSink sink;
};

TEST_F(BufferDonePosterTest, BuffersFromAnotherThreadArriveInOrderOnTheTargetsThread) {
  std::vector<WaveHeader> headers(200);
  BufferDonePoster poster(&sink);
  std::thread device([&] {
    for (std::size_t i = 0; i < headers.size(); ++i) {
      poster.bufferDone(static_cast<WaveInHandle>(1 + i % 2), &headers[i]);
    }
  });
  device.join();
  EXPECT_TRUE(sink.seen.empty()) << "handled before the event loop ran";

  pumpUntil(headers.size());
  ASSERT_EQ(sink.seen.size(), headers.size());
  for (std::size_t i = 0; i < headers.size(); ++i) {
    EXPECT_EQ(sink.seen[i].handle, 1 + i % 2) << i;
    EXPECT_EQ(sink.seen[i].header, &headers[i]) << i;
    EXPECT_TRUE(sink.seen[i].onOwnThread) << i;
  }
}

}  // namespace
}  // namespace tarnvale
