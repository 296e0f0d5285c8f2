// Fixtures of the instrument tests, for the in-process simulator
// (zksim/SimPort.h) and the zksim process alike: packed fields by value, the
// application object, and a sample with recognisable values to put into a
// simulator's memory.
#pragma once

#include "core/sample_types.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <memory>

// A packed field by value, so that no reference binds to it.
template <typename T> T Copy(T v) {
    return v;
}

// QProcess, QSerialPort and the file functions want an application object.
// One test file of an executable registers it for all of them.
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
