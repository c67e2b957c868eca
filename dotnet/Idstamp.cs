// idstamp for .NET: short-lived scrambled tokens for ids, in one file.
//
// A token carries an id of 1 to 999 bytes (none of them zero) and the year
// stamp of its issue: milliseconds since local midnight of 1 January, modulo
// 2^32. Its bytes are shuffled and its digits replaced through a digit map.
// It is fresh while 0 <= whole minutes since its stamp < lifetime, counting
// minutes toward zero, so a stamp up to 59.999 s ahead still counts as 0.
// The same tokens come from the idstamp C++ library and command-line tool;
// docs/token-format.md in its repository describes them byte for byte.
//
// Tokens are scrambled, not signed: anyone who knows the digit map can read
// and forge them.
//
// Written in C# 7.2 against what .NET Framework 4.6.1 and .NET 6 both have,
// so that the file can be added to any project as it is.

using System;
using System.IO;
using System.Text;

namespace Idstamp
{
    /// <summary>What a checker makes of a token. Only a fresh token gives its id back.</summary>
    public enum Verdict { Fresh, Expired, Ahead, Malformed }

    /// <summary>
    /// What a token holds and why it is accepted or refused. For a malformed
    /// token, Reason names the first check it fails (too short, bad length
    /// field, no stamp, zero byte in the id, bad stamp), Id is null and the
    /// numbers are 0. Otherwise Reason is null, Id holds the id's bytes,
    /// Stamp is the stamp as written (a forged one may lie outside 32 bits),
    /// Now the stamp it was judged against and AgeMs is Now - Stamp, modulo
    /// 2^64 read as signed. Two reports are equal when their fields are, the
    /// id compared by its bytes.
    /// </summary>
    public sealed class Report : IEquatable<Report>
    {
        public Verdict Verdict { get; }
        public string Reason { get; }
        public byte[] Id { get; }
        public long Stamp { get; }
        public uint Now { get; }
        public long AgeMs { get; }

        public Report(Verdict verdict, string reason, byte[] id, long stamp, uint now, long ageMs)
        {
            Verdict = verdict;
            Reason = reason;
            Id = id;
            Stamp = stamp;
            Now = now;
            AgeMs = ageMs;
        }

        public bool Equals(Report other)
        {
            if (ReferenceEquals(other, null)) return false;
            if (Verdict != other.Verdict || Reason != other.Reason || Stamp != other.Stamp
                || Now != other.Now || AgeMs != other.AgeMs) return false;
            if (Id == null || other.Id == null) return Id == other.Id;
            if (Id.Length != other.Id.Length) return false;
            for (int i = 0; i < Id.Length; i++)
                if (Id[i] != other.Id[i]) return false;
            return true;
        }

        public override bool Equals(object obj) => Equals(obj as Report);

        public override int GetHashCode()
        {
            unchecked
            {
                int h = (int)Verdict;
                h = h * 31 + (Reason == null ? 0 : Reason.GetHashCode());
                if (Id != null)
                    foreach (byte b in Id) h = h * 31 + b;
                h = h * 31 + Stamp.GetHashCode();
                h = h * 31 + (int)Now;
                return h * 31 + AgeMs.GetHashCode();
            }
        }

        public static bool operator ==(Report a, Report b) =>
            ReferenceEquals(a, null) ? ReferenceEquals(b, null) : a.Equals(b);

        public static bool operator !=(Report a, Report b) => !(a == b);

        /// <summary>The fields, the id as the hex of its bytes.</summary>
        public override string ToString()
        {
            var hex = new StringBuilder();
            if (Id == null) hex.Append("null");
            else foreach (byte b in Id) hex.Append(b.ToString("x2"));
            return "Report[Verdict=" + Verdict + ", Reason=" + (Reason ?? "null") + ", Id=" + hex
                + ", Stamp=" + Stamp + ", Now=" + Now + ", AgeMs=" + AgeMs + "]";
        }
    }

