#include "simulator.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "box.h"
#include "flash.h"
#include "pty_transport.h"
#include "signals.h"
#include "tftp_client.h"
#include "transcript.h"

namespace {

using std::chrono::milliseconds;

// The ROM repeats its request this often until a head frame begins.
constexpr milliseconds kRequestInterval{300};
// Silence in the middle of an upload frame after which the ROM gives up on it.
constexpr milliseconds kFrameSilence{2000};
// How often a box whose port nobody holds looks whether the tool has opened it
// (the terminal gives no event for that).
constexpr int kPeerPollMs = 20;
constexpr milliseconds kIdleWait{200};

void Report(const std::string& text) {
  std::fprintf(stderr, "stbsim: %s\n", text.c_str());
  std::fflush(stderr);
}

// One session: from the tool opening the port until it closes it. False when
// the simulator is to end (stop requested).
bool Session(PtyTransport& transport, Box& box) {
  box.Reset();
  std::vector<uint8_t> buffer(64 * 1024);
  TimePoint next_request = SteadyClock::now();
  TimePoint last_input = SteadyClock::now();
  for (;;) {
    TimePoint now = SteadyClock::now();
    if (box.WaitingForHeadFrame() && now >= next_request) {
      transport.Write("X");
      next_request = now + kRequestInterval;
    }
    TimePoint wake = now + kIdleWait;
    if (box.WaitingForHeadFrame()) wake = std::min(wake, next_request);
    if (box.WaitingInPass()) wake = std::min(wake, last_input + kFrameSilence);
    auto timeout = std::chrono::ceil<milliseconds>(std::max(wake - now, SteadyClock::duration(0)));

    size_t got = 0;
    switch (transport.Read(buffer.data(), buffer.size(), &got, timeout)) {
      case PtyTransport::ReadStatus::kData:
        last_input = SteadyClock::now();
        box.Feed(buffer.data(), got);
        break;
      case PtyTransport::ReadStatus::kTimeout:
        if (box.WaitingInPass() && SteadyClock::now() - last_input >= kFrameSilence) {
          box.OnSilence();
          last_input = SteadyClock::now();
        }
        break;
      case PtyTransport::ReadStatus::kHangup:
        return true;
      case PtyTransport::ReadStatus::kStopped:
        return false;
    }
  }
}

}  // namespace

int RunSimulator(const SimOptions& options) {
  InstallStopSignals();

  BoxMemory memory;
  std::string error;
  if (!memory.Open(options.flash_path, options.flash_size, &error)) {
    Report(error);
    return 1;
  }
  Transcript transcript;
  if (!options.log.empty() && !transcript.Open(options.log, &error)) {
    Report(error);
    return 1;
  }
  PtyTransport transport(options.baud);
  if (!transport.Open(options.link, &error)) {
    Report(error);
    return 1;
  }
  std::printf("%s\n", transport.slave_path().c_str());
  std::fflush(stdout);

  TftpClient network;
  Box box(options.box, memory, transport, transcript, &network, Report);
  while (!StopRequested()) {
    if (!transport.PeerOpen()) {
      PollWithStop(nullptr, 0, kPeerPollMs);
      continue;
    }
    Report("port opened; the box powers on");
    bool go_on = Session(transport, box);
    transport.Discard();
    memory.Sync();
    if (!go_on) break;
    if (options.once) {
      Report("port closed; exiting (--once)");
      break;
    }
    Report("port closed; the box resets");
  }
  memory.Sync();
  transport.RemoveLink();
  return 0;
}
