#include "capture/capture_cycle.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_texts.h"
#include "settings/settings_file.h"
#include "tests/settings/temp_folder.h"
#include "tests/support/end_process_trap.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_ui.h"
#include "tests/support/recording_receiver.h"
#include "tests/support/scripted_wave_in.h"

namespace tarnvale {
namespace {

using test::ShownMessage;
using test::WaveOp;

struct FakeRecovery final : RecoveryView {
  bool visible = false;
  int shows = 0;
  int progress = -1;
  void showRecovery() override {
    visible = true;
    ++shows;
  }
  void closeRecovery() override { visible = false; }
  void setProgress(int position) override { progress = position; }
};

class CaptureCycleTest : public ::testing::Test {
 protected:
  CaptureCycleTest() {
    waveIn.devices = {"Line In", "Monitor of Speakers"};
    context = std::make_unique<CaptureContext>(
        CaptureContext{waveIn, receiver, ui, clock, settings, folder.path(), recovery,
                       [this](bool on) { topmost.push_back(on); }, [this] { ++normalized; },
                       [this] { ++restored; },
                       [this](std::uint32_t ms) {
                         processEvents();
                         clock.sleep(ms);
                       },
                       [this](const std::int16_t* samples, std::int32_t frames) {
                         processed.push_back({samples[0], frames});
                       }});
  }

  // Hands every buffer the device gave back to the handler, as the event loop would.
  void pump() {
    while (const auto b = receiver.take()) onCaptureBuffer(*context, state, b->handle, b->header);
  }

  // One buffer of the current device filled with a constant left sample.
  void deliver(std::int16_t left) {
    const std::int16_t frame[] = {left, 0};
    ASSERT_TRUE(waveIn.deliver(state.waveInHandle, frame));
    pump();
  }

  // Capture running on "Mic", the second of two devices, chosen by name.
  void startOnMic() {
    settings.deviceName = "Mic";
    waveIn.devices = {"Line In", "Mic"};
    settings.deviceIndex = 1;
    ASSERT_TRUE(startCapture(*context, state));
  }

  void processEvents() {
    ++dispatches;
    if (onDispatch) onDispatch(dispatches);
    pump();
  }

  std::string storedDevice() const {
    return IniFile(settingsPath(folder.path())).read("Input", "Device").value_or("(missing)");
  }

  struct Processed {
    std::int16_t firstSample;
    std::int32_t frames;
  };

  test::TempFolder folder;
  test::ScriptedWaveIn waveIn;
  test::RecordingReceiver receiver;
  test::FakeUi ui;
  test::FakeClock clock;
  MeterSettings settings;
  FakeRecovery recovery;
  std::vector<bool> topmost;
  int normalized = 0, restored = 0, dispatches = 0;
  std::function<void(int)> onDispatch;
  std::vector<Processed> processed;
  CaptureState state;
  std::unique_ptr<CaptureContext> context;
  test::EndProcessTrap trap;
};

TEST_F(CaptureCycleTest, FindsTheDeviceByNameWithoutLeadingBlanks) {
  const struct {
    std::vector<std::string> devices;
    std::string wanted;
    int expected;
  } cases[] = {
      {{"Line In", "Mic"}, "", 0},
      {{"Line In", "Mic"}, "Mic", 1},
      {{"  Mic", "Mic", "Line In"}, "Mic", 1},
      {{"Mic", "  Mic", "Line In"}, "Mic", 1},
      {{"  Mic", " Mic"}, "Mic", 1},
      {{"Line In", "mic"}, "Mic", -1},
      {{"Line In", "Mic "}, "Mic", -1},
      {{"Line In"}, "Gone", -1},
  };
  for (const auto& c : cases) {
    waveIn.devices = c.devices;
    settings.deviceName = c.wanted;
    EXPECT_EQ(findInputDevice(*context), c.expected) << c.wanted;
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CaptureCycleTest, ADeviceListedWithLeadingTabsIsFoundByTheNameTheFileKeeps) {
  waveIn.devices = {"Line In", "\t\tMic"};
  settings.deviceName = withoutLeadingBlanks(waveIn.devices[1]);
  EXPECT_EQ(settings.deviceName, "Mic");
  EXPECT_EQ(findInputDevice(*context), 1);
}

TEST_F(CaptureCycleTest, NoDeviceAtAllEndsAfterOneMessage) {
  waveIn.devices.clear();
  settings.deviceName = "Mic";
  EXPECT_THROW(findInputDevice(*context), test::ProcessEnded);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{kNoInputDeviceMessage, "Tarnvale Error"}}));
}

