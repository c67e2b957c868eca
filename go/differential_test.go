package idstamp

// Differential check against the C++ library, through its idstamp-inspect
// program; skipped unless given its path:
//
//	go test -run Differential -count 1 . -args -inspect PATH/TO/idstamp-inspect
//
//  1. Tokens: the package and `idstamp-inspect --batch --json --at` judge the
//     same generated tokens (issued ones that are fresh, expired and ahead;
//     forged and random ones, malformed for every reason and oddly valid;
//     long and hostile ones) at moments in UTC and in zones with daylight
//     saving, and must agree on every field.
//  2. Clock: Inspect under a frozen clock, in a fresh process whose TZ names
//     the zone, and idstamp-inspect frozen by libfaketime at the same instant
//     must give the same stamp, across daylight-saving changes and New Year.
//     Go reads the clock without the C library, so libfaketime cannot freeze
//     it; the package's own clock is frozen instead.

import (
	"bytes"
	"encoding/hex"
	"encoding/json"
	"flag"
	"fmt"
	"math/rand"
	"os"
	"os/exec"
	"path/filepath"
	"sort"
	"strconv"
	"strings"
	"testing"
	"time"
)

var inspectPath = flag.String("inspect", "", "idstamp-inspect, for the differential check")

// A batch of tokens judged at one local moment.
type batch struct {
	zone, at string
	lifetime int32
	count    int
	zeroEnd  bool // tokens end in a zero byte (-z); else in a line feed, and may hold zero bytes
}

var batches = []batch{
	{"Europe/Berlin", "2024-07-03 05:46:40.250", 30, 3000, true},
	{"UTC", "2025-02-19 17:02:47.296", 1, 1500, true}, // the stamp's first return to 0
	{"America/New_York", "2024-12-31 23:59:59.999", 2147483647, 1500, true},
	{"UTC", "2023-01-01 00:00:00.000", 71583, 1000, true},
	{"Europe/Berlin", "2024-03-31 03:00:00.001", 5, 1500, true},   // an hour was skipped
	{"Europe/Berlin", "2024-10-27 02:59:59.999", 60, 1000, false}, // an hour repeats
	{"UTC", "2024-06-01 12:00:00.000", 30, 1000, false},
}

type inspectReport struct {
	Line     int64   `json:"line"`
	Verdict  string  `json:"verdict"`
	IDHex    *string `json:"id_hex"`
	Stamp    *int64  `json:"stamp"`
	Now      *int64  `json:"now"`
	AgeMs    *int64  `json:"age_ms"`
	Lifetime int64   `json:"lifetime"`
	Reason   *string `json:"reason"`
}

func TestDifferential(t *testing.T) {
	if *inspectPath == "" {
		t.Skip("give -inspect PATH/TO/idstamp-inspect")
	}
	t.Run("tokens", testDifferentialTokens)
	t.Run("clock", testDifferentialClock)
}

// stampOfFields gives the year stamp of a local date-time from its fields.
func stampOfFields(at string) uint32 {
	var y, mo, d, h, mi, s, ms int
	fmt.Sscanf(at, "%d-%d-%d %d:%d:%d.%d", &y, &mo, &d, &h, &mi, &s, &ms)
	day := time.Date(y, time.Month(mo), d, 0, 0, 0, 0, time.UTC).YearDay() - 1
	return uint32((((day*24+h)*60+mi)*60+s)*1000 + ms)
}

