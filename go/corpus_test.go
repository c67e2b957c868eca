package idstamp

// The conformance corpus that tools/corpus.py writes from idstamp-inspect:
// every token row judged by InspectAt, every year-stamp row by YearStamp.
// Skipped unless IDSTAMP_CORPUS names the corpus directory:
//
//	python3 ../tools/corpus.py PATH/TO/idstamp-inspect /tmp/corpus
//	IDSTAMP_CORPUS=/tmp/corpus go test -run Corpus -count 1 .

import (
	"bufio"
	"encoding/hex"
	"os"
	"path/filepath"
	"strconv"
	"strings"
	"testing"
	"time"
)

// corpusRows calls each with the fields of every row of the corpus file
// name, after checking its header, and gives the number of rows.
func corpusRows(t *testing.T, name, header string, each func(fields []string) string) int {
	t.Helper()
	dir := os.Getenv("IDSTAMP_CORPUS")
	if dir == "" {
		t.Skip("IDSTAMP_CORPUS names no corpus directory")
	}
	f, err := os.Open(filepath.Join(dir, name))
	if err != nil {
		t.Fatal(err)
	}
	defer f.Close()
	lines := bufio.NewScanner(f)
	lines.Buffer(nil, 1<<20)
	if !lines.Scan() || lines.Text() != header {
		t.Fatalf("%s: header %q, want %q", name, lines.Text(), header)
	}
	rows := 0
	for lines.Scan() {
		rows++
		fields := strings.Split(lines.Text(), "\t")
		if want := strings.Count(header, "\t") + 1; len(fields) != want {
			t.Fatalf("%s row %d: %d fields, want %d: %q", name, rows, len(fields), want, lines.Text())
		}
		if why := each(fields); why != "" {
			t.Fatalf("%s row %d: %s\n  %s", name, rows, why, lines.Text())
		}
	}
	if err := lines.Err(); err != nil {
		t.Fatalf("%s: %v", name, err)
	}
	if rows == 0 {
		t.Fatalf("%s holds no rows", name)
	}
	return rows
}

func TestCorpusTokens(t *testing.T) {
	seen := map[string]bool{}
	rows := corpusRows(t, "tokens.tsv", "token_hex\tlifetime\tnow\tverdict\treason\tid_hex\tstamp\tage_ms",
		func(f []string) string {
			token, err1 := hex.DecodeString(f[0])
			lifetime, err2 := strconv.ParseInt(f[1], 10, 32)
			now, err3 := strconv.ParseUint(f[2], 10, 32)
			for _, err := range []error{err1, err2, err3} {
				if err != nil {
					return "unreadable row: " + err.Error()
				}
			}
			r := InspectAt(token, int32(lifetime), uint32(now))
			var got []string
			if r.Verdict == Malformed {
				if r.ID != nil || r.Stamp != 0 || r.Now != 0 || r.AgeMs != 0 {
					return "a malformed report with values"
				}
				got = []string{r.Verdict.String(), r.Reason, "", "", ""}
			} else {
				got = []string{r.Verdict.String(), r.Reason, hex.EncodeToString(r.ID),
					strconv.FormatInt(r.Stamp, 10), strconv.FormatInt(r.AgeMs, 10)}
				if r.Now != uint32(now) {
					return "judged at " + strconv.FormatUint(uint64(r.Now), 10)
				}
			}
			if want := f[3:]; strings.Join(got, "\t") != strings.Join(want, "\t") {
				return "verdict, reason, id, stamp, age: " + strings.Join(got, " | ")
			}
			// DecryptIDAt gives the id exactly when the token is fresh.
			if id, _ := DecryptIDAt(token, int32(lifetime), uint32(now)); (id != nil) != (r.Verdict == Fresh) ||
				id != nil && hex.EncodeToString(id) != f[5] {
				return "DecryptIDAt gives " + hex.EncodeToString(id)
			}
			seen[f[3]+" "+f[4]] = true
			return ""
		})
	for _, kind := range []string{"fresh ", "expired ", "ahead ", "malformed too short", "malformed bad length field",
		"malformed no stamp", "malformed zero byte in the id", "malformed bad stamp"} {
		if !seen[kind] {
			t.Errorf("the corpus holds no token that is %s", kind)
		}
	}
	t.Logf("%d tokens judged alike", rows)
}

func TestCorpusYearStamps(t *testing.T) {
	rows := corpusRows(t, "year_stamps.tsv", "zone\tinstant_ms\tstamp", func(f []string) string {
		loc, err := time.LoadLocation(f[0])
		if err != nil {
			return err.Error()
		}
		ms, err := strconv.ParseInt(f[1], 10, 64)
		if err != nil {
			return err.Error()
		}
		if got := strconv.FormatUint(uint64(YearStamp(time.UnixMilli(ms).In(loc))), 10); got != f[2] {
			return "YearStamp gives " + got
		}
		return ""
	})
	t.Logf("%d year stamps alike", rows)
}
