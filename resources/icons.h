#pragma once
// The program's pictures. Every one is drawn in code with QPainter, so it is
// sharp at any size and device pixel ratio; nothing is loaded from files.
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace TIcons {

// Main menu images, 16x16 logical.
enum MenuImage : int {
    ConnectImage = 0,
    DisconnectImage = 1,
    PreferencesImage = 2,
    BackImage = 3, // Away while away
    AwayImage = 4,
    HomeImage = 5,
    QuitImage = 6,
    PauseChatImage = 7,
    JournalImage = 8,
};
QIcon menuIcon(int index);
constexpr int menuIconCount = 9;

// User list images, 28x14 logical, transparent background: 0 BLIZZARD,
// 1 b.net, 2 gavel, 3 megaphone, 4 sunglasses, 5 red X, 6 PGL OFFICIAL,
// 7 PGL PLAYER, 8 Chat, 9 Diablo, 10 Starcraft, 11 Diablo shareware,
// 12 Starcraft shareware, 13 Brood War, 14 Starcraft Japan, 15 Diablo II,
// 16 Warcraft II, 17 Diablo II expansion, 18 question mark.
QPixmap userIcon(int index, qreal dpr = 1.0);
constexpr int userIconCount = 19;
constexpr int userIconWidth = 28;
constexpr int userIconHeight = 14;

// User list state marks, 18x14 logical: 0 green tick (safelisted),
// 1 red X (permasquelched), 2 yellow star-burst (the program's authors).
QPixmap stateImage(int index, qreal dpr = 1.0);
constexpr int stateImageCount = 3;
constexpr int stateImageWidth = 18;
constexpr int stateImageHeight = 14;

// Preferences dialog tab images, 16x16 logical.
enum TabImage : int {
    GeneralImage = 0,
    LoggingImage = 1,
    FeaturesImage = 2,
    TriggersImage = 3, // Autosquelch Triggers
    AppearanceImage = 4,
    ProductActionsImage = 5,
    SafelistImage = 6,
    AutosquelchOptionsImage = 7,
    AdvancedImage = 8,
};
QIcon tabIcon(int index);
constexpr int tabIconCount = 9;

// The application and desktop icon, good from 16 to 256 pixels.
QIcon appIcon();
// The same picture as a plain image of size x size pixels (for installing a
// PNG); a size below 1 gives a null image.
QImage appIconImage(int size);

} // namespace TIcons