    /// <summary>
    /// Issues and checks tokens with one digit map. A codec never changes, so
    /// any number of threads may share one. Methods taking a stamp or now
    /// never read the clock; the others read it through Tokens.YearStamp().
    /// </summary>
    public sealed class Codec
    {
        internal const string DefaultDigitMap = "5820739164";
        const long MsPerMinute = 60000;

        // Every byte to itself but the digits, through the digit map or its inverse.
        readonly byte[] encode = new byte[256];
        readonly byte[] decode = new byte[256];

        /// <summary>
        /// A codec for digitMap: ten characters, a permutation of the digits,
        /// entry d replacing the digit d. Tokens pass only between issuers and
        /// checkers with the same map.
        /// </summary>
        public Codec(string digitMap)
        {
            if (digitMap == null) throw new ArgumentNullException(nameof(digitMap));
            for (int b = 0; b < 256; b++) encode[b] = decode[b] = (byte)b;
            int seen = 0;
            for (int d = 0; d < 10 && digitMap.Length == 10; d++)
            {
                int c = digitMap[d] - '0';
                if (c < 0 || c > 9 || (seen & (1 << c)) != 0) break;
                seen |= 1 << c;
                encode['0' + d] = (byte)('0' + c);
                decode['0' + c] = (byte)('0' + d);
            }
            if (seen != (1 << 10) - 1)
                throw new ArgumentException(
                    "idstamp: the digit map must hold each of the ten digits once, not \"" + digitMap + "\"",
                    nameof(digitMap));
        }

        /// <summary>Issues a token for id at the local clock's year stamp.</summary>
        public byte[] CryptId(byte[] id)
        {
            CheckId(id);
            return Issue(id, Tokens.YearStamp());
        }

        /// <summary>Issues a token for id at the given year stamp.</summary>
        public byte[] CryptId(byte[] id, uint stamp)
        {
            CheckId(id);
            return Issue(id, stamp);
        }

        /// <summary>Issues a token for the UTF-8 bytes of id at the local clock's year stamp.</summary>
        public byte[] CryptId(string id) => CryptId(Utf8(id, nameof(id)));

        /// <summary>Issues a token for the UTF-8 bytes of id at the given year stamp.</summary>
        public byte[] CryptId(string id, uint stamp) => CryptId(Utf8(id, nameof(id)), stamp);

        /// <summary>
        /// The id of a token that is fresh by the local clock, or null. A token
        /// refused before the time comparison, or a lifetime of 0 or less,
        /// needs no clock.
        /// </summary>
        public byte[] DecryptId(byte[] token, int lifetime)
        {
            if (token == null) throw new ArgumentNullException(nameof(token));
            if (Parse(token, out int length, out long stamp) != null || lifetime <= 0) return null;
            return Judge(stamp, lifetime, Tokens.YearStamp()) == Verdict.Fresh ? IdOf(token, length) : null;
        }

        /// <summary>The id of a token that is fresh at year stamp now, or null.</summary>
        public byte[] DecryptId(byte[] token, int lifetime, uint now)
        {
            if (token == null) throw new ArgumentNullException(nameof(token));
            if (Parse(token, out int length, out long stamp) != null) return null;
            return Judge(stamp, lifetime, now) == Verdict.Fresh ? IdOf(token, length) : null;
        }

        /// <summary>DecryptId on the UTF-8 bytes of token.</summary>
        public byte[] DecryptId(string token, int lifetime) =>
            DecryptId(Utf8(token, nameof(token)), lifetime);

        /// <summary>DecryptId on the UTF-8 bytes of token, at year stamp now.</summary>
        public byte[] DecryptId(string token, int lifetime, uint now) =>
            DecryptId(Utf8(token, nameof(token)), lifetime, now);

        /// <summary>Judges a token by the local clock; a malformed one needs no clock.</summary>
        public Report Inspect(byte[] token, int lifetime)
        {
            if (token == null) throw new ArgumentNullException(nameof(token));
            string reason = Parse(token, out int length, out long stamp);
            if (reason != null) return new Report(Verdict.Malformed, reason, null, 0, 0, 0);
            return Judged(token, length, stamp, lifetime, Tokens.YearStamp());
        }

