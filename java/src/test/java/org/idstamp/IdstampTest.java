package org.idstamp;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Instant;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.time.ZonedDateTime;
import java.util.Arrays;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.api.io.TempDir;

class IdstampTest {
  private static void misuse(Class<? extends Exception> type, String naming, Executable call) {
    Exception e = assertThrows(type, call);
    assertTrue(e.getMessage().contains(naming), e.getMessage() + " should name " + naming);
  }

  @Test
  void misuseThrowsNamingTheArgument() {
    byte[] token = Idstamp.cryptId("ABC", 5);
    byte[] tooLong = new byte[Idstamp.MAX_ID_LENGTH + 1];
    Arrays.fill(tooLong, (byte) 'x');
    for (byte[] id : new byte[][] {{}, tooLong, {'a', 0, 'b'}}) {
      misuse(IllegalArgumentException.class, "id", () -> Idstamp.cryptId(id, 5));
      misuse(IllegalArgumentException.class, "id", () -> Idstamp.cryptId(id));
    }
    misuse(IllegalArgumentException.class, "id", () -> Idstamp.cryptId("a\0b", 5));
    misuse(IllegalArgumentException.class, "id", () -> Idstamp.cryptId("a\ud800b", 5));
    misuse(IllegalArgumentException.class, "token", () -> Idstamp.inspect("\udc00ab", 30, 5));
    for (long bad : new long[] {-1, 1L << 32, Long.MIN_VALUE}) {
      misuse(IllegalArgumentException.class, "stamp", () -> Idstamp.cryptId("ABC", bad));
      misuse(IllegalArgumentException.class, "now", () -> Idstamp.inspect(token, 30, bad));
      misuse(IllegalArgumentException.class, "now", () -> Idstamp.decryptId(token, 30, bad));
    }
    misuse(NullPointerException.class, "id", () -> Idstamp.cryptId((byte[]) null, 5));
    misuse(NullPointerException.class, "id", () -> Idstamp.cryptId((String) null));
    misuse(NullPointerException.class, "token", () -> Idstamp.inspect((byte[]) null, 30, 5));
    misuse(NullPointerException.class, "token", () -> Idstamp.decryptId((String) null, 30));
    misuse(NullPointerException.class, "map", () -> Idstamp.withDigitMap(null));
    misuse(NullPointerException.class, "t", () -> Idstamp.yearStamp(null));
    // the edges that are not misuse
    assertEquals(3 + 999 + 10, Idstamp.cryptId(Arrays.copyOf(tooLong, 999), 4294967295L).length);
    assertEquals("\ud83d\ude00", new String(Idstamp.decryptId(Idstamp.cryptId("\ud83d\ude00", 0), 1, 0).orElseThrow(), StandardCharsets.UTF_8));
  }

  @Test
  void digitMaps() {
    for (String bad : new String[] {"", "012345678", "01234567890", "0123456788", "012345678a", "０123456789"}) {
      misuse(IllegalArgumentException.class, "map", () -> Idstamp.withDigitMap(bad));
    }
    // With the identity map only the moves remain: the format's worked example.
    assertEquals("0624B213A507", new String(Idstamp.withDigitMap("0123456789").cryptId("AB", 1234567), StandardCharsets.US_ASCII));
    assertArrayEquals(Idstamp.cryptId("ABC", 7), Idstamp.withDigitMap("5820739164").cryptId("ABC", 7));
    Codec other = Idstamp.withDigitMap("9876543210");
    byte[] token = other.cryptId("user-0123456789", 411196474);
    assertFalse(Arrays.equals(token, Idstamp.cryptId("user-0123456789", 411196474)));
    assertEquals("user-0123456789", new String(other.decryptId(token, 30, 411196474).orElseThrow(), StandardCharsets.UTF_8));
    assertTrue(Idstamp.decryptId(token, 30, 411196474).isEmpty());
  }

  @Test
  void aLifetimeOfZeroOrLessAcceptsNothing() {
    byte[] token = Idstamp.cryptId("ABC", 120000);
    for (int lifetime : new int[] {0, -1, Integer.MIN_VALUE}) {
      // ages 0 and -1 ms, 0 whole minutes, and an hour; 2 minutes ahead
      assertEquals(Idstamp.Verdict.EXPIRED, Idstamp.inspect(token, lifetime, 120000).verdict());
      assertEquals(Idstamp.Verdict.EXPIRED, Idstamp.inspect(token, lifetime, 119999).verdict());
      assertEquals(Idstamp.Verdict.EXPIRED, Idstamp.inspect(token, lifetime, 3720000).verdict());
      assertEquals(Idstamp.Verdict.AHEAD, Idstamp.inspect(token, lifetime, 0).verdict());
      // refused without the clock
      assertTrue(Idstamp.decryptId(token, lifetime).isEmpty());
    }
  }

