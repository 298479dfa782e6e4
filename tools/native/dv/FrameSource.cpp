#include "FrameSource.h"

#include "avi/AviParser.h"
#include "avi/FileIo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/types.h>

namespace {

class RawDvFile : public FrameSource {
public:
    RawDvFile(FILE* file, size_t frameSize, uint64_t count, uint64_t zeroTail)
        : m_pFile(file), m_nFrameSize(frameSize), m_nCount(count), m_nZeroTail(zeroTail) {}
    ~RawDvFile() override { std::fclose(m_pFile); }
    uint64_t Count() const override { return m_nCount; }
    std::string Kind() const override {
        if (m_nZeroTail == 0) return "raw DV";
        return "raw DV; " + std::to_string(m_nZeroTail) + " zero bytes at the end, where the data never came, are no frames";
    }
    Status Read(uint64_t n, std::vector<uint8_t>& frame) override {
        if (n >= m_nCount) return Status::Error;
        frame.resize(m_nFrameSize);
        if (fseeko(m_pFile, off_t(n * m_nFrameSize), SEEK_SET) != 0) return Status::Error;
        if (std::fread(frame.data(), 1, m_nFrameSize, m_pFile) != m_nFrameSize) return Status::Error;
        // A frame whose header block is all zeros was never written (a zeroed region).
        if (std::all_of(frame.begin(), frame.begin() + dv::dif::kBlockSize, [](uint8_t b) { return b == 0; }))
            return Status::Error;
        // The file's frame size is its frames' system; a frame whose own system bit says
        // otherwise has a damaged bit, not another size.
        const bool b625 = m_nFrameSize == dv::dif::kFrameSize625;
        if (b625) frame[dv::dif::kDsfOffset] |= dv::dif::kDsfBit;
        else frame[dv::dif::kDsfOffset] &= uint8_t(~dv::dif::kDsfBit);
        return Status::Ok;
    }

private:
    FILE* m_pFile;
    size_t m_nFrameSize;
    uint64_t m_nCount;
    uint64_t m_nZeroTail;
};

// Where the data of a file ends: the zeros after it (the room a file system gives a file whose
// data never came) are found from the end backwards, a block and a page at a time.
uint64_t DataEnd(FILE* file, uint64_t fileSize) {
    constexpr size_t kBlock = 1u << 20;
    static const uint8_t kZeroPage[4096] = {};
    std::vector<uint8_t> block(kBlock);
    uint64_t end = fileSize;
    while (end > 0) {
        const size_t n = size_t(std::min<uint64_t>(kBlock, end));
        const uint64_t begin = end - n;
        if (fseeko(file, off_t(begin), SEEK_SET) != 0 || std::fread(block.data(), 1, n, file) != n) return end;
        size_t i = n;
        while (i >= sizeof(kZeroPage) && std::memcmp(block.data() + i - sizeof(kZeroPage), kZeroPage, sizeof(kZeroPage)) == 0)
            i -= sizeof(kZeroPage);
        while (i > 0 && block[i - 1] == 0) --i;
        if (i > 0) return begin + i;
        end = begin;
    }
    return 0;
}

// How many of the first frames, laid out at `frameSize` from the start, look like frames of that
// size: a header block of DIF sequence 0 whose system bit agrees, and after the 10 sequences of
// a 525-line frame either the next frame's sequence 0 (525) or sequence 10 (625).
int FramesThatFit(FILE* file, uint64_t fileSize, size_t frameSize) {
    constexpr int kFramesAsked = 15;
    const bool b625 = frameSize == dv::dif::kFrameSize625;
    int fit = 0;
    for (int k = 0; k < kFramesAsked && (uint64_t(k) + 1) * frameSize <= fileSize; ++k) {
        const uint64_t pos = uint64_t(k) * frameSize;
        uint8_t head[dv::dif::kDsfOffset + 1];
        if (fseeko(file, off_t(pos), SEEK_SET) != 0 || std::fread(head, 1, sizeof(head), file) != sizeof(head)) break;
        const bool bHeader = (head[0] >> 5) == 0 && (head[1] >> 4) == 0 && head[2] == 0;
        if (!bHeader || ((head[dv::dif::kDsfOffset] & dv::dif::kDsfBit) != 0) != b625) continue;
        const uint64_t after = pos + dv::dif::kFrameSize525;
        uint8_t next[3];
        if (after + sizeof(next) <= fileSize && fseeko(file, off_t(after), SEEK_SET) == 0 &&
            std::fread(next, 1, sizeof(next), file) == sizeof(next)) {
            const bool bNextHeader = (next[0] >> 5) == 0 && next[2] == 0;
            if (!bNextHeader || (next[1] >> 4) != (b625 ? 10 : 0)) continue;
        }
        ++fit;
    }
    return fit;
}

class AviDvFile : public FrameSource {
public:
    AviDvFile(std::unique_ptr<avi::StdioFile> file, std::unique_ptr<avi::AviParser> parser)
        : m_spFile(std::move(file)), m_spParser(std::move(parser)) {}
    uint64_t Count() const override { return m_spParser->Frames().size(); }
    std::string Kind() const override { return "AVI Type " + std::to_string(m_spParser->AviTypeCode()); }
    Status Read(uint64_t n, std::vector<uint8_t>& frame) override {
        if (n >= Count()) return Status::Error;
        const avi::AviResult result = m_spParser->ReadFrame(uint32_t(n), frame);
        if (result == avi::AviResult::Dropped) return Status::Dropped;
        return avi::Succeeded(result) ? Status::Ok : Status::Error;
    }

private:
    std::unique_ptr<avi::StdioFile> m_spFile;  // outlives the parser that reads it
    std::unique_ptr<avi::AviParser> m_spParser;
};

std::unique_ptr<FrameSource> OpenAvi(const std::string& path, std::string& error) {
    auto file = std::make_unique<avi::StdioFile>();
    if (!file->Open(path, avi::StdioFile::Mode::Read)) {
        error = "cannot open " + path;
        return nullptr;
    }
    auto parser = std::make_unique<avi::AviParser>();
    const avi::AviResult result = parser->Parse(*file);
    if (!avi::Succeeded(result)) {
        error = path + ": " + avi::AviResultText(result);
        return nullptr;
    }
    if (parser->AviTypeCode() == 0 || parser->VideoStream() < 0) {
        error = path + " is not an AVI Type 1 or Type 2 DV file";
        return nullptr;
    }
    if (parser->Frames().empty()) {
        error = path + " is an AVI Type " + std::to_string(parser->AviTypeCode()) + " DV file that holds no frames";
        return nullptr;
    }
    return std::make_unique<AviDvFile>(std::move(file), std::move(parser));
}

}  // namespace

