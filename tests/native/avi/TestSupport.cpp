#include "TestSupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "avi/ByteOrder.h"
#include "avi/Timecode.h"
#include "dv/TimeCodeCounting.h"

namespace avitest {

namespace {
constexpr std::size_t kStampOffset = 80 * 20 + 10; // inside a video DIF block of sequence 0
constexpr std::uint8_t kDsf625 = 0x80;

void PutPack(Bytes& f, std::size_t pos, std::uint8_t header, std::array<std::uint8_t, 4> data)
{
    f[pos] = header;
    std::copy(data.begin(), data.end(), f.begin() + static_cast<std::ptrdiff_t>(pos + 1));
}

std::uint8_t ToBcd(int v)
{
    return static_cast<std::uint8_t>(((v / 10) << 4) | (v % 10));
}
} // namespace

Bytes MakeDvFrame(const FrameRecipe& recipe, std::uint32_t stamp)
{
    Bytes f(avi::FrameSizeOf(recipe.system), 0);
    const bool b625 = recipe.system == avi::VideoSystem::System625_50;
    f[3] = b625 ? kDsf625 : 0;
    const std::uint8_t smp = recipe.nSampleRate == 44100 ? 1 : recipe.nSampleRate == 32000 ? 2 : 0;
    const std::size_t sequences = b625 ? 12 : 10;
    for (std::size_t s = 0; s < sequences; ++s) {
        const std::size_t seq = s * avi::kDifSequenceSize;
        // AAUX source (50h) and source control (51h) in audio blocks 3 and 4.
        PutPack(f, seq + (6 + 16 * 3) * 80 + 3, 0x50,
                {0xD0, static_cast<std::uint8_t>(s < sequences / 2 ? 0x00 : 0x01), static_cast<std::uint8_t>(b625 ? 0xE0 : 0xC0),
                 static_cast<std::uint8_t>(smp << 3)});
        PutPack(f, seq + (6 + 16 * 4) * 80 + 3, 0x51, {0x33, 0xCF, 0xA0, static_cast<std::uint8_t>(0xFF - s)});
    }
    // The ID bytes of each sequence's last block (a video block), as every real frame has them.
    for (std::size_t s = 0; s < sequences; ++s) {
        const std::size_t last = (s + 1) * avi::kDifSequenceSize - 80;
        f[last] = 0x9F;
        f[last + 1] = static_cast<std::uint8_t>((s << 4) | 0x07);
        f[last + 2] = 134;
    }
    // VAUX source (60h) at 448, source control (61h) at 453, pack 64h at 468 (DIF block 5).
    PutPack(f, 448, 0x60, {0xFF, 0xFF, static_cast<std::uint8_t>(b625 ? 0x20 : 0x00), 0xFF});
    const std::uint8_t disp = recipe.bWide ? 0x02 : 0x00; // BCSYS 0: DISP 2 is 16:9 full
    PutPack(f, 453, 0x61, {0xFF, disp, 0xFC, 0xFF});
    PutPack(f, 468, 0x64, {0x00, static_cast<std::uint8_t>(recipe.nFrameModeByte), 0x00, 0x00});
    // Subcode time code pack (13h) at 110.
    const avi::Timecode& tc = recipe.timecode;
    PutPack(f, 110, 0x13,
            {recipe.bTimecodeUnknown ? std::uint8_t{0xFF} : ToBcd(tc.nFrames), ToBcd(tc.nSeconds), ToBcd(tc.nMinutes),
             ToBcd(tc.nHours)});
    avi::WriteLe32(f.data() + kStampOffset, stamp);
    return f;
}

std::uint32_t StampOf(const Bytes& frame)
{
    return frame.size() >= kStampOffset + 4 ? avi::ReadLe32(frame.data() + kStampOffset) : 0xFFFFFFFFu;
}

Bytes MakePcmForFrame(avi::VideoSystem system, std::uint32_t rate, std::uint32_t n)
{
    const std::uint64_t num = static_cast<std::uint64_t>(rate) * avi::FrameRateDenominator(system);
    const std::uint64_t den = static_cast<std::uint64_t>(avi::FrameRateNumerator(system));
    const std::uint64_t samples = (num * (n + 1)) / den - (num * n) / den;
    Bytes pcm(samples * 4);
    for (std::uint64_t i = 0; i < samples; ++i) {
        const auto v = static_cast<std::uint16_t>(n * 7 + i);
        avi::WriteLe16(pcm.data() + 4 * i, v);
        avi::WriteLe16(pcm.data() + 4 * i + 2, static_cast<std::uint16_t>(~v));
    }
    return pcm;
}

std::filesystem::path TempDir()
{
    auto dir = std::filesystem::temp_directory_path() / ("plover-avi-tests-" + std::to_string(getuid()));
    std::filesystem::create_directories(dir);
    return dir;
}

std::filesystem::path TempFile(const std::string& name)
{
    return TempDir() / (std::to_string(getpid()) + "-" + name);
}

Bytes ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int RunCommand(const std::string& command, std::string* pOut)
{
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::string out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int status = pclose(pipe);
    if (pOut)
        *pOut = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveFfmpeg()
{
    static const bool bHave = RunCommand("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1") == 0;
    return bHave;
}

std::vector<Bytes> FfmpegDvFrames(avi::VideoSystem system, int frames)
{
    const bool b625 = system == avi::VideoSystem::System625_50;
    const std::string name = std::string(b625 ? "pattern625" : "pattern525") + "-" + std::to_string(frames) + ".dv";
    const auto path = TempDir() / name;
    if (!std::filesystem::exists(path)) {
        const auto tmp = TempFile(name);
        const std::string cmd = std::string("ffmpeg -v error -y -f lavfi -i testsrc2=size=") +
                                (b625 ? "720x576:rate=25" : "720x480:rate=30000/1001") +
                                " -f lavfi -i sine=sample_rate=48000:frequency=440 -t " +
                                std::to_string(frames / (b625 ? 25.0 : 29.97) + 0.5) +
                                " -pix_fmt " + (b625 ? "yuv420p" : "yuv411p") +
                                " -c:v dvvideo -c:a pcm_s16le -ac 2 -f dv " + tmp.string() + " </dev/null";
        if (RunCommand(cmd) != 0)
            return {};
        std::filesystem::rename(tmp, path);
    }
    const Bytes all = ReadWholeFile(path);
    const std::size_t size = avi::FrameSizeOf(system);
    std::vector<Bytes> out;
    for (std::size_t pos = 0; pos + size <= all.size() && out.size() < static_cast<std::size_t>(frames); pos += size)
        out.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(pos), all.begin() + static_cast<std::ptrdiff_t>(pos + size));
    return out;
}

avi::AviWriterOptions OptionsFor(avi::AviType type, const FrameRecipe& recipe)
{
    avi::AviWriterOptions o;
    o.type = type;
    o.system = recipe.system;
    avi::ReadDvInfoFromFrame(MakeDvFrame(recipe, 0), &o.dvInfo);
    o.audio.nSamplesPerSec = recipe.nSampleRate;
    return o;
}

Bytes FrameFor(const Recording& rec, std::uint32_t n)
{
    if (!rec.realFrames.empty())
        return rec.realFrames[n % rec.realFrames.size()];
    if (rec.bRunningTimecode) {
        FrameRecipe recipe = rec.recipe;
        recipe.timecode = dv::FrameToTimeCode(avi::DvSystem(recipe.system), n);
        return MakeDvFrame(recipe, n);
    }
    return MakeDvFrame(rec.recipe, n);
}

avi::AviResult WriteRecording(avi::FileIo& file, const Recording& rec)
{
    avi::AviWriter writer;
    avi::AviResult hr = writer.Open(file, rec.options);
    std::size_t nextDrop = 0;
    for (std::uint32_t n = 0; avi::Succeeded(hr) && n < rec.nFrames; ++n) {
        if (nextDrop < rec.drops.size() && rec.drops[nextDrop] == n) {
            ++nextDrop;
            hr = writer.WriteDroppedFrame();
            continue;
        }
        hr = writer.WriteVideoFrame(FrameFor(rec, n));
        if (avi::Succeeded(hr) && rec.options.type == avi::AviType::Type2 && rec.options.bAudioStream)
            hr = writer.WriteAudio(MakePcmForFrame(rec.options.system, rec.options.audio.nSamplesPerSec, n));
    }
    if (avi::Succeeded(hr))
        hr = writer.Finish();
    return hr;
}

} // namespace avitest
