// The instrument's identity, as it answers the information command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#pragma pack(push, 1)

struct TInstrumentInfo {
    std::uint16_t SerialNumber; // big-endian on the line
    std::uint8_t FirmwareMajor;
    std::uint8_t FirmwareMinor;
    std::uint8_t InstrumentMajor;
    std::uint8_t InstrumentMinor;
    std::uint8_t ManufacturedDay;
    std::uint8_t ManufacturedMonth;
    std::uint8_t ManufacturedYear; // year minus 2000
    std::uint8_t UpdateDay;        // date of the last firmware update
    std::uint8_t UpdateMonth;
    std::uint8_t UpdateYear; // year minus 2000
};

#pragma pack(pop)

static_assert(sizeof(TInstrumentInfo) == 12);
static_assert(offsetof(TInstrumentInfo, SerialNumber) == 0);
static_assert(offsetof(TInstrumentInfo, FirmwareMajor) == 2);
static_assert(offsetof(TInstrumentInfo, FirmwareMinor) == 3);
static_assert(offsetof(TInstrumentInfo, InstrumentMajor) == 4);
static_assert(offsetof(TInstrumentInfo, InstrumentMinor) == 5);
static_assert(offsetof(TInstrumentInfo, ManufacturedDay) == 6);
static_assert(offsetof(TInstrumentInfo, ManufacturedMonth) == 7);
static_assert(offsetof(TInstrumentInfo, ManufacturedYear) == 8);
static_assert(offsetof(TInstrumentInfo, UpdateDay) == 9);
static_assert(offsetof(TInstrumentInfo, UpdateMonth) == 10);
static_assert(offsetof(TInstrumentInfo, UpdateYear) == 11);
static_assert(std::is_trivially_copyable_v<TInstrumentInfo>);
