package org.idstamp;

import java.security.MessageDigest;
import java.util.Arrays;

/**
 * Time per call of cryptId, inspect and decryptId with the stamp given, against {@code
 * digest(token)} on one MessageDigest for MD5 made before the loop, of the same token, in turns in
 * one run:
 *
 * <pre>
 *   java -cp target/classes:target/test-classes org.idstamp.Bench [--no-goal] [--calls N]
 * </pre>
 *
 * The goal is at most 0.5 times the digest's time for each. Each is timed by its fastest round
 * after warm-up, since a busy machine only ever adds time; exits 1 when a goal is missed, unless
 * --no-goal.
 */
public final class Bench {
  private Bench() {}

  private static final double GOAL = 0.5;
  private static final int ROUNDS = 7;
  private static long sink;

  private interface Call {
    int run();
  }

  private static double nsPerCall(Call call, int calls) {
    long start = System.nanoTime();
    for (int i = 0; i < calls; i++) {
      sink += call.run();
    }
    return (System.nanoTime() - start) / (double) calls;
  }

  public static void main(String[] args) throws Exception {
    boolean goal = !Arrays.asList(args).contains("--no-goal");
    int at = Arrays.asList(args).indexOf("--calls");
    int calls = at >= 0 ? Integer.parseInt(args[at + 1]) : 1_000_000;
    byte[] id = "user-20489113".getBytes(); // a typical id
    long stamp = 411196474;
    byte[] token = Idstamp.cryptId(id, stamp);
    MessageDigest md5 = MessageDigest.getInstance("MD5");
    Call digest = () -> md5.digest(token)[0];
    Object[][] rows = {
      {"cryptId(byte[], stamp)", (Call) () -> Idstamp.cryptId(id, stamp).length},
      {"inspect(byte[], 30, now)", (Call) () -> Idstamp.inspect(token, 30, stamp).id().length},
      {"decryptId(byte[], 30, now)", (Call) () -> Idstamp.decryptId(token, 30, stamp).get().length},
    };
    System.out.printf("Java %s, %d-byte token, fastest of %d rounds of %d calls%n",
        System.getProperty("java.version"), token.length, ROUNDS, calls);
    System.out.println("call                          ns/call   md5 ns/call   ratio");
    int missed = 0;
    for (Object[] row : rows) {
      Call call = (Call) row[1];
      for (int w = 0; w < 3; w++) { // warm-up, for the JIT
        nsPerCall(call, calls);
        nsPerCall(digest, calls);
      }
      double best = Double.MAX_VALUE;
      double bestDigest = Double.MAX_VALUE;
      for (int r = 0; r < ROUNDS; r++) {
        best = Math.min(best, nsPerCall(call, calls));
        bestDigest = Math.min(bestDigest, nsPerCall(digest, calls));
      }
      double ratio = best / bestDigest;
      if (ratio > GOAL) {
        missed++;
      }
      System.out.printf("%-28s %8.1f %12.1f   %.3f%s%n", row[0], best, bestDigest, ratio,
          ratio > GOAL ? "  above the goal" : "");
    }
    System.out.printf("goal: at most %.1f times MD5; %s%n", GOAL,
        missed == 0 ? "met" : "missed by " + missed + " of " + rows.length);
    if (sink == 42) {
      System.out.println();
    }
    if (goal && missed > 0) {
      System.exit(1);
    }
  }
}
