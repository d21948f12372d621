// Log rendering benchmark: the tool's output as the front end shows it.
//
// The boot tool redraws its percentage counter in place with three
// backspaces and a new value, so a long transfer is a stream of small counter
// items. The log pane renders every chunk onto its text; that must cost in
// proportion to the chunk, not to the log.
//
// Streams (fed in 8191-byte chunks, as the runner reads the pipe):
//   counter: lines of "\b\b\bNN%" items, a line end every 100 items;
//   text:    plain 80-character lines (the log grows to the full size).
// Printed per stream and size: the time to render through OutputRenderer
// (decoding included, with a view applying every edit), the time of a
// linear baseline that only copies and decodes the same bytes, their ratio,
// and the time of the stream's second half over its first half within one
// run (about 1 for a renderer whose cost follows the chunk, about 3 for one
// whose cost follows the log).
//
// Usage: render_bench [--mib N]   (default 10)

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringDecoder>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "output_renderer.h"

namespace {

constexpr qsizetype kChunk = 8191;

QByteArray CounterStream(qsizetype size) {
  QByteArray stream;
  stream.reserve(size + 64);
  int item = 0;
  while (stream.size() < size) {
    char text[16];
    std::snprintf(text, sizeof text, "\b\b\b%02d%%", item % 100);
    stream += text;
    if (++item % 100 == 0) stream += "\r\nsend data: 00%";
  }
  stream.truncate(size);
  return stream;
}

QByteArray TextStream(qsizetype size) {
  QByteArray stream;
  stream.reserve(size + 128);
  const QByteArray line = QByteArray(78, 'x') + "\r\n";
  while (stream.size() < size) stream += line;
  stream.truncate(size);
  return stream;
}

// Seconds to render the stream; `shown` receives the view's final length,
// `halves` the second half's time over the first half's.
double Render(const QByteArray& stream, qsizetype* shown, double* halves) {
  OutputRenderer log;
  QString view;  // what a text widget would hold, following the edits
  QObject::connect(&log, &OutputRenderer::Edited, [&view](const LogEdit& edit) {
    view.chop(edit.display_erased);
    view += edit.display_appended;
  });
  QElapsedTimer clock;
  clock.start();
  qint64 first_half = -1;
  for (qsizetype pos = 0; pos < stream.size(); pos += kChunk) {
    if (first_half < 0 && pos >= stream.size() / 2) first_half = clock.nsecsElapsed();
    log.AppendBytes(QByteArrayView(stream).sliced(pos, std::min(kChunk, stream.size() - pos)));
  }
  const qint64 total = clock.nsecsElapsed();
  *shown = view.size();
  *halves = double(total - first_half) / double(std::max<qint64>(first_half, 1));
  return total / 1e9;
}

// The linear peer: copy and decode the same chunks into one growing text.
double CopyBaseline(const QByteArray& stream, qsizetype* length) {
  QStringDecoder decoder(QStringDecoder::Utf8);
  QString text;
  QElapsedTimer clock;
  clock.start();
  for (qsizetype pos = 0; pos < stream.size(); pos += kChunk) {
    text +=
        decoder.decode(QByteArrayView(stream).sliced(pos, std::min(kChunk, stream.size() - pos)));
  }
  const double seconds = clock.nsecsElapsed() / 1e9;
  *length = text.size();
  return seconds;
}

// Best of three runs, to keep a busy machine's noise out of the figures.
template <typename F>
double Best(F measure) {
  double best = measure();
  for (int i = 0; i < 2; ++i) best = std::min(best, measure());
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  int mib = 10;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--mib") == 0 && i + 1 < argc) {
      mib = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: render_bench [--mib N]\n");
      return 2;
    }
  }
  if (mib < 1) mib = 1;

  struct Stream {
    const char* name;
    QByteArray (*make)(qsizetype);
  } streams[] = {{"counter", CounterStream}, {"text", TextStream}};

  std::printf("log rendering, %d MiB streams in %lld-byte chunks\n", mib,
              static_cast<long long>(kChunk));
  for (const Stream& s : streams) {
    const QByteArray stream = s.make(qsizetype(mib) << 20);
    qsizetype shown = 0;
    qsizetype copied = 0;
    double halves = 0;
    const double render_time = Best([&] { return Render(stream, &shown, &halves); });
    const double copy_time = Best([&] { return CopyBaseline(stream, &copied); });
    std::printf(
        "%-8s render %7.3f s   copy baseline %7.3f s   ratio %5.1f   "
        "second half / first half %5.2f   log %lld chars\n",
        s.name, render_time, copy_time, render_time / copy_time, halves,
        static_cast<long long>(shown));
  }
  return 0;
}
