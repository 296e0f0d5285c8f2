// Fixtures of the instrument tests, for the in-process simulator
// (zksim/SimPort.h) and the zksim process alike: packed fields by value and
// the application object. The samples put into a simulator's memory come from
// SampleFixtures.h (MakeTestSample).
#pragma once

#include "SampleFixtures.h"
#include "core/sample_types.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>

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
