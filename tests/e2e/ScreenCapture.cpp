#include "ScreenCapture.h"

#include <cstdio>

namespace e2e {
namespace {

// Reads a bitmap selected nowhere as top-down 32-bit pixels.
Picture PixelsOf(HBITMAP bitmap, int width, int height) {
  Picture picture;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) return picture;
  for (uint32_t& pixel : pixels) pixel &= 0x00FFFFFF;
  picture.nWidth = width;
  picture.nHeight = height;
  picture.vecPixels = std::move(pixels);
  return picture;
}

}  // namespace

Picture CaptureScreen(const RECT& screenRect) {
  const int width = screenRect.right - screenRect.left;
  const int height = screenRect.bottom - screenRect.top;
  if (width <= 0 || height <= 0) return {};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, screenRect.left, screenRect.top, SRCCOPY);
  SelectObject(memory, previous);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  Picture picture = PixelsOf(bitmap, width, height);
  DeleteObject(bitmap);
  return picture;
}

Picture CaptureClient(HWND window, const RECT& clientRect) {
  RECT screenRect = clientRect;
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&screenRect), 2);
  return CaptureScreen(screenRect);
}

Picture CaptureWindow(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return CaptureScreen(rect);
}

Picture LoadBitmapResource(const std::wstring& modulePath, UINT bitmapId) {
  HMODULE module = LoadLibraryExW(modulePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return {};
  Picture picture;
  auto bitmap = static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (bitmap != nullptr) {
    BITMAP info{};
    GetObjectW(bitmap, sizeof(info), &info);
    picture = PixelsOf(bitmap, info.bmWidth, info.bmHeight);
    DeleteObject(bitmap);
  }
  FreeLibrary(module);
  return picture;
}

bool SavePicture(const Picture& picture, const std::wstring& path) {
  if (picture.Empty()) return false;
  const int rowBytes = (picture.nWidth * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = picture.nWidth;
  header.biHeight = picture.nHeight;  // bottom-up
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<DWORD>(rowBytes) * picture.nHeight;
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + header.biSizeImage;
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out == nullptr) return false;
  fwrite(&file, sizeof(file), 1, out);
  fwrite(&header, sizeof(header), 1, out);
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
  for (int y = picture.nHeight - 1; y >= 0; --y) {
    for (int x = 0; x < picture.nWidth; ++x) {
      const uint32_t pixel = picture.vecPixels[static_cast<size_t>(y) * picture.nWidth + x];
      row[x * 3 + 0] = static_cast<uint8_t>(pixel);
      row[x * 3 + 1] = static_cast<uint8_t>(pixel >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(pixel >> 16);
    }
    fwrite(row.data(), 1, row.size(), out);
  }
  return fclose(out) == 0;
}

}  // namespace e2e
