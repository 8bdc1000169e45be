#pragma once
// Hand-made loop file bytes for tests: events are spelled out one by one, so
// expectations do not come from the writer under test.
#include <cstdint>
#include <string>
#include <vector>

namespace txtest {

class LoopBytes {
public:
    using Bytes = std::vector<uint8_t>;

    LoopBytes& Byte(uint8_t id, uint8_t v) { return put({id, v}); }
    LoopBytes& Word(uint8_t id, uint16_t v) { return put({id, uint8_t(v), uint8_t(v >> 8)}); }
    LoopBytes& Dword(uint8_t id, uint32_t v) {
        return put({id, uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    }
    LoopBytes& Dword(uint8_t id, uint16_t low, uint16_t high) {
        return Dword(id, uint32_t(low) | (uint32_t(high) << 16));
    }
    // A per-step word: step in the low byte, value in the high byte.
    LoopBytes& Step(uint8_t id, uint8_t step, uint8_t value) { return Word(id, uint16_t(step | (value << 8))); }
    // Id, 7-bit length groups, data.
    LoopBytes& Data(uint8_t id, const Bytes& data) {
        bytes_.push_back(id);
        Length(data.size());
        return put(data);
    }
    LoopBytes& Text(uint8_t id, const std::string& s) {
        Bytes d(s.begin(), s.end());
        d.push_back(0);
        return Data(id, d);
    }
    LoopBytes& Length(uint64_t l) {
        do {
            uint8_t g = uint8_t(l & 0x7F);
            l >>= 7;
            bytes_.push_back(l ? uint8_t(g | 0x80) : g);
        } while (l);
        return *this;
    }
    LoopBytes& put(const Bytes& b) {
        bytes_.insert(bytes_.end(), b.begin(), b.end());
        return *this;
    }
    LoopBytes& Append(const LoopBytes& o) { return put(o.bytes_); }

    const Bytes& Events() const { return bytes_; }

    // The events inside the standard chunks: "TXhd", 6, format 0, channels, 16, "TXdt", N.
    Bytes File(uint16_t channels = 4) const { return FileWith(6, channels, uint32_t(bytes_.size())); }
    Bytes FileWith(uint32_t headerLength, uint16_t channels, uint32_t dataLength) const {
        Bytes f = {'T', 'X', 'h', 'd'};
        for (int i = 0; i < 4; ++i) f.push_back(uint8_t(headerLength >> (8 * i)));
        Bytes header = {0, 0, uint8_t(channels), uint8_t(channels >> 8), 16, 0};
        header.resize(headerLength, 0xEE);
        f.insert(f.end(), header.begin(), header.end());
        f.insert(f.end(), {'T', 'X', 'd', 't'});
        for (int i = 0; i < 4; ++i) f.push_back(uint8_t(dataLength >> (8 * i)));
        f.insert(f.end(), bytes_.begin(), bytes_.end());
        return f;
    }

private:
    Bytes bytes_;
};

}  // namespace txtest
