// Package idstamp issues and checks short-lived scrambled tokens for ids.
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
// Functions ending in At take the year stamp as a value and never read the
// clock. The others read the local clock in the zone the C library would
// apply, from the same zone files, and fail with an error naming TZ where
// they cannot apply it exactly as the C library does.
package idstamp

import (
	"encoding/binary"
	"errors"
	"fmt"
	"math/bits"
	"time"
)

const (
	// MaxIDLength is the longest id, in bytes, that a token can carry.
	MaxIDLength = 999
	// DefaultLifetime is the command line's lifetime, in minutes.
	DefaultLifetime = 30

	defaultDigitMap = "5820739164"
	msPerMinute     = 60000
)

// Verdict is what a checker makes of a token.
type Verdict int

// The four verdicts. Only a Fresh token gives its id back.
const (
	Fresh Verdict = iota
	Expired
	Ahead
	Malformed
)

var verdictNames = [...]string{"fresh", "expired", "ahead", "malformed"}

// String gives the verdict's name as idstamp-inspect prints it.
func (v Verdict) String() string {
	if v >= 0 && int(v) < len(verdictNames) {
		return verdictNames[v]
	}
	return fmt.Sprintf("Verdict(%d)", int(v))
}

// Report tells what a token holds and why it is accepted or refused.
//
// For a Malformed token, Reason names the first check it fails (too short,
// bad length field, no stamp, zero byte in the id, bad stamp), ID is nil and
// Stamp, Now and AgeMs are 0. Otherwise Reason is "", ID holds the id's
// bytes, Stamp is the stamp as written (a forged one may lie outside 32
// bits), Now the stamp it was judged against and AgeMs is Now - Stamp,
// modulo 2^64 read as signed.
type Report struct {
	Verdict Verdict
	Reason  string
	ID      []byte
	Stamp   int64
	Now     uint32
	AgeMs   int64
}

// ErrInvalidID is the error, wrapped with the details, for an id that is
// empty, longer than MaxIDLength bytes or holds a zero byte.
var ErrInvalidID = errors.New("idstamp: invalid id")

// Codec issues and checks tokens with one digit map. The zero Codec, like a
// nil *Codec, uses the default map. A Codec never changes, so any number of
// goroutines may share one.
type Codec struct {
	t *tables
}

// tables maps every byte: digits through the digit map (or its inverse),
// every other byte to itself.
type tables struct {
	encode, decode [256]byte
	pairs          [200]byte // "00" to "99" through the encoding map
}

var defaultTables = mustTables(defaultDigitMap)

func mustTables(digitMap string) *tables {
	t, err := makeTables(digitMap)
	if err != nil {
		panic(err) // only for the constant default map
	}
	return t
}

func makeTables(digitMap string) (*tables, error) {
	t := new(tables)
	for b := range t.encode {
		t.encode[b] = byte(b)
		t.decode[b] = byte(b)
	}
	seen := 0
	if len(digitMap) == 10 {
		for d := 0; d < 10; d++ {
			c := digitMap[d]
			if c < '0' || c > '9' || seen&(1<<(c-'0')) != 0 {
				break
			}
			seen |= 1 << (c - '0')
			t.encode['0'+d] = c
			t.decode[c] = byte('0' + d)
		}
	}
	if seen != 1<<10-1 {
		return nil, fmt.Errorf("idstamp: digitMap must hold each of the ten digits once, not %q", digitMap)
	}
	for i := range t.pairs {
		t.pairs[i] = t.encode[pairs[i]]
	}
	return t, nil
}

// NewCodec gives a Codec for another digit map: ten characters, a
// permutation of the digits, entry d replacing the digit d. Tokens pass only
// between issuers and checkers with the same map.
func NewCodec(digitMap string) (*Codec, error) {
	t, err := makeTables(digitMap)
	if err != nil {
		return nil, err
	}
	return &Codec{t}, nil
}

func (c *Codec) tables() *tables {
	if c == nil || c.t == nil {
		return defaultTables
	}
	return c.t
}

var defaultCodec Codec

// CryptID issues a token for id at the local clock's year stamp.
func CryptID(id []byte) ([]byte, error) { return defaultCodec.CryptID(id) }

// CryptIDAt issues a token for id at the given year stamp.
func CryptIDAt(id []byte, stamp uint32) ([]byte, error) { return defaultCodec.CryptIDAt(id, stamp) }

// DecryptID gives the id of a token that is fresh by the local clock, or
// nil for a refused token. An error means the clock cannot be read.
func DecryptID(token []byte, lifetime int32) ([]byte, error) {
	return defaultCodec.DecryptID(token, lifetime)
}

