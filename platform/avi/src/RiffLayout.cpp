#include "avi/RiffLayout.h"

namespace avi {

std::string FourCCText(FourCC fcc)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((fcc >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

int StreamNumberOfChunk(FourCC fcc)
{
    const int tens = static_cast<int>(fcc & 0xFF) - '0';
    const int units = static_cast<int>((fcc >> 8) & 0xFF) - '0';
    if (tens < 0 || tens > 9 || units < 0 || units > 9)
        return -1;
    return tens * 10 + units;
}

bool IsStdIndexChunk(FourCC fcc)
{
    return (fcc & 0xFF) == 'i' && ((fcc >> 8) & 0xFF) == 'x';
}

namespace disk {

void MainHeader::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put32(dwMicroSecPerFrame);
    w.Put32(dwMaxBytesPerSec);
    w.Put32(dwPaddingGranularity);
    w.Put32(dwFlags);
    w.Put32(dwTotalFrames);
    w.Put32(dwInitialFrames);
    w.Put32(dwStreams);
    w.Put32(dwSuggestedBufferSize);
    w.Put32(dwWidth);
    w.Put32(dwHeight);
    for (auto v : dwReserved)
        w.Put32(v);
}

MainHeader MainHeader::Read(const std::uint8_t* p)
{
    ByteReader r(p);
    MainHeader h;
    h.dwMicroSecPerFrame = r.U32();
    h.dwMaxBytesPerSec = r.U32();
    h.dwPaddingGranularity = r.U32();
    h.dwFlags = r.U32();
    h.dwTotalFrames = r.U32();
    h.dwInitialFrames = r.U32();
    h.dwStreams = r.U32();
    h.dwSuggestedBufferSize = r.U32();
    h.dwWidth = r.U32();
    h.dwHeight = r.U32();
    for (auto& v : h.dwReserved)
        v = r.U32();
    return h;
}

void StreamHeader::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put32(fccType);
    w.Put32(fccHandler);
    w.Put32(dwFlags);
    w.Put16(wPriority);
    w.Put16(wLanguage);
    w.Put32(dwInitialFrames);
    w.Put32(dwScale);
    w.Put32(dwRate);
    w.Put32(dwStart);
    w.Put32(dwLength);
    w.Put32(dwSuggestedBufferSize);
    w.Put32(dwQuality);
    w.Put32(dwSampleSize);
    for (auto v : rcFrame)
        w.Put16(static_cast<std::uint16_t>(v));
}

StreamHeader StreamHeader::Read(const std::uint8_t* p)
{
    ByteReader r(p);
    StreamHeader h;
    h.fccType = r.U32();
    h.fccHandler = r.U32();
    h.dwFlags = r.U32();
    h.wPriority = r.U16();
    h.wLanguage = r.U16();
    h.dwInitialFrames = r.U32();
    h.dwScale = r.U32();
    h.dwRate = r.U32();
    h.dwStart = r.U32();
    h.dwLength = r.U32();
    h.dwSuggestedBufferSize = r.U32();
    h.dwQuality = r.U32();
    h.dwSampleSize = r.U32();
    for (auto& v : h.rcFrame)
        v = static_cast<std::int16_t>(r.U16());
    return h;
}

void BitmapInfoHeader::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put32(biSize);
    w.Put32(static_cast<std::uint32_t>(biWidth));
    w.Put32(static_cast<std::uint32_t>(biHeight));
    w.Put16(biPlanes);
    w.Put16(biBitCount);
    w.Put32(biCompression);
    w.Put32(biSizeImage);
    w.Put32(static_cast<std::uint32_t>(biXPelsPerMeter));
    w.Put32(static_cast<std::uint32_t>(biYPelsPerMeter));
    w.Put32(biClrUsed);
    w.Put32(biClrImportant);
}

BitmapInfoHeader BitmapInfoHeader::Read(const std::uint8_t* p)
{
    ByteReader r(p);
    BitmapInfoHeader h;
    h.biSize = r.U32();
    h.biWidth = static_cast<std::int32_t>(r.U32());
    h.biHeight = static_cast<std::int32_t>(r.U32());
    h.biPlanes = r.U16();
    h.biBitCount = r.U16();
    h.biCompression = r.U32();
    h.biSizeImage = r.U32();
    h.biXPelsPerMeter = static_cast<std::int32_t>(r.U32());
    h.biYPelsPerMeter = static_cast<std::int32_t>(r.U32());
    h.biClrUsed = r.U32();
    h.biClrImportant = r.U32();
    return h;
}

void WaveFormatEx::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put16(wFormatTag);
    w.Put16(nChannels);
    w.Put32(nSamplesPerSec);
    w.Put32(nAvgBytesPerSec);
    w.Put16(nBlockAlign);
    w.Put16(wBitsPerSample);
    w.Put16(cbSize);
}

