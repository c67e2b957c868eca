package org.idstamp;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.time.ZonedDateTime;
import java.time.format.DateTimeFormatter;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Random;
import java.util.TreeMap;

/**
 * Differential check of the package against the C++ library, through its idstamp-inspect program:
 *
 * <pre>
 *   java -cp target/classes:target/test-classes org.idstamp.Differential PATH/TO/idstamp-inspect
 * </pre>
 *
 * <ol>
 *   <li>Tokens: the package and {@code idstamp-inspect --batch --at} (its tab-separated form)
 *       judge the same generated tokens (issued ones that are fresh, expired and ahead; forged and
 *       random ones, malformed for every reason and oddly valid; long and hostile ones) at moments
 *       in UTC and in zones with daylight saving, and must agree on the verdict, the reason, the
 *       age and the id.
 *   <li>Clock: {@link Idstamp#inspect(byte[], int)} in a JVM, and idstamp-inspect, both frozen by
 *       libfaketime at the same instants in zones with daylight saving, must give the same stamp
 *       across daylight-saving changes and New Year.
 * </ol>
 *
 * Prints what it compared and exits 1 on any disagreement.
 */
public final class Differential {
  private Differential() {}

  private static String inspect;
  private static int failures;

  private static void fail(String message) {
    if (++failures <= 20) {
      System.out.println("DIFFERENT " + message);
    }
  }

  /** A batch of tokens judged at one local moment; -z, or lines that may hold zero bytes. */
  private record Batch(String zone, String at, int lifetime, int count, boolean zeroEnd) {}

  private static final Batch[] BATCHES = {
    new Batch("Europe/Berlin", "2024-07-03 05:46:40.250", 30, 3000, true),
    new Batch("UTC", "2025-02-19 17:02:47.296", 1, 1500, true), // the stamp's first return to 0
    new Batch("America/New_York", "2024-12-31 23:59:59.999", 2147483647, 1500, true),
    new Batch("UTC", "2023-01-01 00:00:00.000", 71583, 1000, true),
    new Batch("Europe/Berlin", "2024-03-31 03:00:00.001", 5, 1500, true), // an hour was skipped
    new Batch("Europe/Berlin", "2024-10-27 02:59:59.999", 60, 1000, false), // an hour repeats
    new Batch("UTC", "2024-06-01 12:00:00.000", 30, 1000, false),
  };

  public static void main(String[] args) throws Exception {
    if (args.length < 1 || !new File(args[0]).canExecute()) {
      System.err.println("usage: Differential PATH/TO/idstamp-inspect");
      System.exit(2);
    }
    inspect = args[0];
    tokens();
    clock();
    System.out.println(
        failures == 0 ? "differential check: all agree" : "differential check: " + failures + " disagreements");
    System.exit(failures == 0 ? 0 : 1);
  }

  private static final DateTimeFormatter AT = DateTimeFormatter.ofPattern("yyyy-MM-dd HH:mm:ss.SSS");

  private static byte[] run(List<String> command, Map<String, String> env, byte[] input)
      throws IOException, InterruptedException {
    ProcessBuilder pb = new ProcessBuilder(command).redirectError(ProcessBuilder.Redirect.INHERIT);
    pb.environment().putAll(env);
    Process p = pb.start();
    Thread feed =
        new Thread(
            () -> {
              try (var in = p.getOutputStream()) {
                in.write(input);
              } catch (IOException e) {
                // the reader sees the short output
              }
            });
    feed.start();
    byte[] out = p.getInputStream().readAllBytes();
    feed.join();
    if (p.waitFor() > 1) {
      fail(command + ": exit " + p.exitValue());
    }
    return out;
  }

  /** The id as idstamp-inspect escapes it: printable ASCII as is, \\ doubled, others \xHH. */
  static String escaped(byte[] id) {
    StringBuilder b = new StringBuilder();
    for (byte x : id) {
      int c = x & 0xFF;
      if (c == '\\') {
        b.append("\\\\");
      } else if (c >= 0x20 && c < 0x7F) {
        b.append((char) c);
      } else {
        b.append(String.format("\\x%02x", c));
      }
    }
    return b.toString();
  }

