package idstamp

import (
	"crypto/md5"
	"flag"
	"math"
	"testing"
)

// go test -bench . -benchmem gives the time of each call; with -speed,
// TestSpeedGoal holds issuing and inspecting with the stamp given to at most
// half the time of md5.Sum of the same token, measured in turns in one run.
// Each is timed by its fastest round, since a busy machine only ever adds
// time; many short rounds give each side more chances at a quiet moment
// than a few long ones:
//
//	go test -run TestSpeedGoal -count 1 -benchtime 10ms . -args -speed
var (
	speed  = flag.Bool("speed", false, "time the calls against md5.Sum")
	noGoal = flag.Bool("nogoal", false, "with -speed, report the times without judging the goal")
	rounds = flag.Int("rounds", 40, "with -speed, the rounds of each call and of md5.Sum")
)

const speedGoal = 0.5

var (
	benchID       = []byte("user-20489113") // a typical id
	benchStamp    = uint32(411196474)
	benchToken, _ = CryptIDAt(benchID, benchStamp)
	sink          int
)

func BenchmarkCryptIDAt(b *testing.B) {
	for i := 0; i < b.N; i++ {
		token, _ := CryptIDAt(benchID, benchStamp)
		sink += len(token)
	}
}

func BenchmarkInspectAt(b *testing.B) {
	for i := 0; i < b.N; i++ {
		sink += len(InspectAt(benchToken, 30, benchStamp).ID)
	}
}

func BenchmarkDecryptIDAt(b *testing.B) {
	for i := 0; i < b.N; i++ {
		id, _ := DecryptIDAt(benchToken, 30, benchStamp)
		sink += len(id)
	}
}

func BenchmarkMD5(b *testing.B) {
	for i := 0; i < b.N; i++ {
		sum := md5.Sum(benchToken)
		sink += int(sum[0])
	}
}

func TestSpeedGoal(t *testing.T) {
	if !*speed {
		t.Skip("a timing run; give -speed")
	}
	perCall := func(f func(*testing.B)) float64 {
		r := testing.Benchmark(f)
		return float64(r.T.Nanoseconds()) / float64(r.N)
	}
	t.Logf("%d-byte token, fastest of %d rounds, each call in turn with md5.Sum", len(benchToken), *rounds)
	for _, c := range []struct {
		name string
		f    func(*testing.B)
	}{{"CryptIDAt", BenchmarkCryptIDAt}, {"InspectAt", BenchmarkInspectAt}, {"DecryptIDAt", BenchmarkDecryptIDAt}} {
		call, sum := math.Inf(1), math.Inf(1)
		for r := 0; r < *rounds; r++ {
			call = math.Min(call, perCall(c.f))
			sum = math.Min(sum, perCall(BenchmarkMD5))
		}
		ratio := call / sum
		t.Logf("%-12s %6.1f ns/call, md5.Sum %6.1f ns, ratio %.3f (goal %.1f)", c.name, call, sum, ratio, speedGoal)
		if ratio > speedGoal && !*noGoal {
			t.Errorf("%s: %.3f times md5.Sum, above the goal of %.1f", c.name, ratio, speedGoal)
		}
	}
}
