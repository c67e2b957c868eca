package org.idstamp;

import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.Arrays;
import java.util.Collection;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.Set;
import java.util.concurrent.TimeUnit;
import java.util.regex.Pattern;
import org.openjdk.jmh.annotations.Benchmark;
import org.openjdk.jmh.annotations.BenchmarkMode;
import org.openjdk.jmh.annotations.Fork;
import org.openjdk.jmh.annotations.Measurement;
import org.openjdk.jmh.annotations.Mode;
import org.openjdk.jmh.annotations.OutputTimeUnit;
import org.openjdk.jmh.annotations.Scope;
import org.openjdk.jmh.annotations.Setup;
import org.openjdk.jmh.annotations.State;
import org.openjdk.jmh.annotations.Warmup;
import org.openjdk.jmh.results.RunResult;
import org.openjdk.jmh.runner.Runner;
import org.openjdk.jmh.runner.RunnerException;
import org.openjdk.jmh.runner.options.Options;
import org.openjdk.jmh.runner.options.OptionsBuilder;
import org.openjdk.jmh.runner.options.TimeValue;
import org.openjdk.jmh.runner.options.VerboseMode;

/**
 * JMH benchmarks of cryptId, inspect and decryptId with the stamp given, against {@code
 * digest(token)} on one MessageDigest for MD5 made before the loop, of the same 25-byte token.
 * JMH itself runs them (and prints its own table) with
 *
 * <pre>
 *   java -cp CLASSPATH org.openjdk.jmh.Main org.idstamp.Bench
 * </pre>
 *
 * and {@link #main} runs them and also prints each call's time as a ratio to the digest's:
 *
 * <pre>
 *   java -cp CLASSPATH org.idstamp.Bench [--no-goal] [--forks F] [--warmups W] [--iterations I] [--ms T] [--silent]
 * </pre>
 *
 * By default 2 forks, each of 5 warm-up and 10 measured iterations of T = 1000 ms; --silent leaves
 * out JMH's own output. The goal is at most 0.5 times the digest's time for each call, by JMH's
 * mean; main exits 1 when a goal is missed, unless --no-goal.
 *
 * <p>CLASSPATH is target/test-classes, target/classes and the test-scope jars, which {@code mvn
 * verify} lists in target/test-classpath.txt.
 */
@State(Scope.Thread)
@BenchmarkMode(Mode.AverageTime)
@OutputTimeUnit(TimeUnit.NANOSECONDS)
@Fork(2)
@Warmup(iterations = 5, time = 1)
@Measurement(iterations = 10, time = 1)
public class Bench {
  private static final double GOAL = 0.5;

  /** A typical id. */
  static final byte[] ID = "user-20489113".getBytes(java.nio.charset.StandardCharsets.US_ASCII);

  /** The stamp the token is issued with and checked against. */
  static final long STAMP = 411196474;

  // Fields of the state rather than constants, so that the JIT cannot fold
  // any call into a constant.
  byte[] id;
  long stamp;
  byte[] token;
  MessageDigest md5;

  /** A state to be set up by {@link #setUp}, as JMH does. */
  public Bench() {}

  /**
   * Makes the token, and checks that it reads back: the times of calls that give wrong results mean
   * nothing.
   *
   * @throws NoSuchAlgorithmException never: every JDK has MD5
   */
  @Setup
  public void setUp() throws NoSuchAlgorithmException {
    id = ID.clone();
    stamp = STAMP;
    token = Idstamp.cryptId(id, stamp);
    md5 = MessageDigest.getInstance("MD5");
    Idstamp.Report report = Idstamp.inspect(token, 30, stamp);
    Optional<byte[]> decrypted = Idstamp.decryptId(token, 30, stamp);
    if (report.verdict() != Idstamp.Verdict.FRESH || !Arrays.equals(report.id(), id)
        || !Arrays.equals(decrypted.orElse(null), id)) {
      throw new IllegalStateException("the benchmark's token does not read back");
    }
  }

