// SPDX-License-Identifier: MIT
// The window against a minimal Qt window in the same run (offscreen): time
// from construction to the first painted frame, and one "Calculate".
#include "app/Main.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

void ShowAndPaint(QWidget& w) {
    w.show();
    static_cast<void>(QTest::qWaitForWindowExposed(&w));
    w.repaint();
}

void BM_MinimalWindowFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        QWidget w;
        w.resize(327, 416);
        QPushButton b(QStringLiteral("Exit"), &w);
        ShowAndPaint(w);
    }
}
BENCHMARK(BM_MinimalWindowFirstFrame)->Unit(benchmark::kMicrosecond);

void BM_MainFormFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        TMainForm form({});
        ShowAndPaint(form);
    }
}
BENCHMARK(BM_MainFormFirstFrame)->Unit(benchmark::kMicrosecond);

void BM_CalculateClick(benchmark::State& state) {
    TMainForm form({"90", "37", "1.02", "2.4", "40", "7.8", "41200"});
    ShowAndPaint(form);
    auto* button = form.findChild<QPushButton*>(QStringLiteral("Button1"));
    for (auto _ : state) {
        button->click();
        form.repaint();
    }
}
BENCHMARK(BM_CalculateClick)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    UseWindowFont();
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