func testDifferentialTokens(t *testing.T) {
	g := generator{rand.New(rand.NewSource(17))}
	tally := map[string]int{}
	judged, failures := 0, 0
	for _, b := range batches {
		loc, err := time.LoadLocation(b.zone)
		if err != nil {
			t.Fatal(err)
		}
		moment, err := time.ParseInLocation("2006-01-02 15:04:05.000", b.at, loc)
		if err != nil {
			t.Fatal(err)
		}
		now := YearStamp(moment)
		if moment.Format("2006-01-02 15:04:05.000") != b.at || now != stampOfFields(b.at) {
			t.Fatalf("%s in %s: YearStamp %d, from the fields %d", b.at, b.zone, now, stampOfFields(b.at))
		}
		var input bytes.Buffer
		var tokens [][]byte
		var issued []*[]byte
		for len(tokens) < b.count {
			token, id := g.token(now, b.lifetime, !b.zeroEnd)
			if b.zeroEnd && bytes.IndexByte(token, 0) >= 0 ||
				!b.zeroEnd && (bytes.IndexByte(token, '\n') >= 0 || bytes.HasSuffix(token, []byte("\r"))) {
				continue // would not pass as one token
			}
			tokens, issued = append(tokens, token), append(issued, id)
			input.Write(token)
			input.WriteByte(map[bool]byte{true: 0, false: '\n'}[b.zeroEnd])
		}
		args := []string{"--batch", "--json", "-t", fmt.Sprint(b.lifetime), "--at", b.at}
		if b.zeroEnd {
			args = append(args, "-z")
		}
		cmd := exec.Command(*inspectPath, args...)
		cmd.Env = append(os.Environ(), "TZ="+b.zone)
		cmd.Stdin = &input
		out, err := cmd.Output()
		lines := strings.Split(strings.TrimSuffix(string(out), "\n"), "\n")
		if err != nil || len(lines) != len(tokens) {
			t.Fatalf("%s %v (TZ=%s): %v, %d reports for %d tokens", *inspectPath, args, b.zone, err, len(lines), len(tokens))
		}
		for i, token := range tokens {
			var got inspectReport
			if err := json.Unmarshal([]byte(lines[i]), &got); err != nil {
				t.Fatalf("line %d: %v: %s", i+1, err, lines[i])
			}
			r := InspectAt(token, b.lifetime, now)
			why := differences(got, r, b.lifetime, int64(i+1))
			// DecryptIDAt gives the id exactly when InspectAt finds it fresh.
			if id, _ := DecryptIDAt(token, b.lifetime, now); (id != nil) != (r.Verdict == Fresh) || id != nil && !bytes.Equal(id, r.ID) {
				why = append(why, fmt.Sprintf("DecryptIDAt gives %x", id))
			}
			if id := issued[i]; id != nil && (r.Verdict == Malformed || !bytes.Equal(r.ID, *id)) {
				why = append(why, fmt.Sprintf("issued for id %x, reads %+v", *id, r))
			}
			if len(why) > 0 {
				if failures++; failures <= 20 {
					t.Errorf("token %.60x (%d bytes; TZ=%s, --at %s, -t %d):\n  %s",
						token, len(token), b.zone, b.at, b.lifetime, strings.Join(why, "\n  "))
				}
			}
			kind := r.Verdict.String()
			if r.Reason != "" {
				kind += ": " + r.Reason
			}
			tally[kind]++
		}
		judged += len(tokens)
	}
	t.Logf("tokens: %d judged by both, %d disagreements", judged, failures)
	var kinds []string
	for kind, n := range tally {
		kinds = append(kinds, fmt.Sprintf("%6d %s", n, kind))
	}
	sort.Strings(kinds)
	t.Logf("by kind:\n%s", strings.Join(kinds, "\n"))
	for _, kind := range []string{"fresh", "expired", "ahead", "malformed: too short", "malformed: bad length field",
		"malformed: no stamp", "malformed: zero byte in the id", "malformed: bad stamp"} {
		if tally[kind] == 0 {
			t.Errorf("the generated tokens gave no %s", kind)
		}
	}
}

