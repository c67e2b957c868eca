// The shared vectors of docs/token-vectors.json, and the conformance corpus
// that tools/corpus.py writes from idstamp-inspect (read from
// IDSTAMP_CORPUS; ignored when it is unset): every token row through Inspect
// and DecryptId with now given, every year-stamp row through YearStamp of
// that instant in that zone.
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Text.RegularExpressions;
using NUnit.Framework;

namespace Idstamp.Tests
{
    [TestFixture]
    public class ConformanceTest
    {
        internal static byte[] Unhex(string hex)
        {
            var bytes = new byte[hex.Length / 2];
            for (int i = 0; i < bytes.Length; i++) bytes[i] = Convert.ToByte(hex.Substring(2 * i, 2), 16);
            return bytes;
        }

        internal static string Hex(byte[] bytes) =>
            bytes == null ? "" : string.Concat(bytes.Select(b => b.ToString("x2")));

        static string Lower(Verdict v) => v.ToString().ToLowerInvariant();

        // The vectors file: IDSTAMP_VECTORS, else docs/token-vectors.json in a
        // folder above the current one. Each vector sits on a line of its
        // own, a flat object of strings and numbers.
        static IEnumerable<Dictionary<string, string>> Vectors(string list)
        {
            string path = Environment.GetEnvironmentVariable("IDSTAMP_VECTORS");
            for (string dir = Environment.CurrentDirectory; path == null && dir != null; dir = Path.GetDirectoryName(dir))
                if (File.Exists(Path.Combine(dir, "docs/token-vectors.json"))) path = Path.Combine(dir, "docs/token-vectors.json");
            Assert.IsNotNull(path, "no docs/token-vectors.json above " + Environment.CurrentDirectory + ", and IDSTAMP_VECTORS unset");
            string text = File.ReadAllText(path);
            StringAssert.Contains("\"digit_map\": \"" + Codec.DefaultDigitMap + "\"", text);
            string block = text.Substring(text.IndexOf("\"" + list + "\": [", StringComparison.Ordinal));
            block = block.Substring(0, block.IndexOf(']'));
            var rows = Regex.Matches(block, @"\{[^}]*\}").Cast<Match>().Select(m =>
                Regex.Matches(m.Value, "\"(\\w+)\": (?:\"([^\"]*)\"|(-?\\d+))").Cast<Match>()
                    .ToDictionary(f => f.Groups[1].Value, f => f.Groups[2].Success ? f.Groups[2].Value : f.Groups[3].Value))
                .ToList();
            Assert.Greater(rows.Count, 20, list);
            return rows;
        }

        [Test]
        public void IssueVectors()
        {
            foreach (var v in Vectors("issue"))
            {
                byte[] id = Unhex(v["id_hex"]);
                uint stamp = uint.Parse(v["stamp"]);
                byte[] token = Tokens.CryptId(id, stamp);
                Assert.AreEqual(v["token_hex"], Hex(token), "issuing " + v["id_hex"] + " at " + stamp);
                Assert.AreEqual(id, Tokens.DecryptId(token, 30, stamp), v["token_hex"]);
            }
        }

        [Test]
        public void CheckVectors()
        {
            foreach (var v in Vectors("check"))
            {
                byte[] token = Unhex(v["token_hex"]);
                int lifetime = int.Parse(v["lifetime"]);
                uint now = uint.Parse(v["now"]);
                Report r = Tokens.Inspect(token, lifetime, now);
                string why = v["token_hex"] + " at " + now + ": " + r;
                Assert.AreEqual(v["verdict"], Lower(r.Verdict), why);
                if (r.Verdict == Verdict.Malformed) Assert.AreEqual(v["reason"], r.Reason, why);
                else Assert.AreEqual(v["id_hex"], Hex(r.Id), why);
                Assert.AreEqual(r.Verdict == Verdict.Fresh ? v["id_hex"] : "", Hex(Tokens.DecryptId(token, lifetime, now)), why);
            }
        }

        // Calls each with the fields of every row of the corpus file name,
        // after checking its header; gives the number of rows.
        static int CorpusRows(string name, string header, Func<string[], string> each)
        {
            string dir = Environment.GetEnvironmentVariable("IDSTAMP_CORPUS");
            if (string.IsNullOrEmpty(dir)) Assert.Ignore("IDSTAMP_CORPUS names no corpus directory");
            int rows = 0;
            using (var lines = new StreamReader(Path.Combine(dir, name)))
            {
                Assert.AreEqual(header, lines.ReadLine(), name + ": header");
                int width = header.Split('\t').Length;
                for (string line; (line = lines.ReadLine()) != null;)
                {
                    rows++;
                    string[] f = line.Split('\t');
                    Assert.AreEqual(width, f.Length, name + " row " + rows + ": fields");
                    string why = each(f);
                    if (why != null) Assert.Fail(name + " row " + rows + ": " + why + "\n  " + line);
                }
            }
            Assert.Greater(rows, 0, name + " holds no rows");
            return rows;
        }

        [Test]
        public void CorpusTokens()
        {
            var seen = new HashSet<string>();
            int rows = CorpusRows("tokens.tsv", "token_hex\tlifetime\tnow\tverdict\treason\tid_hex\tstamp\tage_ms", f =>
            {
                byte[] token = Unhex(f[0]);
                int lifetime = int.Parse(f[1]);
                uint now = uint.Parse(f[2]);
                Report r = Tokens.Inspect(token, lifetime, now);
                Report want = f[3] == "malformed"
                    ? new Report(Verdict.Malformed, f[4], null, 0, 0, 0)
                    : new Report((Verdict)Enum.Parse(typeof(Verdict), f[3], true), null, Unhex(f[5]),
                        long.Parse(f[6]), now, long.Parse(f[7]));
                if (r != want) return "Inspect gives " + r;
                byte[] id = Tokens.DecryptId(token, lifetime, now);
                if ((id != null) != (r.Verdict == Verdict.Fresh) || (id != null && Hex(id) != f[5]))
                    return "DecryptId gives " + (id == null ? "null" : Hex(id));
                seen.Add(f[3] + " " + f[4]);
                return null;
            });
            foreach (string kind in new[] { "fresh ", "expired ", "ahead ", "malformed too short", "malformed bad length field",
                "malformed no stamp", "malformed zero byte in the id", "malformed bad stamp" })
                Assert.IsTrue(seen.Contains(kind), "the corpus holds no token that is " + kind);
            Console.WriteLine(rows + " tokens judged alike");
        }

        [Test]
        public void CorpusYearStamps()
        {
            int rows = CorpusRows("year_stamps.tsv", "zone\tinstant_ms\tstamp", f =>
            {
                var instant = new DateTimeOffset(621355968000000000 + long.Parse(f[1]) * 10000, TimeSpan.Zero);
                uint got = Tokens.YearStamp(instant, TimeZoneInfo.FindSystemTimeZoneById(f[0]));
                return got.ToString() == f[2] ? null : "YearStamp gives " + got;
            });
            Console.WriteLine(rows + " year stamps alike");
        }
    }
}
