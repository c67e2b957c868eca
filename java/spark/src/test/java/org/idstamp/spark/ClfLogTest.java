package org.idstamp.spark;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.fasterxml.jackson.databind.JsonNode;
import com.fasterxml.jackson.databind.ObjectMapper;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Instant;
import java.time.ZoneId;
import java.time.ZoneOffset;
import java.time.ZonedDateTime;
import java.time.format.DateTimeFormatter;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Objects;
import java.util.Random;
import java.util.concurrent.TimeUnit;
import java.util.stream.LongStream;
import org.apache.spark.sql.Row;
import org.idstamp.Idstamp;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * A Common Log Format file, made here, read by Spark's text source and judged through the SQL
 * functions, against {@code idstamp-inspect --batch --log clf --param t} on the same file under
 * {@code TZ=America/New_York}: each line as the tool judges it, and the counts of its {@code
 * --summary --json}. idstamp-inspect comes from the system property {@code idstamp.inspect} or the
 * variable {@code IDSTAMP_INSPECT}; the tests are skipped without one.
 */
class ClfLogTest {
  private static final String ZONE = "America/New_York";
  private static final int LIFETIME = 10;
  private static final HexFormat HEX = HexFormat.of();
  private static final ObjectMapper JSON = new ObjectMapper();
  private static final byte[] CR = {'\r'};
  private static final byte[] CRLF = {'\r', '\n'};
  private static final byte[] LF = {'\n'};

  @TempDir static Path dir;
  private static Path log;

  /** Lines that probe the reading's rules one at a time; random ones follow them. */
  private static final String[] EDGES = {
    "",
    "no bracket at all",
    "[10/Oct/2026:13:55:36 -0700] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/oct/2026:13:55:36 -0700] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [31/Apr/2026:13:55:36 -0700] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [31/Apr/2026:13:55:36 -0700] \"GET /no/query HTTP/1.1\" 200 1",
    "h - - [29/Feb/2025:13:55:36 +0000] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [29/Feb/2024:13:55:36 +0000] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/0000:13:55:36 +0000] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:24:00:00 +0000] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:60:36 +0000] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:60 +0000] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +2400] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 -0060] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [00/Oct/2026:13:55:36 -0000] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [1/Oct/2026:13:55:36 +0000] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 0000] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000]\"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000]  \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t=5 HTTP/1.1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t=5 HTTP/1.1\\\"",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t=5 HTTP/1.1\\",
    "h [x] - [10/Oct/2026:13:55:36 +0000] \"GET /?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t=%4 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t=%zz&t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?a=%zz&t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t=%2B%25%0a+x HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /a HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?x=1&tt=5&T=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?%74=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /#x?t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?x#&t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t= HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t==5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /\\x3Ft=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?x=1\\x26t=5 HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET\\x20/?t=5\\x20HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t=\\\"\\\\\\x2g\\q HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t=a\\\" b HTTP/1.1\" 200 1",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t=5\" \"junk \" after\r",
    "h - - [10/Oct/2026:13:55:36 +0000] \"GET /?t=5\r HTTP/1.1\" 200 1",
  };

  @BeforeAll
  static void writeLog() throws IOException {
    ByteArrayOutputStream out = new ByteArrayOutputStream();
    for (String edge : EDGES) {
      out.writeBytes(edge.getBytes(StandardCharsets.UTF_8));
      out.write('\n');
    }
    Random random = new Random(20261208);
    for (int i = 0; i < 3000; i++) {
      out.writeBytes(randomLine(random));
      // Now and then CRLF, a lone CR (which ends no record) or an empty line.
      int end = random.nextInt(16);
      out.writeBytes(end == 0 ? CR : end == 1 ? CRLF : LF);
      if (end == 2) {
        out.write('\n');
      }
    }
    // Fresh tokens at the calendar's ends, where Spark's java.sql.Timestamp has Julian fields.
    for (String at : List.of("1500-10-10T12:00:00Z", "9999-12-31T23:59:59Z")) {
      Instant t = Instant.parse(at);
      long now = Idstamp.yearStamp(ZonedDateTime.ofInstant(t, ZoneId.of(ZONE)));
      String token = new String(Idstamp.cryptId("old", now), StandardCharsets.US_ASCII);
      out.writeBytes(line(t, 0, "/?t=" + token));
      out.write('\n');
    }
    // A raw byte that is not UTF-8 outside the request, and a last line with no LF.
    out.writeBytes("\u00ff\u00fe - - ".getBytes(StandardCharsets.ISO_8859_1));
    out.writeBytes(line(Instant.parse("2026-11-01T05:59:59Z"), -4 * 60, "/?t=5"));
    log = dir.resolve("access.log");
    Files.write(log, out.toByteArray());
  }

