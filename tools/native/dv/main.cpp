// plover-dv: the DV codec on the command line.
// FILE is a raw .dv file or an AVI Type 1 / Type 2 file.
//   info FILE [--frames]
//   decode FILE FRAME OUT.bmp [--size full|half|quarter|eighth]
//   encode-pattern OUT.dv --system 525|625 --seconds N [--wide] [--audio 48k|32k12] [--frame-mode 60|30|24]
#include "Bitmap.h"
#include "FrameSource.h"

#include "dv/Audio.h"
#include "dv/Decoder.h"
#include "dv/FrameInfo.h"
#include "dv/Pattern.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: plover-dv info FILE [--frames]\n"
                 "       plover-dv decode FILE FRAME OUT.bmp [--size full|half|quarter|eighth]\n"
                 "       plover-dv encode-pattern OUT.dv --system 525|625 --seconds N [--wide] [--audio 48k|32k12]"
                 " [--frame-mode 60|30|24]\n");
    return 2;
}

std::string TimeCodeText(const std::optional<dv::TimeCode>& tc) {
    if (!tc || !tc->IsKnown()) return "--:--:--:--";
    char text[32];
    std::snprintf(text, sizeof(text), "%02d:%02d:%02d%c%02d", tc->nHours, tc->nMinutes, tc->nSeconds,
                  tc->bDropFrame ? ';' : ':', tc->nFrames);
    return text;
}

std::string DateTimeText(const dv::FrameInfo& info) {
    char text[64];
    if (!info.recDate || info.recDate->nYear < 0) return "unknown";
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d", info.recDate->nYear, info.recDate->nMonth, info.recDate->nDay);
    std::string s = text;
    if (info.recTime && info.recTime->nHours >= 0) {
        std::snprintf(text, sizeof(text), " %02d:%02d:%02d", info.recTime->nHours, info.recTime->nMinutes, info.recTime->nSeconds);
        s += text;
    }
    return s;
}

std::string AudioText(const dv::FrameInfo& info, int audioMode) {
    if (!info.audio) return "none (audio mode 1)";
    const dv::AudioSource& a = *info.audio;
    char text[128];
    std::snprintf(text, sizeof(text), "%d Hz, %s, %d channels, %s, %d samples (audio mode %d)", dv::SampleRateHz(a.rate),
                  a.quantization == dv::AudioQuantization::Linear16 ? "16-bit" :
                  a.quantization == dv::AudioQuantization::NonLinear12 ? "12-bit non-linear" : "20-bit",
                  a.nChannels, a.bLocked ? "locked" : "unlocked", a.nSamples, audioMode);
    return text;
}

int Info(const std::vector<std::string>& args) {
    if (args.empty()) return Usage();
    const bool perFrame = args.size() > 1 && args[1] == "--frames";
    std::string error;
    auto source = OpenFrames(args[0], error);
    if (!source) {
        std::fprintf(stderr, "plover-dv: %s\n", error.c_str());
        return 1;
    }
    std::vector<uint8_t> frame, firstFrame;
    dv::FrameInfo first, last;
    uint64_t bad = 0, dropped = 0, good = 0;
    for (uint64_t n = 0; n < source->Count(); ++n) {
        const FrameSource::Status status = source->Read(n, frame);
        if (status == FrameSource::Status::Dropped) {
            ++dropped;
            if (perFrame) std::printf("frame %llu: dropped\n", static_cast<unsigned long long>(n));
            continue;
        }
        if (status != FrameSource::Status::Ok) {
            // A frame that cannot be read (an index entry pointing outside the file) is as
            // unreadable as one that cannot be decoded; the rest of the file still counts.
            ++bad;
            if (perFrame) std::printf("frame %llu: unreadable\n", static_cast<unsigned long long>(n));
            continue;
        }
        dv::FrameInfo info;
        if (dv::ReadFrameInfo(frame, info) != dv::Result::Ok) {
            ++bad;
            continue;
        }
        const dv::StreamProperties props = dv::ReadStreamProperties(frame);
        if (good++ == 0) {
            first = info;
            firstFrame = frame;
        }
        last = info;
        if (perFrame)
            std::printf("frame %llu: %s  %s  %s  frame mode %d  %s\n", static_cast<unsigned long long>(n),
                        TimeCodeText(info.timeCode).c_str(), DateTimeText(info).c_str(), props.nWideScreen ? "16:9" : "4:3",
                        props.nFrameMode, AudioText(info, props.nAudioMode).c_str());
    }
    if (good == 0) {
        std::fprintf(stderr, "plover-dv: no readable DV frame in %s\n", args[0].c_str());
        return 1;
    }
    const dv::StreamProperties props = dv::ReadStreamProperties(firstFrame);
    const bool is625 = first.system == dv::System::System625_50;
    std::printf("file: %s (%s)\n", args[0].c_str(), source->Kind().c_str());
    std::printf("system: %s\n", is625 ? "625/50 (25 frames/s, 4:2:0)" : "525/60 (29.97 frames/s, 4:1:1)");
    const double seconds = double(source->Count()) / (is625 ? 25.0 : 30000.0 / 1001.0);
    std::printf("frames: %llu (%.2f s), %llu dropped, %llu unreadable\n", static_cast<unsigned long long>(source->Count()),
                seconds, static_cast<unsigned long long>(dropped), static_cast<unsigned long long>(bad));
    std::printf("aspect: %s\n", props.nWideScreen ? "16:9" : "4:3");
    std::printf("frame mode: %d\n", props.nFrameMode);
    std::printf("audio: %s\n", AudioText(first, props.nAudioMode).c_str());
    std::printf("time code: %s to %s\n", TimeCodeText(first.timeCode).c_str(), TimeCodeText(last.timeCode).c_str());
    std::printf("recorded: %s\n", DateTimeText(first).c_str());
    return 0;
}

