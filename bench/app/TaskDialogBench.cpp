// How long the task dialog takes to open on the largest task file it accepts (64 KB), in
// each shape such a file can have: from the text put in to the dialog shown and laid out.
// "word_wrap_*" lay the text out as the dialog did before it chose its wrapping (a 1 MB
// file without a blank took 32 s).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

#include "app/NewTaskFrom.h"
#include "app/TaskFiles.h"

namespace {

// `size` characters: words of `word` letters, each followed by a blank (0: no blank at
// all), or only line ends.
QString Text(qsizetype size, qsizetype word, bool lineEnds = false) {
  QString text;
  text.reserve(size);
  while (text.size() < size) {
    if (lineEnds) {
      text += QLatin1Char('\n');
      continue;
    }
    text += word > 0 && text.size() % (word + 1) == word ? QLatin1Char(' ') : QLatin1Char('X');
  }
  return text;
}

void Open(benchmark::State& state, NewTaskFrom::TfrmNewTask& dialog, const std::function<void()>& fill) {
  for (auto _ : state) {
    fill();
    dialog.show();
    QCoreApplication::processEvents();
    dialog.hide();
    state.PauseTiming();
    dialog.memText->clear();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}

void BM_TaskDialogOpens(benchmark::State& state, qsizetype word, bool lineEnds) {
  NewTaskFrom::TfrmNewTask dialog;
  const QString text = Text(MainForm::kTaskFileLimit, word, lineEnds);
  Open(state, dialog, [&] { dialog.SetTaskText(text); });
}
BENCHMARK_CAPTURE(BM_TaskDialogOpens, no_blank, 0, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TaskDialogOpens, words_of_80, 80, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TaskDialogOpens, words_of_1000, 1000, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TaskDialogOpens, words_of_6, 6, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TaskDialogOpens, line_ends_only, 0, true)->Unit(benchmark::kMillisecond);

void BM_TaskDialogWordWrap(benchmark::State& state, qsizetype size) {
  NewTaskFrom::TfrmNewTask dialog;
  const QString text = Text(size, 0);
  Open(state, dialog, [&] {
    dialog.memText->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    dialog.memText->setPlainText(text);
  });
}
BENCHMARK_CAPTURE(BM_TaskDialogWordWrap, word_wrap_no_blank_16KB, 16 * 1024)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TaskDialogWordWrap, word_wrap_no_blank_64KB, 64 * 1024)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
