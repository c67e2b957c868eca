package org.idstamp.spark;

import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;
import java.time.LocalDate;
import java.util.Arrays;

/**
 * The moment and the token of one Common or Combined Log Format line, read as {@code
 * idstamp-inspect --batch --log clf --param NAME} reads it:
 *
 * <pre>
 * 203.0.113.9 - frank [10/Oct/2026:13:55:36 -0700] "GET /a?x=1&amp;t=TOKEN HTTP/1.1" 200 2326
 * </pre>
 *
 * <ul>
 *   <li>From the first {@code [}: {@code [DD/Mon/YYYY:HH:MM:SS +HHMM]}, one space, {@code "}, and
 *       the request up to the first {@code "} that no backslash escapes; else {@code not a log
 *       line}. A date, time or offset out of range is a {@code bad moment}.
 *   <li>The request's {@code \"}, {@code \\} and {@code \xHH} are undone; its target lies between
 *       its first space and the next (or its end).
 *   <li>The token is the value of the first pair of the target's query (after {@code ?}, before
 *       {@code #}, split on {@code &amp;}) whose raw name is the parameter, percent-decoded ({@code
 *       +} stays); a {@code %} without two hex digits after it is a {@code bad escape}.
 *   <li>A request with no target or no such pair is skipped: {@link #read} gives null.
 * </ul>
 *
 * @param epochSecond the instant logged, when there is no error
 * @param token the token's bytes, when there is no error
 * @param error why the line cannot be judged ({@code not a log line}, {@code bad moment},
 *     {@code bad escape}), or null
 */
public record ClfLine(long epochSecond, byte[] token, String error) {
  private static final String MONTHS = "JanFebMarAprMayJunJulAugSepOctNovDec";
  private static final int[] MONTH_DAYS = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

  /** {@code [DD/Mon/YYYY:HH:MM:SS +HHMM] "}: d a digit, a a letter, s a sign. */
  private static final String SHAPE = "[dd/aaa/dddd:dd:dd:dd sdddd] \"";

  private static ClfLine unjudged(String error) {
    return new ClfLine(0, null, error);
  }

  /**
   * Reads one line, without its LF. A CR that ends it (of a CRLF) changes nothing: it follows the
   * request's closing quote, or the line has none.
   *
   * @param line the line's bytes
   * @param param the parameter's name, compared byte for byte
   * @return the moment and token, or the error, or null for a line that is skipped
   */
  public static ClfLine read(byte[] line, byte[] param) {
    int end = line.length;
    int open = indexOf(line, 0, end, (byte) '[');
    if (open < 0 || end - open < SHAPE.length() || !shaped(line, open)) {
      return unjudged("not a log line");
    }
    int request = open + SHAPE.length();
    int close = request;
    while (close < end && line[close] != '"') {
      close += line[close] == '\\' ? 2 : 1;
    }
    if (close >= end) {
      return unjudged("not a log line");
    }
    long epochSecond = instant(line, open + 1);
    if (epochSecond == Long.MIN_VALUE) {
      return unjudged("bad moment");
    }
    byte[] text = unescape(line, request, close);
    int first = indexOf(text, 0, text.length, (byte) ' ');
    if (first < 0) {
      return null;
    }
    int targetEnd = indexOf(text, first + 1, text.length, (byte) ' ');
    return token(text, first + 1, targetEnd < 0 ? text.length : targetEnd, param, epochSecond);
  }

