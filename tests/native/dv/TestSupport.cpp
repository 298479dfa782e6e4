#include "TestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <unistd.h>

namespace dvtest {

double Psnr(const uint8_t* a, const uint8_t* b, size_t n) {
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    if (n == 0 || sum == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return 0.0;
    return Psnr(a.data(), b.data(), a.size());
}

dv::YuvPicture EmptyPicture(dv::System system) {
    const bool is411 = system == dv::System::System525_60;
    dv::YuvPicture p;
    p.Allocate(720, dv::FrameHeight(system), is411 ? 180 : 360, is411 ? 480 : 288);
    return p;
}

dv::YuvPicture TestPicture(dv::System system, int seed) {
    dv::YuvPicture p = EmptyPicture(system);
    std::mt19937 rng{uint32_t(seed)};
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < p.nHeight; ++y)
        for (int x = 0; x < p.nWidth; ++x) {
            int v = 40 + (x * 150) / p.nWidth + (y * 40) / p.nHeight;
            if (((x / 48) + (y / 48) + seed) % 5 == 0) v = 200;  // hard edges
            v += int(20 * std::sin((x + seed * 7) * 0.05) * std::cos(y * 0.03)) + noise(rng);
            p.y[size_t(y) * p.nWidth + x] = uint8_t(std::clamp(v, 16, 235));
        }
    for (int y = 0; y < p.nChromaHeight; ++y)
        for (int x = 0; x < p.nChromaWidth; ++x) {
            p.cb[size_t(y) * p.nChromaWidth + x] = uint8_t(128 + 60 * std::sin(x * 0.04 + seed));
            p.cr[size_t(y) * p.nChromaWidth + x] = uint8_t(128 + 50 * std::cos(y * 0.05 + seed));
        }
    return p;
}

TempDir::TempDir() {
    static int counter = 0;
    m_path = std::filesystem::temp_directory_path() /
             ("plover-dv-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

bool HaveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

bool RunFfmpeg(const std::string& args, std::string* errors) {
    TempDir dir;
    const auto log = dir / "ffmpeg.log";
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " 2>" + log.string();
    const int rc = std::system(command.c_str());
    if (errors) {
        const std::vector<uint8_t> text = ReadFile(log);
        errors->assign(text.begin(), text.end());
    }
    return rc == 0;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

}  // namespace dvtest
