#pragma once

#include <QIcon>
#include <QPixmap>

namespace qm {

// Pictures of the action image list (ImageList1), 16 x 16, by index:
// 0 check all, 1 show addresses, 2 edit, 3 edit (disabled look), 4 delete,
// 5 run mail client, 6 add, 7 uncheck all.
inline constexpr int kActionImageCount = 8;
// Pictures of the connection image list (imConnect), 16 x 16, by index:
// 0 idle or failed (computer with a grey screen), 1 connected (red screen),
// 2 connecting (envelope with a red flash), 3 disabled account (dark open screen).
inline constexpr int kConnectImageCount = 4;

// Pictures of the received addresses window's own list, 16 x 16, by index:
// 0 address list, 1 add to the anti-spam list, 2 close.
inline constexpr int kMessListImageCount = 3;

inline constexpr int kConnectIdle = 0;
inline constexpr int kConnectConnected = 1;
inline constexpr int kConnectConnecting = 2;
inline constexpr int kConnectDisabled = 3;

// A null icon or pixmap for an index out of range.
QIcon ActionImage(int index);
QIcon ConnectImage(int index);
QIcon MessListImage(int index);
QPixmap ActionPixmap(int index, int size = 16);
QPixmap ConnectPixmap(int index, int size = 16);

} // namespace qm
