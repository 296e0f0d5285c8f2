// Runs the instrument simulator for one test: starts zksim with a log file,
// hands out its device name, and reads back the frames it received.
#pragma once

#include "core/SampleFiles.h"
#include "instrument/SerialPort.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <csignal>
#include <memory>

// A packed field by value, so that no reference binds to it.
template <typename T> T Copy(T v) {
    return v;
}

// QProcess and QSerialPort want an application object.
class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "zk_instrument_tests";
            static char* argv[] = {name, nullptr};
            App = std::make_unique<QCoreApplication>(argc, argv);
        }
    }
    // Before the program's static objects go.
    void TearDown() override { App.reset(); }

private:
    std::unique_ptr<QCoreApplication> App;
};

// Short time-outs keep the failure tests fast; they stay far above what a
// loaded machine needs for an answer over a pseudo-terminal.
inline TInstrumentLink TestLink() {
    return TInstrumentLink(TLinkSettings{500, 1000});
}

class TSimProcess {
public:
    // Starts zksim with `args` (plus --log); fails the test when it does not start.
    explicit TSimProcess(const QStringList& args) {
        LogPath = Dir.filePath(QStringLiteral("frames.log"));
        Process.setProgram(QStringLiteral(ZKSIM_PATH));
        Process.setArguments(QStringList{QStringLiteral("--log"), LogPath} + args);
        Process.setProcessChannelMode(QProcess::SeparateChannels);
        Process.start();
        if (!Process.waitForStarted(5000)) {
            ADD_FAILURE() << "zksim did not start";
            return;
        }
        while (!Process.canReadLine() && Process.waitForReadyRead(5000)) {
        }
        DeviceName = QString::fromLocal8Bit(Process.readLine()).trimmed();
        if (DeviceName.isEmpty()) {
            ADD_FAILURE() << "zksim gave no device: "
                          << Process.readAllStandardError().toStdString();
        }
    }

    ~TSimProcess() { Stop(); }

    TSimProcess(const TSimProcess&) = delete;
    TSimProcess& operator=(const TSimProcess&) = delete;

    const QString& Device() const { return DeviceName; }
    qint64 Pid() const { return Process.processId(); }
    QString FolderPath() const { return Dir.path(); }

    // Ends the simulator with SIGTERM; returns its exit code (-1 if it hung).
    int Stop() {
        if (Process.state() == QProcess::NotRunning) {
            return Process.exitCode();
        }
        ::kill(static_cast<pid_t>(Process.processId()), SIGTERM);
        if (!Process.waitForFinished(5000)) {
            Process.kill();
            Process.waitForFinished(2000);
            return -1;
        }
        return Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
    }

    // The frames received so far, as "code payload-hex", comments skipped.
    QStringList Frames() const {
        QStringList frames;
        QFile f(LogPath);
        if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
            const QStringList lines = QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'));
            for (const QString& line : lines) {
                if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
                    frames << line;
                }
            }
        }
        return frames;
    }

    // Only the command codes, space-separated: "5 6 7 10".
    QString Codes() const {
        QStringList codes;
        for (const QString& frame : Frames()) {
            codes << frame.section(QLatin1Char(' '), 0, 0);
        }
        return codes.join(QLatin1Char(' '));
    }

    // The payload (26 bytes, hex) of the n-th frame.
    QString Payload(int n) const { return Frames().value(n).section(QLatin1Char(' '), 1, 1); }

private:
    QTemporaryDir Dir;
    QString LogPath;
    QProcess Process;
    QString DeviceName;
};

// A memory folder for zksim, built in code.
struct TSimFolder {
    QTemporaryDir Dir;
    QString Ini = QStringLiteral("[instrument]\nSerialNumber=1234\n[configuration]\n"
                                 "PeakThreshold=100\nTimeToPeak=2\nMode=0\nRequestedDL=100\n"
                                 "PeakIndexDL=-1\n");

    void Write(const QString& name, const TSampleFile& sample) {
        QString error;
        ASSERT_TRUE(WriteSampleFile(Dir.filePath(name), sample, error)) << error.toStdString();
    }
    // Writes instrument.ini and returns the options that load the folder.
    QStringList Args() {
        QFile f(Dir.filePath(QStringLiteral("instrument.ini")));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(Ini.toLatin1());
        f.close();
        return {QStringLiteral("--memory"), Dir.path()};
    }
};

// A sample with recognisable values: counts i*k+1 in `channels` channels.
inline std::unique_ptr<TSampleFile> MakeTestSample(int channels, std::uint32_t id,
                                                   std::uint32_t seconds = 600, int k = 3) {
    auto s = std::make_unique<TSampleFile>();
    s->Valid = 1;
    s->Sample.Parameter.SampleType = 2;
    s->Sample.Parameter.SampleInterval = seconds;
    s->Sample.Parameter.Volume = 0.5f;
    s->Sample.Parameter.Weight = 1.25f;
    s->Sample.Parameter.SerialNumber = 1234;
    s->Sample.Parameter.SampleID = id;
    s->Sample.Spectrum.Size = static_cast<std::uint16_t>(channels);
    s->Sample.Spectrum.Offset = 7;
    for (int i = 0; i < channels; ++i) {
        s->Sample.Spectrum.Channel[i] = static_cast<float>(i * k + 1);
    }
    s->Calibration.ECal = {1.5f, 0.75f, -0.001f, 2e-7f};
    s->Calibration.WCal = {2.0f, 0.01f, 1e-6f};
    s->Calibration.RCal = {17.3f, -0.9f, 150.0f, 0.0002f};
    s->PeakList.Size = 2;
    TPeakEntry cs{};
    SetPeakName(cs, QStringLiteral("Cs137"));
    cs.Energy = 662;
    cs.Probability = 85.1f;
    cs.Limit = 600.0f;
    TPeakEntry k40{};
    SetPeakName(k40, QStringLiteral("K40"));
    k40.Energy = 1461;
    k40.Probability = 10.66f;
    k40.Limit = -1.0f;
    s->PeakList.Peak[0] = cs;
    s->PeakList.Peak[1] = k40;
    s->Results.Size = 2;
    s->Results.Result[0] = TPeakResult{12.5f, 8.0f, 900.0f};
    s->Results.Result[1] = TPeakResult{400.0f, -1.0f, 0.0f};
    return s;
}
