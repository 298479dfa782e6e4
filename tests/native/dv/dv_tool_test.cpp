// plover-dv on the command line: pattern files, their summary and a decoded bitmap.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>
#include <string>

namespace {

// Runs the tool; returns its exit code and its standard output in `out`.
int Tool(const std::string& args, std::string& out, const dvtest::TempDir& dir) {
    const auto log = dir / "out.txt";
    const int rc = std::system((std::string(PLOVER_DV_TOOL) + " " + args + " >" + log.string() + " 2>&1").c_str());
    const std::vector<uint8_t> text = dvtest::ReadFile(log);
    out.assign(text.begin(), text.end());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

}  // namespace

TEST(DvTool, PatternFilesDescribeThemselvesAndDecode) {
    dvtest::TempDir dir;
    std::string out;
    const std::string ntsc = (dir / "ntsc.dv").string();
    ASSERT_EQ(Tool("encode-pattern " + ntsc + " --system 525 --seconds 0.2 --wide --audio 32k12", out, dir), 0) << out;
    EXPECT_EQ(dvtest::ReadFile(ntsc).size(), 6u * 120000);
    ASSERT_EQ(Tool("info " + ntsc, out, dir), 0) << out;
    EXPECT_NE(out.find("525/60"), std::string::npos) << out;
    EXPECT_NE(out.find("aspect: 16:9"), std::string::npos) << out;
    EXPECT_NE(out.find("32000 Hz, 12-bit non-linear, 4 channels"), std::string::npos) << out;
    EXPECT_NE(out.find("audio mode 2"), std::string::npos) << out;
    EXPECT_NE(out.find("00:00:00;00 to 00:00:00;05"), std::string::npos) << out;

    const std::string pal = (dir / "pal.dv").string();
    ASSERT_EQ(Tool("encode-pattern " + pal + " --system 625 --seconds 0.12", out, dir), 0) << out;
    ASSERT_EQ(Tool("info " + pal + " --frames", out, dir), 0) << out;
    EXPECT_NE(out.find("frame 2: 00:00:00:02"), std::string::npos) << out;
    EXPECT_NE(out.find("aspect: 4:3"), std::string::npos) << out;
    EXPECT_NE(out.find("48000 Hz, 16-bit, 2 channels, locked, 1920 samples (audio mode 1)"), std::string::npos) << out;

    const std::string bmp = (dir / "frame.bmp").string();
    ASSERT_EQ(Tool("decode " + pal + " 1 " + bmp + " --size quarter", out, dir), 0) << out;
    const std::vector<uint8_t> bitmap = dvtest::ReadFile(bmp);
    ASSERT_EQ(bitmap.size(), 54u + 180 * 3 * 144);
    EXPECT_EQ(bitmap[0], 'B');
    EXPECT_EQ(bitmap[18], 180);   // width
    EXPECT_EQ(bitmap[22], 144);   // height, positive: bottom-up
    EXPECT_EQ(bitmap[28], 24);    // bits per pixel

    EXPECT_NE(Tool("decode " + pal + " 99 " + bmp, out, dir), 0);
    EXPECT_NE(Tool("info " + (dir / "missing.dv").string(), out, dir), 0);
    EXPECT_NE(Tool("encode-pattern " + pal + " --system 405 --seconds 1", out, dir), 0);
}
