package org.idstamp;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HexFormat;
import java.util.HashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import org.junit.jupiter.api.Test;

/** Every vector of docs/token-vectors.json, with ids and tokens as bytes and, where UTF-8, text. */
class VectorsTest {
  private static final Pattern MEMBER =
      Pattern.compile("\"(\\w+)\": (\"[^\"\\\\]*\"|-?\\d+|null)");

  /** The vectors file holds one flat object a line, with no escapes in its strings. */
  static List<Map<String, String>> vectors(String list) throws IOException {
    List<Map<String, String>> out = new ArrayList<>();
    boolean in = false;
    for (String line : Files.readAllLines(Path.of("../docs/token-vectors.json"))) {
      if (line.startsWith(" \"")) {
        in = line.startsWith(" \"" + list + "\"");
      } else if (in && line.startsWith("  {")) {
        Map<String, String> v = new HashMap<>();
        Matcher m = MEMBER.matcher(line);
        while (m.find()) {
          String value = m.group(2);
          v.put(m.group(1), value.startsWith("\"") ? value.substring(1, value.length() - 1) : value);
        }
        out.add(v);
      }
    }
    return out;
  }

  static String text(byte[] bytes) {
    try {
      return StandardCharsets.UTF_8.newDecoder().decode(ByteBuffer.wrap(bytes)).toString();
    } catch (CharacterCodingException e) {
      return null;
    }
  }

  private static final HexFormat HEX = HexFormat.of();

  @Test
  void issue() throws IOException {
    List<Map<String, String>> list = vectors("issue");
    assertFalse(list.isEmpty());
    for (Map<String, String> v : list) {
      byte[] id = HEX.parseHex(v.get("id_hex"));
      long stamp = Long.parseLong(v.get("stamp"));
      String what = "issue " + v;
      assertEquals(v.get("token_hex"), HEX.formatHex(Idstamp.cryptId(id, stamp)), what);
      if (text(id) != null) {
        assertEquals(v.get("token_hex"), HEX.formatHex(Idstamp.cryptId(text(id), stamp)), what);
      }
      byte[] token = HEX.parseHex(v.get("token_hex"));
      assertArrayEquals(id, Idstamp.decryptId(token, 30, stamp).orElse(null), what);
    }
  }

  @Test
  void check() throws IOException {
    List<Map<String, String>> list = vectors("check");
    assertFalse(list.isEmpty());
    for (Map<String, String> v : list) {
      byte[] token = HEX.parseHex(v.get("token_hex"));
      int lifetime = Integer.parseInt(v.get("lifetime"));
      long now = Long.parseLong(v.get("now"));
      String verdict = v.get("verdict");
      byte[] id = v.containsKey("id_hex") ? HEX.parseHex(v.get("id_hex")) : null;
      List<Idstamp.Report> reports = new ArrayList<>(List.of(Idstamp.inspect(token, lifetime, now)));
      if (text(token) != null) {
        reports.add(Idstamp.inspect(text(token), lifetime, now));
        assertArrayEquals(
            verdict.equals("fresh") ? id : null,
            Idstamp.decryptId(text(token), lifetime, now).orElse(null));
      }
      for (Idstamp.Report r : reports) {
        String what = "check " + v + ": " + r;
        assertEquals(verdict, r.verdict().name().toLowerCase(Locale.ROOT), what);
        assertArrayEquals(id, r.id(), what);
        if (verdict.equals("malformed")) {
          assertNotNull(r.reason(), what);
          if (v.containsKey("reason")) {
            assertEquals(v.get("reason"), r.reason(), what);
          }
        } else {
          assertNull(r.reason(), what);
          assertEquals(now, r.now(), what);
          assertEquals(now - r.stamp(), r.ageMs(), what);
        }
      }
      assertArrayEquals(
          verdict.equals("fresh") ? id : null,
          Idstamp.decryptId(token, lifetime, now).orElse(null),
          "decryptId " + v);
    }
  }
}
