package org.idstamp;

import java.io.IOException;
import java.nio.BufferUnderflowException;
import java.nio.ByteBuffer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.Instant;
import java.time.ZoneId;
import java.time.ZoneOffset;
import java.util.Arrays;

/**
 * The zone the C library applies to local time, found the way it finds it, held as the offsets of
 * its zone file, so that the JVM's own zone can be checked against it offset by offset.
 *
 * <p>The C library reads {@code TZ}: unset, the file {@code /etc/localtime}; empty, or a lone
 * {@code :}, UTC; otherwise, less a leading {@code :}, the zone file of that name in {@code
 * $TZDIR} (or {@code /usr/share/zoneinfo}), or of that path when it starts with {@code /}. Where
 * there is no such file it reads the text as a POSIX rule, or applies UTC: this class refuses those
 * settings instead, since the JVM applies neither the same way.
 */
final class LocalZone {
  private static final String DEFAULT_DIR = "/usr/share/zoneinfo";
  private static final int LARGEST_FILE = 1 << 20;
  private static final long HALF_YEAR_SECONDS = 182L * 86400;

  /** How the setting reads in a message, such as {@code TZ="Asia/Tokyo"}. */
  private final String setting;
  /** Why the setting is refused, or null. */
  private final String refused;
  /** The file the offsets come from, for messages. */
  private final String source;
  /** The instants, in seconds, at which the offset changes; ascending. */
  private final long[] changes;
  /** The offset in seconds before {@code changes[0]}, and from each {@code changes[i]} on. */
  private final int[] offsets;
  /** Whether rules beyond the last change, which this class does not follow, may move the offset. */
  private final boolean openEnded;

  private LocalZone(
      String setting, String refused, String source, long[] changes, int[] offsets, boolean open) {
    this.setting = setting;
    this.refused = refused;
    this.source = source;
    this.changes = changes;
    this.offsets = offsets;
    this.openEnded = open;
  }

  private static LocalZone utc(String setting) {
    return new LocalZone(setting, null, "UTC", new long[0], new int[] {0}, false);
  }

  private static LocalZone refuse(String setting, String why) {
    return new LocalZone(setting, why, null, null, null, false);
  }

  private static volatile LocalZone process;

  /** The zone this process's C library applies: its environment is fixed, so it is read once. */
  static LocalZone ofProcess() {
    LocalZone zone = process;
    if (zone == null) {
      process = zone = of(System.getenv("TZ"), System.getenv("TZDIR"), Path.of("/etc/localtime"));
    }
    return zone;
  }

  /** The zone the C library applies under {@code TZ=tz} and {@code TZDIR=tzdir} (null: unset). */
  static LocalZone of(String tz, String tzdir, Path localtime) {
    if (tz == null) {
      String setting = "TZ unset";
      return Files.exists(localtime) ? read(setting, localtime) : utc(setting);
    }
    String setting = "TZ=\"" + tz + "\"";
    String name = tz.startsWith(":") ? tz.substring(1) : tz;
    if (name.isEmpty()) {
      return utc(setting);
    }
    String dir = tzdir == null || tzdir.isEmpty() ? DEFAULT_DIR : tzdir;
    Path file = name.startsWith("/") ? Path.of(name) : Path.of(dir, name);
    if (!Files.isRegularFile(file)) {
      return refuse(
          setting,
          "there is no zone file " + file + ", so the C library reads TZ as a POSIX rule or applies"
              + " UTC; set TZ to a zone name such as America/New_York, or give the stamp yourself");
    }
    return read(setting, file);
  }

  /**
   * Why the JVM's zone {@code jvm} gives local time other than the C library's around {@code at},
   * or null when it gives the same. The offsets are compared at {@code at} and half a year either
   * side, so that a zone that differs only in summer or winter is refused all year.
   */
  String problem(ZoneId jvm, Instant at) {
    if (refused != null) {
      return "idstamp cannot read the local clock under " + setting + ": " + refused;
    }
    long now = at.getEpochSecond();
    for (long t : new long[] {now, now - HALF_YEAR_SECONDS, now + HALF_YEAR_SECONDS}) {
      int index = offsetIndex(t);
      Instant instant = Instant.ofEpochSecond(t);
      if (index < 0) {
        return "idstamp cannot read the local clock under " + setting + ": " + source
            + " holds rules beyond " + Instant.ofEpochSecond(changes[changes.length - 1])
            + " that idstamp does not follow; give the stamp yourself";
      }
      int want = offsets[index];
      int got = jvm.getRules().getOffset(instant).getTotalSeconds();
      if (want != got) {
        return "idstamp cannot read the local clock under " + setting + ": at " + instant
            + " the C library's zone (" + source + ") is UTC" + ZoneOffset.ofTotalSeconds(want)
            + " but the JVM's (" + jvm + ") is UTC" + ZoneOffset.ofTotalSeconds(got)
            + "; start the JVM with -Duser.timezone naming the zone TZ names, or give the stamp"
            + " yourself";
      }
    }
    return null;
  }

