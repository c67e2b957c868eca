// Times Inspect and DecryptId with now given (and CryptId with the stamp
// given) against MD5.ComputeHash of the same token, on one MD5 instance
// made before the loop, in turns in one run. Each is timed by its fastest
// round, since a busy machine only ever adds time. Prints the ratios; the
// goal, at most 0.5, is judged on a quiet machine, not here.
//   mono bench.exe [ROUNDS]
using System;
using System.Diagnostics;
using System.Security.Cryptography;
using Idstamp;

static class Bench
{
    const int Calls = 20000;
    static int sink;

    static double PerCall(Action call)
    {
        var watch = Stopwatch.StartNew();
        for (int i = 0; i < Calls; i++) call();
        return watch.Elapsed.TotalMilliseconds * 1e6 / Calls;
    }

    static int Main(string[] args)
    {
        int rounds = args.Length > 0 ? int.Parse(args[0]) : 40;
        byte[] id = System.Text.Encoding.ASCII.GetBytes("user-20489113");
        const uint stamp = 411196474;
        byte[] token = Tokens.CryptId(id, stamp);
        using (MD5 md5 = MD5.Create())
        {
            Action digest = () => sink += md5.ComputeHash(token)[0];
            var calls = new (string, Action)[]
            {
                ("CryptId", () => sink += Tokens.CryptId(id, stamp).Length),
                ("Inspect", () => sink += Tokens.Inspect(token, 30, stamp).Id.Length),
                ("DecryptId", () => sink += Tokens.DecryptId(token, 30, stamp).Length),
            };
            Console.WriteLine(token.Length + "-byte token, fastest of " + rounds + " rounds of " + Calls + " calls, each call in turn with MD5.ComputeHash");
            foreach (var c in calls)
            {
                double best = double.MaxValue, md5Best = double.MaxValue;
                for (int r = 0; r < rounds; r++)
                {
                    best = Math.Min(best, PerCall(c.Item2));
                    md5Best = Math.Min(md5Best, PerCall(digest));
                }
                Console.WriteLine("{0,-10} {1,7:F1} ns/call, MD5 {2,7:F1} ns, ratio {3:F3} (goal 0.5)", c.Item1, best, md5Best, best / md5Best);
            }
        }
        return sink == 42 ? 1 : 0;
    }
}
