package idstamp

import (
	"bytes"
	"encoding/hex"
	"encoding/json"
	"os"
	"testing"
)

// The shared test vectors of docs/token-vectors.json.
type vectors struct {
	DigitMap string `json:"digit_map"`
	Issue    []struct {
		IDHex    string `json:"id_hex"`
		Stamp    uint32 `json:"stamp"`
		TokenHex string `json:"token_hex"`
	} `json:"issue"`
	Check []struct {
		TokenHex string  `json:"token_hex"`
		Lifetime int32   `json:"lifetime"`
		Now      uint32  `json:"now"`
		Verdict  string  `json:"verdict"`
		IDHex    *string `json:"id_hex"`
		Reason   *string `json:"reason"`
	} `json:"check"`
}

func loadVectors(t *testing.T) vectors {
	t.Helper()
	data, err := os.ReadFile("../docs/token-vectors.json")
	if err != nil {
		t.Fatal(err)
	}
	var v vectors
	if err := json.Unmarshal(data, &v); err != nil {
		t.Fatal(err)
	}
	if v.DigitMap != defaultDigitMap || len(v.Issue) == 0 || len(v.Check) == 0 {
		t.Fatalf("unexpected vectors: map %q, %d issue, %d check", v.DigitMap, len(v.Issue), len(v.Check))
	}
	return v
}

func unhex(t *testing.T, s string) []byte {
	t.Helper()
	b, err := hex.DecodeString(s)
	if err != nil {
		t.Fatal(err)
	}
	return b
}

func TestVectors(t *testing.T) {
	v := loadVectors(t)
	for i, c := range v.Issue {
		id, want := unhex(t, c.IDHex), unhex(t, c.TokenHex)
		got, err := CryptIDAt(id, c.Stamp)
		if err != nil || !bytes.Equal(got, want) {
			t.Errorf("issue %d: CryptIDAt(%x, %d) = %x, %v; want %x", i, id, c.Stamp, got, err, want)
		}
		if back, _ := DecryptIDAt(want, 30, c.Stamp); !bytes.Equal(back, id) {
			t.Errorf("issue %d: checked back to %x, want %x", i, back, id)
		}
	}
	for i, c := range v.Check {
		token := unhex(t, c.TokenHex)
		r := InspectAt(token, c.Lifetime, c.Now)
		var wantID []byte
		if c.IDHex != nil {
			wantID = unhex(t, *c.IDHex)
		}
		ok := r.Verdict.String() == c.Verdict && bytes.Equal(r.ID, wantID) && (r.ID == nil) == (wantID == nil)
		if c.Verdict == "malformed" {
			ok = ok && r.Reason != "" && (c.Reason == nil || r.Reason == *c.Reason) && r.Now == 0
		} else {
			ok = ok && r.Reason == "" && r.Now == c.Now && r.AgeMs == int64(c.Now)-r.Stamp
		}
		if !ok {
			t.Errorf("check %d: InspectAt(%.40x, %d, %d) = %+v; want %s %x (reason %v)",
				i, token, c.Lifetime, c.Now, r, c.Verdict, wantID, c.Reason)
		}
		id, err := DecryptIDAt(token, c.Lifetime, c.Now)
		if c.Verdict != "fresh" {
			wantID = nil
		}
		if err != nil || !bytes.Equal(id, wantID) || (id == nil) != (wantID == nil) {
			t.Errorf("check %d: DecryptIDAt = %x, %v; want %x", i, id, err, wantID)
		}
	}
}
