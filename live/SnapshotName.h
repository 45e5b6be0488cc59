#pragma once

#include <string>

#include "live/CalendarTime.h"

namespace ambro::live {

// The file name of a snapshot taken at `time`: "20100315_093005.jpg". When
// that name is taken the caller asks again with copy 2, 3, ... and gets
// "20100315_093005_2.jpg", so a second snapshot in the same second keeps the
// first.
std::string snapshotFileName(const CalendarTime& time, int copy = 1);

}  // namespace ambro::live
