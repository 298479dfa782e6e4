// libFuzzer target for the AVI parser and repair. Input that starts with "RIFF" is taken as a
// whole file; any other input is a list of patches to a valid recording made by the writer,
// which reaches the index code far faster than raw bytes do.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "avi/AviParser.h"
#include "avi/AviRepair.h"
#include "avi/AviWriter.h"
#include "avi/ByteOrder.h"

namespace {

std::vector<std::uint8_t> MakeBase(avi::AviType type)
{
    avi::AviWriterOptions o;
    o.type = type;
    o.nSegmentBytes = 64 * 1024;
    o.nCheckpointFrames = 3;
    avi::MemoryFile file;
    avi::AviWriter writer;
    writer.Open(file, o);
    for (std::uint32_t n = 0; n < 120; ++n) {
        if (n % 17 == 3) {
            writer.WriteDroppedFrame();
            continue;
        }
        writer.WriteVideoFrame(std::vector<std::uint8_t>(900, static_cast<std::uint8_t>(n)));
        if (type == avi::AviType::Type2)
            writer.WriteAudio(std::vector<std::uint8_t>(40, 0));
    }
    writer.Finish();
    return file.Bytes();
}

void Exercise(const std::vector<std::uint8_t>& bytes)
{
    avi::MemoryFile file(bytes);
    avi::AviParser parser;
    if (parser.Parse(file) != avi::AviResult::Ok)
        return;
    std::vector<std::uint8_t> data;
    for (std::size_t n = 0; n < parser.Frames().size() && n < 300; ++n)
        parser.ReadFrame(static_cast<std::uint32_t>(n), data);
    for (std::size_t n = 0; n < parser.AudioChunks().size() && n < 300; ++n)
        parser.ReadChunk(parser.AudioChunks()[n], data);
    avi::MemoryFile out;
    avi::RepairOptions options;
    options.nSegmentBytes = 64 * 1024;
    avi::RepairAvi(file, out, options, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size >= 4 && data[0] == 'R' && data[1] == 'I' && data[2] == 'F' && data[3] == 'F') {
        Exercise(std::vector<std::uint8_t>(data, data + size));
        return 0;
    }
    static const std::vector<std::uint8_t> bases[] = {MakeBase(avi::AviType::Type1), MakeBase(avi::AviType::Type2)};
    if (size < 1)
        return 0;
    std::vector<std::uint8_t> file = bases[data[0] & 1];
    // Each patch: a 3-byte position (scaled into the file) and a 4-byte value.
    for (std::size_t i = 1; i + 7 <= size; i += 7) {
        const std::uint32_t where = data[i] | (data[i + 1] << 8) | (data[i + 2] << 16);
        const std::size_t pos = static_cast<std::size_t>(where) % (file.size() - 4);
        avi::WriteLe32(file.data() + pos, avi::ReadLe32(data + i + 3));
    }
    if (data[0] & 2)
        file.resize(file.size() * (data[0] >> 2) / 64);
    Exercise(file);
    return 0;
}
