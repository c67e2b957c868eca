package org.idstamp.spark;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Instant;
import java.util.ArrayList;
import java.util.HexFormat;
import java.util.List;
import org.apache.spark.sql.Dataset;
import org.apache.spark.sql.Row;
import org.apache.spark.sql.RowFactory;
import org.apache.spark.sql.SparkSession;
import org.apache.spark.sql.types.DataTypes;
import org.apache.spark.sql.types.StructType;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/**
 * The conformance corpus in the folder {@code IDSTAMP_CORPUS} names, judged through the SQL
 * functions in local[2]: every row must come out as idstamp-inspect judged it. Skipped where the
 * variable is unset. Each test runs with Spark handing TIMESTAMPs over as java.sql.Timestamp and
 * as java.time.Instant.
 */
class SparkCorpusTest {
  private static final HexFormat HEX = HexFormat.of();

  /** 1 January 2026, midnight UTC: a row's {@code now} ms later, the year stamp is {@code now}. */
  private static final long NEW_YEAR_MS = Instant.parse("2026-01-01T00:00:00Z").toEpochMilli();

  /** The rows of a corpus file after its header, which must be {@code header}. */
  private static List<String[]> rows(String file, String header) throws IOException {
    String dir = System.getenv("IDSTAMP_CORPUS");
    assumeTrue(dir != null && !dir.isEmpty(), "IDSTAMP_CORPUS names no corpus");
    List<String> lines = Files.readAllLines(Path.of(dir, file), StandardCharsets.UTF_8);
    assertEquals(header, lines.get(0), file + ": header");
    List<String[]> rows = new ArrayList<>();
    for (String line : lines.subList(1, lines.size())) {
      String[] row = line.split("\t", -1);
      assertEquals(header.split("\t").length, row.length, file + ": " + line);
      rows.add(row);
    }
    assertTrue(rows.size() > 0, file + " holds no rows");
    return rows;
  }

  private static SparkSession spark(boolean java8Time) {
    SparkSession spark = LocalSpark.session();
    spark.conf().set("spark.sql.datetime.java8API.enabled", Boolean.toString(java8Time));
    return spark;
  }

  /** Fails with the first few rows whose {@code got} (column 1) differs from {@code want} (0). */
  private static void noDisagreement(List<Row> results, String what) {
    List<String> wrong = new ArrayList<>();
    for (Row r : results) {
      if (!r.getString(0).equals(r.getString(1))) {
        wrong.add("want " + r.getString(0) + "\n got  " + r.getString(1));
      }
    }
    assertEquals(
        0,
        wrong.size(),
        () -> what + ": " + wrong.size() + " disagreements, first:\n" + wrong.get(0));
  }

  @ParameterizedTest(name = "java8API={0}")
  @ValueSource(booleans = {false, true})
  void everyTokenIsJudgedAsIdstampInspectJudgesIt(boolean java8Time) throws IOException {
    String header = "token_hex\tlifetime\tnow\tverdict\treason\tid_hex\tstamp\tage_ms";
    List<Row> input = new ArrayList<>();
    for (String[] row : rows("tokens.tsv", header)) {
      long now = Long.parseLong(row[2]);
      String want = String.join("\t", row[3], row[4], row[5], row[6], row[7], row[2]);
      input.add(
          RowFactory.create(
              HEX.parseHex(row[0]), Integer.parseInt(row[1]), NEW_YEAR_MS + now, want));
    }
    StructType schema =
        new StructType()
            .add("token", DataTypes.BinaryType)
            .add("lifetime", DataTypes.IntegerType)
            .add("ms", DataTypes.LongType)
            .add("want", DataTypes.StringType);
    SparkSession spark = spark(java8Time);
    Dataset<Row> tokens = spark.createDataFrame(input, schema);
    tokens.createOrReplaceTempView("corpus_tokens");
    // The corpus's columns from the struct; its `now` closes the line.
    List<Row> results =
        spark
            .sql(
                "SELECT want, concat_ws('\t', r.verdict, coalesce(r.reason, ''),"
                    + " coalesce(lower(hex(r.id)), ''), coalesce(CAST(r.stamp AS STRING), ''),"
                    + " coalesce(CAST(r.age_ms AS STRING), ''), CAST(r.now AS STRING))"
                    + " FROM (SELECT want, idstamp_inspect(token, lifetime, timestamp_millis(ms),"
                    + " 'UTC') AS r FROM corpus_tokens)")
            .collectAsList();
    assertEquals(input.size(), results.size());
    noDisagreement(results, "tokens.tsv");
  }

  @ParameterizedTest(name = "java8API={0}")
  @ValueSource(booleans = {false, true})
  void everyYearStampIsTheOneIdstampIssues(boolean java8Time) throws IOException {
    List<Row> input = new ArrayList<>();
    for (String[] row : rows("year_stamps.tsv", "zone\tinstant_ms\tstamp")) {
      input.add(RowFactory.create(row[0], Long.parseLong(row[1]), row[2]));
    }
    StructType schema =
        new StructType()
            .add("zone", DataTypes.StringType)
            .add("ms", DataTypes.LongType)
            .add("want", DataTypes.StringType);
    SparkSession spark = spark(java8Time);
    spark.createDataFrame(input, schema).createOrReplaceTempView("corpus_stamps");
    // The same instants as TIMESTAMP_NTZ readings in the zone must give the same stamps.
    List<Row> results =
        spark
            .sql(
                "SELECT want, CAST(idstamp_year_stamp(timestamp_millis(ms), zone) AS STRING)"
                    + " FROM corpus_stamps"
                    + " UNION ALL SELECT want, CAST(idstamp_year_stamp(CAST(from_utc_timestamp("
                    + "timestamp_millis(ms), zone) AS TIMESTAMP_NTZ), NULL) AS STRING) FROM"
                    + " corpus_stamps")
            .collectAsList();
    assertEquals(2 * input.size(), results.size());
    noDisagreement(results, "year_stamps.tsv");
  }
}
