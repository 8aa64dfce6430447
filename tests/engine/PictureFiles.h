// Pictures for the engine's tests, written with FreeImage: JPEG and GIF files
// of a given size whose pixels a function decides, and a four-colour pattern
// whose corners tell orientation and scaling apart.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace tpx::test {

using PixelFunction = std::function<COLORREF(int x, int y)>;

bool WriteJpeg(const std::string& path, int width, int height, const PixelFunction& pixel);
bool WriteGif(const std::string& path, int width, int height, const PixelFunction& pixel);

// Red top-left, blue top-right, green bottom-left, yellow bottom-right.
COLORREF Quadrants(int width, int height, int x, int y);
inline constexpr COLORREF kRed = RGB(220, 30, 30);
inline constexpr COLORREF kBlue = RGB(30, 30, 220);
inline constexpr COLORREF kGreen = RGB(30, 200, 30);
inline constexpr COLORREF kYellow = RGB(230, 220, 30);

}  // namespace tpx::test
