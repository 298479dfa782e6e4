// A recording cut off at any moment stays readable: the writer's file is replayed up to every
// write it made (the state a killed process leaves behind), and real writer processes are
// killed at random moments. Our parser and ffmpeg must read each cut file up to its last
// checkpoint, and repair must turn it into a consistent file.

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <set>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"
#include "avi/AviCheck.h"
#include "avi/AviParser.h"
#include "avi/AviRepair.h"

using namespace avitest;
using avi::AviResult;
using avi::AviType;
using avi::VideoSystem;

namespace {

// Keeps every write in order, with the number of frames the writer had taken before it and the
// number of the writer's calls that had returned.
class WriteLog final : public avi::FileIo {
public:
    struct Entry {
        std::uint64_t nPos;
        Bytes data;
        std::uint32_t nFramesTaken;
        std::uint32_t nCallsDone;
    };
    std::uint32_t nFramesTaken = 0;
    std::uint32_t nCallsDone = 0;
    std::vector<Entry> vecWrites;

    // The file after write k is one the writer left between two of its calls.
    bool BetweenCalls(std::size_t k) const
    {
        return k + 1 == vecWrites.size() || vecWrites[k + 1].nCallsDone != vecWrites[k].nCallsDone;
    }

    bool ReadAt(std::uint64_t pos, void* b, std::size_t n, std::size_t* pRead) override { return m_image.ReadAt(pos, b, n, pRead); }
    bool WriteAt(std::uint64_t pos, const void* d, std::size_t n) override
    {
        const auto* p = static_cast<const std::uint8_t*>(d);
        vecWrites.push_back(Entry{pos, Bytes(p, p + n), nFramesTaken, nCallsDone});
        return m_image.WriteAt(pos, d, n);
    }
    bool GetSize(std::uint64_t* p) override { return m_image.GetSize(p); }
    bool Truncate(std::uint64_t s) override { return m_image.Truncate(s); }
    bool Flush(bool) override { return true; }

private:
    avi::MemoryFile m_image;
};

struct CutCheck {
    std::uint32_t nFramesRead = 0;
    std::uint32_t nFramesRepaired = 0;
};

// What every cut file must give: a parse, frames that are the ones written (in order, with
// the drops where they were), at most `lossLimit` frames fewer than the writer had taken, and
// a repair that is consistent and keeps at least what the parser read. A file the writer left
// between two of its calls (bBetweenCalls) is consistent as it stands: its index entry counts,
// super index durations and "dmlh" agree with the stream lengths the last checkpoint wrote.
void CheckCutFile(avi::MemoryFile& cut, const Recording& rec, std::uint32_t framesTaken, std::uint32_t lossLimit,
                  bool bBetweenCalls, CutCheck* pResult, const std::string& where)
{
    SCOPED_TRACE(where);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(cut), AviResult::Ok);
    if (bBetweenCalls) {
        const avi::AviCheckResult check = avi::CheckAvi(parser, cut);
        ASSERT_TRUE(check.bConsistent) << check.vecProblems.front();
        ASSERT_EQ(parser.Frames().size(), parser.DeclaredLength());
    }
    const auto& frames = parser.Frames();
    ASSERT_LE(frames.size(), framesTaken + 1u);
    ASSERT_GE(frames.size() + lossLimit, framesTaken);
    Bytes frame;
    for (std::uint32_t n = 0; n < frames.size(); ++n) {
        const bool bDropped = std::binary_search(rec.drops.begin(), rec.drops.end(), n);
        ASSERT_EQ(frames[n].IsDropped(), bDropped) << n;
        if (!bDropped) {
            ASSERT_EQ(parser.ReadFrame(n, frame), AviResult::Ok) << n;
            ASSERT_EQ(StampOf(frame), n);
        }
    }
    avi::MemoryFile repaired;
    avi::RepairOptions options;
    options.nSegmentBytes = rec.options.nSegmentBytes;
    avi::RepairReport report;
    ASSERT_EQ(avi::RepairAvi(cut, repaired, options, &report), AviResult::Ok);
    avi::AviParser again;
    ASSERT_EQ(again.Parse(repaired), AviResult::Ok);
    ASSERT_TRUE(again.IsConsistent());
    ASSERT_GE(again.Frames().size(), frames.size());
    ASSERT_LE(again.Frames().size(), framesTaken + 1u);
    for (std::uint32_t n = 0; n < again.Frames().size(); ++n) {
        if (again.ReadFrame(n, frame) == AviResult::Ok) {
            ASSERT_EQ(StampOf(frame), n) << "repaired frame " << n;
        } else if (n < frames.size()) {
            ASSERT_TRUE(std::binary_search(rec.drops.begin(), rec.drops.end(), n)) << "repaired frame " << n;
        }
    }
    pResult->nFramesRead = static_cast<std::uint32_t>(frames.size());
    pResult->nFramesRepaired = static_cast<std::uint32_t>(again.Frames().size());
}

