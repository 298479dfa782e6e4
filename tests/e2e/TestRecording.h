// Recordings for the play tests: the pattern picture written by the AVI writer (625/50, Type 1).
#pragma once

#include <cstdint>
#include <set>
#include <string>

// Writes `frames` frames to `path`; the frames listed in `drops` are dropped-frame entries.
void WriteTestRecording(const std::wstring& path, uint32_t frames, const std::set<uint32_t>& drops, bool wide = false);
