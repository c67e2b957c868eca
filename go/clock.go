package idstamp

import (
	"encoding/binary"
	"errors"
	"fmt"
	"io/fs"
	"os"
	"strings"
	"sync"
	"time"
)

// timeNow is the clock; the tests freeze it.
var timeNow = time.Now

// localStamp gives the year stamp of the local clock in the zone the C
// library applies, or an error naming TZ where Go cannot apply that zone
// exactly.
func localStamp() (uint32, error) {
	loc, err := localZone()
	if err != nil {
		return 0, err
	}
	return YearStamp(timeNow().In(loc)), nil
}

// Go's own time.Local does not serve: it ignores TZDIR, reads TZ once, falls
// back to its own zone data or to UTC without a word, and does not apply a
// rule such as EST5EDT,M3.2.0,M11.1.0. So the zone is found here, each time,
// as the C library finds it:
//
//   - TZ unset names /etc/localtime; with no such file it is UTC.
//   - TZ empty, or ":" alone, is UTC.
//   - Otherwise, less one leading ':', TZ names a zone file, under $TZDIR
//     (or /usr/share/zoneinfo) unless it starts with '/'.
//   - With no such file, TZ is read as a rule: std offset [dst [offset],
//     start[/time],end[/time]].
//
// Where the C library would quietly apply UTC instead (JST, Mars/Olympus,
// a zone missing from TZDIR) or Go would not apply what it does (a zone
// file with leap seconds, a rule Go reads otherwise), this refuses.
func localZone() (*time.Location, error) {
	tz, set := os.LookupEnv("TZ")
	if set && (tz == "" || tz == ":") {
		return time.UTC, nil
	}
	name := strings.TrimPrefix(tz, ":")
	if !set {
		loc, err := zoneFile("/etc/localtime")
		if errors.Is(err, fs.ErrNotExist) {
			return time.UTC, nil
		}
		if err != nil {
			return nil, fmt.Errorf("idstamp cannot read the local clock with TZ %s: %v", describe(tz, set), err)
		}
		return loc, nil
	}
	path := name
	if name[0] != '/' {
		dir := os.Getenv("TZDIR")
		if dir == "" {
			dir = "/usr/share/zoneinfo"
		}
		path = dir + "/" + name // not cleaned: the C library does not clean it either
	}
	loc, err := zoneFile(path)
	if errors.Is(err, fs.ErrNotExist) {
		if loc, ok := ruleZone(name); ok {
			return loc, nil
		}
		err = fmt.Errorf("no zone file %s, and not a rule that Go applies as the C library does", path)
	}
	if err != nil {
		return nil, fmt.Errorf("idstamp cannot read the local clock under TZ=%q: %v; "+
			"set TZ to a zone with a file in the zone folder, or give the stamp yourself", tz, err)
	}
	return loc, nil
}

func describe(tz string, set bool) string {
	if set {
		return fmt.Sprintf("%q", tz)
	}
	return "unset"
}

// A zone, with the file it was loaded from as it was then.
type loadedZone struct {
	info fs.FileInfo
	loc  *time.Location
}

var zoneCache struct {
	sync.Mutex
	files map[string]loadedZone
	rules map[string]*time.Location
}

// zoneFile loads the zone file at path, again only when it has changed. An
// error wrapping fs.ErrNotExist means there is no regular file there.
func zoneFile(path string) (*time.Location, error) {
	info, err := os.Stat(path)
	if err == nil && !info.Mode().IsRegular() {
		err = fs.ErrNotExist
	}
	if err != nil {
		return nil, err
	}
	zoneCache.Lock()
	defer zoneCache.Unlock()
	if z, ok := zoneCache.files[path]; ok && os.SameFile(z.info, info) &&
		z.info.Size() == info.Size() && z.info.ModTime().Equal(info.ModTime()) {
		return z.loc, nil
	}
	data, err := os.ReadFile(path)
	if err != nil {
		return nil, err
	}
	if leapSeconds(data) {
		return nil, fmt.Errorf("the zone file %s counts leap seconds, which Go's time does not", path)
	}
	loc, err := time.LoadLocationFromTZData(path, data)
	if err != nil {
		return nil, fmt.Errorf("%s: %v", path, err)
	}
	if zoneCache.files == nil {
		zoneCache.files = map[string]loadedZone{}
	}
	zoneCache.files[path] = loadedZone{info, loc}
	return loc, nil
}

