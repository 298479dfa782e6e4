// A stand-in for a volume that fills up: the file writers' writes that would reach past a given
// size of their file fail with a given system error, as on a full disk. Tests of the record path
// use it to make a recording's writes start failing part way through.
#pragma once

#include <windows.h>

namespace media {

// From now on, a write by a file writer that would end beyond `nLimitBytes` of its file fails with
// `dwError` (ERROR_DISK_FULL, for one); writes inside the file keep working. 0 lifts the limit.
void SetFileWriteLimit(ULONGLONG nLimitBytes, DWORD dwError);

}  // namespace media