  private static void tokens() throws Exception {
    Generator g = new Generator(new Random(17));
    Map<String, Integer> tally = new TreeMap<>();
    int judged = 0;
    for (Batch b : BATCHES) {
      LocalDateTime local = LocalDateTime.parse(b.at(), AT);
      ZonedDateTime moment = ZonedDateTime.of(local, ZoneId.of(b.zone()));
      long now = Idstamp.yearStamp(moment);
      if (!moment.toLocalDateTime().equals(local) || now != stampOfFields(local)) {
        fail(b.at() + " in " + b.zone() + ": yearStamp " + now + ", from the fields " + stampOfFields(local));
      }
      List<byte[]> tokens = new ArrayList<>();
      List<byte[]> issued = new ArrayList<>();
      ByteArrayOutputStream input = new ByteArrayOutputStream();
      while (tokens.size() < b.count()) {
        byte[][] t = g.token(now, b.lifetime(), !b.zeroEnd());
        byte[] token = t[0];
        boolean passes =
            b.zeroEnd()
                ? indexOf(token, 0) < 0
                : indexOf(token, '\n') < 0 && (token.length == 0 || token[token.length - 1] != '\r');
        if (!passes) {
          continue;
        }
        tokens.add(token);
        issued.add(t[1]);
        input.write(token);
        input.write(b.zeroEnd() ? 0 : '\n');
      }
      List<String> command =
          new ArrayList<>(List.of(inspect, "--batch", "-t", "" + b.lifetime(), "--at", b.at()));
      if (b.zeroEnd()) {
        command.add("-z");
      }
      String out = new String(run(command, Map.of("TZ", b.zone()), input.toByteArray()), StandardCharsets.UTF_8);
      String[] lines = out.split("\n", -1);
      if (lines.length != tokens.size() + 1) {
        fail(command + " (TZ=" + b.zone() + "): " + (lines.length - 1) + " results for " + tokens.size() + " tokens");
        continue;
      }
      for (int i = 0; i < tokens.size(); i++) {
        byte[] token = tokens.get(i);
        Idstamp.Report r = Idstamp.inspect(token, b.lifetime(), now);
        String verdict = r.verdict().name().toLowerCase(Locale.ROOT);
        String kind = r.reason() == null ? verdict : verdict + ": " + r.reason();
        String wanted =
            (i + 1) + "\t" + kind + "\t" + (r.id() == null ? "\t" : r.ageMs() + "\t" + escaped(r.id()));
        boolean issuedRight = issued.get(i) == null || (r.id() != null && Arrays.equals(r.id(), issued.get(i)));
        // decryptId reads on its own path; it gives the id exactly when inspect finds it fresh.
        byte[] decrypted = Idstamp.decryptId(token, b.lifetime(), now).orElse(null);
        if (!Arrays.equals(decrypted, r.verdict() == Idstamp.Verdict.FRESH ? r.id() : null)) {
          wanted += "\n  but decryptId gives " + (decrypted == null ? "nothing" : hex(decrypted));
        }
        if (!lines[i].equals(wanted) || !issuedRight) {
          String shown = hex(Arrays.copyOf(token, Math.min(token.length, 30)));
          fail(String.format("token %s (%d bytes; TZ=%s, --at %s, -t %d):%n  C++  %s%n  Java %s%s", shown,
              token.length, b.zone(), b.at(), b.lifetime(), lines[i], wanted,
              issuedRight ? "" : "\n  issued for id " + hex(issued.get(i))));
        }
        tally.merge(kind, 1, Integer::sum);
      }
      judged += tokens.size();
    }
    System.out.println("tokens: " + judged + " judged by both, " + failures + " disagreements");
    tally.forEach((kind, n) -> System.out.printf("%7d %s%n", n, kind));
    for (String kind : List.of("fresh", "expired", "ahead", "malformed: too short", "malformed: bad length field",
        "malformed: no stamp", "malformed: zero byte in the id", "malformed: bad stamp")) {
      if (!tally.containsKey(kind)) {
        fail("the generated tokens gave no " + kind);
      }
    }
  }

  static long stampOfFields(LocalDateTime t) {
    long seconds = (t.getDayOfYear() - 1) * 86400L + t.toLocalTime().toSecondOfDay();
    return (seconds * 1000 + t.getNano() / 1_000_000) & 0xFFFF_FFFFL;
  }

  static int indexOf(byte[] bytes, int b) {
    for (int i = 0; i < bytes.length; i++) {
      if (bytes[i] == b) {
        return i;
      }
    }
    return -1;
  }

