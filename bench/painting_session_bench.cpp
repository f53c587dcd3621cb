// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What recording the time-lapse costs the desktop program: one painting of the example picture
// at 1024 x 768 (and 4000 x 3000) through the output window's painting session (the painting on the
// session's worker, each picture it shows handed to the window's thread and waited for), without
// and with the counting of how far it has come that its time-lapse needs. The time is the
// painting's, from its start to its end as the window sees it; "save_seconds" is the saving of its
// time-lapse as .mp4 afterwards (which paints it again).
//
//   painting_session_bench [PICTURE] [--benchmark_repetitions=N]

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "gui/painting_session.h"

namespace {

std::string picture;

// Runs the event loop until `done` holds.
template <typename Done>
void Wait(const Done& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

void BM_DesktopPainting(benchmark::State& state) {
  const auto effect = static_cast<EffectKind>(state.range(0));
  const bool record = state.range(1) != 0;
  const auto width = static_cast<int32_t>(state.range(2));
  double saveSeconds = 0;
  QTemporaryDir folder;
  for (auto _ : state) {
    RenderRequest request;
    request.effect = effect;
    request.startPath = picture;
    request.width = width;
    request.height = width * 3 / 4;
    PaintingSession session(request);
    session.SetRecording(record);
    bool ready = false;
    QObject::connect(&session, &PaintingSession::PictureReady, [&] { ready = true; });
    session.Prepare();
    Wait([&] { return ready; });
    QElapsedTimer clock;
    clock.start();
    if (!session.StartPainting()) state.SkipWithError("the painting did not start");
    Wait([&] { return session.Done(); });
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    if (state.range(1) < 2) continue;
    clock.restart();
    bool saved = false;
    QObject::connect(&session, &PaintingSession::TimelapseSaved,
                     [&](const QString&, const QString& problem) {
                       saved = true;
                       if (!problem.isEmpty()) state.SkipWithError(problem.toStdString().c_str());
                     });
    session.SaveTimelapse(folder.filePath(QStringLiteral("painting.mp4")));
    Wait([&] { return saved; });
    saveSeconds += clock.nsecsElapsed() / 1e9;
  }
  state.counters["save_seconds"] =
      benchmark::Counter(saveSeconds, benchmark::Counter::kAvgIterations);
}
// Van Gogh and Pointillism, each without the counting (0), with it (1), and with it and the saving
// of the time-lapse afterwards (2); 1024 x 768 counts no step, 4000 x 3000 twelve.
BENCHMARK(BM_DesktopPainting)
    ->ArgsProduct({{VanGogh, Pointillism}, {0, 1, 2}, {1024, 4000}})
    ->ArgNames({"effect", "recording", "width"})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  picture = argc > 1
                ? argv[1]
                : QCoreApplication::applicationDirPath().toStdString() + "/Example Picture.jpg";
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
