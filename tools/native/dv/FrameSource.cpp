#include "FrameSource.h"

namespace {

class RawDvFile : public FrameSource {
public:
    RawDvFile(FILE* file, size_t frameSize, uint64_t count) : m_pFile(file), m_nFrameSize(frameSize), m_nCount(count) {}
    ~RawDvFile() override { std::fclose(m_pFile); }
    uint64_t Count() const override { return m_nCount; }
    bool Read(uint64_t n, std::vector<uint8_t>& frame) override {
        if (n >= m_nCount) return false;
        frame.resize(m_nFrameSize);
        if (std::fseek(m_pFile, long(n * m_nFrameSize), SEEK_SET) != 0) return false;
        return std::fread(frame.data(), 1, m_nFrameSize, m_pFile) == m_nFrameSize;
    }

private:
    FILE* m_pFile;
    size_t m_nFrameSize;
    uint64_t m_nCount;
};

}  // namespace

std::unique_ptr<FrameSource> OpenRawDv(const std::string& path, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path;
        return nullptr;
    }
    uint8_t header[dv::dif::kBlockSize];
    if (std::fread(header, 1, sizeof(header), file) != sizeof(header)) {
        std::fclose(file);
        error = path + " is shorter than one DIF block";
        return nullptr;
    }
    const size_t frameSize = (header[dv::dif::kDsfOffset] & dv::dif::kDsfBit) ? dv::dif::kFrameSize625 : dv::dif::kFrameSize525;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    const uint64_t count = size > 0 ? uint64_t(size) / frameSize : 0;
    if (count == 0) {
        std::fclose(file);
        error = path + " holds no whole DV frame";
        return nullptr;
    }
    return std::make_unique<RawDvFile>(file, frameSize, count);
}
