// What the simulated instrument remembers: its identity, its measuring
// configuration, the current sample, the stored background and the stored
// samples. Loaded from a folder or built as a demonstration memory.
#pragma once

#include "core/sample_types.h"

#include <QString>

#include <cstdint>
#include <vector>

struct TSimIdentity {
    std::uint16_t SerialNumber = 1234;
    std::uint8_t FirmwareMajor = 2, FirmwareMinor = 5;
    std::uint8_t InstrumentMajor = 1, InstrumentMinor = 0;
    int ManufacturedYear = 2019, ManufacturedMonth = 5, ManufacturedDay = 3;
    int UpdateYear = 2021, UpdateMonth = 1, UpdateDay = 12;
};

struct TDemoOptions {
    int StoredSamples = 6;
    int Channels = 0; // 0: alternately 1024 and 4096 channels
    bool BackgroundMode = false;
    std::uint32_t Seed = 1;
};

struct TSimMemory {
    TSimIdentity Identity;
    TSpecConfig Config{100.0f, 2, 0, 100.0f, -1};
    TSampleFile Current{};
    bool HasBackground = false;
    TSampleFile Background{};
    std::vector<TSampleFile> Stored;
    std::uint32_t NextSampleID = 1;

    // The demonstration memory of BuildDemoMemory().
    static TSimMemory Demo(const TDemoOptions& options = {});
};

// A demonstration memory of NaI-like spectra: K-40, Cs-137 and the lines of
// the Ra-226 and Th-232 chains on a falling continuum, with a background.
// In background mode the current sample holds the net spectrum.
TSimMemory BuildDemoMemory(const TDemoOptions& options);

// A memory folder: instrument.ini (sections [instrument] and
// [configuration]), current.vtb, background.vtb (optional) and the stored
// samples stored-*.vtb in name order. False with a message on failure.
bool LoadMemory(const QString& folder, TSimMemory& memory, QString& error);
bool SaveMemory(const QString& folder, const TSimMemory& memory, QString& error);