  /**
   * Issues the token.
   *
   * @return the token
   */
  @Benchmark
  public byte[] cryptId() {
    return Idstamp.cryptId(id, stamp);
  }

  /**
   * Checks the token, fresh, with its report.
   *
   * @return the report
   */
  @Benchmark
  public Idstamp.Report inspect() {
    return Idstamp.inspect(token, 30, stamp);
  }

  /**
   * Checks the token, fresh, for its id.
   *
   * @return the id
   */
  @Benchmark
  public Optional<byte[]> decryptId() {
    return Idstamp.decryptId(token, 30, stamp);
  }

  /**
   * The yardstick: the MD5 digest of the same token.
   *
   * @return the digest
   */
  @Benchmark
  public byte[] md5() {
    return md5.digest(token);
  }

  /** Every benchmark of this class, by its method's name. */
  static final Set<String> BENCHMARKS = Set.of("cryptId", "inspect", "decryptId", "md5");

  /** The calls held to the goal, with the names they are printed by. */
  private static final String[][] CALLS = {
    {"cryptId", "cryptId(byte[], stamp)"},
    {"inspect", "inspect(byte[], 30, now)"},
    {"decryptId", "decryptId(byte[], 30, now)"},
  };

  /**
   * Runs the benchmarks under JMH and prints each call's mean time as a ratio to MD5's.
   *
   * @param args the options above
   * @throws RunnerException when JMH cannot run them
   */
  public static void main(String[] args) throws RunnerException {
    List<String> options = Arrays.asList(args);
    boolean goal = !options.contains("--no-goal");
    Map<String, Double> mean = run(options);
    double digest = mean.get("md5");
    System.out.printf("Java %s, %d-byte token, JMH's mean%n",
        System.getProperty("java.version"), Idstamp.cryptId(ID, STAMP).length);
    System.out.println("call                          ns/call   md5 ns/call   ratio");
    int missed = 0;
    for (String[] call : CALLS) {
      double ns = mean.get(call[0]);
      double ratio = ns / digest;
      if (ratio > GOAL) {
        missed++;
      }
      System.out.printf("%-28s %8.1f %12.1f   %.3f%s%n", call[1], ns, digest, ratio,
          ratio > GOAL ? "  above the goal" : "");
    }
    System.out.printf("goal: at most %.1f times MD5; %s%n", GOAL,
        missed == 0 ? "met" : "missed by " + missed + " of " + CALLS.length);
    if (goal && missed > 0) {
      System.exit(1);
    }
  }

  /**
   * Runs this class's benchmarks, and only those, under JMH with the options above.
   *
   * @param options the command line's options
   * @return each benchmark's mean time in ns, by its method's name
   * @throws RunnerException when JMH cannot run them
   */
  static Map<String, Double> run(List<String> options) throws RunnerException {
    Options jmh =
        new OptionsBuilder()
            .include("^" + Pattern.quote(Bench.class.getName()) + "\\.")
            .forks(intOption(options, "--forks", 2))
            .warmupIterations(intOption(options, "--warmups", 5))
            .warmupTime(TimeValue.milliseconds(intOption(options, "--ms", 1000)))
            .measurementIterations(intOption(options, "--iterations", 10))
            .measurementTime(TimeValue.milliseconds(intOption(options, "--ms", 1000)))
            .verbosity(options.contains("--silent") ? VerboseMode.SILENT : VerboseMode.NORMAL)
            .build();
    Collection<RunResult> results = new Runner(jmh).run();
    Map<String, Double> mean = new HashMap<>();
    for (RunResult r : results) {
      String name = r.getParams().getBenchmark();
      mean.put(name.substring(name.lastIndexOf('.') + 1), r.getPrimaryResult().getScore());
    }
    if (!mean.keySet().equals(BENCHMARKS)) {
      throw new IllegalStateException("JMH ran " + mean.keySet() + ", not " + BENCHMARKS);
    }
    return mean;
  }

  private static int intOption(List<String> options, String name, int otherwise) {
    int at = options.indexOf(name);
    return at >= 0 ? Integer.parseInt(options.get(at + 1)) : otherwise;
  }
}
