// A C++ program that does nothing: what starting and ending a process costs, the yardstick for
// the update program's own start-up.
int main() { return 0; }