  static String hex(byte[] bytes) {
    return java.util.HexFormat.of().formatHex(bytes);
  }

  // ---------------------------------------------------------------------------------------------
  // The clock

  // Instants (Unix ms) that cross daylight-saving changes in Berlin, New York and Lord Howe (half
  // an hour there), New Year in each zone, the end of a leap year, and a stamp reset.
  private static final long[] INSTANTS = {
    1711846800000L, 1729990800000L, // Berlin, 2024-03-31 and 2024-10-27 01:00 UTC
    1710054000000L, 1730613600000L, // New York, 2024-03-10 07:00 and 2024-11-03 06:00 UTC
    1712415600000L, 1728142200000L, // Lord Howe, 2024-04-06 15:00 and 2024-10-05 15:30 UTC
    1735686000000L, 1735707600000L, 1735689600000L, 1735650000000L, // New Year in each zone and UTC
    1739984567296L, // 2025-02-19 17:02:47.296 UTC
  };

  private static String faketime() throws IOException {
    for (String dir : new String[] {"/usr/lib", "/usr/lib64"}) {
      if (!Files.isDirectory(Path.of(dir))) {
        continue;
      }
      try (var subs = Files.list(Path.of(dir))) {
        for (Path sub : (Iterable<Path>) subs::iterator) {
          Path lib = sub.resolve("faketime/libfaketime.so.1");
          if (Files.exists(lib)) {
            return lib.toString();
          }
        }
      }
    }
    return null;
  }

  /**
   * The stamp that {@code command} prints, frozen by libfaketime at {@code ms} in {@code zone}.
   * libfaketime reads FAKETIME as a floating-point number, so an extra half millisecond keeps .295
   * from reading as .294999; the JVM's waits need a monotonic clock that runs.
   */
  private static long frozenStamp(List<String> command, String zone, String lib, long ms) throws Exception {
    Map<String, String> env = Map.of("TZ", zone, "LD_PRELOAD", lib, "FAKETIME_FMT", "%s",
        "FAKETIME", String.format("%d.%03d5", ms / 1000, ms % 1000), "FAKETIME_DONT_FAKE_MONOTONIC", "1");
    String out = new String(run(command, env, new byte[0]), StandardCharsets.UTF_8);
    java.util.regex.Matcher m = java.util.regex.Pattern.compile("\"now\": (\\d+)|^(\\d+)\\s*$").matcher(out);
    if (!m.find()) {
      fail(command + " at " + ms + " TZ=" + zone + ": " + out);
      return -1;
    }
    return Long.parseLong(m.group(1) != null ? m.group(1) : m.group(2));
  }

  // The instants where each zone changes (daylight saving, New Year, a stamp reset), from above.
  private static final Map<String, long[]> CHANGES = Map.of(
      "UTC", new long[] {INSTANTS[8], INSTANTS[10]},
      "Europe/Berlin", new long[] {INSTANTS[0], INSTANTS[1], INSTANTS[6]},
      "America/New_York", new long[] {INSTANTS[2], INSTANTS[3], INSTANTS[7]},
      "Australia/Lord_Howe", new long[] {INSTANTS[4], INSTANTS[5], INSTANTS[9]});