Recording CrashRecording(AviType type)
{
    Recording rec;
    rec.recipe.system = VideoSystem::System625_50;
    rec.options = OptionsFor(type, rec.recipe);
    rec.options.nSegmentBytes = 512 * 1024; // a segment switch every three or four frames
    rec.options.nCheckpointFrames = 5;
    rec.nFrames = 40;
    rec.drops = {0, 9, 10, 11, 23, 39};
    return rec;
}

// Writes the recording through the log, noting how many frames were taken before each write.
void RecordWrites(const Recording& rec, WriteLog& log)
{
    avi::AviWriter writer;
    ASSERT_EQ(writer.Open(log, rec.options), AviResult::Ok);
    ++log.nCallsDone;
    std::size_t nextDrop = 0;
    for (std::uint32_t n = 0; n < rec.nFrames; ++n) {
        if (nextDrop < rec.drops.size() && rec.drops[nextDrop] == n) {
            ++nextDrop;
            ASSERT_EQ(writer.WriteDroppedFrame(), AviResult::Ok);
        } else {
            ASSERT_EQ(writer.WriteVideoFrame(FrameFor(rec, n)), AviResult::Ok);
            ++log.nCallsDone;
            if (rec.options.type == AviType::Type2) {
                ASSERT_EQ(writer.WriteAudio(MakePcmForFrame(rec.options.system, 48000, n)), AviResult::Ok);
            }
        }
        ++log.nCallsDone;
        log.nFramesTaken = n + 1;
    }
    ASSERT_EQ(writer.Finish(), AviResult::Ok);
    ++log.nCallsDone;
}

} // namespace

class CutAtEveryWrite : public ::testing::TestWithParam<AviType> {};

TEST_P(CutAtEveryWrite, CutFileReadsUpToItsLastCheckpointAndRepairs)
{
    const Recording rec = CrashRecording(GetParam());
    WriteLog log;
    RecordWrites(rec, log);
    ASSERT_GT(log.vecWrites.size(), 100u);

    avi::MemoryFile image;
    std::mt19937 random(7);
    std::uint32_t cuts = 0;
    std::uint32_t quietCuts = 0;
    // Cut after each write, and also inside every large write (a data chunk or a new segment's
    // headers) at a random byte.
    for (std::size_t k = 0; k < log.vecWrites.size(); ++k) {
        const auto& w = log.vecWrites[k];
        const std::string where = "cut after write " + std::to_string(k) + " of " + std::to_string(log.vecWrites.size());
        if (k > 0 && w.data.size() > 64) {
            avi::MemoryFile partial(image.Bytes());
            const std::size_t part = std::uniform_int_distribution<std::size_t>(1, w.data.size() - 1)(random);
            partial.WriteAt(w.nPos, w.data.data(), part);
            CutCheck result;
            CheckCutFile(partial, rec, w.nFramesTaken, rec.options.nCheckpointFrames + 1, false, &result,
                         where + " (partly)");
            ++cuts;
            if (HasFatalFailure())
                return;
        }
        image.WriteAt(w.nPos, w.data.data(), w.data.size());
        if (k == 0)
            continue; // the headers are the first write
        avi::MemoryFile cut(image.Bytes());
        CutCheck result;
        const bool bBetweenCalls = log.BetweenCalls(k);
        CheckCutFile(cut, rec, w.nFramesTaken, rec.options.nCheckpointFrames + 1, bBetweenCalls, &result, where);
        ++cuts;
        quietCuts += bBetweenCalls ? 1 : 0;
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(cuts, 200u);
    EXPECT_GT(quietCuts, rec.nFrames); // after every frame, and after the new segments and Finish
    // The last write leaves the finished file, which needs no repair.
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(image), AviResult::Ok);
    EXPECT_TRUE(parser.IsConsistent());
    EXPECT_EQ(parser.Frames().size(), rec.nFrames);
}

