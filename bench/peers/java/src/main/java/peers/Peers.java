package peers;

import com.macasaet.fernet.Key;
import com.macasaet.fernet.StringValidator;
import com.macasaet.fernet.Token;
import io.jsonwebtoken.Jwts;
import io.jsonwebtoken.JwtParser;
import io.jsonwebtoken.security.Keys;
import java.nio.charset.StandardCharsets;
import java.time.Duration;
import java.time.temporal.TemporalAmount;
import java.util.Arrays;
import java.util.Date;
import java.util.function.BooleanSupplier;
import javax.crypto.SecretKey;
import org.idstamp.Idstamp;

/**
 * idstamp's check against the Java libraries a user would pick instead, in one run: jjwt
 * verifying an HS256 token, and fernet-java8 verifying and decrypting a Fernet token. Each peer
 * checks a token it made itself before the loop. Every call is timed in turns, in rounds after
 * warm-up rounds, and given by its fastest round: a busy machine only adds time.
 *
 * <pre>java -cp ... peers.Peers [ROUNDS]</pre>
 */
public final class Peers {
  private static final String ID = "user-20489113";
  private static final byte[] ID_BYTES = ID.getBytes(StandardCharsets.US_ASCII);
  private static final long STAMP = 411196474L;
  private static final byte[] KEY = "a key of thirty-two bytes, fixed".getBytes(StandardCharsets.US_ASCII);
  private static final int WARM_UP = 5;

  private record Check(String name, int count, BooleanSupplier call) {}

  private Peers() {}

  public static void main(String[] args) {
    int rounds = args.length > 0 ? Integer.parseInt(args[0]) : 20;

    byte[] token = Idstamp.cryptId(ID_BYTES, STAMP);
    SecretKey jwtKey = Keys.hmacShaKeyFor(KEY);
    String signed = Jwts.builder().subject(ID)
        .expiration(new Date(System.currentTimeMillis() + 3_600_000L))
        .signWith(jwtKey, Jwts.SIG.HS256).compact();
    JwtParser parser = Jwts.parser().verifyWith(jwtKey).build();
    Key fernetKey = Key.generateKey();
    String fernetToken = Token.generate(fernetKey, ID).serialise();
    StringValidator validator = new StringValidator() {
      @Override
      public TemporalAmount getTimeToLive() {
        return Duration.ofMinutes(30);
      }
    };

    Check[] checks = {
      new Check("idstamp decryptId (now given)", 200_000,
          () -> Idstamp.decryptId(token, 30, STAMP).map(id -> Arrays.equals(id, ID_BYTES)).orElse(false)),
      new Check("jjwt parseSignedClaims (HS256)", 10_000,
          () -> ID.equals(parser.parseSignedClaims(signed).getPayload().getSubject())),
      new Check("fernet-java8 validateAndDecrypt", 10_000,
          () -> ID.equals(Token.fromString(fernetToken).validateAndDecrypt(fernetKey, validator))),
    };
    double[] best = new double[checks.length];
    Arrays.fill(best, Double.POSITIVE_INFINITY);
    for (int r = 0; r < WARM_UP + rounds; r++) {
      for (int c = 0; c < checks.length; c++) {
        boolean ok = true;
        long start = System.nanoTime();
        for (int i = 0; i < checks[c].count(); i++) {
          ok &= checks[c].call().getAsBoolean();
        }
        double ns = (double) (System.nanoTime() - start) / checks[c].count();
        if (!ok) {
          System.err.println("peers: " + checks[c].name() + " refused its own token");
          System.exit(1);
        }
        if (r >= WARM_UP) {
          best[c] = Math.min(best[c], ns);
        }
      }
    }
    System.out.printf("Java %s, %d-byte idstamp token, fastest of %d rounds after %d of warm-up%n",
        System.getProperty("java.version"), token.length, rounds, WARM_UP);
    System.out.printf("%-40s %10s %8s%n", "check", "ns/call", "ratio");
    for (int c = 0; c < checks.length; c++) {
      System.out.printf("%-40s %10.1f %7.1fx%n", checks[c].name(), best[c], best[c] / best[0]);
    }
  }
}
