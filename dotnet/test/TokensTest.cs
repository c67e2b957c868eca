// What the vectors and the corpus leave out: misuse, other digit maps,
// reports as values, and the clock, held to .NET's own reading of the zone
// files where both apply them.
using System;
using System.IO;
using System.Linq;
using System.Text;
using NUnit.Framework;

namespace Idstamp.Tests
{
    [TestFixture]
    public class TokensTest
    {
        static void Throws<T>(TestDelegate call, string param) where T : ArgumentException =>
            Assert.AreEqual(param, Assert.Throws<T>(call).ParamName);

        [Test]
        public void MisuseNamesTheArgument()
        {
            Throws<ArgumentNullException>(() => Tokens.CryptId((byte[])null, 0), "id");
            Throws<ArgumentNullException>(() => Tokens.CryptId((string)null), "id");
            foreach (var id in new[] { new byte[0], new byte[1000].Select(_ => (byte)'x').ToArray(), new byte[] { 65, 0, 66 } })
                Throws<ArgumentException>(() => Tokens.CryptId(id, 0), "id");
            Throws<ArgumentException>(() => Tokens.CryptId("a\ud800", 0), "id");
            Throws<ArgumentNullException>(() => Tokens.DecryptId((byte[])null, 30, 0), "token");
            Throws<ArgumentNullException>(() => Tokens.Inspect((string)null, 30), "token");
            Throws<ArgumentException>(() => Tokens.Inspect("\udc00", 30, 0), "token");
            Throws<ArgumentNullException>(() => new Codec(null), "digitMap");
            foreach (string map in new[] { "", "012345678", "0123456788", "01234567890", "012345678a", "٠١٢٣٤٥٦٧٨٩" })
                Throws<ArgumentException>(() => new Codec(map), "digitMap");
            Throws<ArgumentNullException>(() => Tokens.YearStamp(DateTimeOffset.UtcNow, null), "zone");
        }

        [Test]
        public void OtherDigitMaps()
        {
            // With the digits left alone, a token is the plain token with its odd
            // positions below the middle traded with their mirrors.
            Assert.AreEqual("0624B213A507", Encoding.ASCII.GetString(new Codec("0123456789").CryptId("AB", 1234567)));
            var codec = new Codec("9876543210");
            byte[] id = Enumerable.Range(0, 999).Select(i => (byte)(1 + i % 255)).ToArray();
            byte[] token = codec.CryptId(id, uint.MaxValue);
            Assert.AreEqual(id, codec.DecryptId(token, 1, uint.MaxValue));
            Assert.AreEqual(Verdict.Malformed, Tokens.Inspect(token, 1, uint.MaxValue).Verdict);
        }

        [Test]
        public void ReportsAreValues()
        {
            byte[] token = Tokens.CryptId("café 42", 1000);
            Assert.AreEqual(token, Tokens.CryptId(Encoding.UTF8.GetBytes("café 42"), 1000));
            Report a = Tokens.Inspect(token, 30, 2000), b = Tokens.Inspect(Encoding.UTF8.GetString(token), 30, 2000);
            Assert.AreNotSame(a.Id, b.Id);
            Assert.IsTrue(a == b && a.Equals((object)b) && a.GetHashCode() == b.GetHashCode());
            Assert.AreEqual(new Report(Verdict.Fresh, null, Encoding.UTF8.GetBytes("café 42"), 1000, 2000, 1000), a);
            b.Id[0] ^= 1;
            Assert.IsTrue(a != b && !a.Equals(null) && a != null);
            // A lifetime of 0 or less leaves every token refused, and is no error.
            Assert.AreEqual(Verdict.Expired, Tokens.Inspect(token, 0, 1000).Verdict);
            Assert.AreEqual(Verdict.Ahead, Tokens.Inspect(Tokens.CryptId("x", 60000), -5, 0).Verdict);
            Assert.IsNull(Tokens.DecryptId(token, int.MinValue, 1000));
        }

        // Runs check with TZ and TZDIR set so, then puts them back.
        static void Under(string tz, string tzdir, Action check)
        {
            string oldTz = Environment.GetEnvironmentVariable("TZ"), oldDir = Environment.GetEnvironmentVariable("TZDIR");
            Environment.SetEnvironmentVariable("TZ", tz);
            Environment.SetEnvironmentVariable("TZDIR", tzdir);
            try { check(); }
            finally
            {
                Environment.SetEnvironmentVariable("TZ", oldTz);
                Environment.SetEnvironmentVariable("TZDIR", oldDir);
            }
        }

