// Helpers shared by the DV tests: pictures, PSNR, temporary folders and ffmpeg.
#pragma once

#include "dv/Format.h"
#include "dv/Picture.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace dvtest {

double Psnr(const uint8_t* a, const uint8_t* b, size_t n);
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// A picture of the system's size and chroma layout with smooth gradients, edges and some texture.
dv::YuvPicture TestPicture(dv::System system, int seed);
dv::YuvPicture EmptyPicture(dv::System system);

// A folder of its own under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

bool HaveFfmpeg();
// Runs ffmpeg with these arguments (quiet, errors to `errors` when given); true on exit code 0.
bool RunFfmpeg(const std::string& args, std::string* errors = nullptr);

std::vector<uint8_t> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& data);

}  // namespace dvtest
