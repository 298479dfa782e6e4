#include "TestRecording.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "avi/AviWriter.h"
#include "avi/FileIo.h"
#include "dv/Pattern.h"

void WriteTestRecording(const std::wstring& path, uint32_t frames, const std::set<uint32_t>& drops, bool wide) {
  dv::PatternSettings settings;
  settings.system = dv::System::System625_50;
  settings.bWideScreen = wide;
  dv::PatternGenerator generator(settings);
  std::vector<uint8_t> frame(dv::FrameSize(settings.system));
  generator.MakeFrame(0, frame);
  avi::MemoryFile file;
  avi::AviWriterOptions options;
  options.type = avi::AviType::Type1;
  options.system = avi::VideoSystem::System625_50;
  avi::ReadDvInfoFromFrame(frame, &options.dvInfo);
  avi::AviWriter writer;
  ASSERT_EQ(avi::AviResult::Ok, writer.Open(file, options));
  for (uint32_t n = 0; n < frames; ++n) {
    ASSERT_EQ(avi::AviResult::Ok, drops.count(n) != 0 ? writer.WriteDroppedFrame() : writer.WriteVideoFrame(frame));
  }
  ASSERT_EQ(avi::AviResult::Ok, writer.Finish());
  const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, handle);
  DWORD written = 0;
  ::WriteFile(handle, file.Bytes().data(), static_cast<DWORD>(file.Bytes().size()), &written, nullptr);
  ::CloseHandle(handle);
}
