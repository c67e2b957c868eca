// idstamp's check against the Go libraries a user would pick instead, in one
// run: golang-jwt verifying an HS256 token, and fernet-go verifying (and
// decrypting) a Fernet token. Each peer checks a token it made itself before
// the loop. Every call is timed in turns, in rounds, and given by its
// fastest round: a busy machine only adds time.
//
//	go run . [-rounds N]
package main

import (
	"bytes"
	"flag"
	"fmt"
	"os"
	"time"

	"github.com/fernet/fernet-go"
	"github.com/golang-jwt/jwt/v5"
	"idstamp.example/idstamp"
)

var (
	id    = []byte("user-20489113")
	stamp = uint32(411196474)
	key   = []byte("a key of thirty-two bytes, fixed")
)

type check struct {
	name  string
	count int
	call  func() bool
	best  float64
}

func main() {
	rounds := flag.Int("rounds", 20, "rounds of each call, in turns")
	flag.Parse()

	token, err := idstamp.CryptIDAt(id, stamp)
	if err != nil {
		fail(err)
	}
	signed, err := jwt.NewWithClaims(jwt.SigningMethodHS256, jwt.RegisteredClaims{
		Subject:   string(id),
		ExpiresAt: jwt.NewNumericDate(time.Now().Add(time.Hour)),
	}).SignedString(key)
	if err != nil {
		fail(err)
	}
	var fkey fernet.Key
	copy(fkey[:], key)
	ftoken, err := fernet.EncryptAndSign(id, &fkey)
	if err != nil {
		fail(err)
	}
	fkeys := []*fernet.Key{&fkey}
	parser := jwt.NewParser(jwt.WithValidMethods([]string{"HS256"}))
	keyFunc := func(*jwt.Token) (any, error) { return key, nil }

	checks := []*check{
		{name: "idstamp DecryptIDAt", count: 200000, call: func() bool {
			got, err := idstamp.DecryptIDAt(token, 30, stamp)
			return err == nil && bytes.Equal(got, id)
		}},
		{name: "golang-jwt v5 ParseWithClaims (HS256)", count: 5000, call: func() bool {
			var claims jwt.RegisteredClaims
			t, err := parser.ParseWithClaims(signed, &claims, keyFunc)
			return err == nil && t.Valid && claims.Subject == string(id)
		}},
		{name: "fernet-go VerifyAndDecrypt", count: 5000, call: func() bool {
			return bytes.Equal(fernet.VerifyAndDecrypt(ftoken, time.Hour, fkeys), id)
		}},
	}
	for r := 0; r < *rounds; r++ {
		for _, c := range checks {
			ok := true
			start := time.Now()
			for i := 0; i < c.count; i++ {
				ok = c.call() && ok
			}
			ns := float64(time.Since(start).Nanoseconds()) / float64(c.count)
			if !ok {
				fail(fmt.Errorf("%s refused its own token", c.name))
			}
			if r == 0 || ns < c.best {
				c.best = ns
			}
		}
	}
	fmt.Printf("Go, %d-byte idstamp token, fastest of %d rounds\n", len(token), *rounds)
	fmt.Printf("%-40s %10s %8s\n", "check", "ns/call", "ratio")
	for _, c := range checks {
		fmt.Printf("%-40s %10.1f %7.1fx\n", c.name, c.best, c.best/checks[0].best)
	}
}

func fail(err error) {
	fmt.Fprintln(os.Stderr, "peers:", err)
	os.Exit(1)
}