        /// <summary>Judges a token at year stamp now.</summary>
        public Report Inspect(byte[] token, int lifetime, uint now)
        {
            if (token == null) throw new ArgumentNullException(nameof(token));
            string reason = Parse(token, out int length, out long stamp);
            if (reason != null) return new Report(Verdict.Malformed, reason, null, 0, 0, 0);
            return Judged(token, length, stamp, lifetime, now);
        }

        /// <summary>Inspect on the UTF-8 bytes of token.</summary>
        public Report Inspect(string token, int lifetime) => Inspect(Utf8(token, nameof(token)), lifetime);

        /// <summary>Inspect on the UTF-8 bytes of token, at year stamp now.</summary>
        public Report Inspect(string token, int lifetime, uint now) =>
            Inspect(Utf8(token, nameof(token)), lifetime, now);

        static readonly UTF8Encoding StrictUtf8 = new UTF8Encoding(false, true);

        static byte[] Utf8(string text, string name)
        {
            if (text == null) throw new ArgumentNullException(name);
            try
            {
                return StrictUtf8.GetBytes(text);
            }
            catch (EncoderFallbackException e)
            {
                throw new ArgumentException("idstamp: " + name + " holds a lone surrogate", name, e);
            }
        }

        static void CheckId(byte[] id)
        {
            if (id == null) throw new ArgumentNullException(nameof(id));
            if (id.Length == 0 || id.Length > Tokens.MaxIdLength)
                throw new ArgumentException(
                    "idstamp: an id must be 1 to " + Tokens.MaxIdLength + " bytes, not " + id.Length, nameof(id));
            if (Array.IndexOf(id, (byte)0) >= 0)
                throw new ArgumentException("idstamp: an id must not hold a zero byte", nameof(id));
        }

        // Writes the plain token (length field, id, stamp) with each byte
        // already through the encoding map, then trades each odd position i
        // below n/2 with its mirror n-1-i: moving bytes and mapping them commute.
        byte[] Issue(byte[] id, uint stamp)
        {
            int digits = 1;
            for (uint s = stamp; s >= 10; s /= 10) digits++;
            int length = id.Length, n = 3 + length + digits;
            var token = new byte[n];
            token[0] = encode['0' + length / 100];
            token[1] = encode['0' + length / 10 % 10];
            token[2] = encode['0' + length % 10];
            for (int k = 0; k < length; k++) token[3 + k] = encode[id[k]];
            uint rest = stamp;
            for (int k = n - 1; k >= 3 + length; k--)
            {
                token[k] = encode['0' + (int)(rest % 10)];
                rest /= 10;
            }
            for (int i = 1; i < n - 1 - i; i += 2)
            {
                byte b = token[i];
                token[i] = token[n - 1 - i];
                token[n - 1 - i] = b;
            }
            return token;
        }

        // The byte at position p of the plain token, read straight from the
        // token: each odd position below n/2 and its mirror trade places, the
        // others stay, and every byte goes through the decoding map.
        byte Plain(byte[] token, int p)
        {
            int n = token.Length, q = n - 1 - p;
            int low = p < q ? p : q;
            return decode[token[(low & 1) == 1 && p != q ? q : p]];
        }

