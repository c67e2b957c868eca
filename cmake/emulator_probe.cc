// Runs under a cross build's emulator to show that it really runs programs
// of the target: the exit status 42 is one that no failure to start gives,
// nor a stand-in that succeeds at anything.
int main() { return 42; }