  private static long stampAt(String zone, String local) {
    return Idstamp.yearStamp(ZonedDateTime.of(LocalDateTime.parse(local), ZoneId.of(zone)));
  }

  @Test
  void yearStampFollowsTheWallClock() {
    assertEquals(2796698112L, stampAt("Europe/Berlin", "2021-07-01T12:00:00")); // summer time
    assertEquals(1471228927L, stampAt("UTC", "2021-12-31T23:59:59.999")); // a common year's last
    assertEquals(1557628927L, stampAt("UTC", "2024-12-31T23:59:59.999")); // a leap year's
    assertEquals(0L, stampAt("Asia/Kolkata", "2021-02-19T17:02:47.296")); // the first reset
    assertEquals(4294967295L, stampAt("Asia/Kolkata", "2021-02-19T17:02:47.295999999"));
    // When the clock goes back an hour, so does the stamp.
    Instant change = Instant.parse("2021-10-31T01:00:00Z");
    ZoneId berlin = ZoneId.of("Europe/Berlin");
    long before = Idstamp.yearStamp(ZonedDateTime.ofInstant(change.minusMillis(1), berlin));
    long after = Idstamp.yearStamp(ZonedDateTime.ofInstant(change, berlin));
    assertEquals(before + 1 - 3600000, after);
  }

  private static final Path ZONEINFO = Path.of("/usr/share/zoneinfo");
  private static final Instant WINTER = Instant.parse("2025-01-15T12:00:00Z");

  /** Why the JVM's zone {@code jvm} is refused under TZ and TZDIR at {@code at}, or null. */
  private static String refusal(String tz, String tzdir, Path localtime, String jvm, Instant at) {
    return LocalZone.of(tz, tzdir, localtime).problem(ZoneId.of(jvm), at);
  }

  private static void refused(String why, String tz, String tzdir, Path localtime, String jvm) {
    String problem = refusal(tz, tzdir, localtime, jvm, WINTER);
    assertTrue(problem != null && problem.contains(tz == null ? "TZ unset" : "TZ=\"" + tz + "\"")
        && problem.contains(why), tz + " with the JVM in " + jvm + ": " + problem);
  }

  @Test
  void theClockRefusesWhereTheJvmWouldNotApplyTheCLibrarysZone(@TempDir Path dir)
      throws IOException {
    Path none = dir.resolve("none");
    for (String tz : new String[] {"Europe/Berlin", ":Europe/Berlin", "posix/Europe/Berlin"}) {
      assertNull(refusal(tz, null, none, "Europe/Berlin", WINTER), tz);
      assertNull(refusal(tz, null, none, "Europe/Berlin", Instant.parse("2025-07-01T00:00:00Z")));
      refused("is UTC+01:00 but the JVM's (Europe/London) is UTC", tz, null, none, "Europe/London");
    }
    // Equal in winter, an hour apart in summer: refused all year.
    refused("UTC+02:00 but the JVM's (Africa/Lagos) is UTC+01:00", "Europe/Berlin", null, none, "Africa/Lagos");
    // Names with no zone file, which the JVM knows: the C library applies UTC or a POSIX rule.
    for (String tz : new String[] {"JST", "PST", "IST", "Mars/Olympus", "EST5EDT,M3.2.0,M11.1.0", "GMT+5"}) {
      refused("no zone file", tz, null, none, "Asia/Tokyo");
    }
    refused("counts leap seconds", "right/UTC", null, none, "UTC");
    // An empty TZ, or a lone colon, is UTC; as is TZ unset with no /etc/localtime.
    for (String tz : new String[] {"", ":", null}) {
      assertNull(refusal(tz, null, none, "Etc/UTC", WINTER));
      refused("is UTC+09:00", tz, null, none, "Asia/Tokyo");
    }
    // TZDIR: a folder without the file, and one whose Asia/Tokyo holds Berlin's rules.
    refused("no zone file", "Asia/Tokyo", dir.toString(), none, "Asia/Tokyo");
    Files.createDirectories(dir.resolve("Asia"));
    Files.copy(ZONEINFO.resolve("Europe/Berlin"), dir.resolve("Asia/Tokyo"));
    refused("is UTC+01:00", "Asia/Tokyo", dir.toString(), none, "Asia/Tokyo");
    assertNull(refusal("Asia/Tokyo", dir.toString(), none, "Europe/Berlin", WINTER));
    // TZ unset: /etc/localtime as a link and as a copy; the JVM's zone is judged by its offsets.
    Path link = dir.resolve("link");
    Path copy = dir.resolve("copy");
    Files.copy(ZONEINFO.resolve("Asia/Tokyo"), copy);
    Files.createSymbolicLink(link, copy);
    for (Path localtime : new Path[] {link, copy}) {
      assertNull(refusal(null, null, localtime, "Asia/Tokyo", WINTER));
      assertNull(refusal(null, null, localtime, "Japan", WINTER));
      refused("is UTC+09:00 but the JVM's (Etc/UTC) is UTC", null, null, localtime, "Etc/UTC");
    }
    Files.write(dir.resolve("garbage"), "TZif2 and no more".getBytes(StandardCharsets.US_ASCII));
    refused("not a zone file", null, null, dir.resolve("garbage"), "UTC");
    // Past the file's last change only a fixed offset is followed, not rules of summer time.
    Instant later = Instant.parse("2090-01-15T12:00:00Z");
    assertNull(refusal("Asia/Tokyo", null, none, "Asia/Tokyo", later));
    assertTrue(refusal("Europe/Berlin", null, none, "Europe/Berlin", later).contains("beyond"));
    // The process's own TZ, whatever it is, either works or is refused naming it.
    try {
      long stamp = Idstamp.yearStamp();
      assertTrue(stamp >= 0 && stamp <= 4294967295L);
    } catch (IllegalStateException e) {
      assertTrue(e.getMessage().contains("TZ"), e.getMessage());
    }
  }

