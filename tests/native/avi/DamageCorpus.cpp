#include "DamageCorpus.h"

#include <algorithm>
#include <cstring>

#include "avi/AviCheck.h"
#include "avi/AviRepair.h"
#include "avi/ByteOrder.h"

namespace avidamage {

namespace {

constexpr std::uint64_t kSegmentBytes = 1u << 20; // a new RIFF every eight or so frames
constexpr std::size_t kMaxZeroTail = 4u << 20;
constexpr std::size_t kMaxZeroRange = 300000;

template <typename T>
T Pick(std::mt19937& random, T low, T high)
{
    return std::uniform_int_distribution<T>(low, high)(random);
}

std::size_t Find(const Bytes& bytes, const char* code, std::size_t from = 0)
{
    const auto at = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), code, code + 4);
    return static_cast<std::size_t>(at - bytes.begin());
}

Original Describe(std::string name, Bytes bytes)
{
    Original o;
    o.name = std::move(name);
    o.bytes = std::move(bytes);
    avi::MemoryFile file(o.bytes);
    avi::AviParser parser;
    if (parser.Parse(file) != avi::AviResult::Ok)
        return o;
    o.frames = parser.Frames();
    const avi::StreamInfo& video = parser.Streams()[static_cast<std::size_t>(parser.VideoStream())];
    for (std::size_t k = 0; k < video.vecSuperIndex.size(); ++k) {
        const auto& e = video.vecSuperIndex[k];
        o.videoStdIndexes.push_back(e.qwOffset);
        Original::Segment seg;
        seg.nIxPos = e.qwOffset;
        seg.nIxBytes = e.dwSize;
        seg.nFirst = video.vecStdIndexes[k].nFirst;
        seg.nCount = video.vecStdIndexes[k].nCount;
        for (std::size_t n = seg.nFirst; n < seg.nFirst + seg.nCount; ++n)
            seg.bHasDrops = seg.bHasDrops || o.frames[n].IsDropped();
        o.segments.push_back(seg);
    }
    o.nVideoIndxPos = Find(o.bytes, "indx");
    o.nMoviPos = parser.Segments().front().nMoviPos;
    o.nIdx1Pos = Find(o.bytes, "idx1", static_cast<std::size_t>(o.nMoviPos));
    return o;
}

// The recorded (not dropped) frames, by number.
std::vector<std::uint32_t> Recorded(const Original& o)
{
    std::vector<std::uint32_t> n;
    for (std::uint32_t i = 0; i < o.frames.size(); ++i)
        if (!o.frames[i].IsDropped())
            n.push_back(i);
    return n;
}

std::uint64_t ChunkStart(const avi::ChunkRef& r)
{
    return r.nPos - avi::kChunkHeaderSize;
}

std::uint64_t ChunkBytes(const avi::ChunkRef& r)
{
    return avi::kChunkHeaderSize + r.nSize;
}

void Flip(Bytes& b, std::size_t pos, int bit)
{
    b[pos] = static_cast<std::uint8_t>(b[pos] ^ (1u << bit));
}

} // namespace

const std::vector<Damage>& AllDamage()
{
    static const std::vector<Damage> all = {
        Damage::Truncate,     Damage::ZeroTail,       Damage::ZeroRange,      Damage::FlipBit,
        Damage::BadChunkSize, Damage::TinyChunk,      Damage::Idx1SizeZero,   Damage::CopyStdIndex,
        Damage::SwapSuperIndex, Damage::SwapChunks,   Damage::DuplicateChunk, Damage::FlipHeader,
    };
    return all;
}

const char* DamageName(Damage damage)
{
    switch (damage) {
    case Damage::Truncate: return "truncated";
    case Damage::ZeroTail: return "zero tail";
    case Damage::ZeroRange: return "zeroed range";
    case Damage::FlipBit: return "flipped bit";
    case Damage::BadChunkSize: return "bad chunk size";
    case Damage::TinyChunk: return "2-byte frame chunk";
    case Damage::Idx1SizeZero: return "idx1 size 0";
    case Damage::CopyStdIndex: return "standard index copied";
    case Damage::SwapSuperIndex: return "super index entries swapped";
    case Damage::SwapChunks: return "frame chunks swapped";
    case Damage::DuplicateChunk: return "frame chunk duplicated";
    case Damage::FlipHeader: return "header bytes changed";
    }
    return "?";
}