        // Reads the token without unscrambling it into a buffer of its own:
        // null with the id's length and the stamp as written, or why it is
        // malformed, in the words and order of the library's checks.
        string Parse(byte[] token, out int length, out long stamp)
        {
            length = 0;
            stamp = 0;
            int n = token.Length;
            if (n < 3) return "too short";
            byte d0 = (byte)(Plain(token, 0) - '0'), d1 = (byte)(Plain(token, 1) - '0'), d2 = (byte)(Plain(token, 2) - '0');
            long field;
            if (d0 <= 9 && d1 <= 9 && d2 <= 9) field = d0 * 100 + d1 * 10 + d2;
            else if (!ReadDecimal(token, 0, 3, out field)) return "bad length field";
            if (field <= 0) return "bad length field";
            if (3 + field >= n) return "no stamp";
            length = (int)field;
            for (int p = 3; p < 3 + length; p++)
                if (Plain(token, p) == 0) return "zero byte in the id";
            if (!ReadDecimal(token, 3 + length, n, out stamp) || stamp == -1)
            {
                length = 0;
                stamp = 0;
                return "bad stamp";
            }
            return null;
        }

        // Decimal reading of the plain token's bytes from start to end: leading
        // bytes 9 to 13 and 32, one optional + or -, then at least one digit
        // and only digits to the end. A value beyond signed 64 bits takes the
        // nearest limit.
        bool ReadDecimal(byte[] token, int start, int end, out long value)
        {
            value = 0;
            int p = start;
            byte b = 0;
            while (p < end && ((b = Plain(token, p)) == ' ' || (b >= 9 && b <= 13))) p++;
            bool negative = false;
            if (p < end && (b == '+' || b == '-'))
            {
                negative = b == '-';
                p++;
            }
            if (p == end) return false;
            const ulong Limit = 1UL << 63; // the magnitude of the lowest value
            ulong magnitude = 0;
            for (; p < end; p++)
            {
                uint d = (uint)(Plain(token, p) - '0');
                if (d > 9) return false;
                magnitude = magnitude > (Limit - d) / 10 ? Limit + 1 : magnitude * 10 + d;
            }
            if (magnitude >= Limit) value = negative ? long.MinValue : long.MaxValue;
            else value = negative ? -(long)magnitude : (long)magnitude;
            return true;
        }

        byte[] IdOf(byte[] token, int length)
        {
            var id = new byte[length];
            for (int k = 0; k < length; k++) id[k] = Plain(token, 3 + k);
            return id;
        }

        Report Judged(byte[] token, int length, long stamp, int lifetime, uint now) =>
            new Report(Judge(stamp, lifetime, now), null, IdOf(token, length), stamp, now, unchecked(now - stamp));

        // Whole minutes of age now - stamp, modulo 2^64 read as signed,
        // truncated toward zero.
        static Verdict Judge(long stamp, int lifetime, uint now)
        {
            long minutes = unchecked(now - stamp) / MsPerMinute;
            if (minutes < 0) return Verdict.Ahead;
            return minutes >= lifetime ? Verdict.Expired : Verdict.Fresh;
        }
    }

    /// <summary>
    /// Issues and checks tokens with the default digit map, and reads the
    /// year stamp. Every method is safe to call from any number of threads.
    /// Misuse (a bad id, a null) throws ArgumentException or
    /// ArgumentNullException naming the argument; a refused token is a value.
    /// </summary>
    public static class Tokens
    {
        /// <summary>The longest id, in bytes, that a token can carry.</summary>
        public const int MaxIdLength = 999;

        /// <summary>The command line's lifetime, in minutes.</summary>
        public const int DefaultLifetime = 30;

        static readonly Codec Default = new Codec(Codec.DefaultDigitMap);

        public static byte[] CryptId(byte[] id) => Default.CryptId(id);
        public static byte[] CryptId(byte[] id, uint stamp) => Default.CryptId(id, stamp);
        public static byte[] CryptId(string id) => Default.CryptId(id);
        public static byte[] CryptId(string id, uint stamp) => Default.CryptId(id, stamp);
        public static byte[] DecryptId(byte[] token, int lifetime) => Default.DecryptId(token, lifetime);
        public static byte[] DecryptId(byte[] token, int lifetime, uint now) => Default.DecryptId(token, lifetime, now);
        public static byte[] DecryptId(string token, int lifetime) => Default.DecryptId(token, lifetime);
        public static byte[] DecryptId(string token, int lifetime, uint now) => Default.DecryptId(token, lifetime, now);
        public static Report Inspect(byte[] token, int lifetime) => Default.Inspect(token, lifetime);
        public static Report Inspect(byte[] token, int lifetime, uint now) => Default.Inspect(token, lifetime, now);
        public static Report Inspect(string token, int lifetime) => Default.Inspect(token, lifetime);
        public static Report Inspect(string token, int lifetime, uint now) => Default.Inspect(token, lifetime, now);

