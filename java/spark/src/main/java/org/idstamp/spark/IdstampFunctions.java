package org.idstamp.spark;

import java.nio.charset.StandardCharsets;
import java.sql.Timestamp;
import java.time.DateTimeException;
import java.time.Instant;
import java.time.LocalDateTime;
import java.time.ZoneId;
import java.time.ZoneOffset;
import java.time.ZonedDateTime;
import java.util.Locale;
import org.apache.spark.sql.Row;
import org.apache.spark.sql.RowFactory;
import org.apache.spark.sql.SparkSession;
import org.apache.spark.sql.api.java.UDF2;
import org.apache.spark.sql.api.java.UDF4;
import org.apache.spark.sql.catalyst.util.DateTimeUtils;
import org.apache.spark.sql.types.DataTypes;
import org.apache.spark.sql.types.StructType;
import org.idstamp.Idstamp;

/**
 * idstamp's judgement of tokens as Spark SQL functions, for logs that already sit in a table:
 *
 * <ul>
 *   <li>{@code idstamp_inspect(token, lifetime, moment, zone)}: the token (BINARY, or STRING for
 *       its UTF-8 bytes) judged with a lifetime in minutes at the year stamp of {@code moment}, as
 *       {@code idstamp-inspect} judges it at that instant under {@code TZ=zone}; a {@link
 *       #INSPECT_TYPE} struct;
 *   <li>{@code idstamp_year_stamp(moment, zone)}: that year stamp, a BIGINT;
 *   <li>{@code idstamp_log_clf(line, param)}: the moment and the token of a Common or Combined Log
 *       Format line, as {@link ClfLine} reads it; a {@link #CLF_TYPE} struct, or null for a line
 *       whose request has no parameter {@code param}.
 * </ul>
 *
 * <p>{@code moment} is a TIMESTAMP, an instant: it is judged at the wall-clock reading it had in
 * the IANA zone {@code zone}. A TIMESTAMP_NTZ is already a reading, and the zone is not looked at. A
 * null argument gives a null result; an unknown zone or a lifetime outside INT fails the query.
 */
public final class IdstampFunctions {
  /** {@code idstamp_inspect}'s result; stamp and age_ms are null for a malformed token. */
  public static final StructType INSPECT_TYPE =
      new StructType()
          .add("verdict", DataTypes.StringType, false)
          .add("reason", DataTypes.StringType, true)
          .add("id", DataTypes.BinaryType, true)
          .add("stamp", DataTypes.LongType, true)
          .add("now", DataTypes.LongType, false)
          .add("age_ms", DataTypes.LongType, true);

  /** {@code idstamp_log_clf}'s result: the instant and the token, or else why there are none. */
  public static final StructType CLF_TYPE =
      new StructType()
          .add("moment", DataTypes.TimestampType, true)
          .add("token", DataTypes.BinaryType, true)
          .add("error", DataTypes.StringType, true);

  private IdstampFunctions() {}

  /**
   * Registers {@code idstamp_inspect}, {@code idstamp_year_stamp} and {@code idstamp_log_clf} in
   * {@code spark}'s session.
   *
   * @param spark the session
   */
  public static void register(SparkSession spark) {
    spark
        .udf()
        .register(
            "idstamp_inspect",
            (UDF4<Object, Object, Object, String, Row>) IdstampFunctions::inspect,
            INSPECT_TYPE);
    spark
        .udf()
        .register(
            "idstamp_year_stamp",
            (UDF2<Object, String, Long>) IdstampFunctions::yearStamp,
            DataTypes.LongType);
    spark
        .udf()
        .register(
            "idstamp_log_clf", (UDF2<Object, Object, Row>) IdstampFunctions::logClf, CLF_TYPE);
  }

  /**
   * {@code idstamp_inspect}: the token judged at the year stamp of {@code moment} in {@code zone}.
   *
   * @param token byte[] or String (its UTF-8 bytes)
   * @param lifetime minutes, any integral Number within int
   * @param moment Timestamp or Instant (an instant), or LocalDateTime (a reading)
   * @param zone an IANA zone name
   * @return a row of {@link #INSPECT_TYPE}, or null when an argument is
   */
  public static Row inspect(Object token, Object lifetime, Object moment, String zone) {
    if (token == null || lifetime == null) {
      return null;
    }
    Long now = yearStamp(moment, zone);
    return now == null ? null : judge(bytes(token, "token"), lifetime(lifetime), now);
  }