TEST_F(CaptureCycleTest, StartQueuesThreeBuffersOfThirtyThreeMilliseconds) {
  settings.sampleRate = 48000;
  settings.deviceIndex = 1;
  ASSERT_TRUE(startCapture(*context, state));
  EXPECT_EQ(state.buffersQueued, 3);
  EXPECT_EQ(state.bufferBytes, 6336);
  EXPECT_EQ(waveIn.deviceOf(state.waveInHandle), 1);
  EXPECT_EQ(waveIn.queued(state.waveInHandle), 3u);
  EXPECT_TRUE(waveIn.started(state.waveInHandle));
  EXPECT_EQ(normalized, 1);
  EXPECT_EQ(restored, 1);
  for (const auto& buffer : state.outstanding) {
    EXPECT_EQ(buffer->header.bufferLength, 6336u);
    EXPECT_GE(buffer->block.size(), 12929u);
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CaptureCycleTest, EveryStartFailureTellsTheUserAndEnds) {
  const std::string reset =
      "The configured Input Device is not available and will be reset to the default.";
  const struct {
    WaveOp op;
    WaveResult result;
    std::vector<ShownMessage> messages;
    bool deviceReset;
  } cases[] = {
      {WaveOp::QueryFormat,
       kWaveBadFormat,
       {{kWaveFormatErrorMessage, " Tarnvale Error"}, {reset, " Tarnvale Error"}},
       true},
      {WaveOp::QueryFormat, kWaveBadDeviceId, {{reset, " Tarnvale Error"}}, true},
      {WaveOp::Open,
       kWaveError,
       {{kSoundcardNotAvailableMessage, " Tarnvale Error"}, {reset, " Tarnvale Error"}},
       true},
      {WaveOp::Prepare, kWaveError, {{"InPrepare error", " Tarnvale Error"}}, false},
      {WaveOp::Add, kWaveError, {{"Add buffer error", " Tarnvale Error"}}, false},
      {WaveOp::Start, kWaveError, {{"Start error", " Tarnvale Error"}}, false},
  };
  for (const auto& c : cases) {
    ui.messages.clear();
    std::remove(settingsPath(folder.path()).c_str());
    waveIn.clearFailures();
    waveIn.failOnce(c.op, c.result);
    settings.deviceIndex = 1;
    CaptureState fresh;
    EXPECT_THROW(startCapture(*context, fresh), test::ProcessEnded);
    EXPECT_EQ(ui.messages, c.messages);
    EXPECT_EQ(storedDevice(), c.deviceReset ? "0" : "(missing)");
  }
}

TEST_F(CaptureCycleTest, ADeviceLostWhileCaptureStartsIsLeftToRecoveryWithoutAMessage) {
  for (const WaveOp op :
       {WaveOp::QueryFormat, WaveOp::Open, WaveOp::Prepare, WaveOp::Add, WaveOp::Start}) {
    SCOPED_TRACE(static_cast<int>(op));
    std::remove(settingsPath(folder.path()).c_str());
    waveIn.clearFailures();
    waveIn.failOnce(op, kWaveDeviceLost);
    settings.deviceIndex = 1;
    CaptureState fresh;
    EXPECT_FALSE(startCapture(*context, fresh));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(storedDevice(), "(missing)");
    EXPECT_EQ(restored, normalized);
  }
}

TEST_F(CaptureCycleTest, ResetMessageIsShownOutOfTheTopmostLayer) {
  settings.onTop = true;
  ui.onMessage = [this](const ShownMessage& m) {
    if (m.text.starts_with("The configured")) {
      EXPECT_EQ(topmost, std::vector<bool>{false});
    }
  };
  waveIn.failOnce(WaveOp::Open, kWaveError);
  EXPECT_THROW(startCapture(*context, state), test::ProcessEnded);
  EXPECT_EQ(topmost, (std::vector<bool>{false, true}));
}

TEST_F(CaptureCycleTest, HandlerFailuresEndTheProgram) {
  const struct {
    WaveOp op;
    ShownMessage message;
  } cases[] = {
      {WaveOp::Unprepare, {"In-UnPrepare error", " Tarnvale Error"}},
      {WaveOp::Add, {"Add buffer error 2", "Tarnvale Error"}},
  };
  for (const auto& c : cases) {
    ui.messages.clear();
    state = CaptureState{};
    ASSERT_TRUE(startCapture(*context, state));
    waveIn.failOnce(c.op, kWaveError);
    const std::int16_t frame[] = {100, 100};
    ASSERT_TRUE(waveIn.deliver(state.waveInHandle, frame));
    EXPECT_THROW(pump(), test::ProcessEnded);
    EXPECT_EQ(ui.messages, std::vector<ShownMessage>{c.message});
  }
}

TEST_F(CaptureCycleTest, ThreeBuffersKeepCirculatingThroughThousandsOfBuffers) {
  ASSERT_TRUE(startCapture(*context, state));
  for (int i = 0; i < 3000; ++i) {
    deliver(static_cast<std::int16_t>(i % 1000));
    ASSERT_EQ(state.buffersQueued, 3);
    ASSERT_EQ(waveIn.queued(state.waveInHandle), 3u);
  }
  ASSERT_EQ(processed.size(), 3000u);
  EXPECT_EQ(processed.back().firstSample, 999 % 1000);
  EXPECT_EQ(processed.back().frames, 1452);
  // Nothing piles up: only the three queued buffers are held, and at most
  // as many kept for reuse.
  EXPECT_EQ(state.outstanding.size(), 3u);
  EXPECT_LE(state.spare.size(), 3u);
}

// Buffers are reused: one that comes back with nothing recorded must read as
// silence, not as what it held the last time round.
TEST_F(CaptureCycleTest, AReusedBufferCutShortReadsAsSilence) {
  ASSERT_TRUE(startCapture(*context, state));
  for (int i = 0; i < 6; ++i) deliver(1234);
  restartCapture(*context, state, 1);
  pump();
  ASSERT_EQ(processed.size(), 9u);
  for (std::size_t i = 6; i < 9; ++i) {
    EXPECT_EQ(processed[i].firstSample, 0) << "buffer " << i;
    EXPECT_EQ(processed[i].frames, 1452);
  }
  deliver(77);
  EXPECT_EQ(processed.back().firstSample, 77);
}

TEST_F(CaptureCycleTest, BuffersOfTheOldDeviceAreStillMeasuredAfterADeviceChange) {
  ASSERT_TRUE(startCapture(*context, state));
  const WaveInHandle old = state.waveInHandle;
  restartCapture(*context, state, 1);
  EXPECT_NE(state.waveInHandle, old);
  EXPECT_EQ(waveIn.deviceOf(state.waveInHandle), 1);
  EXPECT_EQ(settings.deviceIndex, 1);

  pump();  // the three the reset handed back
  EXPECT_EQ(processed.size(), 3u);
  EXPECT_EQ(state.buffersQueued, 3);
  deliver(1234);
  EXPECT_EQ(processed.back().firstSample, 1234);
  // The old device is closed once all its buffers are back.
  EXPECT_EQ(waveIn.countOf(WaveOp::Close), 1u);
  EXPECT_TRUE(ui.messages.empty());
}

// Loses the device and brings it back, under `backIndex`, at attempt `backAt`
// (never when 0).
struct RecoveryCase {
  int backAt;
  int backIndex;
  int expectedProgress;
};

TEST_F(CaptureCycleTest, RecoveryReopensTheDeviceWhenItIsListedAgain) {
  const RecoveryCase cases[] = {{1, 0, 1}, {25, 0, 25}, {150, 0, 49}, {40, 2, 40}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.backAt);
    waveIn.devices = {"Line In", "Mic"};
    settings.deviceName = "Mic";
    settings.deviceIndex = 1;
    settings.onTop = true;
    topmost.clear();
    dispatches = 0;
    clock.sleeps.clear();
    state = CaptureState{};
    ASSERT_TRUE(startCapture(*context, state));
    const WaveInHandle lost = state.waveInHandle;

    onDispatch = [&](int dispatch) {
      if (dispatch == 1) waveIn.devices = {"Line In"};
      if (dispatch == c.backAt) {
        waveIn.devices = c.backIndex == 2 ? std::vector<std::string>{"Line In", "USB", "Mic"}
                                          : std::vector<std::string>{"Line In", "Mic"};
      }
      EXPECT_TRUE(recovery.visible);
    };
    waveIn.lose(lost);
    pump();

    EXPECT_EQ(dispatches, c.backAt);
    EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>(c.backAt, 100));
    EXPECT_EQ(recovery.progress, c.expectedProgress);
    EXPECT_FALSE(recovery.visible);
    EXPECT_EQ(topmost, (std::vector<bool>{false, true}));
    EXPECT_EQ(settings.deviceIndex, c.backIndex == 2 ? 2 : 1);
    EXPECT_NE(state.waveInHandle, lost);
    EXPECT_EQ(waveIn.deviceOf(state.waveInHandle), settings.deviceIndex);
    EXPECT_EQ(state.buffersQueued, 3);
    EXPECT_FALSE(state.recovering);
    // The lost device's buffers were measured, not replaced; capture goes on.
    EXPECT_EQ(waveIn.countOf(WaveOp::Open), 2u * static_cast<std::size_t>(&c - cases + 1));
    deliver(77);
    EXPECT_EQ(processed.back().firstSample, 77);
    EXPECT_EQ(state.outstanding.size(), 3u);
    onDispatch = nullptr;
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CaptureCycleTest, RecoveryGivesUpSilentlyAfter301Attempts) {
  startOnMic();
  waveIn.devices = {"Line In"};
  waveIn.lose(state.waveInHandle);
  EXPECT_THROW(pump(), test::ProcessEnded);
  EXPECT_EQ(dispatches, 301);
  EXPECT_EQ(recovery.progress, 99);  // the bar restarted twice: 101, 101, then 99 attempts
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CaptureCycleTest, LastDeviceGoneDuringRecoveryEndsWithTheNoDeviceMessage) {
  ASSERT_TRUE(startCapture(*context, state));
  onDispatch = [this](int) { waveIn.devices.clear(); };
  waveIn.lose(state.waveInHandle);
  EXPECT_THROW(pump(), test::ProcessEnded);
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{kNoInputDeviceMessage, "Tarnvale Error"}}));
}