// leapSeconds tells whether a zone file lists leap seconds, in its first
// header or, for version 2 and later, the second.
func leapSeconds(data []byte) bool {
	const header = 44
	if len(data) < header || string(data[:4]) != "TZif" {
		return false // LoadLocationFromTZData refuses it
	}
	count := func(at int) int { return int(binary.BigEndian.Uint32(data[at : at+4])) }
	if count(28) != 0 {
		return true
	}
	// the first block: times, type indexes, types, abbreviations, leap
	// seconds, standard and UT indicators
	v2 := header + count(32)*5 + count(36)*6 + count(40) + count(28)*8 + count(24) + count(20)
	return data[4] >= '2' && len(data) >= v2+header && count(v2+28) != 0
}

// ruleZone gives the zone of a rule, as Go's zone files carry one for the
// times past their last change: in a zone file of its own with no changes.
// Only rules that the C library and Go read alike pass.
func ruleZone(rule string) (*time.Location, bool) {
	if !ruleReadsAlike(rule) {
		return nil, false
	}
	zoneCache.Lock()
	defer zoneCache.Unlock()
	if loc, ok := zoneCache.rules[rule]; ok {
		return loc, true
	}
	// One type, named "-", which no rule can name: Go applies it only where
	// it cannot apply the rule, and then the rule is refused.
	block := make([]byte, 44, 64)
	copy(block, "TZif2")
	binary.BigEndian.PutUint32(block[36:], 1) // types
	binary.BigEndian.PutUint32(block[40:], 2) // bytes of abbreviations
	block = append(block, 0, 0, 0, 0, 0, 0, '-', 0)
	data := append(append(append(block, block...), '\n'), rule+"\n"...)
	loc, err := time.LoadLocationFromTZData(rule, data)
	if err != nil {
		return nil, false
	}
	for _, at := range []int64{0, 15e8, 25e8} { // 1970, 2017 and 2049
		if name, _ := time.Unix(at, 0).In(loc).Zone(); name == "-" {
			return nil, false
		}
	}
	if zoneCache.rules == nil {
		zoneCache.rules = map[string]*time.Location{}
	}
	zoneCache.rules[rule] = loc
	return loc, true
}

// ruleReadsAlike tells whether rule is one that the C library and Go read
// the same way: std offset, or std offset dst [offset],start[/time],end[/time].
// Names are 3 or more letters, or <3 or more of A-Z a-z 0-9 + -> quoted;
// offsets [+-]hh[:mm[:ss]] up to 24 hours; times hh[:mm[:ss]] up to 24
// hours, with no sign; days Jn (1-365), n (0-365) or Mm.w.d. Neither a
// dst with no rules (the C library takes them from a posixrules file)
// nor an hour past 24 (which it clamps) passes.
func ruleReadsAlike(rule string) bool {
	s := rule
	name := func() bool {
		n := 0
		if strings.HasPrefix(s, "<") {
			for n = 1; n < len(s) && (isLetter(s[n]) || isDigit(s[n]) || s[n] == '+' || s[n] == '-'); n++ {
			}
			if n < 4 || n == len(s) || s[n] != '>' {
				return false
			}
			s = s[n+1:]
			return true
		}
		for n < len(s) && isLetter(s[n]) {
			n++
		}
		s = s[n:]
		return n >= 3
	}
	// number reads 1 to width digits, from min to max.
	number := func(width, min, max int) bool {
		n, v := 0, 0
		for n < width && n < len(s) && isDigit(s[n]) {
			v = v*10 + int(s[n]-'0')
			n++
		}
		s = s[n:]
		return n > 0 && v >= min && v <= max
	}
	skip := func(c string) bool {
		if strings.HasPrefix(s, c) {
			s = s[len(c):]
			return true
		}
		return false
	}
	clock := func() bool {
		if !number(2, 0, 24) {
			return false
		}
		for k := 0; k < 2 && skip(":"); k++ {
			if !number(2, 0, 59) {
				return false
			}
		}
		return true
	}
	offset := func() bool {
		_ = skip("+") || skip("-")
		return clock()
	}
	change := func() bool {
		if !skip(",") {
			return false
		}
		switch {
		case skip("J"):
			if !number(3, 1, 365) {
				return false
			}
		case skip("M"):
			if !number(2, 1, 12) || !skip(".") || !number(1, 1, 5) || !skip(".") || !number(1, 0, 6) {
				return false
			}
		default:
			if !number(3, 0, 365) {
				return false
			}
		}
		return !skip("/") || clock()
	}
	if !name() || !offset() {
		return false
	}
	if s == "" {
		return true
	}
	if !name() {
		return false
	}
	if !strings.HasPrefix(s, ",") && !offset() {
		return false
	}
	// The rule's two changes, into summer time and out of it, each read in turn.
	for k := 0; k < 2; k++ {
		if !change() {
			return false
		}
	}
	return s == ""
}

func isLetter(b byte) bool { return b|0x20 >= 'a' && b|0x20 <= 'z' }
func isDigit(b byte) bool  { return b >= '0' && b <= '9' }