bool KeepsNumbers(Damage damage)
{
    return damage != Damage::DuplicateChunk && damage != Damage::FlipHeader;
}

std::vector<Original> MakeOriginals()
{
    std::vector<Original> originals;
    struct Kind {
        const char* name;
        avi::AviType type;
        avi::VideoSystem system;
        std::vector<std::uint32_t> drops;
        bool bTimecodes;
    };
    const Kind kinds[] = {
        {"Type 1 525/60", avi::AviType::Type1, avi::VideoSystem::System525_60, {3, 17, 18, 30}, true},
        {"Type 2 625/50", avi::AviType::Type2, avi::VideoSystem::System625_50, {0, 9, 22, 23}, false},
    };
    for (const Kind& k : kinds) {
        avitest::Recording rec;
        rec.recipe.system = k.system;
        rec.options = avitest::OptionsFor(k.type, rec.recipe);
        rec.options.nSegmentBytes = kSegmentBytes;
        rec.options.nCheckpointFrames = 5;
        rec.options.bSyncToDisk = false;
        rec.nFrames = 36;
        rec.drops = k.drops;
        rec.bRunningTimecode = k.bTimecodes;
        avi::MemoryFile file;
        if (avitest::WriteRecording(file, rec) == avi::AviResult::Ok) {
            originals.push_back(Describe(k.name, file.Bytes()));
            originals.back().bTimecodes = k.bTimecodes;
        }
    }
    return originals;
}

