//! The local clock through the C library, as the C++ library reads it: the
//! realtime clock, then `localtime_r` in the zone the C library applies.
#![allow(unsafe_code)]

use crate::{CivilTime, Error};

extern "C" {
    // POSIX; glibc's localtime_r applies TZ only as first read, so each
    // reading calls it to follow a TZ changed since.
    fn tzset();
}

/// The wall-clock fields of now in the local zone.
pub(crate) fn now_civil() -> Result<CivilTime, Error> {
    let mut now = libc::timespec {
        tv_sec: 0,
        tv_nsec: 0,
    };
    // SAFETY: `now` is a valid, writable timespec that outlives the call.
    if unsafe { libc::clock_gettime(libc::CLOCK_REALTIME, &mut now) } != 0 {
        return Err(Error::Clock(
            "clock_gettime",
            std::io::Error::last_os_error(),
        ));
    }
    // SAFETY: tzset takes no arguments; glibc serialises it with localtime_r
    // under its own lock. It reads TZ with getenv, as every C caller does.
    unsafe { tzset() };
    // SAFETY: tm holds integers and, on some platforms, a pointer to the zone
    // name; all zeros (a null pointer) is a valid value of each.
    let mut local: libc::tm = unsafe { std::mem::zeroed() };
    // SAFETY: both pointers are to valid locals that outlive the call, and
    // localtime_r writes only into `local`.
    if unsafe { libc::localtime_r(&now.tv_sec, &mut local) }.is_null() {
        return Err(Error::Clock("localtime_r", std::io::Error::last_os_error()));
    }
    let field = |v: libc::c_int, plus: i64| (i64::from(v) + plus).clamp(0, 255) as u8;
    Ok(CivilTime {
        year: (i64::from(local.tm_year) + 1900).clamp(i64::from(i32::MIN), i64::from(i32::MAX))
            as i32,
        month: field(local.tm_mon, 1),
        day: field(local.tm_mday, 0),
        hour: field(local.tm_hour, 0),
        minute: field(local.tm_min, 0),
        second: field(local.tm_sec, 0),
        millisecond: (now.tv_nsec / 1_000_000).clamp(0, 999) as u16,
    })
}
