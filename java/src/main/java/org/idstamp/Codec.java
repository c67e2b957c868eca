package org.idstamp;

import java.util.Objects;
import java.util.Optional;

/**
 * Issues and checks tokens with one digit map. {@link Idstamp}'s static methods use the default
 * map; {@link Idstamp#withDigitMap} gives a codec for another. A codec never changes, so any number
 * of threads may share one.
 *
 * <p>Methods taking a stamp or {@code now} never read the clock; the others read it through {@link
 * Idstamp#yearStamp()}, which throws {@link IllegalStateException} naming {@code TZ} where the JVM
 * would not apply the C library's zone. Misuse (a bad id, a stamp outside 0 to 4294967295) throws
 * {@link IllegalArgumentException}, and a null {@link NullPointerException}; a refused token is a
 * value.
 */
public final class Codec {
  private static final long MS_PER_MINUTE = 60000;
  private static final long STAMP_MASK = 0xFFFF_FFFFL;

  // Every byte to itself but the digits, through the digit map or its inverse.
  private final byte[] encode = new byte[256];
  private final byte[] decode = new byte[256];
  // "00" to "99" through the encoding map, to write a stamp two digits at a time.
  private final byte[] pairs = new byte[200];

  Codec(String map) {
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
    checkId(id);
    return issue(id, Idstamp.yearStamp());
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
    return cryptId(Idstamp.utf8(id, "id"));
  }

  /**
   * Issues a token for the UTF-8 bytes of {@code id} at the given year stamp.
   *
   * @param id 1 to 999 bytes in UTF-8, none of them zero
   * @param stamp 0 to 4294967295
   * @return the token
   */
  public byte[] cryptId(String id, long stamp) {
    return cryptId(Idstamp.utf8(id, "id"), stamp);
  }

  /**
   * The id of a token that is fresh by the local clock; a token refused before the time
   * comparison, or a lifetime of 0 or less, needs no clock.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return the id, or empty for a refused token
   */
  public Optional<byte[]> decryptId(byte[] token, int lifetime) {
    Parsed p = parse(Objects.requireNonNull(token, "token"));
    if (p.malformed != null || lifetime <= 0) {
      return Optional.empty();
    }
    return fresh(p, lifetime, Idstamp.yearStamp());
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
    Parsed p = parse(token);
    return p.malformed != null ? Optional.empty() : fresh(p, lifetime, now);
  }

  /**
   * The id of a token, given as its UTF-8 text, that is fresh by the local clock.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return the id, or empty for a refused token
   */
  public Optional<byte[]> decryptId(String token, int lifetime) {
    return decryptId(Idstamp.utf8(token, "token"), lifetime);
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
    return decryptId(Idstamp.utf8(token, "token"), lifetime, now);
  }

  /**
   * Judges a token by the local clock; a malformed token needs no clock.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return what the token holds and the verdict
   */
  public Idstamp.Report inspect(byte[] token, int lifetime) {
    Parsed p = parse(Objects.requireNonNull(token, "token"));
    return p.malformed != null ? p.malformed : report(p, lifetime, Idstamp.yearStamp());
  }

  /**
   * Judges a token at year stamp {@code now}.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @param now 0 to 4294967295
   * @return what the token holds and the verdict
   */
  public Idstamp.Report inspect(byte[] token, int lifetime, long now) {
    Objects.requireNonNull(token, "token");
    checkStamp(now, "now");
    Parsed p = parse(token);
    return p.malformed != null ? p.malformed : report(p, lifetime, now);
  }

  /**
   * Judges a token, given as its UTF-8 text, by the local clock.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @return what the token holds and the verdict
   */
  public Idstamp.Report inspect(String token, int lifetime) {
    return inspect(Idstamp.utf8(token, "token"), lifetime);
  }

  /**
   * Judges a token, given as its UTF-8 text, at year stamp {@code now}.
   *
   * @param token the token
   * @param lifetime in minutes; 0 or less accepts no token
   * @param now 0 to 4294967295
   * @return what the token holds and the verdict
   */
  public Idstamp.Report inspect(String token, int lifetime, long now) {
    return inspect(Idstamp.utf8(token, "token"), lifetime, now);
  }

  static long checkStamp(long value, String name) {
    if (value < 0 || value > STAMP_MASK) {
      throw new IllegalArgumentException(
          "idstamp: " + name + " must be from 0 to 4294967295, not " + value);
    }
    return value;
  }

  private static void checkId(byte[] id) {
    Objects.requireNonNull(id, "id");
    if (id.length == 0 || id.length > Idstamp.MAX_ID_LENGTH) {
      throw new IllegalArgumentException(
          "idstamp: id must be 1 to " + Idstamp.MAX_ID_LENGTH + " bytes, not " + id.length);
    }
    for (byte b : id) {
      if (b == 0) {
        throw new IllegalArgumentException("idstamp: id must not hold a zero byte");
      }
    }
  }

