package idstamp

import (
	"os"
	"path/filepath"
	"strings"
	"testing"
	"time"
)

// freeze stops the package's clock at instant, until the test ends.
func freeze(t *testing.T, instant *time.Time) {
	timeNow = func() time.Time { return *instant }
	t.Cleanup(func() { timeNow = time.Now })
}

func copyFile(t *testing.T, from, to string) {
	data, err := os.ReadFile(from)
	if err == nil {
		err = os.WriteFile(to, data, 0o644)
	}
	if err != nil {
		t.Fatal(err)
	}
}

// The clock applies the zone the C library applies, from the files the C
// library reads, or refuses naming TZ; never Go's own choice.
func TestTheClockFindsZonesAsTheCLibraryDoes(t *testing.T) {
	frozen := at(t, "UTC", "2021-07-01 10:00:00.250")
	freeze(t, &frozen)
	token, _ := CryptIDAt([]byte("ABC"), 0)
	dir := t.TempDir()
	for _, sub := range []string{"Far", "Europe", "right"} {
		if err := os.Mkdir(filepath.Join(dir, sub), 0o755); err != nil {
			t.Fatal(err)
		}
	}
	copyFile(t, "/usr/share/zoneinfo/Asia/Tokyo", dir+"/Far/East")
	copyFile(t, "clock.go", dir+"/Junk")
	copyFile(t, "/usr/share/zoneinfo/right/UTC", dir+"/right/UTC")
	for _, c := range []struct{ tz, tzdir, zone string }{ // zone "" for a refusal
		{"", dir, "UTC"},
		{"Far/East", dir, "Asia/Tokyo"}, {":Far/East", dir, "Asia/Tokyo"}, {dir + "/Far/East", "", "Asia/Tokyo"},
		{"Asia/Tokyo", "", "Asia/Tokyo"}, {"Asia/Tokyo", dir, ""}, // Go's own sources do not count
		{"JST", "", ""}, {"Mars/Olympus", "", ""}, {"Europe", dir, ""}, {"Junk", dir, ""}, {"right/UTC", dir, ""},
		{"JST-9", "", "Asia/Tokyo"}, {"<+0530>-5:30", dir, "Asia/Kolkata"}, {"EST5EDT,M3.2.0,M11.1.0", dir, "America/New_York"},
		{"EST5EDT", dir, ""}, {"EST5EDT,M3.2.0", dir, ""}, {"EST5EDT,M3.2.0/-1,M11.1.0", dir, ""},
		{"EST5EDT,M13.2.0,M11.1.0", dir, ""}, {"EST25", dir, ""}, {"XX3", dir, ""}, {"<AB>3", dir, ""}, {"EST5 ", dir, ""},
	} {
		t.Setenv("TZ", c.tz)
		t.Setenv("TZDIR", c.tzdir)
		r, err := Inspect(token, 1)
		_, err2 := CryptID([]byte("ABC"))
		if c.zone == "" {
			if err == nil || err2 == nil || !strings.Contains(err.Error(), "TZ=") {
				t.Errorf("TZ=%q TZDIR=%q: %v, now %d; want an error naming TZ", c.tz, c.tzdir, err, r.Now)
			}
			continue
		}
		loc, _ := time.LoadLocation(c.zone)
		if want := YearStamp(frozen.In(loc)); err != nil || err2 != nil || r.Now != want {
			t.Errorf("TZ=%q TZDIR=%q: now %d, %v, %v; want %d, as in %s", c.tz, c.tzdir, r.Now, err, err2, want, c.zone)
		}
	}
	// A zone file that changes is read again.
	t.Setenv("TZ", "Far/East")
	t.Setenv("TZDIR", dir)
	copyFile(t, "/usr/share/zoneinfo/Europe/Berlin", dir+"/Far/East")
	berlin, _ := time.LoadLocation("Europe/Berlin")
	if r, err := Inspect(token, 1); err != nil || r.Now != YearStamp(frozen.In(berlin)) {
		t.Errorf("Far/East, now a copy of Europe/Berlin: now %d, %v", r.Now, err)
	}
}

// A rule gives, every half hour of two years and a millisecond before,
// the stamps of the zone file whose changes the rule describes: the file's
// own footer, checked against the changes zic wrote out in the file.
func TestRulesReadAsTheirZoneFiles(t *testing.T) {
	t.Setenv("TZDIR", t.TempDir())
	for _, zone := range []string{"America/New_York", "Europe/Berlin", "Australia/Lord_Howe", "Pacific/Chatham",
		"America/Santiago", "Europe/Dublin", "Asia/Tehran"} {
		data, err := os.ReadFile("/usr/share/zoneinfo/" + zone)
		lines := strings.Split(string(data), "\n")
		if err != nil || len(lines) < 3 {
			t.Fatalf("%s: %v", zone, err)
		}
		rule := lines[len(lines)-2]
		t.Setenv("TZ", rule)
		loc, _ := time.LoadLocation(zone)
		ruled, err := localZone()
		if err != nil {
			t.Fatal(err)
		}
		end := time.Date(2027, 1, 1, 0, 0, 0, 0, time.UTC)
		for q := time.Date(2025, 1, 1, 0, 0, 0, 0, time.UTC); q.Before(end); q = q.Add(30 * time.Minute) {
			for _, instant := range []time.Time{q.Add(-time.Millisecond), q} {
				if got, want := YearStamp(instant.In(ruled)), YearStamp(instant.In(loc)); got != want {
					t.Fatalf("TZ=%q at %v: %d; %s gives %d", rule, instant, got, zone, want)
				}
			}
		}
	}
}
