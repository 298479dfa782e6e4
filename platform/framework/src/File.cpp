#include "framework/File.h"

namespace framework {

FileException::FileException(Cause cause, DWORD osError, std::wstring fileName)
    : m_cause(cause), m_dwOsError(osError), m_strFileName(std::move(fileName)) {}

FileException::Cause FileException::CauseFromOsError(DWORD osError) {
  switch (osError) {
    case NO_ERROR:
      return none;
    case ERROR_FILE_NOT_FOUND:
      return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
      return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_ACCESS:
    case ERROR_WRITE_PROTECT:
      return accessDenied;
    case ERROR_INVALID_HANDLE:
      return invalidFile;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
      return badSeek;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
      return hardIO;
    case ERROR_SHARING_VIOLATION:
      return sharingViolation;
    case ERROR_LOCK_VIOLATION:
      return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return diskFull;
    case ERROR_HANDLE_EOF:
      return endOfFile;
    default:
      return genericException;
  }
}

const char* FileException::what() const noexcept {
  switch (m_cause) {
    case none: return "no error";
    case fileNotFound: return "file not found";
    case badPath: return "bad path";
    case tooManyOpenFiles: return "too many open files";
    case accessDenied: return "access denied";
    case invalidFile: return "invalid file handle";
    case badSeek: return "bad seek";
    case hardIO: return "hardware input/output error";
    case sharingViolation: return "sharing violation";
    case lockViolation: return "lock violation";
    case diskFull: return "disk full";
    case endOfFile: return "end of file reached";
    case genericException: break;
  }
  return "file error";
}

bool File::Open(const std::wstring& path, UINT flags, FileException* error) {
  Close();
  m_strPath = path;
  DWORD access = GENERIC_READ;
  switch (flags & 0x3) {
    case modeWrite: access = GENERIC_WRITE; break;
    case modeReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    default: break;
  }
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  switch (flags & 0x70) {
    case shareExclusive: share = 0; break;
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    default: break;
  }
  HANDLE handle = ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD osError = ::GetLastError();
    if (error != nullptr) *error = FileException(FileException::CauseFromOsError(osError), osError, path);
    return false;
  }
  m_hFile.Reset(handle);
  return true;
}

void File::ThrowOsError(DWORD osError) const {
  throw FileException(FileException::CauseFromOsError(osError), osError, m_strPath);
}

UINT File::ReadSome(void* buffer, UINT count) {
  if (!IsOpen()) throw FileException(FileException::invalidFile, ERROR_INVALID_HANDLE, m_strPath);
  if (count == 0) return 0;
  DWORD read = 0;
  if (!::ReadFile(m_hFile.Get(), buffer, count, &read, nullptr)) ThrowOsError(::GetLastError());
  return read;
}

void File::Read(void* buffer, UINT count) {
  auto* bytes = static_cast<BYTE*>(buffer);
  UINT done = 0;
  while (done < count) {
    const UINT read = ReadSome(bytes + done, count - done);
    if (read == 0) throw FileException(FileException::endOfFile, ERROR_HANDLE_EOF, m_strPath);
    done += read;
  }
}

ULONGLONG File::Seek(LONGLONG offset, SeekPosition from) {
  if (!IsOpen()) throw FileException(FileException::invalidFile, ERROR_INVALID_HANDLE, m_strPath);
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(m_hFile.Get(), distance, &position, static_cast<DWORD>(from))) {
    const DWORD osError = ::GetLastError();
    throw FileException(FileException::badSeek, osError, m_strPath);
  }
  return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG File::GetPosition() const {
  if (!IsOpen()) throw FileException(FileException::invalidFile, ERROR_INVALID_HANDLE, m_strPath);
  LARGE_INTEGER zero{};
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(m_hFile.Get(), zero, &position, FILE_CURRENT)) ThrowOsError(::GetLastError());
  return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG File::GetLength() const {
  if (!IsOpen()) throw FileException(FileException::invalidFile, ERROR_INVALID_HANDLE, m_strPath);
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(m_hFile.Get(), &size)) ThrowOsError(::GetLastError());
  return static_cast<ULONGLONG>(size.QuadPart);
}

}  // namespace framework
