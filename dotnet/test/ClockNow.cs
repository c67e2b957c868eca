// Prints the year stamp of the local clock as the package reads it, or the
// package's refusal, which names TZ, and exits 1: tools/clock_table.sh holds
// it to idstamp-inspect's clock.
using System;

static class ClockNow
{
    static int Main()
    {
        try
        {
            Console.WriteLine(Idstamp.Tokens.YearStamp());
            return 0;
        }
        catch (InvalidOperationException e)
        {
            Console.Error.WriteLine(e.Message);
            return 1;
        }
    }
}
