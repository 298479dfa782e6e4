#include "BenchMaterial.h"

#include <windows.h>

#include <cstdio>

#include "avi/AviWriter.h"
#include "avi/DvPacks.h"
#include "avi/FileIo.h"
#include "dv/Pattern.h"

namespace bench {
namespace {

double ThreadSeconds() {
  FILETIME ftCreate, ftExit, ftKernel, ftUser;
  ::GetThreadTimes(::GetCurrentThread(), &ftCreate, &ftExit, &ftKernel, &ftUser);
  auto seconds = [](const FILETIME& ft) {
    return static_cast<double>((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 1e7;
  };
  return seconds(ftKernel) + seconds(ftUser);
}

std::string Narrow(const std::wstring& strText) {
  std::string str;
  for (wchar_t ch : strText) str += static_cast<char>(ch);  // the benchmarks' paths are ASCII
  return str;
}

}  // namespace

PatternFrames::PatternFrames(int nDistinct) {
  dv::PatternSettings settings;
  settings.system = dv::System::System525_60;
  dv::PatternGenerator generator(settings);
  for (int n = 0; n < nDistinct; ++n) {
    m_vecFrames.emplace_back(dv::FrameSize(settings.system));
    generator.MakeFrame(static_cast<uint64_t>(n), m_vecFrames.back());
  }
}

double MeasureEncodeSecondsPerFrame(int nFrames) {
  dv::PatternSettings settings;
  settings.system = dv::System::System525_60;
  dv::PatternGenerator generator(settings);
  std::vector<uint8_t> frame(dv::FrameSize(settings.system));
  const double dStart = ThreadSeconds();
  for (int n = 0; n < nFrames; ++n) generator.MakeFrame(static_cast<uint64_t>(n), frame);
  return (ThreadSeconds() - dStart) / nFrames;
}

bool WriteStream(const PatternFrames& frames, const std::wstring& strPath, uint64_t nFrames) {
  FILE* pFile = _wfopen(strPath.c_str(), L"wb");
  if (pFile == nullptr) return false;
  bool bOk = true;
  for (uint64_t n = 0; n < nFrames && bOk; ++n) {
    const std::vector<uint8_t>& frame = frames.Frame(n);
    bOk = fwrite(frame.data(), 1, frame.size(), pFile) == frame.size();
  }
  return fclose(pFile) == 0 && bOk;
}

bool WriteRecording(const PatternFrames& frames, const std::wstring& strPath, uint64_t nFirst, uint64_t nFrames) {
  avi::StdioFile file;
  if (!file.Open(Narrow(strPath), avi::StdioFile::Mode::Create)) return false;
  avi::AviWriterOptions options;
  options.type = avi::AviType::Type1;
  options.system = avi::VideoSystem::System525_60;
  options.bCheckpoints = false;
  options.bSyncToDisk = false;
  if (!avi::ReadDvInfoFromFrame(frames.Frame(nFirst), &options.dvInfo)) return false;
  avi::AviWriter writer;
  if (writer.Open(file, options) != avi::AviResult::Ok) return false;
  for (uint64_t n = 0; n < nFrames; ++n) {
    if (writer.WriteVideoFrame(frames.Frame(nFirst + n)) != avi::AviResult::Ok) return false;
  }
  return writer.Finish() == avi::AviResult::Ok && file.Close();
}

}  // namespace bench
