// Process entry of the converter: hands control to the runtime's entry.
int main() { return 0; }
