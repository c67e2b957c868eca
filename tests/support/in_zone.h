// Tests that run in a time zone of their own.
#ifndef IDSTAMP_TEST_IN_ZONE_H
#define IDSTAMP_TEST_IN_ZONE_H

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace idstamp {

// Puts the process in a time zone for one test and back afterwards.
class InZone {
 public:
  explicit InZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old;
    set_zone(zone);
  }
  ~InZone() { set_zone(saved_ ? saved_->c_str() : nullptr); }
  InZone(const InZone&) = delete;
  InZone& operator=(const InZone&) = delete;

 private:
  static void set_zone(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone ? zone : "");  // an empty value removes TZ
    _tzset();
#else
    if (zone) {
      setenv("TZ", zone, 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
#endif
  }

  std::optional<std::string> saved_;
};

}  // namespace idstamp

#endif  // IDSTAMP_TEST_IN_ZONE_H
