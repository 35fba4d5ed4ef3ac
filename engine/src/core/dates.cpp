// Dates and times of records: the timestamp, its two formatters, and the badge bit test.
#include <ctime>

#include "core/core.h"

namespace {

// The runtime's month abbreviations, English whatever the locale: the timestamp reads them back.
constexpr const char* MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Characters start..start+count-1 (1-based) of text, as far as it reaches.
std::string_view Mid(std::string_view text, size_t start, size_t count) {
  if (start < 1 || start > text.size()) return {};
  return text.substr(start - 1, count);
}

// The runtime's date and time texts, from the local clock.
DateTimeText LocalClockText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const int year = local.tm_year + 1900;
  DateTimeText out;
  out.Date = ZeroPad(local.tm_mday, 2) + " " + MonthNames[local.tm_mon % 12] + " " +
             (year < 1000 ? ZeroPad(year, 4) : std::to_string(year));
  out.Time = ZeroPad(local.tm_hour, 2) + ":" + ZeroPad(local.tm_min, 2) + ":" + ZeroPad(local.tm_sec, 2);
  return out;
}

}  // namespace

DateTimeText CurrentDateTime() { return Core.LocalNow ? Core.LocalNow() : LocalClockText(); }

int64_t MakeTimestamp(std::string_view dateText) {
  // Date and time come from one reading of the clock, so a record made at midnight does not pair
  // one day's date with the next day's time.
  const DateTimeText now = CurrentDateTime();
  const std::string d = Upper(dateText.empty() ? std::string_view(now.Date) : dateText);
  const int64_t year = AbsInt(TextToInt(Mid(d, 8, 4)));
  const int64_t day = AbsInt(TextToInt(Mid(d, 1, 2)));
  int64_t month = 0;
  for (int m = 0; m < 12; ++m)
    if (Mid(d, 4, 3) == Upper(MonthNames[m])) month = m + 1;
  const std::string_view t = now.Time;
  const int64_t hour = AbsInt(TextToInt(Mid(t, 1, 2)));
  const int64_t minute = AbsInt(TextToInt(Mid(t, 4, 2)));
  const int64_t second = AbsInt(TextToInt(Mid(t, 7, 2)));
  return ((((year * 12 + month) * 31 + day) * 24 + hour) * 60 + minute) * 60 + second;
}

std::string FormatDate(int64_t timestamp) {
  const int64_t p = timestamp / 86400;
  const int64_t day = ((p - 1) % 31) + 1;
  const int64_t q = (p - day) / 31;
  const int64_t month = ((q - 1) % 12) + 1;
  const int64_t year = (q - month) / 12;
  return ZeroPad(day, 2) + "-" + ZeroPad(month, 2) + "-" + ZeroPad(year, 4);
}

std::string FormatTime(int64_t timestamp) {
  return ZeroPad((timestamp / 3600) % 24, 2) + ":" + ZeroPad((timestamp / 60) % 60, 2) + ":" +
         ZeroPad(timestamp % 60, 2);
}

int TestBit(int32_t value, int n) {
  if (n < 1 || n > 32) return 0;
  return (static_cast<uint32_t>(value) >> (n - 1)) & 1u;
}
