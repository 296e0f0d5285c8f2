#include "SimInstrument.h"

#include "instrument/ByteOrder.h"

#include <cmath>
#include <cstring>

namespace {

constexpr std::uint8_t Done = 0xAA;
constexpr std::uint8_t MemoryFailed = 0xFF;
constexpr std::uint8_t Busy = 0x55;

std::uint32_t FloatBits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

float BitsFloat(std::uint32_t u) {
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

void PutBE16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void PutBE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

void PutSingle(std::vector<std::uint8_t>& out, float f) {
    PutBE32(out, FloatBits(f));
}

float GetSingle(const std::uint8_t* p) {
    return BitsFloat(ReadBE32(p));
}

TPeakEntry DecodePeakEntry(const std::uint8_t* p) {
    TPeakEntry e{};
    std::memcpy(e.Name, p, 16);
    e.Energy = ReadBE16(p + 16);
    e.Probability = GetSingle(p + 18);
    e.Limit = GetSingle(p + 22);
    return e;
}

void PutPeakEntry(std::vector<std::uint8_t>& out, const TPeakEntry& e) {
    out.insert(out.end(), e.Name, e.Name + 16);
    PutBE16(out, e.Energy);
    PutSingle(out, e.Probability);
    PutSingle(out, e.Limit);
}

} // namespace

const TSampleFile& TSimInstrument::Source() const {
    if (InDownload && Selected == -2) {
        return Memory.Background;
    }
    if (InDownload && Selected >= 0 && Selected < static_cast<int>(Memory.Stored.size())) {
        return Memory.Stored[static_cast<std::size_t>(Selected)];
    }
    return Memory.Current;
}

std::vector<std::uint8_t> TSimInstrument::Answer(const std::uint8_t* frame) {
    const std::uint8_t code = frame[0];
    const std::uint8_t* p = frame + 1;
    std::vector<std::uint8_t> out;
    TSampleFile& current = Memory.Current;
    switch (code) {
    case 1: // end of a write sequence
        out.push_back(Done);
        break;
    case 2:
        current.Calibration.ECal = {GetSingle(p), GetSingle(p + 4), GetSingle(p + 8),
                                    GetSingle(p + 12)};
        out.push_back(Done);
        break;
    case 3:
        current.Calibration.WCal = {GetSingle(p), GetSingle(p + 4), GetSingle(p + 8)};
        out.push_back(Done);
        break;
    case 4:
        current.Calibration.RCal = {GetSingle(p), GetSingle(p + 4), GetSingle(p + 8),
                                    GetSingle(p + 12)};
        out.push_back(Done);
        break;
    case 5: {
        const TEnergyCalibration c = Source().Calibration.ECal;
        for (float f : {c.C0, c.C1, c.C2, c.C3}) {
            PutSingle(out, f);
        }
        break;
    }
    case 6: {
        const TPeakWidthCalibration c = Source().Calibration.WCal;
        for (float f : {c.W0, c.W1, c.W2}) {
            PutSingle(out, f);
        }
        break;
    }
    case 7: {
        const TEfficiencyCalibration c = Source().Calibration.RCal;
        for (float f : {c.A0, c.B0, c.Ecut, c.m}) {
            PutSingle(out, f);
        }
        break;
    }
    case 8:
        current.PeakList.Size = 1;
        current.PeakList.Peak[0] = DecodePeakEntry(p);
        out.push_back(Done);
        break;
    case 9:
        if (current.PeakList.Size < MaxPeaks) {
            current.PeakList.Peak[current.PeakList.Size] = DecodePeakEntry(p);
            current.PeakList.Size = static_cast<std::uint8_t>(current.PeakList.Size + 1);
        }
        out.push_back(Done);
        break;
    case 10: {
        const TPeakList list = Source().PeakList;
        out.push_back(list.Size);
        for (int i = 0; i < MaxPeaks; ++i) {
            const TPeakEntry e = list.Peak[i];
            if (i < list.Size) {
                PutPeakEntry(out, e);
            } else {
                const auto* raw = reinterpret_cast<const std::uint8_t*>(&e);
                out.insert(out.end(), raw, raw + sizeof(TPeakEntry));
            }
        }
        break;
    }
    case 11: {
        const TSampleFile& s = Source();
        const int size = UsableChannels(s.Sample.Spectrum);
        PutBE16(out, static_cast<std::uint16_t>(size));
        PutBE16(out, s.Sample.Spectrum.Offset);
        for (int i = 0; i < size; ++i) {
            const auto count = static_cast<std::int32_t>(std::lround(s.Sample.Spectrum.Channel[i]));
            PutBE32(out, static_cast<std::uint32_t>(count));
        }
        break;
    }
    case 12: {
        const TSampleParameter a = Source().Sample.Parameter;
        out.push_back(a.SampleType);
        PutBE32(out, a.SampleInterval);
        PutSingle(out, a.Volume);
        PutSingle(out, a.Weight);
        PutBE16(out, a.SerialNumber);
        PutBE32(out, a.SampleID);
        break;
    }
    case 13: {
        const TResultList r = Source().Results;
        out.push_back(r.Size);
        for (int i = 0; i < MaxPeaks; ++i) {
            const TPeakResult e = r.Result[i];
            if (i < r.Size) {
                PutSingle(out, e.Activity);
                PutSingle(out, e.Error);
                PutSingle(out, e.Area);
            } else {
                const auto* raw = reinterpret_cast<const std::uint8_t*>(&e);
                out.insert(out.end(), raw, raw + sizeof(TPeakResult));
            }
        }
        break;
    }
    case 17:
        PutBE32(out, static_cast<std::uint32_t>(Memory.Stored.size()));
        break;
    case 18:
        if (InDownload) {
            out.push_back(Busy);
        } else {
            Memory.Stored.clear();
            out.push_back(Done);
        }
        break;
    case 19:
        Memory.NextSampleID = 0;
        out.push_back(Done);
        break;
    case 20:
        PutBE16(out, static_cast<std::uint16_t>(4 + 4 * UsableChannels(Source().Sample.Spectrum)));
        break;
    case 21:
        InDownload = true;
        Selected = -1;
        out.push_back(Done);
        break;
    case 22:
        InDownload = false;
        Selected = -1;
        out.push_back(Done);
        break;
    case 23: {
        const std::uint32_t n = ReadBE32(p);
        if (InDownload && n < Memory.Stored.size()) {
            Selected = static_cast<int>(n);
            out.push_back(Done);
        } else {
            out.push_back(MemoryFailed);
        }
        break;
    }
    case 24:
        if (InDownload && Memory.HasBackground) {
            Selected = -2;
            out.push_back(Done);
        } else {
            out.push_back(MemoryFailed);
        }
        break;
    case 25: {
        TSpecConfig c{};
        c.PeakThreshold = GetSingle(p);
        c.TimeToPeak = ReadBE16(p + 4);
        c.Mode = p[6];
        float dl;
        std::memcpy(&dl, p + 7, 4); // little-endian on the line
        c.RequestedDL = dl;
        c.PeakIndexDL = static_cast<std::int8_t>(p[11]);
        Memory.Config = c;
        out.push_back(Done);
        break;
    }
    case 26: {
        const TSpecConfig c = Memory.Config;
        PutSingle(out, c.PeakThreshold);
        PutBE16(out, c.TimeToPeak);
        out.push_back(c.Mode);
        const float dl = c.RequestedDL;
        const auto* raw = reinterpret_cast<const std::uint8_t*>(&dl);
        out.insert(out.end(), raw, raw + 4);
        out.push_back(static_cast<std::uint8_t>(c.PeakIndexDL));
        break;
    }
    case 27: {
        const TSimIdentity& id = Memory.Identity;
        PutBE16(out, id.SerialNumber);
        for (int v :
             {int{id.FirmwareMajor}, int{id.FirmwareMinor}, int{id.InstrumentMajor},
              int{id.InstrumentMinor}, id.ManufacturedDay, id.ManufacturedMonth,
              id.ManufacturedYear - 2000, id.UpdateDay, id.UpdateMonth, id.UpdateYear - 2000}) {
            out.push_back(static_cast<std::uint8_t>(v));
        }
        break;
    }
    default:
        break;
    }
    return out;
}
