// Placeholder until the command line lands.
int main() { return 0; }
