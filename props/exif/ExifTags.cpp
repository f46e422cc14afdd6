#include "ExifTags.h"

#include <algorithm>
#include <iterator>

namespace {

// TIFF 6.0 tags that EXIF uses in IFD0 and IFD1, and the baseline tags of TIFF files' own image
// directories.
constexpr uint16_t kTiffTags[] = {
    0x00FE, 0x00FF, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x0107, 0x0108, 0x0109, 0x010A, 0x010D, 0x010E,
    0x010F, 0x0110, 0x0111, 0x0112, 0x0115, 0x0116, 0x0117, 0x0118, 0x0119, 0x011A, 0x011B, 0x011C, 0x011D,
    0x011E, 0x011F, 0x0120, 0x0121, 0x0122, 0x0123, 0x0124, 0x0125, 0x0128, 0x0129, 0x012D, 0x0131, 0x0132,
    0x013B, 0x013C, 0x013D, 0x013E, 0x013F, 0x0140, 0x0141, 0x0142, 0x0143, 0x0144, 0x0145, 0x014C, 0x014D,
    0x014E, 0x0150, 0x0151, 0x0152, 0x0153, 0x0154, 0x0155, 0x0156, 0x0200, 0x0201, 0x0202, 0x0203, 0x0205,
    0x0206, 0x0207, 0x0208, 0x0209, 0x0211, 0x0212, 0x0213, 0x0214, 0x8298, 0x8769, 0x8825,
};

constexpr uint16_t kExifTags[] = {
    0x829A, 0x829D, 0x8822, 0x8824, 0x8827, 0x8828, 0x8830, 0x8831, 0x8832, 0x8833, 0x8834, 0x8835, 0x9000, 0x9003,
    0x9004, 0x9010, 0x9011, 0x9012, 0x9101, 0x9102, 0x9201, 0x9202, 0x9203, 0x9204, 0x9205, 0x9206, 0x9207, 0x9208,
    0x9209, 0x920A, 0x9214, 0x927C, 0x9286, 0x9290, 0x9291, 0x9292, 0x9400, 0x9401, 0x9402, 0x9403, 0x9404, 0x9405,
    0xA000, 0xA001, 0xA002, 0xA003, 0xA004, 0xA005, 0xA20B, 0xA20C, 0xA20E, 0xA20F, 0xA210, 0xA214, 0xA215, 0xA217,
    0xA300, 0xA301, 0xA302, 0xA401, 0xA402, 0xA403, 0xA404, 0xA405, 0xA406, 0xA407, 0xA408, 0xA409, 0xA40A, 0xA40B,
    0xA40C, 0xA420, 0xA430, 0xA431, 0xA432, 0xA433, 0xA434, 0xA435, 0xA460, 0xA461, 0xA462, 0xA500,
};

constexpr uint16_t kInteropTags[] = {0x0001, 0x0002, 0x1000, 0x1001, 0x1002};

constexpr uint16_t kStructuralTags[] = {
    0x0111, 0x0117, 0x0120, 0x0121, 0x0144, 0x0145, 0x014A, 0x0201,
    0x0202, 0x0207, 0x0208, 0x0209, 0x8769, 0x8825, 0xA005,
};

constexpr uint16_t kImageLayoutTags[] = {
    0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x010A, 0x0111, 0x0115, 0x0116, 0x0117, 0x011C,
    0x0120, 0x0121, 0x013D, 0x0140, 0x0142, 0x0143, 0x0144, 0x0145, 0x014A, 0x0152, 0x0153,
    0x015B, 0x0200, 0x0201, 0x0202, 0x0203, 0x0205, 0x0206, 0x0207, 0x0208, 0x0209, 0x0212,
};

// IFD1 tags and the thumbnail identifiers they are reported under.
struct ThumbnailId {
    uint16_t tag;
    uint16_t id;
};
constexpr ThumbnailId kThumbnailIds[] = {
    {0x0100, 0x5020}, {0x0101, 0x5021}, {0x0102, 0x5022}, {0x0103, 0x5023}, {0x0106, 0x5024}, {0x010E, 0x5025},
    {0x010F, 0x5026}, {0x0110, 0x5027}, {0x0111, 0x5028}, {0x0112, 0x5029}, {0x0115, 0x502A}, {0x0116, 0x502B},
    {0x0117, 0x502C}, {0x011A, 0x502D}, {0x011B, 0x502E}, {0x011C, 0x502F}, {0x0128, 0x5030}, {0x012D, 0x5031},
    {0x0131, 0x5032}, {0x0132, 0x5033}, {0x013B, 0x5034}, {0x013E, 0x5035}, {0x013F, 0x5036}, {0x0211, 0x5037},
    {0x0212, 0x5038}, {0x0213, 0x5039}, {0x0214, 0x503A}, {0x8298, 0x503B},
};

constexpr uint16_t kInteropIndexId = 0x5041;
constexpr uint16_t kInteropVersionId = 0x5042;

// The tables are searched by halving, so each must be in ascending order.
template <size_t N> constexpr bool Ascending(const uint16_t (&table)[N])
{
    for (size_t i = 1; i < N; ++i) {
        if (table[i - 1] >= table[i]) return false;
    }
    return true;
}
static_assert(Ascending(kTiffTags) && Ascending(kExifTags) && Ascending(kInteropTags) && Ascending(kStructuralTags) &&
              Ascending(kImageLayoutTags));

template <size_t N> bool Contains(const uint16_t (&table)[N], uint16_t tag)
{
    return std::binary_search(std::begin(table), std::end(table), tag);
}

} // namespace