func differences(got inspectReport, r Report, lifetime int32, line int64) []string {
	var why []string
	differ := func(field string, c, goes interface{}) {
		if fmt.Sprint(c) != fmt.Sprint(goes) {
			why = append(why, fmt.Sprintf("%s: C++ %v, Go %v", field, c, goes))
		}
	}
	show := func(p interface{}) string {
		switch v := p.(type) {
		case *string:
			if v != nil {
				return *v
			}
		case *int64:
			if v != nil {
				return strconv.FormatInt(*v, 10)
			}
		}
		return "null"
	}
	differ("line", got.Line, line)
	differ("lifetime", got.Lifetime, lifetime)
	differ("verdict", got.Verdict, r.Verdict)
	if r.Verdict == Malformed {
		differ("reason", show(got.Reason), r.Reason)
		for field, v := range map[string]interface{}{"id_hex": got.IDHex, "stamp": got.Stamp, "now": got.Now, "age_ms": got.AgeMs} {
			differ(field, show(v), "null")
		}
		if r.ID != nil || r.Stamp != 0 || r.Now != 0 || r.AgeMs != 0 {
			why = append(why, fmt.Sprintf("a malformed report with values: %+v", r))
		}
		return why
	}
	differ("reason", show(got.Reason), "null")
	differ("id_hex", show(got.IDHex), hex.EncodeToString(r.ID))
	differ("stamp", show(got.Stamp), r.Stamp)
	differ("now", show(got.Now), r.Now)
	differ("age_ms", show(got.AgeMs), r.AgeMs)
	return why
}

// generator makes tokens of every kind, seeded so that every run judges the
// same ones.
type generator struct{ *rand.Rand }

func (g generator) pick(list ...string) string { return list[g.Intn(len(list))] }

func (g generator) id(zeroBytes bool) []byte {
	length := []int{1, 2, 3, 1 + g.Intn(12), 1 + g.Intn(120), 1 + g.Intn(MaxIDLength), MaxIDLength}[g.Intn(7)]
	var palette []byte
	for _, set := range []string{
		"0123456789", // substituted by the map
		"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
		"!\"#$%&'()*,./:;<=>?@[\\]^_`{|}~",
		"\t\n\v\f\r +-", // white space and signs, which decimal reading skips
		"\x01\x02\x03\x1b\x1f\x7f",
		"\x80\xa0\xc3\xe2\xfe\xff", // not UTF-8 on their own
	} {
		if g.Intn(2) == 0 {
			palette = append(palette, set...)
		}
	}
	if len(palette) == 0 {
		palette = []byte("user-0123456789")
	}
	id := make([]byte, length)
	for k := range id {
		id[k] = palette[g.Intn(len(palette))]
	}
	if zeroBytes && g.Intn(8) == 0 {
		id[g.Intn(length)] = 0
	}
	return id
}

// age gives an age in ms around the edges of the window and of the range.
func (g generator) age(lifetime int32) int64 {
	window := int64(lifetime) * msPerMinute
	switch g.Intn(4) {
	case 0:
		return []int64{-60001, -60000, -59999, -1, 0, 1, 59999, 60000}[g.Intn(8)]
	case 1:
		return window - 1 + g.Int63n(3)
	case 2:
		return g.Int63n(2*7200000) - 7200000
	}
	return g.Int63n(1<<33) - 1<<32
}

// forge scrambles a plain token step by step as the format describes it:
// reversal, the even re-exchange, then the digit map.
func forge(plain []byte) []byte {
	t := append([]byte(nil), plain...)
	n := len(t)
	for i := 0; i < n/2; i++ {
		t[i], t[n-1-i] = t[n-1-i], t[i]
	}
	for i := 0; i < n/2; i += 2 {
		t[i], t[n-1-i] = t[n-1-i], t[i]
	}
	for k, b := range t {
		if b >= '0' && b <= '9' {
			t[k] = defaultDigitMap[b-'0']
		}
	}
	return t
}

func (g generator) lengthField(length int) string {
	if g.Intn(10) < 7 {
		return fmt.Sprintf("%03d", length)
	}
	switch g.Intn(3) {
	case 0:
		return strings.Replace(fmt.Sprintf("%3d", length), " ", g.pick(" ", "+", "\t", "0"), 1)
	case 1:
		return g.pick("-01", "000", "1 2", "x12", "12 ", " +3", "\t\r3", "+-1", "\x0012", "9\x009")
	}
	var b strings.Builder
	for i := 0; i < 3; i++ {
		b.WriteString(g.pick(" ", "+", "-", "\t", "\r", "\xa0", "x", "0", "0", "1", "2", "5"))
	}
	return b.String()
}

