package org.idstamp;

import java.security.MessageDigest;
import java.util.Arrays;
import java.util.List;
import java.util.Optional;

/**
 * Time per call of cryptId, inspect and decryptId with the stamp given, against {@code
 * digest(token)} on one MessageDigest for MD5 made before the loop, of the same token, in turns in
 * one run:
 *
 * <pre>
 *   java -cp target/classes:target/test-classes org.idstamp.Bench [--no-goal] [--calls N] [--rounds R]
 * </pre>
 *
 * The goal is at most 0.5 times the digest's time for each. Each is timed by its fastest round
 * after warm-up, since a busy machine only ever adds time; exits 1 when a goal is missed, unless
 * --no-goal.
 *
 * <p>Each call has a loop of its own, so that the JIT compiles each as a caller would, without an
 * interface call in between that both sides would pay; and every result is stored where the JIT
 * must assume it is read, so that no call is cut short: each report, id, token and digest is
 * made in full.
 */
public final class Bench {
  private Bench() {}

  private static final double GOAL = 0.5;

  /**
   * Where every result goes, so that none can be left unmade: an array's slots can be read after
   * the loop, so the JIT must make and store each result, at the cost of a plain store.
   */
  static final Object[] escape = new Object[1024];

  private static byte[] id;
  private static long stamp;
  private static byte[] token;
  private static MessageDigest md5;

  private static long issue(int calls) {
    long start = System.nanoTime();
    for (int i = 0; i < calls; i++) {
      escape[i & 1023] = Idstamp.cryptId(id, stamp);
    }
    return System.nanoTime() - start;
  }

  private static long inspect(int calls) {
    long start = System.nanoTime();
    for (int i = 0; i < calls; i++) {
      escape[i & 1023] = Idstamp.inspect(token, 30, stamp);
    }
    return System.nanoTime() - start;
  }

  private static long decrypt(int calls) {
    long start = System.nanoTime();
    for (int i = 0; i < calls; i++) {
      escape[i & 1023] = Idstamp.decryptId(token, 30, stamp);
    }
    return System.nanoTime() - start;
  }

  private static long digest(int calls) {
    long start = System.nanoTime();
    for (int i = 0; i < calls; i++) {
      escape[i & 1023] = md5.digest(token);
    }
    return System.nanoTime() - start;
  }

  private interface Loop {
    long time(int calls);
  }

  public static void main(String[] args) throws Exception {
    List<String> options = Arrays.asList(args);
    boolean goal = !options.contains("--no-goal");
    int calls = intOption(options, "--calls", 200_000);
    int rounds = intOption(options, "--rounds", 25);
    id = "user-20489113".getBytes(); // a typical id
    stamp = 411196474;
    token = Idstamp.cryptId(id, stamp);
    md5 = MessageDigest.getInstance("MD5");
    // The calls give the right results, or their times mean nothing.
    Idstamp.Report report = Idstamp.inspect(token, 30, stamp);
    Optional<byte[]> decrypted = Idstamp.decryptId(token, 30, stamp);
    if (report.verdict() != Idstamp.Verdict.FRESH || !Arrays.equals(report.id(), id)
        || !Arrays.equals(decrypted.orElse(null), id)) {
      throw new AssertionError("the benchmark's token does not read back");
    }
    Object[][] rows = {
      {"cryptId(byte[], stamp)", (Loop) Bench::issue},
      {"inspect(byte[], 30, now)", (Loop) Bench::inspect},
      {"decryptId(byte[], 30, now)", (Loop) Bench::decrypt},
    };
    System.out.printf("Java %s, %d-byte token, fastest of %d rounds of %d calls%n",
        System.getProperty("java.version"), token.length, rounds, calls);
    for (int w = 0; w < 5; w++) { // warm-up, for the JIT
      for (Object[] row : rows) {
        ((Loop) row[1]).time(calls);
      }
      digest(calls);
    }
    double[] best = new double[rows.length];
    Arrays.fill(best, Double.MAX_VALUE);
    double bestDigest = Double.MAX_VALUE;
    for (int r = 0; r < rounds; r++) { // in turns, so that each meets the same load
      for (int c = 0; c < rows.length; c++) {
        best[c] = Math.min(best[c], ((Loop) rows[c][1]).time(calls) / (double) calls);
      }
      bestDigest = Math.min(bestDigest, digest(calls) / (double) calls);
    }
    System.out.println("call                          ns/call   md5 ns/call   ratio");
    int missed = 0;
    for (int c = 0; c < rows.length; c++) {
      double ratio = best[c] / bestDigest;
      if (ratio > GOAL) {
        missed++;
      }
      System.out.printf("%-28s %8.1f %12.1f   %.3f%s%n", rows[c][0], best[c], bestDigest, ratio,
          ratio > GOAL ? "  above the goal" : "");
    }
    System.out.printf("goal: at most %.1f times MD5; %s%n", GOAL,
        missed == 0 ? "met" : "missed by " + missed + " of " + rows.length);
    if (goal && missed > 0) {
      System.exit(1);
    }
  }

  private static int intOption(List<String> options, String name, int otherwise) {
    int at = options.indexOf(name);
    return at >= 0 ? Integer.parseInt(options.get(at + 1)) : otherwise;
  }
}