  /**
   * The struct of {@link #INSPECT_TYPE} for {@code token} judged at the year stamp {@code now}.
   *
   * @param token the token's bytes
   * @param lifetime minutes
   * @param now 0 to 4294967295
   * @return the row
   */
  public static Row judge(byte[] token, int lifetime, long now) {
    Idstamp.Report r = Idstamp.inspect(token, lifetime, now);
    String verdict = r.verdict().name().toLowerCase(Locale.ROOT);
    if (r.verdict() == Idstamp.Verdict.MALFORMED) {
      return RowFactory.create(verdict, r.reason(), null, null, now, null);
    }
    return RowFactory.create(verdict, null, r.id(), r.stamp(), r.now(), r.ageMs());
  }

  /**
   * {@code idstamp_year_stamp}: the year stamp of the reading {@code moment} had in {@code zone}.
   *
   * @param moment Timestamp or Instant (an instant), or LocalDateTime (a reading)
   * @param zone an IANA zone name, not looked at for a reading
   * @return 0 to 4294967295, or null when an argument is
   */
  public static Long yearStamp(Object moment, String zone) {
    if (moment instanceof LocalDateTime reading) {
      return Idstamp.yearStamp(reading.atZone(ZoneOffset.UTC));
    }
    if (moment == null || zone == null) {
      return null;
    }
    return Idstamp.yearStamp(ZonedDateTime.ofInstant(instant(moment), zone(zone)));
  }

  /**
   * {@code idstamp_log_clf}: what {@link ClfLine#read} makes of {@code line}.
   *
   * @param line byte[] or String (its UTF-8 bytes), one record without its LF
   * @param param the query parameter's name, byte[] or String
   * @return a row of {@link #CLF_TYPE}, or null for a skipped line or a null argument
   */
  public static Row logClf(Object line, Object param) {
    if (line == null || param == null) {
      return null;
    }
    ClfLine read = ClfLine.read(bytes(line, "line"), bytes(param, "param"));
    if (read == null) {
      return null;
    }
    Instant at = read.error() == null ? Instant.ofEpochSecond(read.epochSecond()) : null;
    return RowFactory.create(at, read.token(), read.error());
  }

  private static byte[] bytes(Object value, String name) {
    if (value instanceof byte[] b) {
      return b;
    }
    if (value instanceof String s) {
      return s.getBytes(StandardCharsets.UTF_8);
    }
    throw new IllegalArgumentException(name + " must be BINARY or STRING, not " + value.getClass());
  }

  private static int lifetime(Object value) {
    if (value instanceof Integer || value instanceof Short || value instanceof Byte) {
      return ((Number) value).intValue();
    }
    if (value instanceof Long l && l == l.intValue()) {
      return l.intValue();
    }
    throw new IllegalArgumentException("lifetime must be an INT number of minutes, not " + value);
  }

  /**
   * The instant of a TIMESTAMP as Spark hands it over: an Instant, or with the Java 8 time API
   * off, a Timestamp, whose hybrid-calendar fields Spark's own conversion maps back exactly.
   */
  private static Instant instant(Object moment) {
    if (moment instanceof Instant i) {
      return i;
    }
    if (moment instanceof Timestamp t) {
      long micros = DateTimeUtils.fromJavaTimestamp(t);
      return Instant.ofEpochSecond(Math.floorDiv(micros, 1_000_000L))
          .plusNanos(Math.floorMod(micros, 1_000_000L) * 1000L);
    }
    throw new IllegalArgumentException("moment must be a TIMESTAMP, not " + moment.getClass());
  }

  private static ZoneId zone(String name) {
    try {
      return ZoneId.of(name);
    } catch (DateTimeException e) {
      throw new IllegalArgumentException("zone: no IANA zone named " + name, e);
    }
  }
}
