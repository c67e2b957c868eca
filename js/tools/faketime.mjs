// libfaketime for the clock comparisons: where Debian installs it, and the
// environment that freezes a child process's clock under a zone.
import { existsSync, readdirSync } from "node:fs";

// The path of libfaketime.so.1 under /usr/lib*/<multiarch>/faketime, or null.
export function findFaketime() {
  for (const dir of ["/usr/lib", "/usr/lib64"]) {
    for (const sub of existsSync(dir) ? readdirSync(dir) : []) {
      const path = `${dir}/${sub}/faketime/libfaketime.so.1`;
      if (existsSync(path)) return path;
    }
  }
  return null;
}

// The environment of a child whose clock reads `ms` (milliseconds since
// 1970) in zone `tz`, through the libfaketime at `faketime`.
export function frozenEnv(faketime, tz, ms) {
  const at = `${Math.floor(ms / 1000)}.${String(ms % 1000).padStart(3, "0")}`;
  return { ...process.env, TZ: tz, LD_PRELOAD: faketime, FAKETIME_FMT: "%s", FAKETIME: at };
}
