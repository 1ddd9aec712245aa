// SHA-256 (FIPS 180-4), for the unit log: which image went onto a unit, and what
// its EEPROM held before and after.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hc12::production {

class Sha256 {
  public:
    Sha256();
    void Update(const uint8_t* data, size_t size);
    void Update(std::string_view text) {
        Update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
    // The digest; the object is spent afterwards.
    std::array<uint8_t, 32> Finish();

  private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
    uint64_t length_ = 0;  // bytes
};

// The digest as 64 lower-case hexadecimal digits, as sha256sum prints it.
std::string Sha256Hex(const uint8_t* data, size_t size);
inline std::string Sha256Hex(const std::vector<uint8_t>& bytes) {
    return Sha256Hex(bytes.data(), bytes.size());
}
inline std::string Sha256Hex(std::string_view text) {
    return Sha256Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace hc12::production