std::unique_ptr<FrameSource> OpenFrames(const std::string& path, std::string& error) {
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
    if (std::memcmp(header, "RIFF", 4) == 0) {
        std::fclose(file);
        return OpenAvi(path, error);
    }
    fseeko(file, 0, SEEK_END);
    const off_t size = ftello(file);
    const uint64_t fileSize = size > 0 ? uint64_t(size) : 0;
    // The frame size is what most of the first frames agree on, not the system bit of frame 0
    // alone: one damaged bit there would make every frame unreadable.
    const int fit525 = FramesThatFit(file, fileSize, dv::dif::kFrameSize525);
    const int fit625 = FramesThatFit(file, fileSize, dv::dif::kFrameSize625);
    size_t frameSize = (header[dv::dif::kDsfOffset] & dv::dif::kDsfBit) ? dv::dif::kFrameSize625 : dv::dif::kFrameSize525;
    if (fit525 != fit625) frameSize = fit625 > fit525 ? dv::dif::kFrameSize625 : dv::dif::kFrameSize525;
    // Frames up to the end of the data; a frame the zeros begin in is still counted (as the
    // unreadable frame it is, if its header never came).
    const uint64_t dataEnd = DataEnd(file, fileSize);
    const uint64_t count = std::min(fileSize / frameSize, (dataEnd + frameSize - 1) / frameSize);
    if (count == 0) {
        std::fclose(file);
        error = path + " holds no whole DV frame";
        return nullptr;
    }
    return std::make_unique<RawDvFile>(file, frameSize, count, fileSize - std::min(fileSize, count * frameSize));
}
