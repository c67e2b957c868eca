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
    // "00" to "99" through the encoding map, to write a stamp two digits at a time.
    private final byte[] pairs = new byte[200];

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
      for (int i = 0; i < 100; i++) {
        pairs[2 * i] = encode['0' + i / 10];
        pairs[2 * i + 1] = encode['0' + i % 10];
      }
    }

    /**
     * Issues a token for {@code id} at the local clock's year stamp.
     *
     * @param id 1 to 999 bytes, none of them zero
     * @return the token
     */
    public byte[] cryptId(byte[] id) {
      checkIdLength(id);
      for (byte b : id) {
        if (b == 0) {
          throw zeroInId();
        }
      }
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
      checkIdLength(id);
      byte[] token = issue(id, checkStamp(stamp, "stamp")); // which finds a zero byte on its way
      if (token == null) {
        throw zeroInId();
      }
      return token;
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
      int end = idEnd(Objects.requireNonNull(token, "token"));
      long stamp = end < 0 ? -1 : readStamp(token, end);
      byte[] id = stamp == -1 || lifetime <= 0 ? null : id(token, end);
      if (id == null) {
        return Optional.empty(); // refused without reading the clock
      }
      return judge(stamp, lifetime, yearStamp()) == Verdict.FRESH
          ? Optional.of(id)
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
      int end = idEnd(token);
      long stamp = end < 0 ? -1 : readStamp(token, end);
      return stamp != -1 && judge(stamp, lifetime, now) == Verdict.FRESH
          ? Optional.ofNullable(id(token, end)) // none for a zero byte in it
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
      int end = idEnd(Objects.requireNonNull(token, "token"));
      Report malformed = malformed(token, end);
      if (malformed != null) {
        return malformed;
      }
      long stamp = readStamp(token, end);
      long now = yearStamp();
      return new Report(judge(stamp, lifetime, now), null, id(token, end), stamp, now, now - stamp);
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
      int end = idEnd(token);
      long stamp = end < 0 ? -1 : readStamp(token, end);
      byte[] id = stamp == -1 ? null : id(token, end);
      if (id == null) {
        return malformed(token, end);
      }
      return new Report(judge(stamp, lifetime, now), null, id, stamp, now, now - stamp);
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

    private static void checkIdLength(byte[] id) {
      Objects.requireNonNull(id, "id");
      if (id.length == 0 || id.length > MAX_ID_LENGTH) {
        throw new IllegalArgumentException(
            "idstamp: id must be 1 to " + MAX_ID_LENGTH + " bytes, not " + id.length);
      }
    }

    private static IllegalArgumentException zeroInId() {
      return new IllegalArgumentException("idstamp: id must not hold a zero byte");
    }

    /**
     * Writes the plain token (length field, id, stamp) with each byte already through the encoding
     * map, then trades each odd position i below n/2 with its mirror n-1-i: moving bytes and
     * mapping them commute. Gives null for an id that holds a zero byte.
     */
    private byte[] issue(byte[] id, long stamp) {
      // The stamp as at most one leading digit and nine more, in int arithmetic.
      int high = (int) (stamp / 1_000_000_000L);
      int low = (int) (stamp - high * 1_000_000_000L);
      int lowDigits = high > 0 ? 9 : decimalDigits(low);
      int length = id.length;
      int n = 3 + length + lowDigits + (high > 0 ? 1 : 0);
      byte[] token = new byte[n];
      token[0] = encode['0' + length / 100];
      token[1] = pairs[2 * (length % 100)];
      token[2] = pairs[2 * (length % 100) + 1];
      for (int k = 0; k < length; k++) {
        byte b = id[k];
        if (b == 0) {
          return null;
        }
        token[3 + k] = encode[b & 0xFF];
      }
      int k = n;
      for (int left = lowDigits; left >= 2; left -= 2, low /= 100) {
        int pair = 2 * (low % 100);
        token[--k] = pairs[pair + 1];
        token[--k] = pairs[pair];
      }
      if ((lowDigits & 1) == 1) {
        token[--k] = encode['0' + low];
      }
      if (high > 0) {
        token[--k] = encode['0' + high];
      }
      for (int i = 1; i < n - 1 - i; i += 2) {
        byte moved = token[i];
        token[i] = token[n - 1 - i];
        token[n - 1 - i] = moved;
      }
      return token;
    }

    /**
     * Checks a token where it lies, through the scramble transform, up to the length of its id:
     * gives where the id ends in its plain form, or the negative index in {@link #MALFORMED} of why
     * the token is malformed. Then the id is checked for a zero byte, and the stamp read; a
     * checker reads the stamp first, and finds a zero byte while it makes the id.
     */
    private int idEnd(byte[] token) {
      int n = token.length;
      if (n < 3) {
        return -TOO_SHORT;
      }
      // A length field of three digits, as every issuer writes it, or one that decimal reading
      // may still take: " 12", "+12", "\t\r3".
      int d0 = decode[token[0] & 0xFF] - '0';
      int d1 = decode[token[source(1, n)] & 0xFF] - '0';
      int d2 = decode[token[source(2, n)] & 0xFF] - '0';
      long length =
          d0 >= 0 && d0 <= 9 && d1 >= 0 && d1 <= 9 && d2 >= 0 && d2 <= 9
              ? d0 * 100 + d1 * 10 + d2
              : readDecimal(token, decode, 0, 3, 0); // 0 is refused too
      if (length <= 0) {
        return -BAD_LENGTH;
      }
      if (length >= n - 3) {
        return -NO_STAMP;
      }
      return 3 + (int) length;
    }

    /**
     * The report on a token that is malformed, in the order of the library's checks, or null: for
     * {@code end} as {@link #idEnd} gives it.
     */
    private Report malformed(byte[] token, int end) {
      if (end < 0) {
        return MALFORMED[-end];
      }
      int n = token.length;
      for (int k = 3; k < end; k++) {
        if (token[source(k, n)] == 0) { // the maps leave the zero byte alone
          return MALFORMED[ZERO_IN_ID];
        }
      }
      return readStamp(token, end) == -1 ? MALFORMED[BAD_STAMP] : null;
    }

    /**
     * The stamp, plain bytes {@code from} to the end of the token, read as {@link #readDecimal}
     * does and quickly for the digits an issuer writes; -1, which is refused too, when it does not
     * read.
     */
    private long readStamp(byte[] token, int from) {
      int n = token.length;
      int first = decode[token[source(from, n)] & 0xFF] - '0';
      if (n - from > 18 || first < 1 || first > 9) {
        return readDecimal(token, decode, from, n, -1); // a sign, white space, leading zeros, or long
      }
      long value = first;
      int k = from + 1;
      for (int lower = n / 2; k < lower; k++) { // only for a short id
        int d = decode[token[(k & 1) == 0 ? k : n - 1 - k] & 0xFF] - '0';
        if (d < 0 || d > 9) {
          return -1;
        }
        value = value * 10 + d;
      }
      for (; k < n; k++) {
        int mirror = n - 1 - k;
        int d = decode[token[(mirror & 1) == 0 ? k : mirror] & 0xFF] - '0';
        if (d < 0 || d > 9) {
          return -1;
        }
        value = value * 10 + d;
      }
      return value;
    }

    /**
     * The id of a token whose length field and stamp read, plain bytes 3 to {@code end}; or null
     * when it holds a zero byte. Below n/2 the odd positions come from their mirrors, above it the
     * positions whose mirrors are odd.
     */
    private byte[] id(byte[] token, int end) {
      int n = token.length;
      byte[] id = new byte[end - 3];
      int k = 3;
      boolean zero = false;
      for (int lower = Math.min(n / 2, end); k < lower; k++) {
        byte b = token[(k & 1) == 0 ? k : n - 1 - k];
        zero |= b == 0;
        id[k - 3] = decode[b & 0xFF];
      }
      for (; k < end; k++) {
        int mirror = n - 1 - k;
        byte b = token[(mirror & 1) == 0 ? k : mirror];
        zero |= b == 0;
        id[k - 3] = decode[b & 0xFF];
      }
      return zero ? null : id;
    }
  }

  // The reasons for a malformed token, word for word as the library gives them, by their index in
  // MALFORMED; a malformed report holds nothing else, so one of each serves every call.
  private static final int TOO_SHORT = 1;
  private static final int BAD_LENGTH = 2;
  private static final int NO_STAMP = 3;
  private static final int ZERO_IN_ID = 4;
  private static final int BAD_STAMP = 5;
  private static final Report[] MALFORMED = {
    null,
    malformed("too short"),
    malformed("bad length field"),
    malformed("no stamp"),
    malformed("zero byte in the id"),
    malformed("bad stamp"),
  };

  private static Report malformed(String reason) {
    return new Report(Verdict.MALFORMED, reason, null, 0, 0, 0);
  }

  /** Where the digit count of an int rises: 0, then 10 to 10^9. */
  private static final int[] FEWEST_WITH = {
    0, 10, 100, 1_000, 10_000, 100_000, 1_000_000, 10_000_000, 100_000_000, 1_000_000_000
  };

  /**
   * The decimal digits of {@code v}, 0 or more: its bit length times log10(2), here 1233/4096, is
   * the count or one short of it.
   */
  static int decimalDigits(int v) {
    int d = (32 - Integer.numberOfLeadingZeros(v)) * 1233 >>> 12;
    return v >= FEWEST_WITH[d] ? d + 1 : d;
  }

  /**
   * Where byte {@code k} of a text of {@code n} bytes goes in the scramble transform, and comes
   * from: each odd position below n/2 trades places with its mirror; the rest stay.
   */
  static int source(int k, int n) {
    int mirror = n - 1 - k;
    return (Math.min(k, mirror) & 1) == 1 ? mirror : k;
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