  /**
   * A line logged at a random instant around the two clock changes of 2026 in New York, at a
   * random offset from UTC (not always the zone's), for a token issued some time before or after
   * it, percent-encoded where it must be and now and then where it need not.
   */
  private static byte[] randomLine(Random random) {
    String change = random.nextBoolean() ? "2026-03-08T07:00:00Z" : "2026-11-01T06:00:00Z";
    Instant base = Instant.parse(change);
    Instant at = base.plusSeconds(random.nextInt(4 * 3600) - 2 * 3600);
    long now = Idstamp.yearStamp(ZonedDateTime.ofInstant(at, ZoneId.of(ZONE)));
    long[] ages = {0, 59_999, 60_000, 599_999, 600_000, 3_600_000, -59_999, -60_000, -7_200_000};
    long age = random.nextInt(4) == 0 ? random.nextInt() : ages[random.nextInt(ages.length)];
    byte[] id = new byte[1 + random.nextInt(12)];
    for (int i = 0; i < id.length; i++) {
      int pick = random.nextInt(4);
      int letter = 'a' + random.nextInt(26);
      id[i] = (byte) (pick == 0 ? 1 + random.nextInt(255) : pick == 1 ? '+' : letter);
    }
    byte[] token = Idstamp.cryptId(id, (now - age) & 0xFFFF_FFFFL);
    if (random.nextInt(10) == 0) {
      token = Arrays.copyOf(token, random.nextInt(token.length));
    }
    StringBuilder target = new StringBuilder(random.nextBoolean() ? "/a/b?x=1&t=" : "/?t=");
    for (byte b : token) {
      int c = b & 0xFF;
      boolean plain = c > ' ' && c < 0x7f && "\"%&#\\".indexOf(c) < 0;
      if (plain && random.nextInt(10) != 0) {
        target.append((char) c);
      } else {
        target.append(String.format(random.nextBoolean() ? "%%%02X" : "%%%02x", c));
      }
    }
    if (random.nextInt(4) == 0) {
      target.append("&t=ignored#frag");
    }
    int[] offsets = {-5 * 60, -4 * 60, 0, 5 * 60 + 30, -9 * 60 - 30, 14 * 60};
    return line(at, offsets[random.nextInt(offsets.length)], target.toString());
  }

  private static byte[] line(Instant at, int offsetMinutes, String target) {
    ZonedDateTime t = at.atOffset(ZoneOffset.ofTotalSeconds(offsetMinutes * 60)).toZonedDateTime();
    String time =
        t.format(DateTimeFormatter.ofPattern("dd/MMM/yyyy:HH:mm:ss Z", Locale.ROOT));
    String request = "\"GET " + target + " HTTP/1.1\"";
    return ("203.0.113.9 - frank [" + time + "] " + request + " 200 2326 \"-\" \"curl/8\"")
        .getBytes(StandardCharsets.ISO_8859_1);
  }

  private static String inspect() {
    String inspect = System.getProperty("idstamp.inspect", System.getenv("IDSTAMP_INSPECT"));
    assumeTrue(inspect != null && !inspect.isEmpty(), "no idstamp-inspect given (IDSTAMP_INSPECT)");
    return inspect;
  }

  /** idstamp-inspect's output for the log with {@code options}; it must exit 3 (some unjudged). */
  private static List<String> run(String... options) throws IOException, InterruptedException {
    List<String> command = new ArrayList<>(List.of(inspect(), "--batch", "--log", "clf"));
    command.addAll(List.of("--param", "t", "-t", Integer.toString(LIFETIME)));
    command.addAll(List.of(options));
    ProcessBuilder builder = new ProcessBuilder(command).redirectInput(log.toFile());
    builder.redirectError(ProcessBuilder.Redirect.DISCARD).environment().put("TZ", ZONE);
    Process process = builder.start();
    byte[] output = process.getInputStream().readAllBytes();
    assertTrue(process.waitFor(60, TimeUnit.SECONDS));
    assertEquals(3, process.exitValue(), () -> String.join(" ", command));
    return List.of(new String(output, StandardCharsets.UTF_8).split("\n"));
  }

  /** One result as the tool's JSON line gives it, from its fields. */
  private static String result(
      long line, String verdict, String id, Object stamp, Object now, Object age, String reason) {
    return line + " " + verdict + " " + id + " " + stamp + " " + now + " " + age + " " + reason;
  }

