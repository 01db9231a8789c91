#include "tests/korvan/video/vbv_checker.h"

#include <cmath>

namespace test {
namespace {

class Bits {
public:
    Bits(const std::string& data, size_t byte) : data_(data), bit_(byte * 8) {}
    uint32_t Get(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            const size_t byte = bit_ / 8;
            const int bit =
                byte < data_.size() ? (static_cast<uint8_t>(data_[byte]) >> (7 - bit_ % 8)) & 1 : 0;
            value = (value << 1) | static_cast<uint32_t>(bit);
            ++bit_;
        }
        return value;
    }

private:
    const std::string& data_;
    size_t bit_;
};

struct PictureUnit {
    size_t unitStart = 0;     // first byte of its leading headers
    size_t pictureStart = 0;  // its picture start code
    size_t end = 0;           // the next unit's start
    int type = 0;
    int vbvDelay = 0;
    bool fieldPicture = false;
    bool topFieldFirst = false;
    bool repeatFirstField = false;
};

}  // namespace

VbvReport CheckVbv(const std::string& s) {
    VbvReport report;
    static constexpr double kRates[9] = {0,  24000.0 / 1001, 24, 25, 30000.0 / 1001, 30,
                                         50, 60000.0 / 1001, 60};
    uint32_t bitRateValue = 0;
    uint32_t bufferValue = 0;
    bool progressiveSequence = true;
    std::vector<PictureUnit> units;
    size_t pendingUnitStart = std::string::npos;
    size_t streamEnd = s.size();
    for (size_t i = 0; i + 4 <= s.size(); ++i) {
        if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1) continue;
        const uint8_t code = static_cast<uint8_t>(s[i + 3]);
        Bits b(s, i + 4);
        if (code == 0xB3) {
            if (pendingUnitStart == std::string::npos) pendingUnitStart = i;
            b.Get(24);
            b.Get(4);
            const int rateCode = static_cast<int>(b.Get(4));
            report.frameRate = rateCode >= 1 && rateCode <= 8 ? kRates[rateCode] : 0;
            bitRateValue = b.Get(18);
            b.Get(1);
            bufferValue = b.Get(10);
        } else if (code == 0xB8) {
            if (pendingUnitStart == std::string::npos) pendingUnitStart = i;
        } else if (code == 0xB5) {
            const uint32_t id = b.Get(4);
            if (id == 1) {
                b.Get(8);
                progressiveSequence = b.Get(1) != 0;
                b.Get(6);
                bitRateValue |= b.Get(12) << 18;
                b.Get(1);
                bufferValue |= b.Get(8) << 10;
            } else if (id == 8 && !units.empty()) {
                b.Get(16);
                b.Get(2);
                const uint32_t structure = b.Get(2);
                units.back().fieldPicture = structure != 3;
                units.back().topFieldFirst = b.Get(1) != 0;
                b.Get(5);
                units.back().repeatFirstField = b.Get(1) != 0;
            }
        } else if (code == 0x00) {
            PictureUnit u;
            u.unitStart = pendingUnitStart == std::string::npos ? i : pendingUnitStart;
            u.pictureStart = i;
            b.Get(10);
            u.type = static_cast<int>(b.Get(3));
            u.vbvDelay = static_cast<int>(b.Get(16));
            if (!units.empty()) units.back().end = u.unitStart;
            units.push_back(u);
            pendingUnitStart = std::string::npos;
        } else if (code == 0xB7) {
            streamEnd = i;
        }
    }
    if (units.empty() || bitRateValue == 0 || report.frameRate == 0) {
        report.error = "no pictures or no sequence header";
        return report;
    }
    units.back().end = streamEnd;

    report.bitRate = bitRateValue * 400.0;
    report.bufferBits = bufferValue * 16384.0;
    report.pictures = static_cast<int>(units.size());
    report.streamBits = static_cast<uint64_t>(s.size()) * 8;
    const double r = report.bitRate;
    const auto displaySeconds = [&](const PictureUnit& u) {
        const double frame = 1 / report.frameRate;
        if (u.fieldPicture) return frame / 2;
        if (!u.repeatFirstField) return frame;
        if (progressiveSequence) return u.topFieldFirst ? 3 * frame : 2 * frame;
        return 1.5 * frame;
    };

    double decoding = (units[0].pictureStart + 4) * 8.0 / r + units[0].vbvDelay / 90000.0;
    double referenceSeconds = -1;
    for (const PictureUnit& u : units) {
        report.pictureBits.push_back((u.end - u.unitStart) * 8);
        report.durationSeconds += displaySeconds(u);
        if (u.vbvDelay == 0xFFFF) {
            ++report.unknownDelays;
        } else {
            const double announced = (u.pictureStart + 4) * 8.0 / r + u.vbvDelay / 90000.0;
            if (std::fabs(announced - decoding) * 90000 > 2) ++report.badDelays;
        }
        // Small slack for the rounding of vbv_delay to whole ticks.
        const double slackBits = 2 * r / 90000;
        if (u.end * 8.0 > r * decoding + slackBits) ++report.underflows;
        const double arrived = std::min(r * decoding, static_cast<double>(report.streamBits));
        if (arrived - u.unitStart * 8.0 > report.bufferBits + slackBits) ++report.overflows;

        double advance = displaySeconds(u);
        if (u.type != 3) {
            if (referenceSeconds >= 0) advance = referenceSeconds;
            referenceSeconds = displaySeconds(u);
        }
        decoding += advance;
    }
    return report;
}

}  // namespace test
