// Writes a 24-bit device-independent bitmap file.
#pragma once

#include "dv/Picture.h"

#include <string>

bool WriteBitmap(const std::string& path, const dv::RgbPicture& picture);