        /// <summary>
        /// The year stamp of the local clock, in the zone the C library would
        /// apply: TZ naming a zone file (under TZDIR, else
        /// /usr/share/zoneinfo, or a full path; one leading ':' allowed),
        /// /etc/localtime with TZ unset, UTC with TZ empty or ':'. For anything else
        /// (a POSIX rule, a name with no zone file, a zone counting leap
        /// seconds) it throws InvalidOperationException naming TZ rather than
        /// guess. The zone file is read afresh on each call.
        /// </summary>
        public static uint YearStamp()
        {
            long ms = (DateTime.UtcNow.Ticks - UnixEpochTicks) / TimeSpan.TicksPerMillisecond;
            long seconds = FloorDiv(ms, 1000);
            LocalZone zone = LocalZone.Current();
            long offset = zone != null ? zone.OffsetAt(seconds)
                : (long)TimeZoneInfo.Local.GetUtcOffset(new DateTime(UnixEpochTicks + seconds * TimeSpan.TicksPerSecond, DateTimeKind.Utc)).TotalSeconds;
            DateTime local = new DateTime(UnixEpochTicks + (seconds + offset) * TimeSpan.TicksPerSecond, DateTimeKind.Unspecified);
            return Stamp(local.DayOfYear, local.Hour, local.Minute, local.Second, (int)(ms - seconds * 1000));
        }

        /// <summary>
        /// The year stamp of instant from the wall-clock fields it has in
        /// zone: ((day of year - 1) * 86400 + hour * 3600 + minute * 60 +
        /// second) * 1000 + millisecond, modulo 2^32. Across a daylight-saving
        /// change this is not the time elapsed since 1 January: the fields
        /// move with the clock. Finer parts than the millisecond are dropped.
        /// </summary>
        public static uint YearStamp(DateTimeOffset instant, TimeZoneInfo zone)
        {
            if (zone == null) throw new ArgumentNullException(nameof(zone));
            DateTime local = TimeZoneInfo.ConvertTime(instant, zone).DateTime;
            return Stamp(local.DayOfYear, local.Hour, local.Minute, local.Second, local.Millisecond);
        }

        const long UnixEpochTicks = 621355968000000000; // 1970-01-01 in DateTime ticks

        static uint Stamp(int dayOfYear, int hour, int minute, int second, int millisecond) =>
            unchecked((uint)((((dayOfYear - 1) * 86400L + hour * 3600 + minute * 60 + second) * 1000) + millisecond));

        internal static long FloorDiv(long a, long b)
        {
            long q = a / b;
            return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
        }
    }

    // The local zone as the C library finds it, read from its zone file:
    // .NET's TimeZoneInfo.Local goes its own way (Mono reads /etc/timezone
    // first, .NET ignores TZDIR, neither applies the file TZ names as a path)
    // and would give wrong stamps without a word.
    internal sealed class LocalZone
    {
        // Seconds of each change since 1970, ascending, and the UTC offset
        // from each change on; before the first, the first standard type.
        internal readonly long[] changes;
        readonly int[] offsets;
        readonly int before;
        readonly PosixRule footer; // for the times past the last change, or null

        LocalZone(long[] changes, int[] offsets, int before, PosixRule footer)
        {
            this.changes = changes;
            this.offsets = offsets;
            this.before = before;
            this.footer = footer;
        }

        static readonly LocalZone Utc = new LocalZone(new long[0], new int[0], 0, null);

