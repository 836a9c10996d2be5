#pragma once

#include <QRect>
#include <QSize>

#include <array>

// Design-time places of the main window's controls. They are kept in twips,
// 15 to a logical pixel, as the layout was drawn.
namespace ControlSet {

inline constexpr int kTwipsPerPixel = 15;

constexpr QRect fromTwips(int left, int top, int width, int height)
{
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                 height / kTwipsPerPixel);
}

inline constexpr QSize kClientSize(10710 / kTwipsPerPixel, 8805 / kTwipsPerPixel);

inline constexpr QRect kWebAds = fromTwips(0, 0, 19305, 900);
inline constexpr QRect kPicTray = fromTwips(9120, 240, 495, 495);
inline constexpr QRect kPicBar = fromTwips(0, 900, 4215, 465);
inline constexpr QRect kLanguage = fromTwips(4200, 1020, 2175, 300);
inline constexpr QRect kCaption = fromTwips(6360, 960, 4215, 375);
inline constexpr QRect kView = fromTwips(0, 1350, 10695, 7455);

// The toolbar images, inside picBar. Each index is also its command number.
enum Command : int {
    PreviousPage = 0,
    NextPage = 1,
    OpenFile = 2,
    CloseFile = 3,
    AutoTurn = 4,
    FontSize = 5,
    SpeechToggle = 6,
    SpeechSettings = 7,
};
inline constexpr int kImageCount = 8;
inline constexpr std::array<int, kImageCount> kImageLeftTwips = {0,    450,  1050, 1530,
                                                                 2100, 2520, 3180, 3690};
constexpr QRect imageRect(int index)
{
    return fromTwips(kImageLeftTwips[size_t(index)], 60, 375, 375);
}

} // namespace ControlSet
