package org.idstamp;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.BufferedReader;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Instant;
import java.time.ZoneId;
import java.time.ZonedDateTime;
import java.util.HexFormat;
import java.util.Locale;
import java.util.function.Consumer;
import org.junit.jupiter.api.Test;

/**
 * The conformance corpus in the folder {@code IDSTAMP_CORPUS} names (tools/corpus.py writes it from
 * idstamp-inspect): every row judged here must come out as the C++ tool judged it. Skipped where
 * the variable is unset.
 */
class CorpusTest {
  private static final HexFormat HEX = HexFormat.of();

  /** Calls {@code check} with the columns of each row of a corpus file, after checking its header. */
  private static int rows(String file, String header, Consumer<String[]> check) throws IOException {
    String dir = System.getenv("IDSTAMP_CORPUS");
    assumeTrue(dir != null && !dir.isEmpty(), "IDSTAMP_CORPUS names no corpus");
    int columns = header.split("\t").length;
    int count = 0;
    try (BufferedReader in = Files.newBufferedReader(Path.of(dir, file), StandardCharsets.UTF_8)) {
      assertEquals(header, in.readLine(), file + ": header");
      for (String line = in.readLine(); line != null; line = in.readLine()) {
        String[] row = line.split("\t", -1);
        assertEquals(columns, row.length, file + ": " + line);
        check.accept(row);
        count++;
      }
    }
    return count;
  }

  private static String text(Object value) {
    return value == null ? "" : value instanceof byte[] b ? HEX.formatHex(b) : value.toString();
  }

  /** The columns verdict to age_ms of tokens.tsv, as the report gives them. */
  private static String columns(Idstamp.Report r) {
    boolean malformed = r.verdict() == Idstamp.Verdict.MALFORMED;
    return String.join(
        "\t",
        r.verdict().name().toLowerCase(Locale.ROOT),
        text(r.reason()),
        text(r.id()),
        malformed ? "" : Long.toString(r.stamp()),
        malformed ? "" : Long.toString(r.ageMs()));
  }

  @Test
  void everyTokenIsJudgedAsIdstampInspectJudgesIt() throws IOException {
    int count =
        rows(
            "tokens.tsv",
            "token_hex\tlifetime\tnow\tverdict\treason\tid_hex\tstamp\tage_ms",
            row -> {
              String line = String.join("\t", row);
              byte[] token = HEX.parseHex(row[0]);
              int lifetime = Integer.parseInt(row[1]);
              long now = Long.parseLong(row[2]);
              Idstamp.Report r = Idstamp.inspect(token, lifetime, now);
              String want = String.join("\t", row[3], row[4], row[5], row[6], row[7]);
              assertEquals(want, columns(r), () -> "row " + line);
              if (r.verdict() != Idstamp.Verdict.MALFORMED) {
                assertEquals(now, r.now(), () -> "row " + line);
              }
              String id = Idstamp.decryptId(token, lifetime, now).map(HEX::formatHex).orElse("");
              assertEquals(row[3].equals("fresh") ? row[5] : "", id, () -> "decryptId, row " + line);
            });
    assertTrue(count > 0, "tokens.tsv holds no rows");
  }

  @Test
  void everyYearStampIsTheOneIdstampIssues() throws IOException {
    int count =
        rows(
            "year_stamps.tsv",
            "zone\tinstant_ms\tstamp",
            row -> {
              Instant at = Instant.ofEpochMilli(Long.parseLong(row[1]));
              long stamp = Idstamp.yearStamp(ZonedDateTime.ofInstant(at, ZoneId.of(row[0])));
              assertEquals(Long.parseLong(row[2]), stamp, () -> "row " + String.join("\t", row));
            });
    assertTrue(count > 0, "year_stamps.tsv holds no rows");
  }
}