        // The zone of the local clock, or null for the system's own on Windows.
        internal static LocalZone Current()
        {
            string tz = Environment.GetEnvironmentVariable("TZ");
            if (tz == "" || tz == ":") return Utc; // a lone ':' names no file: UTC, as TZ empty
            if (Environment.OSVersion.Platform == PlatformID.Win32NT)
            {
                // Windows' C library takes the system's zone, which TimeZoneInfo.Local
                // is too; it reads TZ by rules of its own, which are not applied here.
                if (tz == null) return null;
                throw Refuse("TZ=\"" + tz + "\"", "a TZ setting is not applied on Windows");
            }
            string name = tz == null ? "" : tz.StartsWith(":", StringComparison.Ordinal) ? tz.Substring(1) : tz;
            string shown = tz == null ? "TZ unset" : "TZ=\"" + tz + "\"";
            string path;
            if (tz == null)
            {
                path = "/etc/localtime";
                if (!File.Exists(path)) return Utc;
            }
            else if (name[0] == '/')
            {
                path = name;
            }
            else
            {
                string dir = Environment.GetEnvironmentVariable("TZDIR");
                path = (string.IsNullOrEmpty(dir) ? "/usr/share/zoneinfo" : dir) + "/" + name; // not cleaned, as the C library does not
            }
            byte[] data;
            try
            {
                data = File.Exists(path) ? File.ReadAllBytes(path) : null;
            }
            catch (Exception e) when (e is IOException || e is UnauthorizedAccessException || e is NotSupportedException)
            {
                throw Refuse(shown, "cannot read " + path + ": " + e.Message);
            }
            if (data == null)
                throw Refuse(shown, "no zone file " + path + ", and rules given in TZ itself are not applied");
            string why;
            LocalZone zone = FromFile(data, out why);
            if (zone == null) throw Refuse(shown, path + ": " + why);
            return zone;
        }

        static InvalidOperationException Refuse(string shown, string why) =>
            new InvalidOperationException("idstamp cannot read the local clock under " + shown + ": " + why
                + "; set TZ to a zone with a file in the zone folder, or give the stamp yourself");

        static int Be32(byte[] d, int at) => (d[at] << 24) | (d[at + 1] << 16) | (d[at + 2] << 8) | d[at + 3];

        static long Be64(byte[] d, int at) => ((long)Be32(d, at) << 32) | (uint)Be32(d, at + 4);

        // Reads a zone file: its version 2 block where there is one (64-bit
        // times and the rule for after the last change), else the first.
        internal static LocalZone FromFile(byte[] d, out string why)
        {
            why = null;
            const int Header = 44;
            if (d.Length < Header || d[0] != 'T' || d[1] != 'Z' || d[2] != 'i' || d[3] != 'f')
            {
                why = "not a zone file";
                return null;
            }
            int at = 0, width = 4;
            long size = BlockSize(d, 0, 4);
            if (d[4] >= '2')
            {
                if (Be32(d, 28) != 0 || d.Length < Header + size + Header)
                {
                    why = Be32(d, 28) != 0 ? "the zone counts leap seconds, which this clock does not" : "truncated";
                    return null;
                }
                at = Header + (int)size;
                width = 8;
                if (d[at] != 'T' || d[at + 1] != 'Z' || d[at + 2] != 'i' || d[at + 3] != 'f')
                {
                    why = "no second header";
                    return null;
                }
                size = BlockSize(d, at, 8);
            }
            int isut = Be32(d, at + 20), isstd = Be32(d, at + 24), leaps = Be32(d, at + 28);
            int times = Be32(d, at + 32), types = Be32(d, at + 36), chars = Be32(d, at + 40);
            if (leaps != 0)
            {
                why = "the zone counts leap seconds, which this clock does not";
                return null;
            }
            if (isut < 0 || isstd < 0 || times < 0 || types <= 0 || types > 256 || chars < 0 || at + Header + size > d.Length)
            {
                why = "truncated or damaged";
                return null;
            }
            int p = at + Header;
            var changes = new long[times];
            for (int i = 0; i < times; i++, p += width)
                changes[i] = width == 8 ? Be64(d, p) : Be32(d, p);
            int typeAt = p + times;
            var offsets = new int[times];
            for (int i = 0; i < times; i++)
            {
                int type = d[p + i];
                if (type >= types || (i > 0 && changes[i] <= changes[i - 1]))
                {
                    why = "damaged";
                    return null;
                }
                offsets[i] = Be32(d, typeAt + 6 * type);
            }
            int before = 0; // the first type that is not daylight saving, else the first
            while (before < types && d[typeAt + 6 * before + 4] != 0) before++;
            before = Be32(d, typeAt + 6 * (before == types ? 0 : before));
            PosixRule footer = null;
            if (width == 8)
            {
                int start = at + Header + (int)size;
                int end = start + 1 < d.Length ? Array.IndexOf(d, (byte)'\n', start + 1) : -1;
                if (start >= d.Length || d[start] != '\n' || end < 0)
                {
                    why = "no rule line after the changes";
                    return null;
                }
                string rule = Encoding.ASCII.GetString(d, start + 1, end - start - 1);
                if (rule.Length > 0 && (footer = PosixRule.Parse(rule)) == null)
                {
                    why = "a rule this clock does not read: " + rule;
                    return null;
                }
            }
            return new LocalZone(changes, offsets, before, footer);
        }

