package org.idstamp;

import java.nio.charset.StandardCharsets;
import java.time.Instant;
import java.time.ZoneId;
import java.time.ZonedDateTime;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.Objects;
import java.util.Optional;
import java.util.TimeZone;

/**
 * Short-lived scrambled tokens for identifiers.
 *
 * <p>A token carries an id of 1 to 999 bytes (none of them zero) and the year stamp of its issue:
 * milliseconds since local midnight of 1 January, modulo 2<sup>32</sup>. Its bytes are shuffled and
 * its digits replaced through a digit map. It is fresh while 0 &le; whole minutes since its stamp
 * &lt; lifetime, counting minutes toward zero, so a stamp up to 59.999 s ahead still counts as 0.
 * The same tokens come from the idstamp C++ library and command-line tool; docs/token-format.md
 * in its repository describes them byte for byte.
 *
 * <p><b>Tokens are scrambled, not signed:</b> anyone who knows the digit map can read and forge
 * them.
 *
 * <p>Methods taking a stamp or {@code now} never read the clock. The others read the local clock
 * in the zone the C library applies, and throw {@link IllegalStateException} naming {@code TZ}
 * where the JVM would apply another (see {@link #yearStamp()}). Misuse (a bad id, a stamp outside 0 to
 * 4294967295) throws {@link IllegalArgumentException}, and a null {@link NullPointerException}; a
 * refused token is a value. Every method is safe to call from any number of threads.
 */
public final class Idstamp {
  /** The longest id, in bytes, that a token can carry. */
  public static final int MAX_ID_LENGTH = 999;

  /** The command line's lifetime, in minutes. */
  public static final int DEFAULT_LIFETIME = 30;

  private static final String DEFAULT_DIGIT_MAP = "5820739164";
  private static final long STAMP_MASK = 0xFFFF_FFFFL;
  private static final Codec DEFAULT = new Codec(DEFAULT_DIGIT_MAP);

  private Idstamp() {}

  /** What a checker makes of a token. Only a {@code FRESH} token gives its id back. */
  public enum Verdict {
    /** 0 &le; whole minutes since the stamp &lt; lifetime. */
    FRESH,
    /** Whole minutes since the stamp reach the lifetime (any age does when it is 0 or less). */
    EXPIRED,
    /** The stamp lies a minute or more ahead of now. */
    AHEAD,
    /** The token does not read; the report's reason says why. */
    MALFORMED
  }

  /**
   * What a token holds and why it is accepted or refused.
   *
   * <p>For a {@code MALFORMED} token, {@code reason} names the first check it fails (too short, bad
   * length field, no stamp, zero byte in the id, bad stamp), {@code id} is null and the numbers
   * are 0. Otherwise {@code reason} is null, {@code id} holds the id's bytes, {@code stamp} is the
   * stamp as written (a forged one may lie outside 32 bits), {@code now} the stamp it was judged
   * against and {@code ageMs} is now - stamp, modulo 2<sup>64</sup> read as signed.
   *
   * <p>Two reports are equal, and hash alike, when their fields are, the id compared by its bytes
   * rather than by the array; {@code toString} prints the id's bytes in hex.
   *
   * @param verdict the verdict
   * @param reason why the token is malformed, or null
   * @param id the id's bytes, or null when malformed
   * @param stamp the stamp as written
   * @param now the year stamp the token was judged against
   * @param ageMs now - stamp, in ms
   */
  public record Report(
      Verdict verdict, String reason, byte[] id, long stamp, long now, long ageMs) {
    /**
     * Whether {@code o} is a report with the same fields, the id's bytes compared by content.
     *
     * @param o another object
     * @return true when every field agrees
     */
    @Override
    public boolean equals(Object o) {
      return o instanceof Report r
          && verdict == r.verdict
          && Objects.equals(reason, r.reason)
          && Arrays.equals(id, r.id)
          && stamp == r.stamp
          && now == r.now
          && ageMs == r.ageMs;
    }

    /**
     * A hash of every field, the id's by its bytes.
     *
     * @return the hash
     */
    @Override
    public int hashCode() {
      return Objects.hash(verdict, reason, Arrays.hashCode(id), stamp, now, ageMs);
    }

    /**
     * The fields, the id as the hex of its bytes (null when malformed).
     *
     * @return for example {@code Report[verdict=FRESH, reason=null, id=414243, stamp=5, now=9,
     *     ageMs=4]}
     */
    @Override
    public String toString() {
      return "Report[verdict=" + verdict + ", reason=" + reason
          + ", id=" + (id == null ? null : HexFormat.of().formatHex(id))
          + ", stamp=" + stamp + ", now=" + now + ", ageMs=" + ageMs + "]";
    }
  }

  /**
   * A codec for another digit map.
   *
   * @param map ten characters, a permutation of the digits: entry d replaces the digit d
   * @return the codec; tokens pass only between issuers and checkers with the same map
   * @throws IllegalArgumentException if the map is not a permutation of the ten digits
   */
  public static Codec withDigitMap(String map) {
    return new Codec(Objects.requireNonNull(map, "map"));
  }

  // Codec's methods with the default digit map; see there for what each does and throws.

  /**
   * As {@link Codec#cryptId(byte[])}, with the default digit map.
   *
   * @param id 1 to 999 bytes, none of them zero
   * @return the token
   */
  public static byte[] cryptId(byte[] id) {
    return DEFAULT.cryptId(id);
  }

  /**
   * As {@link Codec#cryptId(byte[], long)}, with the default digit map.
   *
   * @param id 1 to 999 bytes, none of them zero
   * @param stamp 0 to 4294967295
   * @return the token
   */
  public static byte[] cryptId(byte[] id, long stamp) {
    return DEFAULT.cryptId(id, stamp);
  }