  /**
   * A token taken apart: the report on it when it is malformed; otherwise its id, in plain bytes,
   * and its stamp as written.
   */
  private static final class Parsed {
    final Idstamp.Report malformed;
    final byte[] id;
    final long stamp;

    Parsed(Idstamp.Report malformed, byte[] id, long stamp) {
      this.malformed = malformed;
      this.id = id;
      this.stamp = stamp;
    }

    /** One for each reason, as the library words it: a malformed report holds nothing else. */
    static Parsed malformed(String reason) {
      return new Parsed(new Idstamp.Report(Idstamp.Verdict.MALFORMED, reason, null, 0, 0, 0), null, 0);
    }
  }

  private static final Parsed TOO_SHORT = Parsed.malformed("too short");
  private static final Parsed BAD_LENGTH = Parsed.malformed("bad length field");
  private static final Parsed NO_STAMP = Parsed.malformed("no stamp");
  private static final Parsed ZERO_IN_ID = Parsed.malformed("zero byte in the id");
  private static final Parsed BAD_STAMP = Parsed.malformed("bad stamp");

  private static Optional<byte[]> fresh(Parsed p, int lifetime, long now) {
    return judge(p.stamp, lifetime, now) == Idstamp.Verdict.FRESH
        ? Optional.of(p.id)
        : Optional.empty();
  }

  private static Idstamp.Report report(Parsed p, int lifetime, long now) {
    return new Idstamp.Report(
        judge(p.stamp, lifetime, now), null, p.id, p.stamp, now, now - p.stamp);
  }

  /** The verdict on a token of the given stamp: whole minutes of age, toward zero. */
  static Idstamp.Verdict judge(long stamp, int lifetime, long now) {
    long minutes = (now - stamp) / MS_PER_MINUTE; // wraps modulo 2^64, as the format says
    if (minutes < 0) {
      return Idstamp.Verdict.AHEAD;
    }
    return minutes >= lifetime ? Idstamp.Verdict.EXPIRED : Idstamp.Verdict.FRESH;
  }

  /**
   * Writes the plain token (length field, id, stamp) with each byte already through the encoding
   * map, then trades each odd position i below n/2 with its mirror n-1-i: moving bytes and mapping
   * them commute.
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
      token[3 + k] = encode[id[k] & 0xFF];
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
   * Takes a token apart where it lies, through the scramble transform, with the library's checks
   * in its order: too short, bad length field, no stamp, zero byte in the id, bad stamp.
   */
  private Parsed parse(byte[] token) {
    int n = token.length;
    if (n < 3) {
      return TOO_SHORT;
    }
    long length = readLength(token);
    if (length <= 0) {
      return BAD_LENGTH;
    }
    if (length >= n - 3) {
      return NO_STAMP;
    }
    int end = 3 + (int) length;
    byte[] id = id(token, end);
    if (id == null) {
      return ZERO_IN_ID;
    }
    long stamp = readStamp(token, end);
    return stamp == -1 ? BAD_STAMP : new Parsed(null, id, stamp);
  }

  /**
   * The length field, plain bytes 0 to 2: three digits, as every issuer writes them, or a text
   * that decimal reading may still take (" 12", "+12", "\t\r3"). One that does not read at all
   * comes back as 0, which the format refuses as well.
   */
  private long readLength(byte[] token) {
    int n = token.length;
    int d0 = decode[token[0] & 0xFF] - '0';
    int d1 = decode[token[source(1, n)] & 0xFF] - '0';
    int d2 = decode[token[source(2, n)] & 0xFF] - '0';
    return d0 >= 0 && d0 <= 9 && d1 >= 0 && d1 <= 9 && d2 >= 0 && d2 <= 9
        ? d0 * 100 + d1 * 10 + d2
        : readDecimal(token, decode, 0, 3, 0);
  }

  /**
   * The stamp, plain bytes {@code from} to the end of the token, read as {@link #readDecimal} does
   * and quickly for the digits an issuer writes. A stamp that does not read comes back as -1,
   * which the format refuses as well.
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
   * The id of a token, plain bytes 3 to {@code end}; or null when it holds a zero byte, which the
   * maps leave alone. Below n/2 the odd positions come from their mirrors, above it the positions
   * whose mirrors are odd.
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
   * Decimal reading of bytes {@code from} to {@code end} of the plain form of {@code token}, its
   * digits through {@code table}: leading bytes 9 to 13 and 32, one optional + or -, then at least
   * one digit and only digits to the end. A value beyond the signed 64-bit range takes the nearest
   * limit. Gives {@code refused} when the text does not read: the caller passes a value its field
   * refuses anyway (0 for the length field, -1 for the stamp).
   */
  static long readDecimal(byte[] token, byte[] table, int from, int end, long refused) {
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
      return refused;
    }
    long value = 0; // accumulated as a negative number, whose range reaches the lowest value
    boolean beyond = false;
    for (; i < end; i++) {
      int d = table[token[source(i, n)] & 0xFF] - '0';
      if (d < 0 || d > 9) {
        return refused;
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
}