WaveFormatEx WaveFormatEx::Read(const std::uint8_t* p, std::size_t size)
{
    ByteReader r(p);
    WaveFormatEx f;
    f.wFormatTag = r.U16();
    f.nChannels = r.U16();
    f.nSamplesPerSec = r.U32();
    f.nAvgBytesPerSec = r.U32();
    f.nBlockAlign = r.U16();
    f.wBitsPerSample = r.U16();
    f.cbSize = size >= kSize ? r.U16() : 0;
    return f;
}

void DvInfo::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put32(dwDVAAuxSrc);
    w.Put32(dwDVAAuxCtl);
    w.Put32(dwDVAAuxSrc1);
    w.Put32(dwDVAAuxCtl1);
    w.Put32(dwDVVAuxSrc);
    w.Put32(dwDVVAuxCtl);
    for (auto v : dwDVReserved)
        w.Put32(v);
}

DvInfo DvInfo::Read(const std::uint8_t* p)
{
    ByteReader r(p);
    DvInfo d;
    d.dwDVAAuxSrc = r.U32();
    d.dwDVAAuxCtl = r.U32();
    d.dwDVAAuxSrc1 = r.U32();
    d.dwDVAAuxCtl1 = r.U32();
    d.dwDVVAuxSrc = r.U32();
    d.dwDVVAuxCtl = r.U32();
    for (auto& v : d.dwDVReserved)
        v = r.U32();
    return d;
}

void SuperIndexHeader::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put16(wLongsPerEntry);
    w.Put8(bIndexSubType);
    w.Put8(bIndexType);
    w.Put32(nEntriesInUse);
    w.Put32(dwChunkId);
    for (auto v : dwReserved)
        w.Put32(v);
}

SuperIndexHeader SuperIndexHeader::Read(const std::uint8_t* p)
{
    ByteReader r(p);
    SuperIndexHeader h;
    h.wLongsPerEntry = r.U16();
    h.bIndexSubType = r.U8();
    h.bIndexType = r.U8();
    h.nEntriesInUse = r.U32();
    h.dwChunkId = r.U32();
    for (auto& v : h.dwReserved)
        v = r.U32();
    return h;
}

void SuperIndexEntry::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put64(qwOffset);
    w.Put32(dwSize);
    w.Put32(dwDuration);
}

SuperIndexEntry SuperIndexEntry::Read(const std::uint8_t* p)
{
    ByteReader r(p);
    SuperIndexEntry e;
    e.qwOffset = r.U64();
    e.dwSize = r.U32();
    e.dwDuration = r.U32();
    return e;
}

void StdIndexHeader::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put16(wLongsPerEntry);
    w.Put8(bIndexSubType);
    w.Put8(bIndexType);
    w.Put32(nEntriesInUse);
    w.Put32(dwChunkId);
    w.Put64(qwBaseOffset);
    w.Put32(dwReserved3);
}

StdIndexHeader StdIndexHeader::Read(const std::uint8_t* p)
{
    ByteReader r(p);
    StdIndexHeader h;
    h.wLongsPerEntry = r.U16();
    h.bIndexSubType = r.U8();
    h.bIndexType = r.U8();
    h.nEntriesInUse = r.U32();
    h.dwChunkId = r.U32();
    h.qwBaseOffset = r.U64();
    h.dwReserved3 = r.U32();
    return h;
}

void StdIndexEntry::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put32(dwOffset);
    w.Put32(dwSize);
}

StdIndexEntry StdIndexEntry::Read(const std::uint8_t* p)
{
    ByteReader r(p);
    StdIndexEntry e;
    e.dwOffset = r.U32();
    e.dwSize = r.U32();
    return e;
}

void OdmlHeader::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put32(dwTotalFrames);
    for (auto v : dwReserved)
        w.Put32(v);
}

void Idx1Entry::Write(std::uint8_t* p) const
{
    ByteWriter w(p);
    w.Put32(ckid);
    w.Put32(dwFlags);
    w.Put32(dwChunkOffset);
    w.Put32(dwChunkLength);
}

Idx1Entry Idx1Entry::Read(const std::uint8_t* p)
{
    ByteReader r(p);
    Idx1Entry e;
    e.ckid = r.U32();
    e.dwFlags = r.U32();
    e.dwChunkOffset = r.U32();
    e.dwChunkLength = r.U32();
    return e;
}

} // namespace disk
} // namespace avi
