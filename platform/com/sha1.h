// SHA-1 (FIPS 180-4), needed only for name-based GUIDs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace com_detail {

using Sha1Digest = std::array<std::uint8_t, 20>;

class Sha1 {
public:
    Sha1();
    void Update(const void* data, std::size_t size);
    Sha1Digest Finish();

private:
    void ProcessBlock(const std::uint8_t* block);

    std::array<std::uint32_t, 5> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t totalBytes_ = 0;
};

Sha1Digest Sha1Of(std::string_view data);

}  // namespace com_detail