        // The clock's stamp lies between .NET's stamps of the zone just before and just after.
        static void ClockAgrees(string tz, string tzdir, string zone)
        {
            var z = TimeZoneInfo.FindSystemTimeZoneById(zone); // Mono's reads TZDIR too
            Under(tz, tzdir, () =>
            {
                uint before = Tokens.YearStamp(DateTimeOffset.UtcNow, z), now = Tokens.YearStamp(), after = Tokens.YearStamp(DateTimeOffset.UtcNow, z);
                Assert.IsTrue(before <= now && now <= after, tz + ": " + before + " " + now + " " + after);
            });
        }

        [Test]
        public void ClockFollowsTheZoneFile()
        {
            ClockAgrees("", null, "UTC");
            ClockAgrees("Europe/Berlin", null, "Europe/Berlin");
            ClockAgrees(":Pacific/Chatham", "", "Pacific/Chatham");
            ClockAgrees("/usr/share/zoneinfo/America/New_York", null, "America/New_York");
            string dir = Path.Combine(Path.GetTempPath(), Path.GetRandomFileName());
            Directory.CreateDirectory(Path.Combine(dir, "Asia"));
            try
            {
                File.Copy("/usr/share/zoneinfo/Australia/Lord_Howe", Path.Combine(dir, "Asia/Tokyo"));
                ClockAgrees("Asia/Tokyo", dir, "Australia/Lord_Howe");
                Under("Europe/Berlin", dir, () => StringAssert.Contains("TZ=\"Europe/Berlin\"",
                    Assert.Throws<InvalidOperationException>(() => Tokens.YearStamp()).Message));
            }
            finally { Directory.Delete(dir, true); }
            foreach (string tz in new[] { "EST5EDT,M3.2.0,M11.1.0", "JST-9", "Mars/Olympus", "right/UTC", "Europe" })
                Under(tz, null, () =>
                {
                    StringAssert.Contains("TZ=\"" + tz + "\"", Assert.Throws<InvalidOperationException>(() => Tokens.CryptId("x")).Message);
                    byte[] token = Tokens.CryptId("x", 0);
                    Assert.IsNull(Tokens.DecryptId(token, 0), "a lifetime of 0 needs no clock");
                    Assert.AreEqual("bad stamp", Tokens.Inspect(token.Concat(new[] { (byte)'x' }).ToArray(), 1).Reason);
                });
            Under("", null, () => Assert.AreEqual(Encoding.ASCII.GetBytes("x"), Tokens.DecryptId(Tokens.CryptId("x"), 1)));
        }

        // The offsets read from a zone file, and those of its closing rule
        // alone, against .NET's at each change and every few days from 1972 to 2037 (the rule from
        // 2020, when each of these zones has kept it).
        [Test]
        public void ZoneFilesReadAsDotNetReadsThem()
        {
            foreach (string name in new[] { "Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "Pacific/Chatham",
                "America/Sao_Paulo", "Asia/Kolkata", "Europe/Dublin", "America/St_Johns" })
            {
                byte[] data = File.ReadAllBytes("/usr/share/zoneinfo/" + name);
                LocalZone zone = LocalZone.FromFile(data, out string why);
                Assert.IsNotNull(zone, name + ": " + why);
                string rule = Encoding.ASCII.GetString(data).TrimEnd('\n');
                rule = rule.Substring(rule.LastIndexOf('\n') + 1);
                PosixRule footer = PosixRule.Parse(rule);
                Assert.IsNotNull(footer, rule);
                var z = TimeZoneInfo.FindSystemTimeZoneById(name);
                var instants = zone.changes.SelectMany(c => new[] { c - 1, c }).Where(t => t >= 63072000 && t < 2145916800);
                for (long t = 63072000; t < 2145916800; t += 3 * 86400 + 3599) instants = instants.Append(t);
                foreach (long t in instants)
                {
                    long want = (long)z.GetUtcOffset(new DateTimeOffset(621355968000000000 + t * 10000000, TimeSpan.Zero)).TotalSeconds;
                    Assert.AreEqual(want, zone.OffsetAt(t), name + " at " + t);
                    if (t >= 1577836800) Assert.AreEqual(want, footer.OffsetAt(t), rule + " at " + t);
                }
            }
        }
    }
}