  @Test
  void eachLineIsJudgedAsIdstampInspectJudgesIt() throws Exception {
    Map<Long, String> want = new LinkedHashMap<>();
    for (String text : run("--json")) {
      JsonNode j = JSON.readTree(text);
      long n = j.get("line").asLong();
      want.put(
          n,
          j.get("verdict").isNull()
              ? n + " unjudged " + j.get("error").asText()
              : result(n, j.get("verdict").asText(), j.get("id_hex").asText(null),
                  j.get("stamp").isNull() ? null : j.get("stamp").asLong(),
                  j.get("now").isNull() ? null : j.get("now").asLong(),
                  j.get("age_ms").isNull() ? null : j.get("age_ms").asLong(),
                  j.get("reason").asText(null)));
    }
    // Records as the tool reads them: every LF ends one, and bytes after the last one are one.
    byte[] bytes = Files.readAllBytes(log);
    Map<Long, String> got = new LinkedHashMap<>();
    long n = 0;
    for (int start = 0; start < bytes.length; ) {
      int end = start;
      while (end < bytes.length && bytes[end] != '\n') {
        end++;
      }
      n++;
      Row c = IdstampFunctions.logClf(Arrays.copyOfRange(bytes, start, end), "t");
      start = end + 1;
      if (c == null) {
        continue;
      }
      if (!c.isNullAt(2)) {
        got.put(n, n + " unjudged " + c.getString(2));
        continue;
      }
      Row r = IdstampFunctions.inspect(c.get(1), LIFETIME, c.get(0), ZONE);
      boolean malformed = r.getString(0).equals("malformed");
      got.put(
          n,
          result(n, r.getString(0), r.isNullAt(2) ? null : HEX.formatHex((byte[]) r.get(2)),
              r.get(3), malformed ? null : r.get(4), r.get(5), r.getString(1)));
    }
    assertTrue(want.size() > 2000 && want.size() < n, "too few lines judged, or none skipped");
    List<String> wrong =
        LongStream.rangeClosed(1, n)
            .filter(line -> !Objects.equals(want.get(line), got.get(line)))
            .limit(5)
            .mapToObj(line -> "want " + want.get(line) + "\n got  " + got.get(line))
            .toList();
    assertEquals(List.of(), wrong, "the first lines that differ");
  }

  @Test
  void sparkCountsEqualTheSummary() throws Exception {
    JsonNode summary = JSON.readTree(String.join("\n", run("--summary", "--json")));
    LocalSpark.session()
        .read()
        .option("lineSep", "\n")
        .text(log.toString())
        .createOrReplaceTempView("access_log");
    List<Row> groups =
        LocalSpark.session()
            .sql(
                "SELECT r.verdict, r.reason, c.error, c IS NULL, count(*), max(r.age_ms)"
                    + " FROM (SELECT c, idstamp_inspect(c.token, " + LIFETIME + ", c.moment, '"
                    + ZONE + "') AS r FROM (SELECT idstamp_log_clf(CAST(value AS BINARY), 't')"
                    + " AS c FROM access_log)) GROUP BY r.verdict, r.reason, c.error, c IS NULL")
            .collectAsList();
    Map<String, Long> counts = new LinkedHashMap<>();
    Map<String, Long> maxAge = new LinkedHashMap<>();
    long records = 0;
    for (Row g : groups) {
      String key =
          g.getBoolean(3)
              ? "skipped"
              : g.isNullAt(2) ? "verdicts." + g.getString(0) : "unjudged." + g.getString(2);
      counts.merge(key, g.getLong(4), Long::sum);
      if (!g.isNullAt(1)) {
        counts.merge("reasons." + g.getString(1), g.getLong(4), Long::sum);
      }
      if (!g.isNullAt(5)) {
        maxAge.merge(g.getString(0), g.getLong(5), Math::max);
      }
      records += g.getLong(4);
    }
    assertEquals(summary.get("records").asLong(), records, "records");
    assertEquals(summary.get("skipped").asLong(), counts.getOrDefault("skipped", 0L), "skipped");
    for (String group : List.of("verdicts", "reasons", "unjudged")) {
      summary
          .get(group)
          .fields()
          .forEachRemaining(
              e -> {
                String key = group + "." + e.getKey();
                assertEquals(e.getValue().asLong(), counts.getOrDefault(key, 0L), key);
              });
    }
    for (String verdict : List.of("fresh", "expired")) {
      JsonNode max = summary.get("age_ms").get(verdict).get("max");
      Long want = max.isNull() ? null : max.asLong();
      assertEquals(want, maxAge.get(verdict), "age_ms." + verdict + ".max");
    }
    assertTrue(counts.containsKey("verdicts.fresh") && counts.containsKey("verdicts.expired"));
  }
}
