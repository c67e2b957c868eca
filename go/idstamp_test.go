package idstamp

import (
	"bytes"
	"errors"
	"runtime"
	"strings"
	"testing"
	"time"
)

func TestMisusedIDsAreErrors(t *testing.T) {
	for _, id := range [][]byte{nil, {}, bytes.Repeat([]byte("x"), MaxIDLength+1), []byte("a\x00b")} {
		for _, codec := range []*Codec{nil, {}} {
			token, err := codec.CryptIDAt(id, 5)
			if token != nil || !errors.Is(err, ErrInvalidID) || !strings.Contains(err.Error(), "id must") {
				t.Errorf("CryptIDAt(%.12q) = %q, %v; want ErrInvalidID naming the id", id, token, err)
			}
		}
	}
	if _, err := CryptID(nil); !errors.Is(err, ErrInvalidID) {
		t.Errorf("CryptID(nil): %v, want ErrInvalidID before any clock", err)
	}
}

func TestDigitMaps(t *testing.T) {
	for _, bad := range []string{"", "012345678", "01234567890", "0123456788", "012345678a", "０123456789"} {
		if c, err := NewCodec(bad); c != nil || err == nil || !strings.Contains(err.Error(), "digitMap") {
			t.Errorf("NewCodec(%q) = %v, %v; want an error naming digitMap", bad, c, err)
		}
	}
	// With the identity map only the moves remain: the format's worked example.
	identity, err := NewCodec("0123456789")
	if err != nil {
		t.Fatal(err)
	}
	if got, _ := identity.CryptIDAt([]byte("AB"), 1234567); string(got) != "0624B213A507" {
		t.Errorf("identity map: %q, want 0624B213A507", got)
	}
	// The zero Codec and a nil *Codec use the default map; another map
	// reads back its own tokens only.
	other, _ := NewCodec("9876543210")
	var zero Codec
	var none *Codec
	id := []byte("user-0123456789")
	want, _ := CryptIDAt(id, 411196474)
	for _, c := range []*Codec{&zero, none} {
		if got, _ := c.CryptIDAt(id, 411196474); !bytes.Equal(got, want) {
			t.Errorf("zero or nil Codec: %q, want %q", got, want)
		}
	}
	token, _ := other.CryptIDAt(id, 411196474)
	if bytes.Equal(token, want) {
		t.Errorf("another map gives the default map's token %q", token)
	}
	if back, _ := other.DecryptIDAt(token, 30, 411196474); !bytes.Equal(back, id) {
		t.Errorf("another map: checked back to %q", back)
	}
	if r := InspectAt(token, 30, 411196474); r.Verdict == Fresh && bytes.Equal(r.ID, id) {
		t.Errorf("the default map reads another map's token: %+v", r)
	}
}

func TestLifetimeOfZeroOrLessAcceptsNothing(t *testing.T) {
	t.Setenv("TZ", "EST5EDT,M3.2.0,M11.1.0") // an unusable clock is never read
	token, _ := CryptIDAt([]byte("ABC"), 120000)
	for _, lifetime := range []int32{0, -1, -1 << 31} {
		// ages 0 and -1 ms, 0 whole minutes, and an hour; 2 minutes ahead
		for now, want := range map[uint32]Verdict{120000: Expired, 119999: Expired, 3720000: Expired, 0: Ahead} {
			if r := InspectAt(token, lifetime, now); r.Verdict != want {
				t.Errorf("lifetime %d, now %d: %v, want %v", lifetime, now, r.Verdict, want)
			}
		}
		if id, err := DecryptID(token, lifetime); id != nil || err != nil {
			t.Errorf("DecryptID(lifetime %d) = %q, %v; want nil, nil", lifetime, id, err)
		}
	}
}

func TestVerdictNames(t *testing.T) {
	got := []string{Fresh.String(), Expired.String(), Ahead.String(), Malformed.String(), Verdict(4).String(), Verdict(-1).String()}
	want := "fresh expired ahead malformed Verdict(4) Verdict(-1)"
	if strings.Join(got, " ") != want {
		t.Errorf("%q, want %q", got, want)
	}
}

func at(t *testing.T, zone, when string) time.Time {
	t.Helper()
	loc, err := time.LoadLocation(zone)
	if err != nil {
		t.Fatal(err)
	}
	moment, err := time.ParseInLocation("2006-01-02 15:04:05.999999999", when, loc)
	if err != nil {
		t.Fatal(err)
	}
	return moment
}

