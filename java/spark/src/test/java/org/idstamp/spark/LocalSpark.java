package org.idstamp.spark;

import org.apache.spark.sql.SparkSession;

/** One local[2] session for every test class, with the functions registered. */
final class LocalSpark {
  private static SparkSession session;

  private LocalSpark() {}

  static synchronized SparkSession session() {
    if (session == null) {
      session =
          SparkSession.builder()
              .master("local[2]")
              .appName("idstamp-spark-tests")
              .config("spark.ui.enabled", "false")
              .config("spark.sql.shuffle.partitions", "2")
              .config("spark.sql.session.timeZone", "UTC")
              .getOrCreate();
      session.sparkContext().setLogLevel("WARN");
      IdstampFunctions.register(session);
    }
    return session;
  }
}
