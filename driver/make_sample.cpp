// Placeholder: writes the bundled sample files.
int main() { return 0; }