  /**
   * The millisecond before and the one at each change of each zone, in a JVM of its own (its zone
   * is read once, at start) and in idstamp-inspect.
   */
  private static void clock() throws Exception {
    String lib = faketime();
    if (lib == null) {
      fail("the clock: libfaketime is not installed");
      return;
    }
    String javaBin = Path.of(System.getProperty("java.home"), "bin", "java").toString();
    List<String> probe = List.of(javaBin, "-XX:TieredStopAtLevel=1", "-XX:+UseSerialGC", "-cp",
        System.getProperty("java.class.path"), "org.idstamp.Differential$ClockProbe");
    List<String> c = List.of(inspect, "--json", "5109B8788C4A757");
    int compared = 0;
    for (var zone : new TreeMap<>(CHANGES).entrySet()) {
      int jumps = 0;
      int newYears = 0;
      for (long instant : zone.getValue()) {
        long[] cs = new long[2];
        for (int k = 0; k < 2; k++) {
          long ms = instant - 1 + k;
          cs[k] = frozenStamp(c, zone.getKey(), lib, ms);
          long js = frozenStamp(probe, zone.getKey(), lib, ms);
          compared++;
          if (cs[k] != js) {
            fail("stamp at " + java.time.Instant.ofEpochMilli(ms) + " TZ=" + zone.getKey() + ": C++ " + cs[k]
                + ", Java " + js);
          }
        }
        long step = (cs[1] - cs[0]) & 0xFFFF_FFFFL;
        if (cs[1] == 0 && (cs[0] == 1471228927L || cs[0] == 1557628927L)) {
          newYears++;
        } else if (step == 1 + 1800000 || step == 1 + 3600000
            || step == ((1 - 1800000) & 0xFFFF_FFFFL) || step == ((1 - 3600000) & 0xFFFF_FFFFL)) {
          jumps++;
        }
      }
      System.out.printf("clock: TZ=%s: %d frozen instants, %d daylight-saving changes and %d New Years crossed%n",
          zone.getKey(), 2 * zone.getValue().length, jumps, newYears);
      if (newYears == 0 || (!zone.getKey().equals("UTC") && jumps < 2)) {
        fail("the clock: the instants cross no change in TZ=" + zone.getKey());
      }
    }
    System.out.println("clock: " + compared + " stamps compared");
  }

  /** Prints the stamp that inspect reads from the local clock. */
  public static final class ClockProbe {
    private ClockProbe() {}

    public static void main(String[] args) {
      System.out.println(Idstamp.inspect("5109B8788C4A757", 30).now());
    }
  }

  // ---------------------------------------------------------------------------------------------
  // Generated tokens, seeded so that every run judges the same ones

  static final class Generator {
    private final Random r;

    Generator(Random r) {
      this.r = r;
    }

    String pick(String... list) {
      return list[r.nextInt(list.length)];
    }

    private static final String[] PALETTES = {
      "0123456789", // substituted by the map
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
      "!\"#$%&'()*,./:;<=>?@[\\]^_`{|}~",
      "\t\n\u000b\f\r +-", // white space and signs, which decimal reading skips
      "\u0001\u0002\u0003\u001b\u001f\u007f",
      "\u0080\u00a0\u00c3\u00e2\u00fe\u00ff", // bytes that are not UTF-8 on their own
    };

    static byte[] latin1(String s) {
      return s.getBytes(StandardCharsets.ISO_8859_1);
    }

    byte[] id(boolean zeroBytes) {
      int[] lengths = {1, 2, 3, 1 + r.nextInt(12), 1 + r.nextInt(120), 1 + r.nextInt(999), 999};
      int length = lengths[r.nextInt(lengths.length)];
      StringBuilder palette = new StringBuilder();
      for (String set : PALETTES) {
        if (r.nextBoolean()) {
          palette.append(set);
        }
      }
      byte[] from = latin1(palette.length() == 0 ? "user-0123456789" : palette.toString());
      byte[] id = new byte[length];
      for (int k = 0; k < length; k++) {
        id[k] = from[r.nextInt(from.length)];
      }
      if (zeroBytes && r.nextInt(8) == 0) {
        id[r.nextInt(length)] = 0;
      }
      return id;
    }

    /** An age in ms around the edges of the window and of the stamp's range. */
    long age(int lifetime) {
      long window = lifetime * 60000L;
      switch (r.nextInt(4)) {
        case 0:
          return new long[] {-60001, -60000, -59999, -1, 0, 1, 59999, 60000}[r.nextInt(8)];
        case 1:
          return window - 1 + r.nextInt(3);
        case 2:
          return r.nextInt(2 * 7200000) - 7200000;
        default:
          return r.nextLong() >> 30; // about -2^33 to 2^33
      }
    }

    /** Scrambles a plain token step by step as the format describes it: R, E, then S. */
    static byte[] forge(byte[] plain) {
      byte[] t = plain.clone();
      int n = t.length;
      for (int i = 0; i < n / 2; i++) {
        byte x = t[i];
        t[i] = t[n - 1 - i];
        t[n - 1 - i] = x;
      }
      for (int i = 0; i < n / 2; i += 2) {
        byte x = t[i];
        t[i] = t[n - 1 - i];
        t[n - 1 - i] = x;
      }
      for (int k = 0; k < n; k++) {
        if (t[k] >= '0' && t[k] <= '9') {
          t[k] = (byte) "5820739164".charAt(t[k] - '0');
        }
      }
      return t;
    }