  /** The index in {@link #offsets} in force at second {@code t}, or -1 where it is not known. */
  private int offsetIndex(long t) {
    int i = Arrays.binarySearch(changes, t);
    int index = i >= 0 ? i + 1 : -i - 1; // the number of changes at or before t
    return index == changes.length && openEnded && changes.length > 0 ? -1 : index;
  }

  /**
   * The offsets of a zone file in the format of RFC 8536, from its 64-bit part where it has one. A
   * file that counts leap seconds is refused: the JVM never does.
   */
  private static LocalZone read(String setting, Path file) {
    try {
      if (Files.size(file) > LARGEST_FILE) {
        return refuse(setting, file + " is too large to be a zone file");
      }
      ByteBuffer in = ByteBuffer.wrap(Files.readAllBytes(file));
      int[] counts = header(in);
      if (counts == null) {
        return refuse(setting, file + " is not a zone file");
      }
      int timeSize = 4;
      if (in.get(4) >= '2') { // skip the 32-bit part, to the 64-bit one
        in.position(in.position() + body(counts, 4));
        counts = header(in);
        if (counts == null) {
          return refuse(setting, file + " is not a zone file");
        }
        timeSize = 8;
      }
      int isUt = counts[0];
      int isStd = counts[1];
      int leaps = counts[2];
      int times = counts[3];
      int types = counts[4];
      int chars = counts[5];
      if (leaps > 0) {
        return refuse(setting, file + " counts leap seconds, which the JVM's clock does not");
      }
      if (types == 0) {
        return refuse(setting, file + " is not a zone file");
      }
      long[] changes = new long[times];
      for (int i = 0; i < times; i++) {
        changes[i] = timeSize == 8 ? in.getLong() : in.getInt();
        if (i > 0 && changes[i] <= changes[i - 1]) {
          return refuse(setting, file + " is not a zone file");
        }
      }
      int[] typeOf = new int[times];
      for (int i = 0; i < times; i++) {
        typeOf[i] = in.get() & 0xFF;
        if (typeOf[i] >= types) {
          return refuse(setting, file + " is not a zone file");
        }
      }
      int[] typeOffset = new int[types];
      for (int i = 0; i < types; i++) {
        typeOffset[i] = in.getInt();
        in.position(in.position() + 2); // whether it is summer time, and its abbreviation
      }
      int[] offsets = new int[times + 1];
      offsets[0] = typeOffset[0];
      for (int i = 0; i < times; i++) {
        offsets[i + 1] = typeOffset[typeOf[i]];
      }
      in.position(in.position() + chars + isStd + isUt);
      return new LocalZone(setting, null, file.toString(), changes, offsets, footerMoves(in));
    } catch (IOException | BufferUnderflowException | IllegalArgumentException e) {
      return refuse(setting, file + " cannot be read as a zone file (" + e + ")");
    }
  }

  /** The six counts of a header at the buffer's position, which moves past it; null if none. */
  private static int[] header(ByteBuffer in) {
    if (in.remaining() < 44
        || in.get() != 'T' || in.get() != 'Z' || in.get() != 'i' || in.get() != 'f') {
      return null;
    }
    in.position(in.position() + 16); // the version and fifteen reserved bytes
    int[] counts = new int[6];
    for (int i = 0; i < 6; i++) {
      counts[i] = in.getInt();
      if (counts[i] < 0 || counts[i] > LARGEST_FILE) {
        return null;
      }
    }
    return counts;
  }

  /** The length of the data after a header with these counts, for times of {@code timeSize}. */
  private static int body(int[] counts, int timeSize) {
    return counts[3] * (timeSize + 1) + counts[4] * 6 + counts[5]
        + counts[2] * (timeSize + 4) + counts[1] + counts[0];
  }

  /**
   * Whether the footer of a version 2 file, a POSIX rule for the times after the last change, has
   * summer time: only then can it move the offset the last change set.
   */
  private static boolean footerMoves(ByteBuffer in) {
    if (in.remaining() < 2 || in.get() != '\n') {
      return false; // a version 1 file: the last offset holds for ever
    }
    byte[] rest = new byte[in.remaining()];
    in.get(rest);
    String footer = new String(rest, StandardCharsets.US_ASCII).strip();
    // A standard name (letters, or anything in <>), its offset, and nothing more: no summer time.
    return !footer.isEmpty() && !footer.matches("(<[^>]*>|[A-Za-z]+)[+-]?\\d{1,2}(:\\d{1,2}){0,2}");
  }
}