INSTANTIATE_TEST_SUITE_P(BothTypes, CutAtEveryWrite, ::testing::Values(AviType::Type1, AviType::Type2));

TEST(CutInSegmentSwitch, FfmpegReadsFilesCutWhileARiffIsClosedOrOpened)
{
    if (!HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    for (const AviType type : {AviType::Type1, AviType::Type2}) {
        const Recording rec = CrashRecording(type);
        WriteLog log;
        RecordWrites(rec, log);
        // The writes around the "idx1" and the first new "RIFF" "AVIX" headers.
        std::set<std::size_t> cutAfter;
        for (std::size_t k = 1; k < log.vecWrites.size() && cutAfter.size() < 15; ++k) {
            const Bytes& d = log.vecWrites[k].data;
            if (d.size() >= 4 && (std::equal(d.begin(), d.begin() + 4, "idx1") || std::equal(d.begin(), d.begin() + 4, "RIFF")))
                for (std::size_t j = k - 1; j <= k + 3 && j < log.vecWrites.size(); ++j)
                    cutAfter.insert(j);
        }
        ASSERT_GE(cutAfter.size(), 12u);
        avi::MemoryFile image;
        const auto path = TempFile("switch-cut.avi");
        for (std::size_t k = 0; k < log.vecWrites.size(); ++k) {
            image.WriteAt(log.vecWrites[k].nPos, log.vecWrites[k].data.data(), log.vecWrites[k].data.size());
            if (!cutAfter.count(k))
                continue;
            SCOPED_TRACE("cut after write " + std::to_string(k));
            avi::AviParser parser;
            ASSERT_EQ(parser.Parse(image), AviResult::Ok);
            std::uint32_t recorded = 0;
            for (const auto& f : parser.Frames())
                recorded += f.IsDropped() ? 0 : 1;
            WriteWholeFile(path, image.Bytes());
            std::string out;
            ASSERT_EQ(RunCommand("ffprobe -v quiet -count_packets -select_streams v:0 -show_entries "
                                 "stream=nb_read_packets -of csv=p=0 '" + path.string() + "'", &out),
                      0);
            EXPECT_GE(std::stoul(out), recorded);
            EXPECT_EQ(RunCommand("ffmpeg -v quiet -nostdin -i '" + path.string() + "' -f null - 2>/dev/null"), 0);
        }
        std::filesystem::remove(path);
    }
}

TEST(Repair, FinishedFileIsRebuiltByteForByte)
{
    for (AviType type : {AviType::Type1, AviType::Type2}) {
        Recording rec = CrashRecording(type);
        avi::MemoryFile original;
        ASSERT_EQ(WriteRecording(original, rec), AviResult::Ok);
        avi::MemoryFile rebuilt;
        avi::RepairOptions options;
        options.nSegmentBytes = rec.options.nSegmentBytes;
        avi::RepairReport report;
        ASSERT_EQ(avi::RepairAvi(original, rebuilt, options, &report), AviResult::Ok);
        EXPECT_TRUE(report.bWasConsistent);
        EXPECT_EQ(report.nFramesWritten, rec.nFrames);
        EXPECT_EQ(report.nDroppedWritten, rec.drops.size());
        EXPECT_EQ(report.nFramesFromTail, 0u);
        EXPECT_EQ(report.nBytesDiscarded, 0u);
        EXPECT_TRUE(rebuilt.Bytes() == original.Bytes()) << static_cast<int>(type);
    }
}

TEST(Repair, FramesAfterTheLastCheckpointAreRecoveredAndGarbageDiscarded)
{
    // With checkpoints the entries after the last one are in the file already; without them
    // (only segment ends write indexes) the frames are found as chunks after the last entry.
    for (const bool bCheckpoints : {true, false}) {
        SCOPED_TRACE(bCheckpoints ? "with checkpoints" : "without checkpoints");
        Recording rec = CrashRecording(AviType::Type2);
        rec.options.bCheckpoints = bCheckpoints;
        rec.options.nCheckpointFrames = 1000;
        WriteLog log;
        RecordWrites(rec, log);
        // Cut in the middle of frame 37's data.
        avi::MemoryFile image;
        std::size_t k = 0;
        for (; k < log.vecWrites.size() && log.vecWrites[k].nFramesTaken < 37; ++k)
            image.WriteAt(log.vecWrites[k].nPos, log.vecWrites[k].data.data(), log.vecWrites[k].data.size());
        for (; log.vecWrites[k].data.size() < 1000; ++k)
            image.WriteAt(log.vecWrites[k].nPos, log.vecWrites[k].data.data(), log.vecWrites[k].data.size());
        image.WriteAt(log.vecWrites[k].nPos, log.vecWrites[k].data.data(), 5000);

        avi::MemoryFile repaired;
        avi::RepairOptions options;
        options.nSegmentBytes = rec.options.nSegmentBytes;
        avi::RepairReport report;
        ASSERT_EQ(avi::RepairAvi(image, repaired, options, &report), AviResult::Ok);
        EXPECT_LT(report.nFramesIndexed, 37u);
        EXPECT_EQ(report.nFramesWritten, 37u); // frames 0..36, with the drops 0, 9, 10, 11 and 23
        EXPECT_EQ(report.nBytesDiscarded, 5000u + 8u);
        if (bCheckpoints)
            EXPECT_EQ(report.nFramesFromTail, 0u);
        else
            EXPECT_GT(report.nFramesFromTail, 0u);
        avi::AviParser parser;
        ASSERT_EQ(parser.Parse(repaired), AviResult::Ok);
        EXPECT_TRUE(parser.IsConsistent());
        EXPECT_EQ(parser.DroppedFrames(), (std::vector<std::uint32_t>{0, 9, 10, 11, 23}));
        EXPECT_EQ(parser.AudioChunks().size(), 37u - 5u);
        Bytes frame;
        ASSERT_EQ(parser.ReadFrame(36, frame), AviResult::Ok);
        EXPECT_EQ(StampOf(frame), 36u);
    }
}

TEST(Repair, DamagedFrameInTheMiddleBecomesADropSoLaterFramesKeepTheirNumbers)
{
    Recording rec = CrashRecording(AviType::Type1);
    avi::MemoryFile original;
    ASSERT_EQ(WriteRecording(original, rec), AviResult::Ok);
    avi::AviParser parser;
    ASSERT_EQ(parser.Parse(original), AviResult::Ok);
    Bytes damaged = original.Bytes();
    std::copy_n("XXXX", 4, damaged.begin() + static_cast<std::ptrdiff_t>(parser.Frames()[20].nPos - 8));
    avi::MemoryFile source(damaged);
    avi::MemoryFile repaired;
    avi::RepairOptions options;
    options.nSegmentBytes = rec.options.nSegmentBytes;
    avi::RepairReport report;
    ASSERT_EQ(avi::RepairAvi(source, repaired, options, &report), AviResult::Ok);
    EXPECT_EQ(report.nFramesWritten, rec.nFrames);
    EXPECT_EQ(report.nDroppedWritten, rec.drops.size() + 1);
    avi::AviParser again;
    ASSERT_EQ(again.Parse(repaired), AviResult::Ok);
    EXPECT_TRUE(again.IsConsistent());
    EXPECT_TRUE(again.Frames()[20].IsDropped());
    Bytes frame;
    ASSERT_EQ(again.ReadFrame(38, frame), AviResult::Ok);
    EXPECT_EQ(StampOf(frame), 38u);
}

TEST(Repair, RefusesWhatIsNotADvAvi)
{
    avi::MemoryFile notAvi(Bytes(1000, 0x41));
    avi::MemoryFile out;
    EXPECT_EQ(avi::RepairAvi(notAvi, out, avi::RepairOptions(), nullptr), AviResult::NotAvi);
}

namespace {

// Frames the child process has handed to its writer, shared with the parent.
struct SharedProgress {
    volatile std::uint32_t nOpened;   // 1 once the writer's Open returned (headers checkpointed)
    volatile std::uint32_t nFramesTaken;
};

[[noreturn]] void RunWriterProcess(const std::string& path, const Recording& rec, SharedProgress* pProgress)
{
    avi::StdioFile file;
    avi::AviWriter writer;
    if (!file.Open(path, avi::StdioFile::Mode::Create) || writer.Open(file, rec.options) != AviResult::Ok)
        _exit(3);
    pProgress->nOpened = 1;
    std::size_t nextDrop = 0;
    for (std::uint32_t n = 0; n < rec.nFrames; ++n) {
        AviResult hr;
        if (nextDrop < rec.drops.size() && rec.drops[nextDrop] == n) {
            ++nextDrop;
            hr = writer.WriteDroppedFrame();
        } else {
            hr = writer.WriteVideoFrame(FrameFor(rec, n));
            if (hr == AviResult::Ok && rec.options.type == AviType::Type2)
                hr = writer.WriteAudio(MakePcmForFrame(rec.options.system, 48000, n));
        }
        if (hr != AviResult::Ok)
            _exit(4);
        pProgress->nFramesTaken = n + 1;
        usleep(1500);
    }
    writer.Finish();
    _exit(0);
}

} // namespace

TEST(KilledWriter, EveryKilledRecordingReadsAndRepairs)
{
    auto* pProgress = static_cast<SharedProgress*>(
        mmap(nullptr, sizeof(SharedProgress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pProgress, MAP_FAILED);
    std::mt19937 random(1234);
    const bool bFfmpeg = HaveFfmpeg();
    int kills = 0;
    for (int round = 0; round < 24; ++round) {
        Recording rec;
        rec.recipe.system = round % 2 ? VideoSystem::System625_50 : VideoSystem::System525_60;
        rec.options = OptionsFor(round % 3 ? AviType::Type2 : AviType::Type1, rec.recipe);
        rec.options.nSegmentBytes = 1u << 20;
        rec.options.nCheckpointFrames = 10;
        rec.options.bSyncToDisk = false; // a killed process leaves the system's cache behind
        rec.nFrames = 400;
        rec.drops = {2, 3, 50, 51, 52, 120, 200};
        const std::string path = TempFile("killed-" + std::to_string(round) + ".avi").string();
        pProgress->nOpened = 0;
        pProgress->nFramesTaken = 0;
        // The child must not inherit gtest's output buffers half-written.
        std::fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            RunWriterProcess(path, rec, pProgress);
        // A process killed before it created its file has recorded nothing; the kill comes at a
        // random time after the recording has begun, however slowly a loaded machine starts it.
        for (int waited = 0; !pProgress->nOpened && waited < 60000; ++waited) {
            if (waitpid(child, nullptr, WNOHANG) == child)
                FAIL() << "the writer ended before it opened its file";
            usleep(1000);
        }
        ASSERT_TRUE(pProgress->nOpened) << "the writer did not open its file within a minute";
        usleep(std::uniform_int_distribution<int>(5000, 250000)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended before it was killed";
        ++kills;
        const std::uint32_t taken = pProgress->nFramesTaken;
        SCOPED_TRACE("round " + std::to_string(round) + ", killed after " + std::to_string(taken) + " frames");

        avi::MemoryFile cut(ReadWholeFile(path));
        CutCheck result;
        CheckCutFile(cut, rec, taken, rec.options.nCheckpointFrames + 1, false, &result, path);
        if (HasFatalFailure())
            return;
        if (bFfmpeg && result.nFramesRead > 0) {
            // ffmpeg reads at least the frames up to the last checkpoint.
            std::string out;
            ASSERT_EQ(RunCommand("ffprobe -v quiet -count_packets -select_streams v:0 -show_entries "
                                 "stream=nb_read_packets -of csv=p=0 '" + path + "'", &out),
                      0);
            std::uint32_t dropsRead = 0;
            for (std::uint32_t d : rec.drops)
                dropsRead += d < result.nFramesRead ? 1 : 0;
            EXPECT_GE(std::stoul(out) , result.nFramesRead - dropsRead);
            EXPECT_EQ(RunCommand("ffmpeg -v quiet -nostdin -i '" + path + "' -f null - 2>/dev/null"), 0);
        }
        std::filesystem::remove(path);
    }
    EXPECT_GE(kills, 20);
    munmap(pProgress, sizeof(SharedProgress));
}
