#pragma once

#include <QIcon>
#include <QString>

#include "live/AlarmTree.h"
#include "live/Toolbars.h"

namespace ambro::live {

// The glyph a toolbar button is drawn with (a resource name under
// ":/live/icons/"); numbered buttons share one glyph per kind.
QString toolbarGlyph(const ToolbarButton& button);
// Buttons whose number is written over their glyph.
bool showsNumber(const ToolbarButton& button);

// The button's 16 x 16 icon (with a sharper 32 x 32 form for dense screens).
QIcon toolbarIcon(const ToolbarButton& button);

// The alarm tree's images 0 to 4: the root, an alarm, "No Alarm", a time
// and a date.
QIcon alarmIcon(int image);
inline QIcon alarmIcon(AlarmImage image) { return alarmIcon(static_cast<int>(image)); }
inline constexpr int kAlarmImages = 5;

}  // namespace ambro::live
