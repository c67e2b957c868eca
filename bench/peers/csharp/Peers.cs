// idstamp's check against HMAC-SHA256 in the .NET class library, the floor
// under any signed token: an HMACSHA256 keyed once, computing the tag of a
// message as long as the token and comparing it in constant time. Each is
// timed in turns, in rounds after warm-up rounds, and given by its fastest
// round: a busy machine only adds time.
//   mono peers.exe [ROUNDS]
using System;
using System.Diagnostics;
using System.Security.Cryptography;
using System.Text;
using Idstamp;

static class Peers
{
    const uint Stamp = 411196474;
    const int WarmUp = 5;
    static readonly byte[] Id = Encoding.ASCII.GetBytes("user-20489113");

    static bool SameBytes(byte[] a, byte[] b)
    {
        if (a == null || a.Length != b.Length) return false;
        int diff = 0;
        for (int i = 0; i < a.Length; i++) diff |= a[i] ^ b[i];
        return diff == 0;
    }

    static int Main(string[] args)
    {
        int rounds = args.Length > 0 ? int.Parse(args[0]) : 20;
        byte[] token = Tokens.CryptId(Id, Stamp);
        var hmac = new HMACSHA256(Encoding.ASCII.GetBytes("a key of thirty-two bytes, fixed"));
        byte[] tag = hmac.ComputeHash(token);

        var names = new[] { "idstamp Tokens.DecryptId (now given)", "HMACSHA256 ComputeHash, keyed once" };
        var counts = new[] { 200000, 50000 };
        var calls = new Func<bool>[] {
            () => SameBytes(Tokens.DecryptId(token, 30, Stamp), Id),
            () => SameBytes(hmac.ComputeHash(token), tag),
        };
        var best = new double[calls.Length];
        for (int c = 0; c < best.Length; c++) best[c] = double.PositiveInfinity;
        for (int r = 0; r < WarmUp + rounds; r++)
        {
            for (int c = 0; c < calls.Length; c++)
            {
                bool ok = true;
                var watch = Stopwatch.StartNew();
                for (int i = 0; i < counts[c]; i++) ok &= calls[c]();
                double ns = watch.Elapsed.TotalMilliseconds * 1e6 / counts[c];
                if (!ok)
                {
                    Console.Error.WriteLine("peers: " + names[c] + " refused its own token");
                    return 1;
                }
                if (r >= WarmUp) best[c] = Math.Min(best[c], ns);
            }
        }
        Console.WriteLine("C# (CLR {0}), {1}-byte idstamp token, fastest of {2} rounds after {3} of warm-up",
            Environment.Version, token.Length, rounds, WarmUp);
        Console.WriteLine("{0,-40} {1,10} {2,8}", "check", "ns/call", "ratio");
        for (int c = 0; c < calls.Length; c++)
            Console.WriteLine("{0,-40} {1,10:F1} {2,7:F1}x", names[c], best[c], best[c] / best[0]);
        return 0;
    }
}