func (g generator) stampText(now uint32, lifetime int32) string {
	digits := func(n int) string {
		var b strings.Builder
		for i := 0; i < n; i++ {
			b.WriteByte(byte('0' + g.Intn(10)))
		}
		return b.String()
	}
	var text string
	switch g.Intn(6) {
	case 0:
		text = fmt.Sprint(uint32(int64(now) - g.age(lifetime)))
	case 1:
		text = fmt.Sprint(g.Uint32())
	case 2:
		text = fmt.Sprint(int64(now) - g.age(lifetime)) // may be negative, or above 2^32
	case 3:
		text = g.pick("-1", "0", "-0", "9223372036854775807", "-9223372036854775808", "9223372036854775808",
			"-9223372036854775809", "18446744073709551615")
	case 4:
		text = g.pick("", "-") + fmt.Sprint(1+g.Intn(9)) + digits(15+g.Intn(4)) // 16 to 19 digits
	default:
		text = g.pick("", "-") + fmt.Sprint(1+g.Intn(9)) + digits(19+g.Intn(60)) // saturates
	}
	if g.Intn(5) == 0 {
		text = strings.Repeat("0", 1+g.Intn(40)) + strings.Replace(text, "-", "", 1)
	}
	if g.Intn(7) == 0 {
		text = g.pick("+", "-", " ", "\t", "\v\f ", " -", "\r\n") + text
	}
	if g.Intn(12) == 0 {
		text = g.pick(text+g.pick(" ", "x", "\n", "+", "\x00"), "", "+", "-", "0x10", " ", "1\x002")
	}
	return text
}

// token gives a token and, when it was issued, its id.
func (g generator) token(now uint32, lifetime int32, zeroBytes bool) ([]byte, *[]byte) {
	switch kind := g.Intn(100); {
	case kind < 35:
		id := g.id(false)
		token, err := CryptIDAt(id, uint32(int64(now)-g.age(lifetime)))
		if err != nil {
			panic(err)
		}
		return token, &id
	case kind < 85:
		id := g.id(zeroBytes)
		plain := append([]byte(g.lengthField(len(id))), id...)
		if g.Intn(20) == 0 {
			plain = []byte(g.lengthField(1 + g.Intn(999))) // a length past the end
			tail := g.id(zeroBytes)
			plain = append(plain, tail[:1+g.Intn(len(tail))]...)
		}
		return forge(append(plain, g.stampText(now, lifetime)...)), nil
	case kind < 95:
		size := []int{0, 1, 2, 3, 4, g.Intn(40), 1000 + g.Intn(3000)}[g.Intn(7)]
		palette := g.pick("0123456789", "0123456789 +-\t", "0123456789ABC\x80\xff", "\x00\n\r0123")
		token := make([]byte, size)
		for k := range token {
			token[k] = palette[g.Intn(len(palette))]
		}
		return token, nil
	}
	// long and hostile: a 999-byte id and a stamp of thousands of zeros
	id := g.id(false)
	plain := append([]byte(fmt.Sprintf("%03d", len(id))), id...)
	plain = append(plain, strings.Repeat(g.pick("0", " "), 1000+g.Intn(5000))...)
	return forge(append(plain, g.pick("5", "1234567", "", "9223372036854775808")...)), nil
}

// ---------------------------------------------------------------------------
// The clock

func findFaketime() string {
	matches, _ := filepath.Glob("/usr/lib*/*/faketime/libfaketime.so.1")
	if len(matches) == 0 {
		return ""
	}
	return matches[0]
}

// Instants (Unix ms) that cross daylight-saving changes in Berlin, New York
// and Lord Howe (half an hour there), New Year in each zone, the end of a
// leap year, and a stamp reset.
var clockInstants = []int64{
	1711846800000, 1729990800000, // Berlin, 2024-03-31 and 2024-10-27 01:00 UTC
	1710054000000, 1730613600000, // New York, 2024-03-10 07:00 and 2024-11-03 06:00 UTC
	1712415600000, 1728142200000, // Lord Howe, 2024-04-06 15:00 and 2024-10-05 15:30 UTC
	1735686000000, 1735707600000, 1735689600000, 1735650000000, // New Year in each zone and in UTC
	1739984567296, // 2025-02-19 17:02:47.296 UTC
}