    String lengthField(int length) {
      if (r.nextInt(10) < 7) {
        return String.format("%03d", length);
      }
      switch (r.nextInt(3)) {
        case 0:
          return String.format("%3d", length).replaceFirst(" ", pick(" ", "+", "\t", "0"));
        case 1:
          return pick("-01", "000", "1 2", "x12", "12 ", " +3", "\t\r3", "+-1", "\u000012", "9\u00009");
        default:
          StringBuilder b = new StringBuilder();
          for (int i = 0; i < 3; i++) {
            b.append(pick(" ", "+", "-", "\t", "\r", "\u00a0", "x", "0", "0", "1", "2", "5"));
          }
          return b.toString();
      }
    }

    String digits(int n) {
      StringBuilder b = new StringBuilder();
      for (int i = 0; i < n; i++) {
        b.append((char) ('0' + r.nextInt(10)));
      }
      return b.toString();
    }

    String stampText(long now, int lifetime) {
      String text;
      switch (r.nextInt(6)) {
        case 0:
          text = "" + ((now - age(lifetime)) & 0xFFFF_FFFFL);
          break;
        case 1:
          text = "" + (r.nextInt() & 0xFFFF_FFFFL);
          break;
        case 2:
          text = "" + (now - age(lifetime)); // may be negative, or above 2^32
          break;
        case 3:
          text = pick("-1", "0", "-0", "9223372036854775807", "-9223372036854775808", "9223372036854775808",
              "-9223372036854775809", "-9223372036854775807", "18446744073709551615");
          break;
        case 4:
          text = pick("", "-") + (1 + r.nextInt(9)) + digits(15 + r.nextInt(4)); // 16 to 19 digits
          break;
        default:
          text = pick("", "-") + (1 + r.nextInt(9)) + digits(19 + r.nextInt(60)); // saturates
      }
      if (r.nextInt(5) == 0) {
        text = "0".repeat(1 + r.nextInt(40)) + text.replaceFirst("-", "");
      }
      if (r.nextInt(7) == 0) {
        text = pick("+", "-", " ", "\t", "\u000b\f ", " -", "\r\n") + text;
      }
      if (r.nextInt(12) == 0) {
        text = pick(text + pick(" ", "x", "\n", "+", "\u0000"), "", "+", "-", "0x10", " ", "1\u00002");
      }
      return text;
    }

    static byte[] concat(byte[]... parts) {
      ByteArrayOutputStream out = new ByteArrayOutputStream();
      for (byte[] p : parts) {
        out.writeBytes(p);
      }
      return out.toByteArray();
    }

    /** A token and, when it was issued, its id. */
    byte[][] token(long now, int lifetime, boolean zeroBytes) {
      int kind = r.nextInt(100);
      if (kind < 35) {
        byte[] id = id(false);
        return new byte[][] {Idstamp.cryptId(id, (now - age(lifetime)) & 0xFFFF_FFFFL), id};
      }
      if (kind < 85) {
        byte[] id = id(zeroBytes);
        byte[] plain = concat(latin1(lengthField(id.length)), id);
        if (r.nextInt(20) == 0) {
          byte[] tail = id(zeroBytes);
          plain = concat(latin1(lengthField(1 + r.nextInt(999))), Arrays.copyOf(tail, 1 + r.nextInt(tail.length)));
        }
        return new byte[][] {forge(concat(plain, latin1(stampText(now, lifetime)))), null};
      }
      if (kind < 95) {
        int[] sizes = {0, 1, 2, 3, 4, r.nextInt(40), 1000 + r.nextInt(3000)};
        byte[] palette = latin1(pick("0123456789", "0123456789 +-\t", "0123456789ABC\u0080\u00ff", "\u0000\n\r0123"));
        byte[] token = new byte[sizes[r.nextInt(sizes.length)]];
        for (int k = 0; k < token.length; k++) {
          token[k] = palette[r.nextInt(palette.length)];
        }
        return new byte[][] {token, null};
      }
      // long and hostile: a long id and a stamp of thousands of zeros or spaces
      byte[] id = id(false);
      byte[] plain = concat(latin1(String.format("%03d", id.length)), id,
          latin1(pick("0", " ").repeat(1000 + r.nextInt(5000))),
          latin1(pick("5", "1234567", "", "9223372036854775808")));
      return new byte[][] {forge(plain), null};
    }
  }
}