int Decode(const std::vector<std::string>& args) {
    if (args.size() < 3) return Usage();
    dv::DecodeSize size = dv::DecodeSize::Full;
    for (size_t i = 3; i + 1 < args.size(); i += 2) {
        if (args[i] != "--size") return Usage();
        const std::string& s = args[i + 1];
        if (s == "full") size = dv::DecodeSize::Full;
        else if (s == "half") size = dv::DecodeSize::Half;
        else if (s == "quarter") size = dv::DecodeSize::Quarter;
        else if (s == "eighth") size = dv::DecodeSize::Eighth;
        else return Usage();
    }
    std::string error;
    auto source = OpenFrames(args[0], error);
    if (!source) {
        std::fprintf(stderr, "plover-dv: %s\n", error.c_str());
        return 1;
    }
    char* end = nullptr;
    const unsigned long long n = std::strtoull(args[1].c_str(), &end, 10);
    std::vector<uint8_t> frame;
    const FrameSource::Status status = *end == '\0' ? source->Read(n, frame) : FrameSource::Status::Error;
    if (status == FrameSource::Status::Dropped) {
        std::fprintf(stderr, "plover-dv: frame %s was dropped during recording\n", args[1].c_str());
        return 1;
    }
    if (status != FrameSource::Status::Ok) {
        std::fprintf(stderr, "plover-dv: no frame %s (the file has %llu)\n", args[1].c_str(),
                     static_cast<unsigned long long>(source->Count()));
        return 1;
    }
    dv::Decoder decoder;
    dv::RgbPicture picture;
    const dv::Result result = decoder.DecodeRgb(frame, size, picture);
    if (result != dv::Result::Ok) {
        std::fprintf(stderr, "plover-dv: frame %llu: %s\n", n, dv::ResultText(result));
        return 1;
    }
    if (!WriteBitmap(args[2], picture)) {
        std::fprintf(stderr, "plover-dv: cannot write %s\n", args[2].c_str());
        return 1;
    }
    std::printf("%s: %d x %d\n", args[2].c_str(), picture.nWidth, picture.nHeight);
    return 0;
}

int EncodePattern(const std::vector<std::string>& args) {
    if (args.empty()) return Usage();
    dv::PatternSettings settings;
    double seconds = -1;
    bool haveSystem = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--wide") {
            settings.bWideScreen = true;
        } else if (a == "--system" && hasValue) {
            const std::string& v = args[++i];
            if (v == "525") settings.system = dv::System::System525_60;
            else if (v == "625") settings.system = dv::System::System625_50;
            else return Usage();
            haveSystem = true;
        } else if (a == "--seconds" && hasValue) {
            seconds = std::atof(args[++i].c_str());
        } else if (a == "--audio" && hasValue) {
            const std::string& v = args[++i];
            if (v == "48k") settings.audioMode = dv::AudioMode::Stereo48k;
            else if (v == "32k12") settings.audioMode = dv::AudioMode::FourChannel32k12;
            else return Usage();
        } else if (a == "--frame-mode" && hasValue) {
            settings.nFrameMode = std::atoi(args[++i].c_str());
        } else {
            return Usage();
        }
    }
    if (!haveSystem || seconds <= 0) return Usage();
    const double rate = settings.system == dv::System::System625_50 ? 25.0 : 30000.0 / 1001.0;
    const uint64_t frames = uint64_t(seconds * rate + 0.5);
    FILE* out = std::fopen(args[0].c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "plover-dv: cannot write %s\n", args[0].c_str());
        return 1;
    }
    dv::PatternGenerator generator(settings);
    std::vector<uint8_t> frame(dv::FrameSize(settings.system));
    for (uint64_t n = 0; n < frames; ++n) {
        const dv::Result result = generator.MakeFrame(n, frame);
        if (result != dv::Result::Ok || std::fwrite(frame.data(), 1, frame.size(), out) != frame.size()) {
            std::fprintf(stderr, "plover-dv: frame %llu: %s\n", static_cast<unsigned long long>(n), dv::ResultText(result));
            std::fclose(out);
            return 1;
        }
    }
    if (std::fclose(out) != 0) return 1;
    std::printf("%s: %llu frames\n", args[0].c_str(), static_cast<unsigned long long>(frames));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "info") return Info(args);
    if (command == "decode") return Decode(args);
    if (command == "encode-pattern") return EncodePattern(args);
    return Usage();
}