        // The bytes of a data block after its header, with times of the given width.
        static long BlockSize(byte[] d, int at, int width)
        {
            long isut = (uint)Be32(d, at + 20), isstd = (uint)Be32(d, at + 24), leaps = (uint)Be32(d, at + 28);
            long times = (uint)Be32(d, at + 32), types = (uint)Be32(d, at + 36), chars = (uint)Be32(d, at + 40);
            return times * (width + 1) + types * 6 + chars + leaps * (width + 4) + isstd + isut;
        }

        /// <summary>The UTC offset, in seconds, at seconds since 1970.</summary>
        internal long OffsetAt(long t)
        {
            int n = changes.Length;
            if (n == 0 || t < changes[0]) return before;
            if (t >= changes[n - 1] && footer != null) return footer.OffsetAt(t);
            int lo = 0, hi = n - 1; // the last change at or before t
            while (lo < hi)
            {
                int mid = (lo + hi + 1) / 2;
                if (changes[mid] <= t) lo = mid;
                else hi = mid - 1;
            }
            return offsets[lo];
        }
    }

    // A zone file's rule for the times past its last change:
    // std offset [dst [offset] ,start[/time],end[/time]], offsets west of UTC
    // positive, as POSIX writes them.
    internal sealed class PosixRule
    {
        // Set only while parsing.
        int stdOffset, dstOffset; // east of UTC, in seconds
        bool hasDst;
        readonly char[] kind = new char[2]; // 'J', 'D' (zero-based day) or 'M', for the start and the end
        readonly int[] day = new int[2], week = new int[2], month = new int[2], time = new int[2];

        internal static PosixRule Parse(string s)
        {
            var r = new PosixRule();
            int p = 0;
            if (!Name(s, ref p) || !Seconds(s, ref p, 24, out int std)) return null;
            r.stdOffset = -std;
            if (p == s.Length) return r;
            if (!Name(s, ref p)) return null;
            r.hasDst = true;
            r.dstOffset = r.stdOffset + 3600;
            if (p < s.Length && s[p] != ',')
            {
                if (!Seconds(s, ref p, 24, out int dst)) return null;
                r.dstOffset = -dst;
            }
            for (int k = 0; k < 2; k++)
            {
                if (p == s.Length || s[p++] != ',') return null;
                if (p < s.Length && s[p] == 'M')
                {
                    p++;
                    r.kind[k] = 'M';
                    if (!Number(s, ref p, 1, 12, out r.month[k]) || !Skip(s, ref p, '.')
                        || !Number(s, ref p, 1, 5, out r.week[k]) || !Skip(s, ref p, '.')
                        || !Number(s, ref p, 0, 6, out r.day[k])) return null;
                }
                else if (p < s.Length && s[p] == 'J')
                {
                    p++;
                    r.kind[k] = 'J';
                    if (!Number(s, ref p, 1, 365, out r.day[k])) return null;
                }
                else
                {
                    r.kind[k] = 'D';
                    if (!Number(s, ref p, 0, 365, out r.day[k])) return null;
                }
                r.time[k] = 7200;
                if (Skip(s, ref p, '/') && !Seconds(s, ref p, 167, out r.time[k])) return null;
            }
            return p == s.Length ? r : null;
        }

