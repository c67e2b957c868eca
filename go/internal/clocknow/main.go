// Command clocknow prints the year stamp of the local clock as the package
// reads it, or the package's error, which names TZ, and exits 1. It holds
// the package's clock to idstamp-inspect's:
//
//	go build -o /tmp/clocknow ./internal/clocknow
//	../tools/clock_table.sh PATH/TO/idstamp-inspect -- /tmp/clocknow
package main

import (
	"fmt"
	"os"

	"idstamp.example/idstamp"
)

func main() {
	// Any token that reads will do: the report's Now is the clock's stamp.
	token, err := idstamp.CryptIDAt([]byte("now"), 0)
	if err == nil {
		var r idstamp.Report
		if r, err = idstamp.Inspect(token, 1); err == nil {
			fmt.Println(r.Now)
			return
		}
	}
	fmt.Fprintln(os.Stderr, err)
	os.Exit(1)
}