// DecryptIDAt gives the id of a token that is fresh at year stamp now, or
// nil for a refused token. The error is always nil.
func DecryptIDAt(token []byte, lifetime int32, now uint32) ([]byte, error) {
	return defaultCodec.DecryptIDAt(token, lifetime, now)
}

// Inspect judges a token by the local clock. An error means the clock
// cannot be read; a malformed token needs no clock.
func Inspect(token []byte, lifetime int32) (Report, error) {
	return defaultCodec.Inspect(token, lifetime)
}

// InspectAt judges a token at year stamp now.
func InspectAt(token []byte, lifetime int32, now uint32) Report {
	return defaultCodec.InspectAt(token, lifetime, now)
}

// CryptID issues a token for id at the local clock's year stamp.
func (c *Codec) CryptID(id []byte) ([]byte, error) {
	if err := checkID(id); err != nil {
		return nil, err
	}
	now, err := localStamp()
	if err != nil {
		return nil, err
	}
	token, _ := c.issue(id, now)
	return token, nil
}

// CryptIDAt issues a token for id at the given year stamp.
func (c *Codec) CryptIDAt(id []byte, stamp uint32) ([]byte, error) {
	if err := checkIDLength(id); err != nil {
		return nil, err
	}
	token, ok := c.issue(id, stamp) // which finds a zero byte on its way
	if !ok {
		return nil, errZeroInID()
	}
	return token, nil
}

func checkID(id []byte) error {
	if err := checkIDLength(id); err != nil {
		return err
	}
	if hasZero(id) {
		return errZeroInID()
	}
	return nil
}

func checkIDLength(id []byte) error {
	if len(id) == 0 || len(id) > MaxIDLength {
		return fmt.Errorf("%w: id must be 1 to %d bytes, not %d", ErrInvalidID, MaxIDLength, len(id))
	}
	return nil
}

func errZeroInID() error { return fmt.Errorf("%w: id must not hold a zero byte", ErrInvalidID) }

// hasZero tells whether text holds a zero byte, eight bytes at a time: a
// word has one exactly when (w - 0x01...01) &^ w has a top bit set.
func hasZero(text []byte) bool {
	for len(text) >= 8 {
		w := binary.LittleEndian.Uint64(text)
		if (w-0x0101010101010101)&^w&0x8080808080808080 != 0 {
			return true
		}
		text = text[8:]
	}
	for _, b := range text {
		if b == 0 {
			return true
		}
	}
	return false
}

// pairs holds "00" to "99", to write a stamp two digits at a time.
const pairs = "0001020304050607080910111213141516171819" +
	"2021222324252627282930313233343536373839" +
	"4041424344454647484950515253545556575859" +
	"6061626364656667686970717273747576777879" +
	"8081828384858687888990919293949596979899"

// issue writes the plain token (length field, id, stamp) with each byte
// already through the encoding map, then trades each odd position i below
// n/2 with its mirror n-1-i: moving bytes and mapping them commute. It
// gives false, and no token, for an id that holds a zero byte.
func (c *Codec) issue(id []byte, stamp uint32) ([]byte, bool) {
	t := c.tables()
	digits := stampDigits(stamp)
	length := len(id)
	n := 3 + length + digits
	token := make([]byte, n)
	token[0] = t.encode['0'+length/100]
	token[1], token[2] = t.pairs[2*(length%100)], t.pairs[2*(length%100)+1]
	body := token[3:][:len(id)]
	for k, b := range id {
		if b == 0 {
			return nil, false
		}
		body[k] = t.encode[b]
	}
	k, s := n, stamp
	if digits > 5 { // the last five digits apart, not to wait on each division in turn
		low := s % 100000
		token[k-2], token[k-1] = t.pairs[2*(low%100)], t.pairs[2*(low%100)+1]
		token[k-4], token[k-3] = t.pairs[2*(low/100%100)], t.pairs[2*(low/100%100)+1]
		token[k-5] = t.encode['0'+low/10000]
		k, s = k-5, s/100000
	}
	for ; s >= 100; s /= 100 {
		k -= 2
		token[k], token[k+1] = t.pairs[2*(s%100)], t.pairs[2*(s%100)+1]
	}
	if s >= 10 {
		token[k-2], token[k-1] = t.pairs[2*s], t.pairs[2*s+1]
	} else {
		token[k-1] = t.encode['0'+s]
	}
	for i := 1; i < n-1-i; i += 2 {
		token[i], token[n-1-i] = token[n-1-i], token[i]
	}
	return token, true
}

