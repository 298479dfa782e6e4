#include "Bitmap.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

bool WriteBitmap(const std::string& path, const dv::RgbPicture& picture) {
    const uint32_t dataSize = uint32_t(picture.nStride) * uint32_t(picture.nHeight);
    std::vector<uint8_t> head;
    head.push_back('B');
    head.push_back('M');
    Put32(head, uint32_t(kFileHeaderSize + kInfoHeaderSize) + dataSize);
    Put32(head, 0);
    Put32(head, uint32_t(kFileHeaderSize + kInfoHeaderSize));
    Put32(head, uint32_t(kInfoHeaderSize));
    Put32(head, uint32_t(picture.nWidth));
    Put32(head, uint32_t(picture.nHeight));  // positive: bottom-up rows
    Put16(head, 1);                         // planes
    Put16(head, 24);                        // bits per pixel
    Put32(head, 0);                         // BI_RGB
    Put32(head, dataSize);
    Put32(head, 2835);                      // 72 dpi
    Put32(head, 2835);
    Put32(head, 0);
    Put32(head, 0);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size() &&
                    std::fwrite(picture.pixels.data(), 1, dataSize, file) == dataSize;
    return std::fclose(file) == 0 && ok;
}
