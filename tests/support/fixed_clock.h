// Pins platform::Now() to a fixed local date while the object lives and
// gives the real clock back when it goes.
#pragma once

#include "platform/system.h"

namespace testing_support {

class FixedClock {
 public:
  explicit FixedClock(int year, int month = 6, int day = 15) {
    platform::SetClock([=] {
      platform::LocalTime t;
      t.year = year;
      t.month = month;
      t.day = day;
      t.hour = 12;
      return t;
    });
  }
  ~FixedClock() { platform::SetClock({}); }
  FixedClock(const FixedClock&) = delete;
  FixedClock& operator=(const FixedClock&) = delete;
};

}  // namespace testing_support
