// Runs the instrument simulator as a process for one test: starts zksim
// with a log file, hands out the name of its pseudo-terminal, and reads back
// the frames it received. For the end-to-end tests over a real device; the
// protocol tests use the in-process simulator of zksim/SimPort.h, which
// needs no second process and never waits for a time-out.
#pragma once

#include "InstrumentFixtures.h"

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

// Short time-outs keep the failure tests fast; they stay far above what a
// loaded machine needs for an answer over a pseudo-terminal.
inline TInstrumentLink TestLink() {
    TLinkSettings settings;
    settings.ReadTimeoutMs = 500;
    settings.WriteTimeoutMs = 1000;
    return TInstrumentLink(settings);
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