var clockZones = []string{"UTC", "Europe/Berlin", "America/New_York", "Australia/Lord_Howe"}

func testDifferentialClock(t *testing.T) {
	faketime := findFaketime()
	if faketime == "" {
		t.Fatal("libfaketime is not installed")
	}
	var instants []string
	for _, ms := range clockInstants {
		instants = append(instants, fmt.Sprint(ms-1), fmt.Sprint(ms))
	}
	compared := 0
	for _, zone := range clockZones {
		// This test binary again, in a process of its own whose Local is TZ.
		child := exec.Command(os.Args[0], "-test.run=^TestClockChild$", "-test.v")
		child.Env = append(os.Environ(), "TZ="+zone, "IDSTAMP_CLOCK_AT="+strings.Join(instants, ","))
		out, err := child.Output()
		goStamps := map[string]string{}
		for _, line := range strings.Split(string(out), "\n") {
			if f := strings.Fields(line); len(f) == 3 && f[0] == "stamp" {
				goStamps[f[1]] = f[2]
			}
		}
		if err != nil || len(goStamps) != len(instants) {
			t.Fatalf("TZ=%s: the child gave %d stamps: %v\n%s", zone, len(goStamps), err, out)
		}
		jumps, newYears := 0, 0
		var previous uint32
		for k, ms := range instants {
			milli, _ := strconv.ParseInt(ms, 10, 64)
			// libfaketime reads FAKETIME as a floating-point number, so an
			// extra half millisecond keeps .295 from reading as .294999.
			c := exec.Command(*inspectPath, "--json", "5109B8788C4A757")
			c.Env = append(os.Environ(), "TZ="+zone, "LD_PRELOAD="+faketime, "FAKETIME_FMT=%s",
				fmt.Sprintf("FAKETIME=%d.%03d5", milli/1000, milli%1000))
			report, _ := c.Output()
			var got inspectReport
			if err := json.Unmarshal(report, &got); err != nil || got.Now == nil {
				t.Fatalf("TZ=%s at %s: %v: %s", zone, ms, err, report)
			}
			compared++
			if fmt.Sprint(*got.Now) != goStamps[ms] {
				t.Errorf("stamp at %s TZ=%s: C++ %d, Go %s", time.UnixMilli(milli).UTC().Format(time.RFC3339Nano), zone, *got.Now, goStamps[ms])
			}
			stamp := uint32(*got.Now)
			if k%2 == 1 {
				switch step := stamp - previous; {
				case stamp == 0 && (previous == 1471228927 || previous == 1557628927):
					newYears++
				case step == 1+1800000 || step == 1+3600000 || -step == 1800000-1 || -step == 3600000-1:
					jumps++
				}
			}
			previous = stamp
		}
		t.Logf("clock: TZ=%s: %d frozen instants, %d daylight-saving changes and %d New Years crossed", zone, len(instants), jumps, newYears)
		if newYears == 0 || (zone != "UTC" && jumps < 2) {
			t.Errorf("the instants cross no change in TZ=%s", zone)
		}
	}
	t.Logf("clock: %d stamps compared", compared)
}

// TestClockChild prints the stamp that Inspect reads from the clock frozen
// at each instant of IDSTAMP_CLOCK_AT, in the zone TZ names.
func TestClockChild(t *testing.T) {
	at := os.Getenv("IDSTAMP_CLOCK_AT")
	if at == "" {
		t.Skip("run by TestDifferential")
	}
	defer func() { timeNow = time.Now }()
	for _, ms := range strings.Split(at, ",") {
		milli, _ := strconv.ParseInt(ms, 10, 64)
		timeNow = func() time.Time { return time.UnixMilli(milli) }
		r, err := Inspect([]byte("5109B8788C4A757"), 30)
		if err != nil {
			t.Fatal(err)
		}
		fmt.Printf("stamp %s %d\n", ms, r.Now)
	}
}
