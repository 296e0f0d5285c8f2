// Downloading the instrument's memory from the simulator on a paced line:
// ten stored samples of 4096 channels at 115200 baud, against the floor that
// the line itself sets (every byte sent and received at 11520 bytes/s).
#include "BenchApplication.h"
#include "workstation/Workstation.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <map>
#include <memory>

#ifdef ZKSIM_PATH

namespace {

class TNoProgress : public TDownloadProgress {
public:
    void Show() override {}
    void ShowProgress(int, int, const QString&) override {}
    void Hide() override {}
};

// Answer lengths of the commands of a download of 4096-channel samples.
const std::map<int, int> AnswerBytes = {{21, 1},  {17, 4}, {22, 1},     {23, 1},
                                        {5, 16},  {6, 12}, {7, 16},     {10, 417},
                                        {12, 19}, {20, 2}, {11, 16388}, {13, 193}};

void DownloadTenSamples(benchmark::State& state) {
    EnsureBenchApplication();
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("frames.log"));
    QProcess sim;
    sim.start(QStringLiteral(ZKSIM_PATH), {QStringLiteral("--demo-samples"), QStringLiteral("10"),
                                           QStringLiteral("--demo-channels"),
                                           QStringLiteral("4096"), QStringLiteral("--pace-baud"),
                                           QStringLiteral("115200"), QStringLiteral("--log"), log});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        state.SkipWithError("zksim did not start");
        return;
    }
    const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();
    const QString target = dir.filePath(QStringLiteral("bench.vtb"));
    TWorkstation session;
    TNoProgress progress;
    double seconds = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (!session.DownloadMemory(port, target, progress).Ok()) {
            state.SkipWithError("download failed");
            break;
        }
        seconds = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
    }
    ::kill(static_cast<pid_t>(sim.processId()), SIGTERM);
    sim.waitForFinished(5000);

    // The floor: every frame and every answer byte at 115200 baud, 10 bits a byte.
    QFile frames(log);
    double bytes = 0;
    int frameCount = 0;
    if (frames.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : frames.readAll().split('\n')) {
            if (line.isEmpty() || line.startsWith('#')) {
                continue;
            }
            const int code = line.split(' ').value(0).toInt();
            ++frameCount;
            bytes += 28 + (AnswerBytes.count(code) ? AnswerBytes.at(code) : 0);
        }
    }
    const double floor = bytes / 11520.0;
    state.counters["frames"] = frameCount;
    state.counters["line_bytes"] = bytes;
    state.counters["floor_s"] = floor;
    state.counters["download_s"] = seconds;
    state.counters["ratio"] = floor > 0 ? seconds / floor : 0;
}

} // namespace

BENCHMARK(DownloadTenSamples)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

#endif
