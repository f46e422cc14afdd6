#pragma once
// Status codes of the AVI layer, in the shape of COM status codes (zero is success, negative is
// failure) so that the handler reports them as "hr=0x%08X" like any other status. The values are
// the ones the platform's own AVI library gives for the same failures; the file unit adds system
// errors in their HRESULT form.
#include <cstdint>

namespace AviStatus {

constexpr int32_t Ok = 0;
// No room for the INFO list without moving the movie data.
constexpr int32_t Unsupported = static_cast<int32_t>(0x80044065u);
// Not an AVI file, or a chunk whose size does not fit its parent or the file.
constexpr int32_t BadFormat = static_cast<int32_t>(0x80044066u);
constexpr int32_t Memory = static_cast<int32_t>(0x80044067u);
// A request the layer cannot store as it stands (an INFO list too large for a chunk).
constexpr int32_t BadSize = static_cast<int32_t>(0x8004406Bu);
constexpr int32_t FileRead = static_cast<int32_t>(0x8004406Du);
constexpr int32_t FileWrite = static_cast<int32_t>(0x8004406Eu);
// The file has no file-level INFO list.
constexpr int32_t NoData = static_cast<int32_t>(0x80044073u);

inline bool Failed(int32_t status)
{
    return status < 0;
}

} // namespace AviStatus