  @Test
  void reportsCompareHashAndPrintTheIdByContent() {
    Idstamp.Report a = Idstamp.inspect("5109B8788C4A757", 10, 411796474L);
    Idstamp.Report b = Idstamp.inspect("5109B8788C4A757".getBytes(StandardCharsets.US_ASCII), 10, 411796474L);
    assertNotSame(a.id(), b.id());
    assertEquals(a, b);
    assertEquals(a.hashCode(), b.hashCode());
    assertEquals("Report[verdict=EXPIRED, reason=null, id=414243, stamp=411196474, now=411796474, ageMs=600000]", a.toString());
    assertNotEquals(a, Idstamp.inspect("5109B8788C4A757", 10, 411796475L));
    assertNotEquals(a, Idstamp.inspect("5109B8788C4A757", 11, 411796474L)); // FRESH
    Idstamp.Report other = new Idstamp.Report(a.verdict(), null, "ABD".getBytes(StandardCharsets.US_ASCII), a.stamp(), a.now(), a.ageMs());
    assertNotEquals(a, other);
    assertEquals(Idstamp.inspect("12", 30, 0), Idstamp.inspect("1", 30, 5));
    assertEquals("Report[verdict=MALFORMED, reason=too short, id=null, stamp=0, now=0, ageMs=0]", Idstamp.inspect("1", 30, 5).toString());
  }

  /** Reads text as the plain form of a token: scrambled first, with no digit map. */
  private static long readPlain(byte[] text, long refused) {
    byte[] identity = new byte[256];
    for (int b = 0; b < 256; b++) {
      identity[b] = (byte) b;
    }
    byte[] token = new byte[text.length];
    for (int k = 0; k < text.length; k++) {
      token[Codec.source(k, text.length)] = text[k];
    }
    return Codec.readDecimal(token, identity, 0, text.length, refused);
  }

  @Test
  void decimalReadingSaturates() {
    byte[][] texts = {"9223372036854775807".getBytes(), "9223372036854775808".getBytes(),
        "-9223372036854775808".getBytes(), "-9223372036854775809".getBytes(), "-9223372036854775807".getBytes(),
        " \t+0000000000000000000000000000012".getBytes(), "-0".getBytes()};
    long[] want = {Long.MAX_VALUE, Long.MAX_VALUE, Long.MIN_VALUE, Long.MIN_VALUE, Long.MIN_VALUE + 1, 12, 0};
    for (int i = 0; i < texts.length; i++) {
      assertEquals(want[i], readPlain(texts[i], 77), new String(texts[i]));
    }
    for (String bad : new String[] {"", "+", " ", "12 ", "+-1", "0x10", "1\u00002"}) {
      byte[] text = bad.getBytes(StandardCharsets.ISO_8859_1);
      assertEquals(77, readPlain(text, 77), bad);
    }
  }
}
