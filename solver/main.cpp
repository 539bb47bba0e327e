// quadsolve: solves one quadratic equation read from standard input.
int main() { return 0; }
