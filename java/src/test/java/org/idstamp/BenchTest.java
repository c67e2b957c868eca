package org.idstamp;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;

/**
 * The benchmarks as JMH finds and runs them: a harness that JMH's annotation processor did not
 * write, or a selection that misses a benchmark or takes another class's, fails here rather than
 * in a timing run. In this JVM (no fork) and briefly: the times mean nothing, only that each came.
 */
class BenchTest {
  @Test
  void jmhRunsEveryBenchmarkOfTheClassAndNoOther() throws Exception {
    Map<String, Double> mean =
        Bench.run(List.of(
            "--forks", "0", "--warmups", "0", "--iterations", "1", "--ms", "20", "--silent"));
    assertEquals(Bench.BENCHMARKS, mean.keySet());
    mean.forEach((name, ns) -> assertTrue(ns > 0 && Double.isFinite(ns), name + ": " + ns + " ns"));
  }

  @Test
  void theBenchmarkedCallsTakeTheFullPath() throws Exception {
    Bench state = new Bench();
    state.setUp();
    // A fresh token: the check reads the id out in full rather than stopping at a refusal.
    assertEquals(Idstamp.Verdict.FRESH, state.inspect().verdict());
    assertEquals("user-20489113", new String(state.decryptId().orElseThrow(), "US-ASCII"));
    assertEquals(25, state.cryptId().length);
    assertEquals(16, state.md5().length);
  }
}