  private static boolean shaped(byte[] line, int at) {
    for (int i = 0; i < SHAPE.length(); i++) {
      byte b = line[at + i];
      boolean ok =
          switch (SHAPE.charAt(i)) {
            case 'd' -> b >= '0' && b <= '9';
            case 'a' -> (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
            case 's' -> b == '+' || b == '-';
            default -> b == SHAPE.charAt(i);
          };
      if (!ok) {
        return false;
      }
    }
    return true;
  }

  private static int number(byte[] line, int at, int digits) {
    int n = 0;
    for (int i = 0; i < digits; i++) {
      n = n * 10 + (line[at + i] - '0');
    }
    return n;
  }

  /** The instant of {@code DD/Mon/YYYY:HH:MM:SS +HHMM} at {@code at}, or MIN_VALUE if none. */
  private static long instant(byte[] line, int at) {
    int day = number(line, at, 2);
    int month = MONTHS.indexOf(new String(line, at + 3, 3, StandardCharsets.US_ASCII));
    int year = number(line, at + 7, 4);
    int hour = number(line, at + 12, 2);
    int minute = number(line, at + 15, 2);
    int second = number(line, at + 18, 2);
    int offsetHours = number(line, at + 22, 2);
    int offsetMinutes = number(line, at + 24, 2);
    if (month < 0 || month % 3 != 0 || year < 1) {
      return Long.MIN_VALUE;
    }
    month = month / 3 + 1;
    boolean leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    int days = MONTH_DAYS[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day < 1 || day > days || hour > 23 || minute > 59 || second > 59) {
      return Long.MIN_VALUE;
    }
    if (offsetHours > 23 || offsetMinutes > 59) {
      return Long.MIN_VALUE;
    }
    long offset = (offsetHours * 60L + offsetMinutes) * 60L * (line[at + 21] == '-' ? -1 : 1);
    long reading =
        LocalDate.of(year, month, day).toEpochDay() * 86400L
            + hour * 3600L
            + minute * 60L
            + second;
    return reading - offset;
  }

  /** The request's log escapes undone: backslash with a quote, a backslash or xHH. */
  private static byte[] unescape(byte[] line, int from, int to) {
    ByteArrayOutputStream out = new ByteArrayOutputStream(to - from);
    for (int i = from; i < to; i++) {
      byte b = line[i];
      if (b == '\\' && i + 1 < to && (line[i + 1] == '"' || line[i + 1] == '\\')) {
        out.write(line[++i]);
      } else if (b == '\\'
          && i + 3 < to
          && line[i + 1] == 'x'
          && hex(line[i + 2]) >= 0
          && hex(line[i + 3]) >= 0) {
        out.write(hex(line[i + 2]) * 16 + hex(line[i + 3]));
        i += 3;
      } else {
        out.write(b);
      }
    }
    return out.toByteArray();
  }

  /** The token in the query of the target {@code text[from, to)}, or null when there is none. */
  private static ClfLine token(byte[] text, int from, int to, byte[] param, long epochSecond) {
    int query = indexOf(text, from, to, (byte) '?');
    if (query < 0) {
      return null;
    }
    int fragment = indexOf(text, query + 1, to, (byte) '#');
    int queryEnd = fragment < 0 ? to : fragment;
    for (int pair = query + 1; pair <= queryEnd; ) {
      int pairEnd = indexOf(text, pair, queryEnd, (byte) '&');
      pairEnd = pairEnd < 0 ? queryEnd : pairEnd;
      int equals = indexOf(text, pair, pairEnd, (byte) '=');
      int nameEnd = equals < 0 ? pairEnd : equals;
      if (Arrays.equals(text, pair, nameEnd, param, 0, param.length)) {
        byte[] token = percentDecoded(text, equals < 0 ? pairEnd : equals + 1, pairEnd);
        return token == null ? unjudged("bad escape") : new ClfLine(epochSecond, token, null);
      }
      pair = pairEnd + 1;
    }
    return null;
  }

  private static byte[] percentDecoded(byte[] text, int from, int to) {
    ByteArrayOutputStream out = new ByteArrayOutputStream(to - from);
    for (int i = from; i < to; i++) {
      if (text[i] != '%') {
        out.write(text[i]);
      } else if (i + 2 < to && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
        out.write(hex(text[i + 1]) * 16 + hex(text[i + 2]));
        i += 2;
      } else {
        return null;
      }
    }
    return out.toByteArray();
  }

  private static int hex(byte b) {
    if (b >= '0' && b <= '9') {
      return b - '0';
    }
    if (b >= 'a' && b <= 'f') {
      return b - 'a' + 10;
    }
    return b >= 'A' && b <= 'F' ? b - 'A' + 10 : -1;
  }

  private static int indexOf(byte[] bytes, int from, int to, byte wanted) {
    for (int i = from; i < to; i++) {
      if (bytes[i] == wanted) {
        return i;
      }
    }
    return -1;
  }
}
