#include "FrameSource.h"

#include "avi/AviParser.h"
#include "avi/FileIo.h"

#include <cstdio>
#include <cstring>

namespace {

class RawDvFile : public FrameSource {
public:
    RawDvFile(FILE* file, size_t frameSize, uint64_t count) : m_pFile(file), m_nFrameSize(frameSize), m_nCount(count) {}
    ~RawDvFile() override { std::fclose(m_pFile); }
    uint64_t Count() const override { return m_nCount; }
    std::string Kind() const override { return "raw DV"; }
    Status Read(uint64_t n, std::vector<uint8_t>& frame) override {
        if (n >= m_nCount) return Status::Error;
        frame.resize(m_nFrameSize);
        if (std::fseek(m_pFile, long(n * m_nFrameSize), SEEK_SET) != 0) return Status::Error;
        return std::fread(frame.data(), 1, m_nFrameSize, m_pFile) == m_nFrameSize ? Status::Ok : Status::Error;
    }

private:
    FILE* m_pFile;
    size_t m_nFrameSize;
    uint64_t m_nCount;
};

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
    if (parser->AviTypeCode() == 0 || parser->Frames().empty()) {
        error = path + " is not an AVI Type 1 or Type 2 DV file";
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
