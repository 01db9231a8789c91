// The model of one stream's decoder buffer that decides when the stream may
// send: bytes enter when their packet is sent and leave all at once at the
// decoding time of the unit they belong to.
#pragma once

#include <cstdint>
#include <deque>
#include <limits>

namespace korvan::mux {

class DecoderBuffer {
public:
    explicit DecoderBuffer(uint64_t capacityBytes = 0) : capacity_(capacityBytes) {}

    uint64_t Capacity() const { return capacity_; }
    void Reset() {
        entries_.clear();
        occupancy_ = 0;
    }

    // Takes out every unit decoded at or before `ticks` and returns what is left.
    uint64_t OccupancyAt(double ticks) {
        while (!entries_.empty() && entries_.front().removal <= ticks) {
            occupancy_ -= entries_.front().bytes;
            entries_.pop_front();
        }
        return occupancy_;
    }

    // Units arrive in decoding order, so a unit's bytes join the newest entry
    // when they continue it.
    void Add(uint64_t unit, double removal, uint64_t bytes) {
        if (bytes == 0) return;
        if (!entries_.empty() && entries_.back().unit == unit) {
            entries_.back().bytes += bytes;
        } else {
            entries_.push_back({unit, removal, bytes});
        }
        occupancy_ += bytes;
    }

    // The earliest time at which `bytes` more fit, given what is now inside;
    // infinity when they never can.
    double TimeWhenRoomFor(uint64_t bytes) const {
        if (bytes > capacity_) return std::numeric_limits<double>::infinity();
        uint64_t left = occupancy_;
        if (left + bytes <= capacity_) return 0;
        for (const Entry& entry : entries_) {
            left -= entry.bytes;
            if (left + bytes <= capacity_) return entry.removal;
        }
        return 0;
    }

private:
    struct Entry {
        uint64_t unit;
        double removal;
        uint64_t bytes;
    };
    uint64_t capacity_;
    std::deque<Entry> entries_;
    uint64_t occupancy_ = 0;
};

}  // namespace korvan::mux