func TestYearStampFollowsTheWallClock(t *testing.T) {
	for _, c := range []struct {
		zone, when string
		want       uint32
	}{
		{"Europe/Berlin", "2021-07-01 12:00:00", 2796698112},          // summer time is in the fields
		{"UTC", "2021-12-31 23:59:59.999", 1471228927},                // a common year's last
		{"UTC", "2024-12-31 23:59:59.999", 1557628927},                // a leap year's
		{"Asia/Kolkata", "2021-02-19 17:02:47.296", 0},                // the first reset
		{"Asia/Kolkata", "2021-02-19 17:02:47.295999999", 4294967295}, // finer parts dropped
	} {
		if got := YearStamp(at(t, c.zone, c.when)); got != c.want {
			t.Errorf("%s %s: %d, want %d", c.zone, c.when, got, c.want)
		}
	}
	// When the clock goes back an hour, so does the stamp.
	change := at(t, "UTC", "2021-10-31 01:00:00").In(at(t, "Europe/Berlin", "2021-01-01 00:00:00").Location())
	if before, after := YearStamp(change.Add(-time.Millisecond)), YearStamp(change); after != before+1-3600000 {
		t.Errorf("Berlin, clock back: %d then %d", before, after)
	}
}

func TestReportsHoldOnlyTheID(t *testing.T) {
	token, _ := CryptIDAt([]byte("user-20489113"), 411196474)
	long, _ := CryptIDAt(bytes.Repeat([]byte("x"), MaxIDLength), 411196474)
	for _, c := range []struct {
		token []byte
		want  float64
	}{{token, 1}, {token[:len(token)-3], 0}, {[]byte("55"), 0}, {long, 2}} {
		if got := testing.AllocsPerRun(100, func() { InspectAt(c.token, 30, 411196474) }); got != c.want {
			t.Errorf("InspectAt(%.20q): %v allocations, want %v", c.token, got, c.want)
		}
	}
	// Past the stack buffer, the id is still a copy of its own, not a slice
	// of the token-sized buffer that would keep the whole token alive:
	// reports of 1-byte ids from 1 MiB tokens (a stamp of a million zeros).
	plain := append([]byte("001x"), bytes.Repeat([]byte("0"), 1<<20)...)
	plain = append(plain, '5')
	for i, n := 1, len(plain); i < n-1-i; i += 2 {
		plain[i], plain[n-1-i] = plain[n-1-i], plain[i]
	}
	huge := bytes.Map(func(r rune) rune { return rune(defaultTables.encode[r]) }, plain)
	var before, after runtime.MemStats
	runtime.GC()
	runtime.ReadMemStats(&before)
	reports := make([]Report, 16)
	for i := range reports {
		reports[i] = InspectAt(huge, 30, 5)
	}
	huge = nil
	runtime.GC()
	runtime.ReadMemStats(&after)
	if kept := int64(after.HeapAlloc) - int64(before.HeapAlloc); kept > 4<<20 || string(reports[0].ID) != "x" {
		t.Errorf("16 reports of %q from 1 MiB tokens keep %d bytes", reports[0].ID, kept)
	}
	for _, r := range append(reports, InspectAt(token, 30, 411196474), InspectAt(long, 30, 411196474)) {
		if cap(r.ID) != len(r.ID) {
			t.Errorf("an id of %d bytes has room for %d", len(r.ID), cap(r.ID))
		}
	}
}

// Round trips for any id and stamp, and any bytes judged without a panic.
func FuzzRoundTrip(f *testing.F) {
	f.Add([]byte("ABC"), uint32(411196474))
	f.Add([]byte(" \t+-0123456789\xff"), uint32(0))
	f.Add(bytes.Repeat([]byte("9"), MaxIDLength), uint32(1<<32-1))
	f.Fuzz(func(t *testing.T, id []byte, stamp uint32) {
		InspectAt(id, 30, stamp)
		token, err := CryptIDAt(id, stamp)
		if err != nil {
			if checkID(id) == nil {
				t.Fatalf("CryptIDAt(%q, %d): %v", id, stamp, err)
			}
			return
		}
		r := InspectAt(token, 1, stamp)
		if r.Verdict != Fresh || !bytes.Equal(r.ID, id) || r.Stamp != int64(stamp) || r.AgeMs != 0 {
			t.Fatalf("%q at %d: token %q reads %+v", id, stamp, token, r)
		}
	})
}