size_t TypeSize(uint16_t type)
{
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7: return 1;
    case 3:
    case 8: return 2;
    case 4:
    case 9:
    case 11:
    case 13: return 4;
    case 5:
    case 10:
    case 12: return 8;
    default: return 0;
    }
}

size_t TypeUnit(uint16_t type)
{
    switch (type) {
    case 5:
    case 10: return 4;
    default: return TypeSize(type);
    }
}

uint32_t ItemIdOf(IfdKind ifd, uint16_t tag)
{
    if (ifd == IfdKind::Ifd1) {
        for (const ThumbnailId& entry : kThumbnailIds) {
            if (entry.tag == tag) return entry.id;
        }
    }
    if (ifd == IfdKind::Interop) {
        if (tag == 0x0001) return kInteropIndexId;
        if (tag == 0x0002) return kInteropVersionId;
    }
    return tag;
}

bool PlaceOfNewItem(uint32_t id, IfdKind& ifd, uint16_t& tag)
{
    for (const ThumbnailId& entry : kThumbnailIds) {
        if (entry.id == id) {
            ifd = IfdKind::Ifd1;
            tag = entry.tag;
            return true;
        }
    }
    if (id == kInteropIndexId || id == kInteropVersionId) {
        ifd = IfdKind::Interop;
        tag = id == kInteropIndexId ? 0x0001 : 0x0002;
        return true;
    }
    if (id > 0xFFFF) return false;
    tag = static_cast<uint16_t>(id);
    if (tag <= 0x001F) {
        ifd = IfdKind::Gps;
    } else if (tag >= 0x1000 && tag <= 0x1002) {
        ifd = IfdKind::Interop;
    } else if (Contains(kExifTags, tag)) {
        ifd = IfdKind::Exif;
    } else {
        ifd = IfdKind::Ifd0;
    }
    return true;
}

bool IsStandardTag(IfdKind ifd, uint16_t tag)
{
    switch (ifd) {
    case IfdKind::Ifd0:
    case IfdKind::Ifd1: return Contains(kTiffTags, tag);
    case IfdKind::Exif: return Contains(kExifTags, tag);
    case IfdKind::Gps: return tag <= 0x001F;
    case IfdKind::Interop: return Contains(kInteropTags, tag);
    }
    return false;
}

bool IsStructuralTag(uint16_t tag)
{
    return Contains(kStructuralTags, tag);
}

bool IsImageLayoutTag(uint16_t tag)
{
    return Contains(kImageLayoutTags, tag);
}
