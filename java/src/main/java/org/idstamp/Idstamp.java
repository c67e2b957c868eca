package org.idstamp;

import java.nio.charset.StandardCharsets;
import java.time.ZonedDateTime;
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
 * under the zone that {@code TZ} names, and throw {@link IllegalStateException} when the JVM does
 * not apply that zone (see {@link #yearStamp()}). Misuse (a bad id, a stamp outside 0 to
 * 4294967295) throws {@link IllegalArgumentException}, and a null {@link NullPointerException}; a
 * refused token is a value. Every method is safe to call from any number of threads.
 */
public final class Idstamp {
  /** The longest id, in bytes, that a token can carry. */
  public static final int MAX_ID_LENGTH = 999;

  /** The command line's lifetime, in minutes. */
  public static final int DEFAULT_LIFETIME = 30;

  private static final String DEFAULT_DIGIT_MAP = "5820739164";
  private static final long MS_PER_MINUTE = 60000;
  private static final long STAMP_MASK = 0xFFFF_FFFFL;
  private static final Codec DEFAULT = new Codec(DEFAULT_DIGIT_MAP);

  private Idstamp() {}

  /** What a checker makes of a token. Only a {@code FRESH} token gives its id back. */
  public enum Verdict {
    FRESH,
    EXPIRED,
    AHEAD,
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
   * @param verdict the verdict
   * @param reason why the token is malformed, or null
   * @param id the id's bytes, or null when malformed
   * @param stamp the stamp as written
   * @param now the year stamp the token was judged against
   * @param ageMs now - stamp, in ms
   */
  public record Report(
      Verdict verdict, String reason, byte[] id, long stamp, long now, long ageMs) {}

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

  /**
   * Issues a token for {@code id} at the local clock's year stamp.
   *
   * @param id 1 to 999 bytes, none of them zero
   * @return the token
   */
  public static byte[] cryptId(byte[] id) {
    return DEFAULT.cryptId(id);
  }

  /**
   * Issues a token for {@code id} at the given year stamp.
   *
   * @param id 1 to 999 bytes, none of them zero
   * @param stamp 0 to 4294967295
   * @return the token
   */
  public static byte[] cryptId(byte[] id, long stamp) {
    return DEFAULT.cryptId(id, stamp);
  }

  /**
   * Issues a token for the UTF-8 bytes of {@code id} at the local clock's year stamp.
   *
   * @param id 1 to 999 bytes in UTF-8, none of them zero
   * @return the token
   */
  public static byte[] cryptId(String id) {
    return DEFAULT.cryptId(id);
  }

  /**
   * Issues a token for the UTF-8 bytes of {@code id} at the given year stamp.
   *
   * @param id 1 to 999 bytes in UTF-8, none of them zero
   * @param stamp 0 to 4294967295
   * @return the token
   */
  public static byte[] cryptId(String id, long stamp) {
    return DEFAULT.cryptId(id, stamp);
  }

  /**
   * The id of a token that is fresh by the local clock.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return the id, or empty for a refused token
   */
  public static Optional<byte[]> decryptId(byte[] token, int lifetime) {
    return DEFAULT.decryptId(token, lifetime);
  }

  /**
   * The id of a token that is fresh at year stamp {@code now}.
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
   * The id of a token, given as its UTF-8 text, that is fresh by the local clock.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return the id, or empty for a refused token
   */
  public static Optional<byte[]> decryptId(String token, int lifetime) {
    return DEFAULT.decryptId(token, lifetime);
  }

  /**
   * The id of a token, given as its UTF-8 text, that is fresh at year stamp {@code now}.
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
   * Judges a token by the local clock; a malformed token needs no clock.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return what the token holds and the verdict
   */
  public static Report inspect(byte[] token, int lifetime) {
    return DEFAULT.inspect(token, lifetime);
  }

  /**
   * Judges a token at year stamp {@code now}.
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
   * Judges a token, given as its UTF-8 text, by the local clock.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return what the token holds and the verdict
   */
  public static Report inspect(String token, int lifetime) {
    return DEFAULT.inspect(token, lifetime);
  }

  /**
   * Judges a token, given as its UTF-8 text, at year stamp {@code now}.
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
   * The year stamp of the local clock, under the zone that {@code TZ} names.
   *
   * <p>The JVM reads {@code TZ} once, and where it does not know the zone named (a POSIX rule such
   * as {@code EST5EDT,M3.2.0,M11.1.0}, a file path, a {@code right/} zone that counts leap
   * seconds) it keeps local time as GMT without a word; it reads {@code GMT+5} as five hours east,
   * where the C library reads five hours west; and it takes an empty {@code TZ}, UTC to the C
   * library, as unset. Every token issued or checked so would be off. So the zone the JVM applies
   * must be the very one {@code TZ} names.
   *
   * @return 0 to 4294967295
   * @throws IllegalStateException naming TZ when the JVM does not apply the zone it names
   */
  public static long yearStamp() {
    String tz = System.getenv("TZ");
    TimeZone zone = TimeZone.getDefault();
    String problem = zoneProblem(tz, zone);
    if (problem != null) {
      throw new IllegalStateException(
          "idstamp cannot read the local clock under TZ=\"" + tz + "\": " + problem);
    }
    return yearStamp(ZonedDateTime.now(zone.toZoneId()));
  }

  /**
   * Why the JVM's zone {@code applied} does not follow {@code TZ=tz} as the C library reads it, or
   * null when it does.
   */
  static String zoneProblem(String tz, TimeZone applied) {
    if (tz == null) {
      return null; // the machine's own zone, to the JVM and the C library alike
    }
    String id = applied.getID();
    if (tz.isEmpty()) {
      return applied.getRawOffset() == 0 && !applied.observesDaylightTime()
          ? null
          : "an empty TZ is UTC to the C library, but the JVM keeps local time as " + id
              + "; set TZ to UTC, or give the stamp yourself";
    }
    String name = tz.startsWith(":") ? tz.substring(1) : tz;
    if (id.equals(name) || (name.startsWith("posix/") && id.equals(name.substring(6)))) {
      return null;
    }
    return "the JVM cannot apply it (its local time is "
        + id
        + "); set TZ to a zone name such as America/New_York, or give the stamp yourself";
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

  static long checkStamp(long value, String name) {
    if (value < 0 || value > STAMP_MASK) {
      throw new IllegalArgumentException(
          "idstamp: " + name + " must be from 0 to 4294967295, not " + value);
    }
    return value;
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

  /**
   * Issues and checks tokens with one digit map. A codec never changes, so any number of threads
   * may share one.
   */
  public static final class Codec {
    // Every byte to itself but the digits, through the digit map or its inverse.
    private final byte[] encode = new byte[256];
    private final byte[] decode = new byte[256];

    private Codec(String map) {
      for (int b = 0; b < 256; b++) {
        encode[b] = decode[b] = (byte) b;
      }
      int seen = 0;
      for (int d = 0; d < 10 && map.length() == 10; d++) {
        int c = map.charAt(d) - '0';
        if (c < 0 || c > 9 || (seen & (1 << c)) != 0) {
          break;
        }
        seen |= 1 << c;
        encode['0' + d] = (byte) ('0' + c);
        decode['0' + c] = (byte) ('0' + d);
      }
      if (seen != (1 << 10) - 1) {
        throw new IllegalArgumentException(
            "idstamp: map must hold each of the ten digits once, not \"" + map + "\"");
      }
    }

    /**
     * Issues a token for {@code id} at the local clock's year stamp.
     *
     * @param id 1 to 999 bytes, none of them zero
     * @return the token
     */
    public byte[] cryptId(byte[] id) {
      checkId(id);
      return issue(id, yearStamp());
    }

    /**
     * Issues a token for {@code id} at the given year stamp.
     *
     * @param id 1 to 999 bytes, none of them zero
     * @param stamp 0 to 4294967295
     * @return the token
     */
    public byte[] cryptId(byte[] id, long stamp) {
      checkId(id);
      return issue(id, checkStamp(stamp, "stamp"));
    }

    /**
     * Issues a token for the UTF-8 bytes of {@code id} at the local clock's year stamp.
     *
     * @param id 1 to 999 bytes in UTF-8, none of them zero
     * @return the token
     */
    public byte[] cryptId(String id) {
      return cryptId(utf8(id, "id"));
    }

    /**
     * Issues a token for the UTF-8 bytes of {@code id} at the given year stamp.
     *
     * @param id 1 to 999 bytes in UTF-8, none of them zero
     * @param stamp 0 to 4294967295
     * @return the token
     */
    public byte[] cryptId(String id, long stamp) {
      return cryptId(utf8(id, "id"), stamp);
    }

    /**
     * The id of a token that is fresh by the local clock.
     *
     * @param token the token
     * @param lifetime in minutes; 0 or less accepts no token
     * @return the id, or empty for a refused token
     */
    public Optional<byte[]> decryptId(byte[] token, int lifetime) {
      Plain p = read(Objects.requireNonNull(token, "token"));
      if (p.reason != null || lifetime <= 0) {
        return Optional.empty(); // refused without reading the clock
      }
      return judge(p.stamp, lifetime, yearStamp()) == Verdict.FRESH
          ? Optional.of(p.id())
          : Optional.empty();
    }

    /**
     * The id of a token that is fresh at year stamp {@code now}.
     *
     * @param token the token
     * @param lifetime in minutes; 0 or less accepts no token
     * @param now 0 to 4294967295
     * @return the id, or empty for a refused token
     */
    public Optional<byte[]> decryptId(byte[] token, int lifetime, long now) {
      Objects.requireNonNull(token, "token");
      checkStamp(now, "now");
      Plain p = read(token);
      return p.reason == null && judge(p.stamp, lifetime, now) == Verdict.FRESH
          ? Optional.of(p.id())
          : Optional.empty();
    }

    /**
     * The id of a token, given as its UTF-8 text, that is fresh by the local clock.
     *
     * @param token the token
     * @param lifetime in minutes; 0 or less accepts no token
     * @return the id, or empty for a refused token
     */
    public Optional<byte[]> decryptId(String token, int lifetime) {
      return decryptId(utf8(token, "token"), lifetime);
    }

    /**
     * The id of a token, given as its UTF-8 text, that is fresh at year stamp {@code now}.
     *
     * @param token the token
     * @param lifetime in minutes; 0 or less accepts no token
     * @param now 0 to 4294967295
     * @return the id, or empty for a refused token
     */
    public Optional<byte[]> decryptId(String token, int lifetime, long now) {
      return decryptId(utf8(token, "token"), lifetime, now);
    }

    /**
     * Judges a token by the local clock; a malformed token needs no clock.
     *
     * @param token the token
     * @param lifetime in minutes; 0 or less accepts no token
     * @return what the token holds and the verdict
     */
    public Report inspect(byte[] token, int lifetime) {
      Plain p = read(Objects.requireNonNull(token, "token"));
      return p.reason != null ? p.malformed() : p.report(lifetime, yearStamp());
    }

    /**
     * Judges a token at year stamp {@code now}.
     *
     * @param token the token
     * @param lifetime in minutes; 0 or less accepts no token
     * @param now 0 to 4294967295
     * @return what the token holds and the verdict
     */
    public Report inspect(byte[] token, int lifetime, long now) {
      Objects.requireNonNull(token, "token");
      checkStamp(now, "now");
      Plain p = read(token);
      return p.reason != null ? p.malformed() : p.report(lifetime, now);
    }

    /**
     * Judges a token, given as its UTF-8 text, by the local clock.
     *
     * @param token the token
     * @param lifetime in minutes; 0 or less accepts no token
     * @return what the token holds and the verdict
     */
    public Report inspect(String token, int lifetime) {
      return inspect(utf8(token, "token"), lifetime);
    }

    /**
     * Judges a token, given as its UTF-8 text, at year stamp {@code now}.
     *
     * @param token the token
     * @param lifetime in minutes; 0 or less accepts no token
     * @param now 0 to 4294967295
     * @return what the token holds and the verdict
     */
    public Report inspect(String token, int lifetime, long now) {
      return inspect(utf8(token, "token"), lifetime, now);
    }

    private static void checkId(byte[] id) {
      Objects.requireNonNull(id, "id");
      if (id.length == 0 || id.length > MAX_ID_LENGTH) {
        throw new IllegalArgumentException(
            "idstamp: id must be 1 to " + MAX_ID_LENGTH + " bytes, not " + id.length);
      }
      for (byte b : id) {
        if (b == 0) {
          throw new IllegalArgumentException("idstamp: id must not hold a zero byte");
        }
      }
    }

    /**
     * Writes the plain token (length field, id, stamp) and scrambles it in place: each odd position
     * i below n/2 trades places with n-1-i, and every digit goes through the encoding map.
     */
    private byte[] issue(byte[] id, long stamp) {
      // The stamp as at most one leading digit and nine more, in int arithmetic.
      int high = (int) (stamp / 1_000_000_000L);
      int low = (int) (stamp - high * 1_000_000_000L);
      int digits = 1;
      for (int power = 10; digits < 9 && power <= low; power *= 10) {
        digits++;
      }
      if (high > 0) {
        digits = 10;
      }
      int length = id.length;
      int n = 3 + length + digits;
      byte[] token = new byte[n];
      token[0] = (byte) ('0' + length / 100);
      token[1] = (byte) ('0' + length / 10 % 10);
      token[2] = (byte) ('0' + length % 10);
      System.arraycopy(id, 0, token, 3, length);
      int k = n;
      for (int left = high > 0 ? 9 : digits; left > 0; left--, low /= 10) {
        token[--k] = (byte) ('0' + low % 10);
      }
      if (high > 0) {
        token[--k] = (byte) ('0' + high);
      }
      transform(token, token, encode);
      return token;
    }

    /** The reasons for a malformed token, word for word as the library gives them. */
    private static final String TOO_SHORT = "too short";

    private static final String BAD_LENGTH = "bad length field";
    private static final String NO_STAMP = "no stamp";
    private static final String ZERO_IN_ID = "zero byte in the id";
    private static final String BAD_STAMP = "bad stamp";

    /**
     * Reads a token where it lies, through the scramble transform, in the order of the library's
     * checks; so checking allocates nothing but the id it gives back.
     */
    private Plain read(byte[] token) {
      int n = token.length;
      if (n < 3) {
        return new Plain(null, 0, 0, TOO_SHORT);
      }
      long length = readDecimal(token, decode, 0, 3, 0); // 0 is refused too
      if (length <= 0) {
        return new Plain(null, 0, 0, BAD_LENGTH);
      }
      int end = 3 + (int) length;
      if (end >= n) {
        return new Plain(null, 0, 0, NO_STAMP);
      }
      for (int k = 3; k < end; k++) {
        if (token[source(k, n)] == 0) { // the maps leave the zero byte alone
          return new Plain(null, 0, 0, ZERO_IN_ID);
        }
      }
      long stamp = readDecimal(token, decode, end, n, -1); // -1 is refused too
      if (stamp == -1) {
        return new Plain(null, 0, 0, BAD_STAMP);
      }
      return new Plain(this, token, end, stamp, null);
    }

    /** A token that reads, the id from 3 to {@code end} of its plain form; or why it is not. */
    private record Plain(Codec codec, byte[] token, int end, long stamp, String reason) {
      Plain(byte[] token, int end, long stamp, String reason) {
        this(null, token, end, stamp, reason);
      }

      byte[] id() {
        int n = token.length;
        byte[] id = new byte[end - 3];
        for (int k = 3; k < end; k++) {
          id[k - 3] = codec.decode[token[source(k, n)] & 0xFF];
        }
        return id;
      }

      Report malformed() {
        return new Report(Verdict.MALFORMED, reason, null, 0, 0, 0);
      }

      Report report(int lifetime, long now) {
        return new Report(judge(stamp, lifetime, now), null, id(), stamp, now, now - stamp);
      }
    }
  }

  /**
   * Where byte {@code k} of a text of {@code n} bytes goes in the scramble transform, and comes
   * from: each odd position below n/2 trades places with its mirror; the rest stay.
   */
  static int source(int k, int n) {
    int mirror = n - 1 - k;
    return ((k & 1) == 1 && k < mirror) || ((mirror & 1) == 1 && mirror < k) ? mirror : k;
  }

  /**
   * The scramble transform from {@code from} into {@code to} (the same array, or one as long):
   * each odd position below n/2 trades places with its mirror, and every byte goes through {@code
   * table}. Moving and substituting commute, so the same pass issues with the encoding table and
   * checks with the decoding one.
   */
  static void transform(byte[] from, byte[] to, byte[] table) {
    int n = from.length;
    int half = n / 2;
    int i = 0;
    for (; i + 1 < half; i += 2) {
      // an even position, which stays, and the odd one after it, which moves
      int j = n - 1 - i;
      byte even = from[i];
      byte evenMirror = from[j];
      byte odd = from[i + 1];
      byte oddMirror = from[j - 1];
      to[i] = table[even & 0xFF];
      to[j] = table[evenMirror & 0xFF];
      to[i + 1] = table[oddMirror & 0xFF];
      to[j - 1] = table[odd & 0xFF];
    }
    if (i < half) {
      to[i] = table[from[i] & 0xFF];
      to[n - 1 - i] = table[from[n - 1 - i] & 0xFF];
    }
    if ((n & 1) == 1) {
      to[half] = table[from[half] & 0xFF];
    }
  }

  /**
   * Decimal reading of bytes {@code from} to {@code end} of the plain form of {@code token}, its
   * digits through {@code table}: leading bytes 9 to 13 and 32, one optional + or -, then at least
   * one digit and only digits to the end. A value beyond the signed 64-bit range takes the nearest
   * limit. Gives {@code failed} when the text does not read.
   */
  static long readDecimal(byte[] token, byte[] table, int from, int end, long failed) {
    int n = token.length;
    int i = from;
    int b = i < end ? table[token[source(i, n)] & 0xFF] : -1;
    while (b == ' ' || (b >= 9 && b <= 13)) {
      b = ++i < end ? table[token[source(i, n)] & 0xFF] : -1;
    }
    boolean negative = b == '-';
    if (b == '+' || b == '-') {
      i++;
    }
    if (i >= end) {
      return failed;
    }
    long value = 0; // accumulated as a negative number, whose range reaches the lowest value
    boolean beyond = false;
    for (; i < end; i++) {
      int d = table[token[source(i, n)] & 0xFF] - '0';
      if (d < 0 || d > 9) {
        return failed;
      }
      if (beyond || value < (Long.MIN_VALUE + d) / 10) {
        beyond = true; // the rest must still be digits
      } else {
        value = value * 10 - d;
      }
    }
    if (negative) {
      return beyond ? Long.MIN_VALUE : value;
    }
    return beyond || value == Long.MIN_VALUE ? Long.MAX_VALUE : -value;
  }

  /** The verdict on a token of the given stamp: whole minutes of age, toward zero. */
  static Verdict judge(long stamp, int lifetime, long now) {
    long minutes = (now - stamp) / MS_PER_MINUTE; // wraps modulo 2^64, as the format says
    if (minutes < 0) {
      return Verdict.AHEAD;
    }
    return minutes >= lifetime ? Verdict.EXPIRED : Verdict.FRESH;
  }
}
