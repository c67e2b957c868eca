package org.idstamp;

/**
 * Prints the year stamp of the local clock, as {@link Idstamp#yearStamp()} reads it, or its
 * refusal on standard error with exit status 1: for tools/clock_table.sh.
 */
public final class ClockProbe {
  private ClockProbe() {}

  /**
   * Reads the clock once.
   *
   * @param args none
   */
  public static void main(String[] args) {
    try {
      System.out.println(Idstamp.yearStamp());
    } catch (IllegalStateException e) {
      System.err.println(e.getMessage());
      System.exit(1);
    }
  }
}
