// plover-dv-bench: times the codec on frames from a file, for scripts/bench-dv.
//   decode FILE.dv REPEAT [yuv|rgb] [full|half|quarter|eighth]
//                                        decodes every frame REPEAT times
//   encode RAW.yuv 525|625 REPEAT        encodes every planar picture of RAW REPEAT times
// Prints "frames N seconds S fps F".
#include "dv/Decoder.h"
#include "dv/Encoder.h"

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Load(const char* path) {
    std::vector<uint8_t> data;
    FILE* file = std::fopen(path, "rb");
    if (!file) return data;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    data.resize(size > 0 ? size_t(size) : 0);
    if (std::fread(data.data(), 1, data.size(), file) != data.size()) data.clear();
    std::fclose(file);
    return data;
}

// Processor time of this process: other work on the machine does not count.
void Report(long frames, std::clock_t start) {
    const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    std::printf("frames %ld seconds %.3f fps %.1f\n", frames, seconds, seconds > 0 ? frames / seconds : 0.0);
}

int Decode(const char* path, int repeat, bool rgb, dv::DecodeSize decodeSize) {
    const std::vector<uint8_t> file = Load(path);
    if (file.size() < dv::dif::kFrameSize525) return 1;
    const size_t size = (file[3] & 0x80) ? dv::dif::kFrameSize625 : dv::dif::kFrameSize525;
    const size_t count = file.size() / size;
    dv::Decoder decoder;
    dv::YuvPicture yuv;
    dv::RgbPicture picture;
    long frames = 0;
    const std::clock_t start = std::clock();
    for (int r = 0; r < repeat; ++r)
        for (size_t n = 0; n < count; ++n, ++frames) {
            const std::span<const uint8_t> frame(file.data() + n * size, size);
            const dv::Result result = rgb ? decoder.DecodeRgb(frame, decodeSize, picture)
                                          : decoder.DecodeYuv(frame, decodeSize, yuv);
            if (result != dv::Result::Ok) return 1;
        }
    Report(frames, start);
    return 0;
}

int Encode(const char* path, dv::System system, int repeat) {
    const std::vector<uint8_t> raw = Load(path);
    const bool is411 = system == dv::System::System525_60;
    dv::YuvPicture picture;
    picture.Allocate(720, dv::FrameHeight(system), is411 ? 180 : 360, is411 ? 480 : 288);
    const size_t pictureSize = picture.y.size() + 2 * picture.cb.size();
    const size_t count = raw.size() / pictureSize;
    std::vector<uint8_t> frame(dv::FrameSize(system), 0xFF);
    dv::Encoder encoder;
    long frames = 0;
    const std::clock_t start = std::clock();
    for (int r = 0; r < repeat; ++r)
        for (size_t n = 0; n < count; ++n, ++frames) {
            const uint8_t* p = raw.data() + n * pictureSize;
            std::copy(p, p + picture.y.size(), picture.y.begin());
            std::copy(p + picture.y.size(), p + picture.y.size() + picture.cb.size(), picture.cb.begin());
            std::copy(p + picture.y.size() + picture.cb.size(), p + pictureSize, picture.cr.begin());
            if (encoder.EncodeVideo(picture, system, frame) != dv::Result::Ok) return 1;
        }
    Report(frames, start);
    return 0;
}

dv::DecodeSize SizeNamed(const std::string& name) {
    if (name == "half") return dv::DecodeSize::Half;
    if (name == "quarter") return dv::DecodeSize::Quarter;
    if (name == "eighth") return dv::DecodeSize::Eighth;
    return dv::DecodeSize::Full;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "decode")
        return Decode(argv[2], std::atoi(argv[3]), argc > 4 && std::string(argv[4]) == "rgb",
                      SizeNamed(argc > 5 ? argv[5] : "full"));
    if (argc >= 5 && std::string(argv[1]) == "encode")
        return Encode(argv[2], std::string(argv[3]) == "525" ? dv::System::System525_60 : dv::System::System625_50,
                      std::atoi(argv[4]));
    std::fprintf(stderr, "usage: plover-dv-bench decode FILE.dv REPEAT [yuv|rgb] [full|half|quarter|eighth] | encode RAW.yuv 525|625 REPEAT\n");
    return 2;
}