// fewestWith holds the least stamp of d+1 digits, for d = 0 to 9: 0, then
// 10 to 10^9.
var fewestWith = [...]uint32{0, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9}

// stampDigits gives the number of decimal digits of s: its bit length times
// log10(2), here 1233/4096, is the count or one short of it.
func stampDigits(s uint32) int {
	d := bits.Len32(s) * 1233 >> 12
	if s >= fewestWith[d] {
		d++
	}
	return d
}

// DecryptID gives the id of a token that is fresh by the local clock, or
// nil for a refused token. An error means the clock cannot be read.
func (c *Codec) DecryptID(token []byte, lifetime int32) ([]byte, error) {
	var scratch [scratchSize]byte
	plain := buffer(token, &scratch)
	p := c.read(token, plain)
	if p.reason != "" || lifetime <= 0 {
		return nil, nil // refused without reading the clock
	}
	now, err := localStamp()
	if err != nil {
		return nil, err
	}
	if judge(p.stamp, lifetime, now) != Fresh {
		return nil, nil
	}
	return idOf(plain, p.length), nil
}

// DecryptIDAt gives the id of a token that is fresh at year stamp now, or
// nil for a refused token. The error is always nil.
func (c *Codec) DecryptIDAt(token []byte, lifetime int32, now uint32) ([]byte, error) {
	var scratch [scratchSize]byte
	plain := buffer(token, &scratch)
	p := c.read(token, plain)
	if p.reason != "" || judge(p.stamp, lifetime, now) != Fresh {
		return nil, nil
	}
	return idOf(plain, p.length), nil
}

// Inspect judges a token by the local clock. An error means the clock
// cannot be read; a malformed token needs no clock.
func (c *Codec) Inspect(token []byte, lifetime int32) (Report, error) {
	var scratch [scratchSize]byte
	plain := buffer(token, &scratch)
	p := c.read(token, plain)
	if p.reason != "" {
		return Report{Verdict: Malformed, Reason: p.reason}, nil
	}
	now, err := localStamp()
	if err != nil {
		return Report{}, err
	}
	return p.report(idOf(plain, p.length), lifetime, now), nil
}

// InspectAt judges a token at year stamp now. It allocates the id, and for
// a token longer than 64 bytes the buffer it unscrambles it in.
func (c *Codec) InspectAt(token []byte, lifetime int32, now uint32) (r Report) {
	var scratch [scratchSize]byte
	plain := buffer(token, &scratch)
	p := c.read(token, plain)
	if p.reason != "" {
		r.Verdict, r.Reason = Malformed, p.reason
		return r
	}
	r.ID = idOf(plain, p.length)
	r.Verdict = judge(p.stamp, lifetime, now)
	r.Stamp, r.Now, r.AgeMs = p.stamp, now, int64(now)-p.stamp
	return r
}

// A token of up to scratchSize bytes is unscrambled on the stack, a longer
// one into a buffer of its own; either way the id is copied out of it, so
// that a report holds no more than the id's bytes.
const scratchSize = 64

// buffer gives where to unscramble token: in scratch, or on the heap.
func buffer(token []byte, scratch *[scratchSize]byte) []byte {
	if len(token) <= scratchSize {
		return scratch[:len(token)]
	}
	return make([]byte, len(token))
}

// idOf gives a copy of the id of a plain token that reads.
func idOf(plain []byte, length int) []byte {
	id := make([]byte, length) // with the copy, the runtime need not clear it first
	copy(id, plain[3:3+length])
	return id
}

// plainToken is what a token holds, or why it is malformed.
type plainToken struct {
	length int    // of the id
	stamp  int64  // as written
	reason string // why the token is malformed, or ""
}

// The reasons for a malformed token, word for word as the library gives
// them, in the order of its checks.
const (
	reasonTooShort  = "too short"
	reasonBadLength = "bad length field"
	reasonNoStamp   = "no stamp"
	reasonZeroInID  = "zero byte in the id"
	reasonBadStamp  = "bad stamp"
)