Sample MakeDamage(const Original& o, Damage kind, std::mt19937& random)
{
    Sample s;
    s.kind = kind;
    s.bytes = o.bytes;
    Bytes& b = s.bytes;
    const std::size_t dataStart = static_cast<std::size_t>(o.nMoviPos) + avi::kListHeaderSize;
    const std::vector<std::uint32_t> recorded = Recorded(o);
    const std::uint32_t n = recorded[Pick<std::size_t>(random, 0, recorded.size() - 2)];
    const std::uint32_t next = *std::upper_bound(recorded.begin(), recorded.end(), n);
    const avi::ChunkRef& frame = o.frames[n];
    switch (kind) {
    case Damage::Truncate:
    case Damage::ZeroTail: {
        const std::size_t cut = Pick<std::size_t>(random, dataStart, b.size() - 1);
        b.resize(cut);
        s.what = "cut at " + std::to_string(cut);
        if (kind == Damage::ZeroTail) {
            const std::size_t zeros = Pick<std::size_t>(random, 1, kMaxZeroTail);
            b.resize(cut + zeros, 0);
            s.what += ", then " + std::to_string(zeros) + " zeros";
        }
        break;
    }
    case Damage::ZeroRange: {
        const std::size_t at = Pick<std::size_t>(random, dataStart, b.size() - 1);
        const std::size_t len = std::min(Pick<std::size_t>(random, 1, kMaxZeroRange), b.size() - at);
        std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(at), len, 0);
        s.what = std::to_string(len) + " zeros at " + std::to_string(at);
        break;
    }
    case Damage::FlipBit: {
        const std::size_t at = Pick<std::size_t>(random, dataStart, b.size() - 1);
        const int bit = Pick<int>(random, 0, 7);
        Flip(b, at, bit);
        s.what = "bit " + std::to_string(bit) + " of byte " + std::to_string(at);
        break;
    }
    case Damage::BadChunkSize: {
        const std::size_t at = static_cast<std::size_t>(ChunkStart(frame)) + 4 + Pick<std::size_t>(random, 0, 3);
        const int bit = Pick<int>(random, 0, 7);
        Flip(b, at, bit);
        s.what = "bit " + std::to_string(bit) + " of the size of frame " + std::to_string(n);
        break;
    }
    case Damage::TinyChunk:
        avi::WriteLe32(&b[static_cast<std::size_t>(ChunkStart(frame)) + 4], 2);
        s.what = "frame " + std::to_string(n) + " says 2 bytes";
        break;
    case Damage::Idx1SizeZero:
        avi::WriteLe32(&b[static_cast<std::size_t>(o.nIdx1Pos) + 4], 0);
        s.what = "idx1 at " + std::to_string(o.nIdx1Pos);
        break;
    case Damage::CopyStdIndex: {
        const std::size_t count = o.videoStdIndexes.size();
        const std::size_t from = Pick<std::size_t>(random, 0, count - 1);
        std::size_t to = Pick<std::size_t>(random, 0, count - 2);
        to += to >= from ? 1 : 0;
        const auto src = static_cast<std::size_t>(o.videoStdIndexes[from]);
        const auto dst = static_cast<std::size_t>(o.videoStdIndexes[to]);
        const std::size_t len = std::min<std::size_t>(avi::kChunkHeaderSize + avi::ReadLe32(&o.bytes[src + 4]), b.size() - dst);
        std::copy_n(o.bytes.begin() + static_cast<std::ptrdiff_t>(src), len, b.begin() + static_cast<std::ptrdiff_t>(dst));
        s.what = "standard index " + std::to_string(from) + " over " + std::to_string(to);
        break;
    }
    case Damage::SwapSuperIndex: {
        const std::size_t count = o.videoStdIndexes.size();
        const std::size_t i = Pick<std::size_t>(random, 0, count - 2);
        const std::size_t j = Pick<std::size_t>(random, i + 1, count - 1);
        const std::size_t entries = static_cast<std::size_t>(o.nVideoIndxPos) + 32;
        std::swap_ranges(b.begin() + static_cast<std::ptrdiff_t>(entries + 16 * i),
                         b.begin() + static_cast<std::ptrdiff_t>(entries + 16 * i + 16),
                         b.begin() + static_cast<std::ptrdiff_t>(entries + 16 * j));
        s.what = "super index entries " + std::to_string(i) + " and " + std::to_string(j);
        break;
    }
    case Damage::SwapChunks:
    case Damage::DuplicateChunk: {
        const auto a = static_cast<std::ptrdiff_t>(ChunkStart(frame));
        const auto c = static_cast<std::ptrdiff_t>(ChunkStart(o.frames[next]));
        const auto len = static_cast<std::ptrdiff_t>(ChunkBytes(frame));
        if (kind == Damage::SwapChunks)
            std::swap_ranges(b.begin() + a, b.begin() + a + len, b.begin() + c);
        else
            std::copy(o.bytes.begin() + a, o.bytes.begin() + a + len, b.begin() + c);
        s.what = std::string(kind == Damage::SwapChunks ? "swapped" : "copied") + " frames " + std::to_string(n) + " and " +
                 std::to_string(next);
        break;
    }
    case Damage::FlipHeader: {
        const int edits = Pick<int>(random, 1, 4);
        s.what = "header bytes";
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = Pick<std::size_t>(random, 0, dataStart - 1);
            b[at] = static_cast<std::uint8_t>(random());
            s.what += " " + std::to_string(at);
        }
        break;
    }
    }
    return s;
}