  /**
   * As {@link Codec#cryptId(String)}, with the default digit map.
   *
   * @param id 1 to 999 bytes in UTF-8, none of them zero
   * @return the token
   */
  public static byte[] cryptId(String id) {
    return DEFAULT.cryptId(id);
  }

  /**
   * As {@link Codec#cryptId(String, long)}, with the default digit map.
   *
   * @param id 1 to 999 bytes in UTF-8, none of them zero
   * @param stamp 0 to 4294967295
   * @return the token
   */
  public static byte[] cryptId(String id, long stamp) {
    return DEFAULT.cryptId(id, stamp);
  }

  /**
   * As {@link Codec#decryptId(byte[], int)}, with the default digit map.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return the id, or empty for a refused token
   */
  public static Optional<byte[]> decryptId(byte[] token, int lifetime) {
    return DEFAULT.decryptId(token, lifetime);
  }

  /**
   * As {@link Codec#decryptId(byte[], int, long)}, with the default digit map.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @param now 0 to 4294967295
   * @return the id, or empty for a refused token
   */
  public static Optional<byte[]> decryptId(byte[] token, int lifetime, long now) {
    return DEFAULT.decryptId(token, lifetime, now);
  }

  /**
   * As {@link Codec#decryptId(String, int)}, with the default digit map.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return the id, or empty for a refused token
   */
  public static Optional<byte[]> decryptId(String token, int lifetime) {
    return DEFAULT.decryptId(token, lifetime);
  }

  /**
   * As {@link Codec#decryptId(String, int, long)}, with the default digit map.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @param now 0 to 4294967295
   * @return the id, or empty for a refused token
   */
  public static Optional<byte[]> decryptId(String token, int lifetime, long now) {
    return DEFAULT.decryptId(token, lifetime, now);
  }

  /**
   * As {@link Codec#inspect(byte[], int)}, with the default digit map.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return what the token holds and the verdict
   */
  public static Report inspect(byte[] token, int lifetime) {
    return DEFAULT.inspect(token, lifetime);
  }

  /**
   * As {@link Codec#inspect(byte[], int, long)}, with the default digit map.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @param now 0 to 4294967295
   * @return what the token holds and the verdict
   */
  public static Report inspect(byte[] token, int lifetime, long now) {
    return DEFAULT.inspect(token, lifetime, now);
  }

  /**
   * As {@link Codec#inspect(String, int)}, with the default digit map.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return what the token holds and the verdict
   */
  public static Report inspect(String token, int lifetime) {
    return DEFAULT.inspect(token, lifetime);
  }

  /**
   * As {@link Codec#inspect(String, int, long)}, with the default digit map.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @param now 0 to 4294967295
   * @return what the token holds and the verdict
   */
  public static Report inspect(String token, int lifetime, long now) {
    return DEFAULT.inspect(token, lifetime, now);
  }

  /**
   * The year stamp of the local clock, in the zone the C library applies, as the idstamp tool
   * reads it: that of the file {@code TZ} names in {@code $TZDIR} (or {@code /usr/share/zoneinfo}),
   * UTC for an empty {@code TZ}, and that of {@code /etc/localtime} with {@code TZ} unset.
   *
   * <p>The stamp is read through the JVM's own zone, so that zone must give the same local time.
   * The JVM takes {@code TZ=JST} and its other short ids for zones with no file of that name, to
   * which the C library applies UTC; it applies its own zone data where the C library finds no
   * file (an empty {@code TZDIR}, a host without tzdata); it may take its zone from elsewhere than
   * {@code /etc/localtime}; and {@code TimeZone.setDefault} moves it. So the JVM's offsets from UTC
   * are checked against those of the zone file, now and half a year either side, and where they
   * differ, or where {@code TZ} names no file (a POSIX rule, an unknown name), or a file that
   * counts leap seconds, this method refuses.
   *
   * @return 0 to 4294967295
   * @throws IllegalStateException naming TZ when the JVM would not apply the C library's zone
   */
  public static long yearStamp() {
    Instant now = Instant.now();
    ZoneId zone = TimeZone.getDefault().toZoneId();
    String problem = LocalZone.ofProcess().problem(zone, now);
    if (problem != null) {
      throw new IllegalStateException(problem);
    }
    return yearStamp(ZonedDateTime.ofInstant(now, zone));
  }

  /**
   * The year stamp of {@code t} from its own wall-clock fields: ((day of year - 1) * 86400 + hour
   * * 3600 + minute * 60 + second) * 1000 + millisecond, modulo 2<sup>32</sup>. Across a
   * daylight-saving change this is not the time elapsed since 1 January: the fields move with the
   * clock. Finer parts than the millisecond are dropped.
   *
   * @param t any moment in any zone
   * @return 0 to 4294967295
   */
  public static long yearStamp(ZonedDateTime t) {
    Objects.requireNonNull(t, "t");
    long seconds =
        (t.getDayOfYear() - 1) * 86400L + t.getHour() * 3600L + t.getMinute() * 60L + t.getSecond();
    return (seconds * 1000 + t.getNano() / 1_000_000) & STAMP_MASK;
  }

  /** The UTF-8 bytes of {@code text}; a lone surrogate, which has none, is misuse. */
  static byte[] utf8(String text, String name) {
    Objects.requireNonNull(text, name);
    for (int i = 0; i < text.length(); i++) {
      char c = text.charAt(i);
      if (Character.isHighSurrogate(c)
          && i + 1 < text.length()
          && Character.isLowSurrogate(text.charAt(i + 1))) {
        i++;
      } else if (Character.isSurrogate(c)) {
        throw new IllegalArgumentException(
            "idstamp: " + name + " holds a lone surrogate at index " + i);
      }
    }
    return text.getBytes(StandardCharsets.UTF_8);
  }
}