// read unscrambles token into plain, as long as it, and reads it.
func (c *Codec) read(token, plain []byte) (p plainToken) {
	n := len(token)
	if n < 3 {
		p.reason = reasonTooShort
		return p
	}
	unscramble(token, plain, &c.tables().decode)
	// A length field of three digits, as every issuer writes it, or one that
	// decimal reading may still take: " 12", "+12", "\t\r3".
	var length int64
	ok := true
	if d0, d1, d2 := plain[0]-'0', plain[1]-'0', plain[2]-'0'; d0 <= 9 && d1 <= 9 && d2 <= 9 {
		length = int64(d0)*100 + int64(d1)*10 + int64(d2)
	} else {
		length, ok = readDecimal(plain[:3])
	}
	if !ok || length <= 0 {
		p.reason = reasonBadLength
		return p
	}
	p.length = int(length)
	if 3+p.length >= n {
		p.reason = reasonNoStamp
		return p
	}
	if hasZero(plain[3 : 3+p.length]) {
		p.reason = reasonZeroInID
		return p
	}
	stamp, ok := readStamp(plain[3+p.length : n])
	if !ok || stamp == -1 {
		p.reason = reasonBadStamp
		return p
	}
	p.stamp = stamp
	return p
}

// unscramble writes into plain (as long as token) the
// token's digits through the decoding map, each odd position below n/2
// traded with its mirror.
func unscramble(token, plain []byte, decode *[256]byte) {
	n := len(token)
	plain = plain[:n]
	half := n / 2
	i := 0
	for ; i+1 < half; i += 2 {
		// an even position, which stays, and the odd one after it, which moves
		j := n - 1 - i
		even, evenMirror, odd, oddMirror := token[i], token[j], token[i+1], token[j-1]
		plain[i] = decode[even]
		plain[j] = decode[evenMirror]
		plain[i+1] = decode[oddMirror]
		plain[j-1] = decode[odd]
	}
	if i < half {
		plain[i] = decode[token[i]]
		plain[n-1-i] = decode[token[n-1-i]]
	}
	if n&1 == 1 {
		plain[half] = decode[token[half]]
	}
}

// readStamp reads the stamp text as readDecimal does, quickly for the
// digits an issuer writes.
func readStamp(text []byte) (int64, bool) {
	if len(text) > 18 || text[0]-'1' > 8 {
		return readDecimal(text) // a sign, white space, leading zeros, or long
	}
	var value int64
	for _, b := range text {
		d := b - '0'
		if d > 9 {
			return 0, false
		}
		value = value*10 + int64(d)
	}
	return value, true
}

// readDecimal reads text as a signed 64-bit decimal: leading bytes 9 to 13
// and 32, one optional + or -, then at least one digit and only digits to
// the end. A value beyond the range takes the nearest limit.
func readDecimal(text []byte) (int64, bool) {
	i := 0
	for i < len(text) && (text[i] == ' ' || text[i]-9 <= 13-9) {
		i++
	}
	negative := false
	if i < len(text) && (text[i] == '+' || text[i] == '-') {
		negative = text[i] == '-'
		i++
	}
	if i == len(text) {
		return 0, false
	}
	const limit = uint64(1) << 63 // the magnitude of the lowest value
	var magnitude uint64
	for _, b := range text[i:] {
		d := uint64(b - '0')
		if d > 9 {
			return 0, false
		}
		if magnitude > (limit-d)/10 {
			magnitude = limit + 1 // beyond either limit; the digits must still be read
		} else {
			magnitude = magnitude*10 + d
		}
	}
	switch {
	case negative && magnitude >= limit:
		return -1 << 63, true
	case negative:
		return -int64(magnitude), true
	case magnitude >= limit:
		return 1<<63 - 1, true
	}
	return int64(magnitude), true
}

func (p *plainToken) report(id []byte, lifetime int32, now uint32) Report {
	return Report{
		Verdict: judge(p.stamp, lifetime, now),
		ID:      id,
		Stamp:   p.stamp,
		Now:     now,
		AgeMs:   int64(now) - p.stamp, // wraps modulo 2^64, as the format says
	}
}

// judge gives the verdict on a token of the given stamp: whole minutes of
// age now - stamp, modulo 2^64 read as signed, truncated toward zero.
func judge(stamp int64, lifetime int32, now uint32) Verdict {
	minutes := (int64(now) - stamp) / msPerMinute
	switch {
	case minutes < 0:
		return Ahead
	case minutes >= int64(lifetime):
		return Expired
	}
	return Fresh
}

// YearStamp gives the year stamp of instant t from the wall-clock fields of
// its own location: ((day of year - 1) * 86400 + hour * 3600 + minute * 60 +
// second) * 1000 + millisecond, modulo 2^32. Across a daylight-saving change
// this is not the time elapsed since 1 January: the fields move with the
// clock. Finer parts than the millisecond are dropped.
func YearStamp(t time.Time) uint32 {
	hour, minute, second := t.Clock()
	seconds := int64(t.YearDay()-1)*86400 + int64(hour)*3600 + int64(minute)*60 + int64(second)
	return uint32(seconds*1000 + int64(t.Nanosecond()/1e6))
}