Outcome Evaluate(const Original& o, const Sample& sample)
{
    Outcome out;
    const Bytes& b = sample.bytes;
    auto changed = [&](std::uint64_t pos, std::uint64_t len) {
        const auto begin = static_cast<std::size_t>(pos);
        const auto end = static_cast<std::size_t>(pos + len);
        return end > b.size() || !std::equal(b.begin() + static_cast<std::ptrdiff_t>(begin), b.begin() + static_cast<std::ptrdiff_t>(end),
                                             o.bytes.begin() + static_cast<std::ptrdiff_t>(begin));
    };
    std::vector<bool> placeable(o.frames.size(), true);
    for (const Original::Segment& seg : o.segments)
        if (seg.bHasDrops && !o.bTimecodes && changed(seg.nIxPos, seg.nIxBytes))
            std::fill_n(placeable.begin() + static_cast<std::ptrdiff_t>(seg.nFirst), seg.nCount, false);
    std::vector<bool> intact(o.frames.size(), false);
    for (std::uint32_t n = 0; n < o.frames.size(); ++n) {
        const avi::ChunkRef& r = o.frames[n];
        if (r.IsDropped())
            continue;
        if (!placeable[n]) {
            out.nUnplaceable += changed(ChunkStart(r), ChunkBytes(r)) ? 0 : 1;
            continue;
        }
        const auto begin = static_cast<std::size_t>(ChunkStart(r));
        const auto end = begin + static_cast<std::size_t>(ChunkBytes(r));
        intact[n] = end <= b.size() && std::equal(b.begin() + static_cast<std::ptrdiff_t>(begin),
                                                  b.begin() + static_cast<std::ptrdiff_t>(end),
                                                  o.bytes.begin() + static_cast<std::ptrdiff_t>(begin));
        out.nIntact += intact[n] ? 1 : 0;
    }

    avi::MemoryFile file(b);
    avi::AviParser parser;
    out.bParsed = parser.Parse(file) == avi::AviResult::Ok;
    Bytes data;
    if (out.bParsed) {
        (void)avi::CheckAvi(parser, file);
        (void)parser.DroppedFrames();
        const std::size_t count = std::min<std::size_t>(parser.Frames().size(), 200);
        for (std::uint32_t n = 0; n < count; ++n)
            (void)parser.ReadFrame(n, data);
    }

    avi::MemoryFile repaired;
    avi::RepairOptions options;
    options.nSegmentBytes = kSegmentBytes;
    avi::RepairReport report;
    out.bRepaired = avi::RepairAvi(file, repaired, options, &report) == avi::AviResult::Ok;
    if (!out.bRepaired) {
        if (KeepsNumbers(sample.kind))
            out.vecWrong.push_back("repair failed on a file whose headers are whole");
        return out;
    }
    out.repaired = repaired.Bytes();
    out.nFramesWritten = report.nFramesWritten;
    out.nDroppedWritten = report.nDroppedWritten;
    avi::AviParser again;
    if (again.Parse(repaired) != avi::AviResult::Ok) {
        out.vecWrong.push_back("the repaired file does not parse");
        return out;
    }
    const avi::AviCheckResult check = avi::CheckAvi(again, repaired);
    if (!check.bConsistent)
        out.vecWrong.push_back("the repaired file is not consistent: " +
                               (check.vecProblems.empty() ? std::string("?") : check.vecProblems.front()));
    if (report.nFramesWritten != again.Frames().size())
        out.vecWrong.push_back("repair reported " + std::to_string(report.nFramesWritten) + " frames but wrote " +
                               std::to_string(again.Frames().size()));
    if (KeepsNumbers(sample.kind) && again.Frames().size() > o.frames.size())
        out.vecWrong.push_back("the repaired file has more frames than were recorded");
    const std::size_t frameSize = avi::FrameSizeOf(again.GetVideoSystem());
    for (std::uint32_t n = 0; n < again.Frames().size(); ++n) {
        if (again.ReadFrame(n, data) != avi::AviResult::Ok)
            continue;
        if (data.size() != frameSize) {
            out.vecWrong.push_back("repaired frame " + std::to_string(n) + " is " + std::to_string(data.size()) + " bytes");
            continue;
        }
        const std::uint32_t stamp = avitest::StampOf(data);
        if (stamp >= o.frames.size() || o.frames[stamp].IsDropped())
            continue; // damaged data, kept as it was found
        const avi::ChunkRef& r = o.frames[stamp];
        if (!std::equal(data.begin(), data.end(), o.bytes.begin() + static_cast<std::ptrdiff_t>(r.nPos)))
            continue;
        if (stamp == n)
            out.nRecovered += intact[n] ? 1 : 0;
        else if (placeable[stamp])
            ++out.nMisplaced;
    }
    if (KeepsNumbers(sample.kind) && out.nMisplaced > 0 && sample.kind != Damage::SwapChunks)
        out.vecWrong.push_back(std::to_string(out.nMisplaced) + " frames at another frame's number");
    return out;
}

} // namespace avidamage