        static bool Skip(string s, ref int p, char c)
        {
            if (p < s.Length && s[p] == c)
            {
                p++;
                return true;
            }
            return false;
        }

        // Three or more letters, or <...> holding three or more of A-Z a-z 0-9 + -.
        static bool Name(string s, ref int p)
        {
            int start = p;
            if (Skip(s, ref p, '<'))
            {
                while (p < s.Length && (char.IsLetterOrDigit(s[p]) || s[p] == '+' || s[p] == '-') && s[p] < 128) p++;
                return p - start - 1 >= 3 && Skip(s, ref p, '>');
            }
            while (p < s.Length && ((s[p] | 0x20) >= 'a' && (s[p] | 0x20) <= 'z')) p++;
            return p - start >= 3;
        }

        static bool Number(string s, ref int p, int min, int max, out int value)
        {
            value = 0;
            int start = p;
            while (p < s.Length && s[p] >= '0' && s[p] <= '9' && p - start < 4) value = value * 10 + (s[p++] - '0');
            return p > start && value >= min && value <= max;
        }

        // [+-]hh[:mm[:ss]], in seconds.
        static bool Seconds(string s, ref int p, int maxHours, out int seconds)
        {
            seconds = 0;
            int sign = 1;
            if (p < s.Length && (s[p] == '+' || s[p] == '-')) sign = s[p++] == '-' ? -1 : 1;
            if (!Number(s, ref p, 0, maxHours, out int h)) return false;
            seconds = h * 3600;
            if (Skip(s, ref p, ':'))
            {
                if (!Number(s, ref p, 0, 59, out int m)) return false;
                seconds += m * 60;
                if (Skip(s, ref p, ':'))
                {
                    if (!Number(s, ref p, 0, 59, out int sec)) return false;
                    seconds += sec;
                }
            }
            seconds *= sign;
            return true;
        }

        internal long OffsetAt(long t)
        {
            if (!hasDst) return stdOffset;
            int year = new DateTime(1970, 1, 1).AddDays(Tokens.FloorDiv(t, 86400)).Year;
            long start = Change(0, year) - stdOffset, end = Change(1, year) - dstOffset;
            bool dst = start < end ? t >= start && t < end : !(t >= end && t < start);
            return dst ? dstOffset : stdOffset;
        }

        // Seconds since 1970 of the wall-clock moment of change k in year, as if at UTC.
        long Change(int k, int year)
        {
            var jan1 = new DateTime(year, 1, 1);
            long yearStart = (jan1.Ticks - new DateTime(1970, 1, 1).Ticks) / TimeSpan.TicksPerSecond;
            int dayOfYear; // from 0
            switch (kind[k])
            {
                case 'J':
                    dayOfYear = day[k] - 1 + (DateTime.IsLeapYear(year) && day[k] >= 60 ? 1 : 0);
                    break;
                case 'D':
                    dayOfYear = day[k];
                    break;
                default:
                    var first = new DateTime(year, month[k], 1);
                    int dom = 1 + ((day[k] - (int)first.DayOfWeek + 7) % 7) + 7 * (week[k] - 1);
                    int last = DateTime.DaysInMonth(year, month[k]);
                    while (dom > last) dom -= 7;
                    dayOfYear = first.DayOfYear - 1 + dom - 1;
                    break;
            }
            return yearStart + dayOfYear * 86400L + time[k];
        }
    }
}