TEST_F(CaptureCycleTest, ADeviceLostBetweenPrepareAndAddIsRecovered) {
  settings.deviceName = "Mic";
  waveIn.devices = {"Mic"};
  ASSERT_TRUE(startCapture(*context, state));
  waveIn.failOnce(WaveOp::Add, kWaveDeviceLost);
  deliver(5);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(recovery.shows, 1);
  EXPECT_FALSE(state.recovering);
  EXPECT_EQ(waveIn.countOf(WaveOp::Open), 2u);
  EXPECT_EQ(state.buffersQueued, 3);
  EXPECT_EQ(waveIn.queued(state.waveInHandle), 3u);
}

TEST_F(CaptureCycleTest, ADeviceChosenWhileRecoveryRunsIsOpenedOnce) {
  startOnMic();
  onDispatch = [&](int dispatch) {
    if (dispatch == 1) waveIn.devices = {"Line In"};
    if (dispatch == 3) {
      // The setup dialog's close: the switch, then the name it stores.
      restartCapture(*context, state, 0);
      settings.deviceName = "Line In";
    }
  };
  waveIn.lose(state.waveInHandle);
  pump();
  EXPECT_EQ(dispatches, 3);
  EXPECT_FALSE(state.recovering);
  EXPECT_EQ(waveIn.countOf(WaveOp::Open), 2u);
  EXPECT_EQ(waveIn.deviceOf(state.waveInHandle), 0);
  EXPECT_EQ(state.buffersQueued, 3);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CaptureCycleTest, AServerAwayDuringRecoveryIsWaitedForNotTakenForNoDevice) {
  startOnMic();
  onDispatch = [&](int dispatch) { waveIn.unreachable = dispatch < 40; };
  waveIn.lose(state.waveInHandle);
  pump();
  EXPECT_EQ(dispatches, 40);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(waveIn.deviceOf(state.waveInHandle), 1);
  EXPECT_EQ(state.buffersQueued, 3);
}

TEST_F(CaptureCycleTest, BuffersReturnedDuringRecoveryNeverStartASecondOne) {
  settings.deviceName = "Mic";
  waveIn.devices = {"Mic"};
  ASSERT_TRUE(startCapture(*context, state));
  // The loss is seen on the first buffer; the other two come back while
  // recovery dispatches events.
  waveIn.failOnce(WaveOp::Prepare, kWaveError);
  deliver(5);
  EXPECT_EQ(recovery.shows, 1);
  EXPECT_EQ(processed.size(), 3u);
  EXPECT_EQ(waveIn.countOf(WaveOp::Open), 2u);
  EXPECT_EQ(state.buffersQueued, 3);
}

}  // namespace
}  // namespace tarnvale
